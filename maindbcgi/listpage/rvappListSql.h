// Statement steps shared by the list-page definition readers and queries.
// Failures are traced under the calling source file and line.
#ifndef RVAPPLISTSQL_H
#define RVAPPLISTSQL_H

#include <functional>
#include <vector>

#include "cddbresult.h"
#include "nstring.h"

class CdDBConnection;

// Runs sql without bind values into result: 0, or the result's status
// (traced "ret[%d] dbsts[%s] dbmsg[%s]").
int rvappListRunSql(const char* srcPath, int line, CdDBConnection* connection, const char* sql,
                    CdDBResultHandle& result);
// out = text escaped by the connection's encoder: 0 or the encoder's code
// (traced "ret[%d]"); -1101 without an encoder.
int rvappListEscape(const char* srcPath, int line, CdDBConnection* connection, const char* text,
                    NString& out);
// Positions of the expected column names in result (exact comparison; -1
// for a name the result lacks): 0, or the failing name read's code
// (traced "ret[%d]").
int rvappListColumnPositions(const char* srcPath, int line, const CdDBResult& result,
                             const char* const* names, int count, int* positions);
// escId = tblId escaped as rvappListEscape; -100001 for a missing connection
// or table id, traced "ret[%d]" when traceCode is set, else with an empty text.
int rvappListTableId(const char* srcPath, int line, CdDBConnection* connection, const char* tblId,
                     NString& escId, bool traceCode);
// Calls take with the values of the named columns (in names' order, found
// as rvappListColumnPositions) of every row from the current one to the
// end: 0, or the first failing position, value or step code (traced
// "ret[%d]").
int rvappListFetchRows(const char* srcPath, int line, CdDBResult& result, const char* const* names,
                       int count, const std::function<void(const NString* values)>& take);
// ids = the first column of every row as integers (rvappTextToInt): 0, or
// the failing read's or step's code (traced "ret[%d]").
int rvappListIntColumn(const char* srcPath, int line, CdDBResult& result, std::vector<int>& ids);
// Runs sql and reads the first column of its first row: found is false
// (value untouched) without rows. 0, the statement's status, or the read's
// code (traced "ret[%d]").
int rvappListFirstValue(const char* srcPath, int line, CdDBConnection* connection, const char* sql,
                        NString& value, bool& found);
// Runs sql; found = it gave a row. 0, or the statement's status.
int rvappListHasRows(const char* srcPath, int line, CdDBConnection* connection, const char* sql, bool& found);
// Runs "insert into <table> (<names>) values(<values>)": 0, -100001 for a
// missing table name, or the statement's status.
int rvappListRunInsert(const char* srcPath, int line, CdDBConnection* connection, const char* table,
                       const NStringBuffer& names, const NStringBuffer& values);

#define RVLIST_RUN(conn, sql, result) rvappListRunSql(__FILE__, __LINE__, (conn), (sql), (result))
#define RVLIST_ESCAPE(conn, text, out) rvappListEscape(__FILE__, __LINE__, (conn), (text), (out))
#define RVLIST_POSITIONS(result, names, count, positions) \
    rvappListColumnPositions(__FILE__, __LINE__, (result), (names), (count), (positions))
// Readers trace a missing table id with an empty text, writers with the code.
#define RVLIST_TABLE_ID(conn, tblId, escId) \
    rvappListTableId(__FILE__, __LINE__, (conn), (tblId), (escId), false)
#define RVLIST_TABLE_ID_CODE(conn, tblId, escId) \
    rvappListTableId(__FILE__, __LINE__, (conn), (tblId), (escId), true)
#define RVLIST_FETCH(result, names, count, take) \
    rvappListFetchRows(__FILE__, __LINE__, (result), (names), (count), (take))
#define RVLIST_INT_COLUMN(result, ids) rvappListIntColumn(__FILE__, __LINE__, (result), (ids))
#define RVLIST_FIRST_VALUE(conn, sql, value, found) \
    rvappListFirstValue(__FILE__, __LINE__, (conn), (sql), (value), (found))
#define RVLIST_HAS_ROWS(conn, sql, found) rvappListHasRows(__FILE__, __LINE__, (conn), (sql), (found))
#define RVLIST_INSERT(conn, table, names, values) \
    rvappListRunInsert(__FILE__, __LINE__, (conn), (table), (names), (values))

#endif
