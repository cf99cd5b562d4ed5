// One search condition (rv_search_cond): a column compared with a value.
#ifndef RVDBSEARCHCONDITION_H
#define RVDBSEARCHCONDITION_H

#include "nstring.h"
#include "rvresult.h"

class RvDbSearchCondition {
public:
    RvDbSearchCondition() : cond_id(0), comp_val_type(0), seqno(0), is_new(false) {}

    // Required: -210001 for "col_id".
    static RvResult checkColId(const NString& value);
    // Required; 0 to 9999; one of 0, 1, 2, 101-112, 114-128, 201, 202,
    // 301-306 (-210006 otherwise), for "comp_val_type".
    static RvResult checkCompValType(const NString& value);
    // Empty passes; else 0 to 999999999, for "seqno".
    static RvResult checkSeqno(const NString& value);
    // Whether the comparison value type is one of the known kinds.
    static bool isCompValType(int value);

    int cond_id;
    NString col_id;     // "*" stands for any column
    NString comp_type;  // "==", "!=", "<", "<=", ">", ">=", "Like", "!Like", "LLike", "RLike"
    int comp_val_type;  // 0 compare with comp_val, 1 empty, 2 not empty, else a period
    NString comp_val;
    int seqno;
    bool is_new;        // built from the page's filter file, not read from the database
};

#endif
