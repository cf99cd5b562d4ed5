// Physical names of user tables and columns, and the attachment table
// tbl%05.5d_lob (rows and large-object contents).
#ifndef RVDBPHYS_H
#define RVDBPHYS_H

#include <vector>

#include "nstring.h"

class CdDBConnection;
struct CdDBBind;

// out = "tbl%05.5d" of the table id read as a decimal integer (reading stops
// at the first non-digit; no digits give 0). Returns out.
NString& rvdbMakeTableName(NString& out, const NString& tableId);
// out = rvdbMakeTableName(tableId) + "_lob". Returns out.
NString& rvdbMakeLobTableName(NString& out, const NString& tableId);
// out = "rvkey", "regist_uname", "regist_date", "update_uname" or
// "update_date" for the column ids "-1" to "-5" exactly, otherwise
// "col%05.5d" of the id read as for tables. Returns out.
NString& rvdbMakeColumnName(NString& out, const NString& colId);
// True when colId is exactly "-1" ... "-5".
bool rvdbIsSystemColumnId(const char* colId);

// One attachment row (SQL NULL reads as empty text).
struct RvdbLobRecord {
    NString content_id;
    NString col_id;
    NString rvkey;
    NString file_name;
    NString file_size;
    NString mime_type;
    NString img_width;
    NString img_height;
};

// Appends the attachment rows of table tableId to records, filtered by each
// non-empty one of contentId, colId and rvkey (bound as $1, $2, ... in that
// order), ordered by content_id. 0; -100001 empty table id or a filter that
// is not an integer; a database code.
int rvdbLog(CdDBConnection* connection, const NString& tableId, const NString& contentId,
            const NString& colId, const NString& rvkey, std::vector<RvdbLobRecord>& records);

// query and binds = the statement rvdbLog lists the rows with, for the
// same filters (without running anything). 0 or -100001 as rvdbLog.
int rvdbMakeLogQuery(const NString& tableId, const NString& contentId, const NString& colId,
                     const NString& rvkey, NString& query, std::vector<CdDBBind>& binds);

// Writes the large object of attachment contentId of table tableId to
// filePath. 0; -100001 a missing or empty argument or a content id that is
// not an integer; -100010 no such attachment; a database or large-object
// code.
int rvdbGetLobFileFromLobTable(CdDBConnection* connection, const char* tableId,
                               const char* contentId, const char* filePath);

#endif
