// CSV record-list command: the list-page CSV download, and the value
// formatting and cell escaping that the download and data.csv share.
#ifndef RVDBRECORDLISTCSV_H
#define RVDBRECORDLISTCSV_H

#include "RvCgiCmd.h"
#include "RvdbColumnValue.h"
#include "nstring.h"

class RvDbRecordListCsv : public RvCgiCmdHtml {
public:
    RvDbRecordListCsv();
    ~RvDbRecordListCsv() override;

    // The list-page CSV download.
    RvResult execute(RvAppCtx& appCtx, RvSession& session,
                     const RvParamArray& params) override;
    // Does nothing.
    void step5() override;

    // Cell text of one value by its type code. Empty values leave out
    // untouched, so pass a fresh (empty) out for every cell. 0, -100001 for
    // a null value or an unknown type, or the failing helper's code. The
    // date-time template is read from the local strings at the first
    // date-time cell and kept: use one formatter per table or page.
    virtual int formatColumnValue(const RvdbColumnValue* value, NString& out);
    int formatColumnValue(const RvdbColumnValuePtr& value, NString& out)
    {
        return formatColumnValue(value.get(), out);
    }

    // The text as one CSV cell: quoted (inner quotes doubled) when it holds
    // '"', ',', CR or LF; else unchanged. "" for an empty text and when
    // memory runs out.
    virtual NString escapeCsvCell(const NString& text);

private:
    // The date-time template as its plain text with the places of the
    // stamp's parts.
    struct DateLayout {
        enum State { kUnread, kFilled, kGeneral };
        State state = kUnread;  // kGeneral: formatted by the general display
        unsigned length = 0;
        int parts = 0;
        unsigned char at[6] = {};
        char text[256] = {};
    };
    int formatDateTime(const char* stamp, NString& out);

    DateLayout dateLayout;
};

#endif
