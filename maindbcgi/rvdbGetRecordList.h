// Record query of one user table (select list, joins, where, order by,
// optional count, limit and offset) and the conversion of its rows into
// typed cell values.
//
// Result columns are named by the qualified column name of each physical
// column ("a.col00007", "rtblcol00012.file_name"); the record key is always
// selected as "a.rvkey" and always ends the order, so records come in a
// stable order.
//
// Without paging (limit and offset 0) and inside a transaction the rows are
// read through a cursor one row at a time: the result handle then holds at
// most twice RVDB_RECORD_FETCH_BYTES of rows and one row more, whatever the
// order of their sizes, so a whole table never sits in memory.
#ifndef RVDBGETRECORDLIST_H
#define RVDBGETRECORDLIST_H

#include <vector>

#include "RvdbColumnValue.h"
#include "RvdbRecordList.h"
#include "cddbconnection.h"
#include "cddbcursorresult_pg.h"
#include "cddbresult.h"
#include "nstring.h"
#include "rvcompair.h"
#include "rvdbSql.h"
#include "rvresult.h"

class CdDBSqlEncoder;

// Sort pairs are RvPair (column id, order): order "1" ascending, any other
// text descending; the record key is column id "-1".

// Selects the records of table tblId: the physical columns of the sets in
// columnSets whose col_id is in colIds (plus "a.rvkey"), joined and filtered
// as rvdbSql builds them, ordered by sorts and then the record key.
// textCutLength > 0 cuts long "texts" values in the database. limit > 0 and
// offset > 0 page the rows; recordCount (may be null) receives the number of
// matching records. result shares the rows on success (unchanged on
// failure). 0; -100001 a table id that is not a decimal integer of at most 9
// digits or no connection; a builder's or a statement's code.
int rvdbGetRecordList(CdDBConnection* connection, const char* tblId,
                      const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                      int textCutLength, const RvDbSearchFilterList& filters,
                      const RvPairList& sorts, CdDBResultHandle& result, int limit, int offset,
                      int* recordCount);

// query = the statement rvdbGetRecordList reads the rows with, for the same
// arguments (without running anything). 0; -100001 a table id as above; a
// builder's code.
int rvdbMakeRecordQuery(const CdDBSqlEncoder* encoder, const char* tblId,
                        const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                        int textCutLength, const RvDbSearchFilterList& filters,
                        const RvPairList& sorts, int limit, int offset, NString& query);

// statement = "select <select list> from <from>[ where <where>]"; the other
// three outputs are its parts. sortColIds are joined like selected columns.
int rvdbMakeSelectList(const CdDBSqlEncoder* encoder, const char* tblId,
                       const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                       const RvStringList& sortColIds, const RvDbSearchFilterList& filters,
                       int textCutLength, NString& statement, NString& selectList,
                       NString& fromSql, NString& whereSql);

// out = the effective sort list: requested first (when its column id is not
// empty), the base pairs as described below, every order "1" or "0", and
// ("-1", order of the first pair, or "1") at the end when no pair names the
// record key. The base is used whole when requested has no column id, and
// from its second pair on (orders flipped when the requested order differs)
// when its first pair names the requested column. Always 0.
int rvdbMakeSortList(const RvPairList& base, const RvPair& requested, RvPairList& out);

// out = " order by <term>,<term>..." for the sort pairs whose column is among
// the sets (out unchanged for no pairs). A key column sorts plainly, every
// other one with NULLS FIRST (ascending) or NULLS LAST (descending); an image
// column sorts on its file name. 0 or a builder's code.
int rvdbMakeOrderBy(const RvPairList& sorts, const RvdbColumnSetList& columnSets,
                    const CdDBSqlEncoder* encoder, NString& out);

// Appends one value per column set, made by rvdbNewColumnValue and filled
// from the current row of result (a physical column missing from the result
// leaves its text empty). Code 0; -100025 a set without a value class; the
// code of a read or of setText. On failure the values of the row's earlier
// columns stay appended.
RvResult rvdbGetRecordValues(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                             const RvdbColumnSetList& columnSets,
                             std::vector<RvdbColumnValuePtr>& cells);

// Reads rows of one result as rvdbGetRecordValues does, for a fixed list of
// column sets: the qualified name and the result column of every physical
// column are looked up once instead of once per row.
class RvdbRecordValueReader {
public:
    RvdbRecordValueReader(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                          const RvdbColumnSetList& columnSets);
    // rvdbGetRecordValues of the current row of the result.
    RvResult read(std::vector<RvdbColumnValuePtr>& cells);

private:
    struct Slot {
        RvResult nameResult;  // failure of the name lookup, else success
        NString name;
        int column;           // result column, or a getColumnIndex code
    };
    void resolveColumns();

    CdDBResultHandle result;
    RvdbColumnSetList columnSets;
    std::vector<std::vector<Slot>> slots;  // per column set, per physical column
    bool resolved;
    // Per column set: the value of the last row, used again for the next
    // row when nobody else holds it and one setText makes it whole.
    std::vector<RvdbColumnValuePtr> spare;
    std::vector<char> reusable;
};

// list = a new list of columnSets holding the rows of result from the
// current one on, at most maxRows when maxRows > 0. A row is added only
// whole. Code 0 or the failing row's code.
RvResult rvdbFetchRecordList(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                             const RvdbColumnSetList& columnSets, RvdbRecordList& list,
                             int maxRows);

// rvdbGetRecordList over every column of columnSets, then
// rvdbFetchRecordList of all rows into list. 0 or the first failure code.
int rvdbLoadRecordList(CdDBConnection* connection, const char* tblId,
                       const RvdbColumnSetList& columnSets, int textCutLength,
                       RvdbRecordList& list, const RvDbSearchFilterList& filters,
                       const RvPairList& sorts, int limit, int offset, int* recordCount);

#endif
