// Stored total definitions of a table's list page (rv_total).
#ifndef RVDBTOTAL_H
#define RVDBTOTAL_H

#include <vector>

#include "RvDbPtr.h"
#include "nstring.h"

class CdDBConnection;

// One rv_total row as texts (SQL NULL reads as empty).
class RvdbTotal {
public:
    NString tbl_id;
    NString total_id;
    NString total_name;
    NString tval_type;
    NString tval_col_id;
    NString tval_sorder;
    NString sub1_col_id;
    NString sub1_opt;
    NString sub1_sorder;
    NString sub2_col_id;
    NString sub2_opt;
    NString sub2_sorder;
    NString sub3_col_id;
    NString sub3_opt;
    NString sub3_sorder;
    NString crosstab;
    NString crosstab_col_id;
    NString crosstab_opt;
    NString sort_col;
    NString seqno;
};

typedef RvDbPtr<RvdbTotal> RvdbTotalPtr;

// Appends the definitions of the table and/or of the total id (all when
// neither is given), ordered by tbl_id and seqno; limit and offset texts add
// " limit %d" / " offset %d" of their decimal value when given (so "x" gives
// limit 0). 0; -100001 for a given id that is not an integer; statement and
// value codes (a record being read stays with the fields read so far).
int rvdbTotal(CdDBConnection* connection, std::vector<RvdbTotalPtr>& out, const char* tblId,
              const char* totalId, const char* limit, const char* offset);

#endif
