// Table catalogue: one rv_tbl row (RvdbTableSet), its readers, the table
// list filtered by a user's rights, and the field checks of a table's
// settings.
#ifndef RVTBL_H
#define RVTBL_H

#include <memory>
#include <vector>

#include "cddbresult.h"
#include "nstring.h"

class CdDBConnection;
class RvResult;
class RvUser;

// Key of the table option read into the record.
#define RV_TBL_OPT_SEARCH_HIT_COUNT "enable_search_hit_count"

// One rv_tbl row as texts; dates are YYYYMMDDhhmmss.
class RvdbTableSet {
public:
    RvdbTableSet() = default;
    RvdbTableSet(const RvdbTableSet&) = default;
    RvdbTableSet& operator=(const RvdbTableSet&) = default;

    const NString& getSearchHitCountOption() const { return search_hit_count; }
    void setSearchHitCountOption(const NString& value) { search_hit_count = value; }
    // The option "enable_search_hit_count" is "on".
    bool isSearchHitCountOn() const;

    // Runs every field check in order and appends each failing check's
    // message to messages. setFieldsOnly: a field without text is skipped
    // (an empty text is checked), the option only when non-empty.
    // 1 when any check failed, else 0.
    int check(std::vector<NString>& messages, bool setFieldsOnly) const;
    // out = the tbl_options text of the record ("" when the option is unset).
    void makeTblOptions(NString& out) const;

    // Field checks; code 0 when the value passes.
    static RvResult checkTblId(const NString& value);
    static RvResult checkStatus(const NString& value);
    static RvResult checkSeqno(const NString& value);
    static RvResult checkTblLname(const NString& value);
    static RvResult checkNote(const NString& value);
    static RvResult checkRegistDate(const NString& value);
    static RvResult checkRegistUid(const NString& value);
    static RvResult checkUpdateDate(const NString& value);
    static RvResult checkRecords(const NString& value);
    static RvResult checkTblKey(const NString& value);
    // "on", "off" or empty (unset).
    static RvResult checkSearchHitCountOption(const NString& value);

    NString tbl_id;
    NString status;  // "1" running, "0" stopped
    NString seqno;
    NString tbl_lname;
    NString note;
    NString regist_date;
    NString regist_uid;
    NString regist_uname;
    NString update_date;
    NString records;
    NString tbl_key;

private:
    NString search_hit_count;  // option "enable_search_hit_count"
};

typedef std::shared_ptr<RvdbTableSet> RvdbTableSetPtr;

// Fills out from the current row by column name: tbl_id, status, seqno,
// tbl_lname, note, regist_date, regist_uid, regist_uname, update_date,
// records, tbl_key, then the option from tbl_options. 0 or the first
// failing read's code.
int rvappReadTableSetRow(const CdDBResultHandle& result, RvdbTableSet& out);

// The rv_tbl row of tblId. -1099 for a null or empty id, -100010 when there
// is no such row, encoder and database codes.
int rvappGetTableSet(CdDBConnection* connection, const char* tblId, RvdbTableSet& out);

// The tables, ordered by seqno, that user may see with every right of
// rightsMask (RV_ACC_* bits): the rights come from rv_tbl_acc (own entry,
// then the user's groups, then everyone, per right); a table's
// administrators see it whatever the rights. A system administrator or a
// mask of 0 sees every table; an empty user id with a mask sees none.
// countOnly: out is untouched and the number of such tables is returned;
// otherwise the rows are appended to out (limit, offset: used when above 0)
// and 0 is returned. -100001 for a user id that is not an integer; database
// codes.
int rvappGetTableSetList(CdDBConnection* connection, std::vector<RvdbTableSetPtr>& out,
                         const RvUser& user, int rightsMask, bool countOnly, int limit = 0,
                         int offset = 0);

// The statement that rvappGetTableSetList runs (exposed for tests).
// 0; -100001 for a bad user id; encoder codes.
int rvappMakeTableSetListSql(CdDBConnection* connection, NString& sql, const char* userId,
                             bool userIsAdmin, int rightsMask, bool countOnly, int limit,
                             int offset);

#endif
