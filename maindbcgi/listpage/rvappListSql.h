// Statement steps shared by the list-page definition readers and queries.
// Failures are traced under the calling source file and line.
#ifndef RVAPPLISTSQL_H
#define RVAPPLISTSQL_H

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

#define RVLIST_RUN(conn, sql, result) rvappListRunSql(__FILE__, __LINE__, (conn), (sql), (result))
#define RVLIST_ESCAPE(conn, text, out) rvappListEscape(__FILE__, __LINE__, (conn), (text), (out))
#define RVLIST_POSITIONS(result, names, count, positions) \
    rvappListColumnPositions(__FILE__, __LINE__, (result), (names), (count), (positions))

#endif
