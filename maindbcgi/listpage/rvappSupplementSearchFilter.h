// Keeping the search filters the executing user may apply to a table.
#ifndef RVAPPSUPPLEMENTSEARCHFILTER_H
#define RVAPPSUPPLEMENTSEARCHFILTER_H

#include <vector>

#include "RvDbSearchFilter.h"
#include "rvdbcolumnset.h"

// Appends to out a copy of every filter that has conditions and whose
// conditions all name "*" or a column the user may refer to; a filter
// with a hidden column is left out. 0; -100025 when a condition names a
// column that columns does not hold (filters appended before stay).
int rvappSupplementSearchFilter(const std::vector<RvdbColumnSetPtr>& columns,
                                const std::vector<RvDbSearchFilterPtr>& filters,
                                std::vector<RvDbSearchFilterPtr>& out);

#endif
