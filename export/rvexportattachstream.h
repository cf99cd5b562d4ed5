// The attachment rows of one table, read once through a cursor ordered by
// record key, column and content id, in step with the record stream: no
// listing per record, and each row carries its large object's id.
#ifndef RVEXPORTATTACHSTREAM_H
#define RVEXPORTATTACHSTREAM_H

#include <vector>

#include "cddbresult.h"
#include "nstring.h"
#include "rvdbcolumnset.h"
#include "rvdbphys.h"

class CdDBConnection;

// One attachment row. listed: the row came from the stream, and lobfile is
// the id of its large object, empty when the object is gone.
struct RvExportLobRow {
    RvdbLobRecord rec;
    bool listed = false;
    NString lobfile;
};

class RvExportAttachStream {
public:
    // Serves the file and image columns among columns that hold their own
    // attachments (not references) in table tblId. Nothing is read before
    // the first rowsOf.
    RvExportAttachStream(CdDBConnection* connection, const NString& tblId,
                         const std::vector<RvdbColumnSetPtr>& columns);
    ~RvExportAttachStream();
    RvExportAttachStream(const RvExportAttachStream&) = delete;
    RvExportAttachStream& operator=(const RvExportAttachStream&) = delete;

    // The rows of record key and column, in content-id order, appended to
    // out. served false: the stream cannot answer (a column it does not
    // serve, a key that is not an integer, keys asked out of order, no
    // transaction); the caller lists the rows itself. 0, or the code of a
    // failed statement.
    int rowsOf(const NString& key, const RvdbColumnSet& column, std::vector<RvExportLobRow>& out,
               bool& served);

    // The statement the rows are read with; empty when the stream serves
    // no column.
    NString statement() const;
    // A statement giving the id of one large object that the stream serves
    // for a record of the table, if there is one; empty when the stream
    // serves no column.
    NString objectStatement() const;

private:
    // The served column ids, comma-separated.
    NString served() const;
    int open();
    int readRow(RvExportLobRow& row);

    CdDBConnection* connection;
    NString tblId;
    std::vector<long long> colIds;  // served columns
    bool opened;
    bool broken;     // keys came out of order: no more answers
    int status;      // code of a failed cursor, sticky
    CdDBResultHandle cursor;
    int fields[9];
    bool haveKey;
    long long currentKey;
    // The rows of currentKey with their column ids.
    std::vector<RvExportLobRow> rows;
    std::vector<long long> rowCols;
};

#endif
