#include "rvappSupplementSearchFilter.h"

#include <cstring>

#include "comtrace.h"

int rvappSupplementSearchFilter(const std::vector<RvdbColumnSetPtr>& columns,
                                const std::vector<RvDbSearchFilterPtr>& filters,
                                std::vector<RvDbSearchFilterPtr>& out)
{
    for (const RvDbSearchFilterPtr& filter : filters) {
        if (filter->conditions.empty()) {
            continue;
        }
        bool usable = true;
        for (const RvDbSearchCondition& cond : filter->conditions) {
            if (strcmp(cond.col_id.c_str(), "*") == 0) {
                continue;
            }
            RvdbColumnSet* set = nullptr;
            for (const RvdbColumnSetPtr& c : columns) {
                if (strcmp(c->getColId().c_str(), cond.col_id.c_str()) == 0) {
                    set = c.get();
                    break;
                }
            }
            if (set == nullptr) {
                COMTRACE("not found columnsetting colId[%s]", cond.col_id.c_str());
                return -100025;
            }
            if (!set->getColPermission().canRefer()) {
                usable = false;
                break;
            }
        }
        if (usable) {
            out.push_back(RvDbSearchFilterPtr(new RvDbSearchFilter(*filter)));
        }
    }
    return 0;
}
