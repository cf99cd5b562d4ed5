// Search filters of a list page and their conditions (plain records).
#ifndef RVDBSEARCH_H
#define RVDBSEARCH_H

#include <memory>
#include <vector>

#include "nstring.h"

// One search condition: compares one column with a value.
struct RvDbSearchCondition {
    int cond_id = 0;
    NString col_id;     // "*": every column of the table
    NString comp_type;  // "==", "!=", "<", "<=", ">", ">=", "Like", "!Like", "LLike", "RLike"
    int comp_val_type = 0;  // 0 compare with comp_val, 1 empty, 2 not empty, else a period
    NString comp_val;
    int seqno = 0;
    bool is_new = false;  // built from the page's filter file, not yet stored
};

// A search filter: conditions joined by and ('&') or by or (any other).
struct RvDbSearchFilter {
    NString filter_id;
    NString filter_name;
    char condition = 0;
    int seqno = 0;
    std::vector<RvDbSearchCondition> conditions;  // own copies, in seqno order
    unsigned char flag = 0;
};

typedef std::shared_ptr<RvDbSearchFilter> RvDbSearchFilterPtr;

#endif
