// Reading the saved search filters of a view or of a table.
#ifndef RVAPPGETDBFILTERPTRARRAY_H
#define RVAPPGETDBFILTERPTRARRAY_H

#include <vector>

#include "RvDbSearchFilter.h"

class CdDBConnection;

// Appends the filters linked to the view when viewId is given (a link to a
// filter that no longer exists gives a filter with an empty id), else all
// filters of the table, in seqno order. withConditions: then reads the
// conditions of every filter of out. 0; -100001 for a table or view id that
// is missing or not an integer; statement, value and condition-read codes.
int rvappGetDbFilterPtrArray(CdDBConnection* connection, const char* tblId, bool withConditions,
                             std::vector<RvDbSearchFilterPtr>& out, const char* viewId = nullptr);

#endif
