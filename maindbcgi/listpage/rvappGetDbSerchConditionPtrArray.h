// Reading the conditions of one search filter from rv_search_cond.
#ifndef RVAPPGETDBSERCHCONDITIONPTRARRAY_H
#define RVAPPGETDBSERCHCONDITIONPTRARRAY_H

#include <vector>

#include "RvDbSearchCondition.h"

class CdDBConnection;

// Appends copies of the filter's conditions in seqno order; an empty col_id
// reads as "*". 0; -100001 without a table id; encoder, statement and
// value codes (-1008 for a missing column).
int rvappGetDbSerchConditionPtrArray(CdDBConnection* connection, const char* tblId, int filterId,
                                     std::vector<RvDbSearchCondition>& out);

#endif
