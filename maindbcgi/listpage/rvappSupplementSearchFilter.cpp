#include "rvappSupplementSearchFilter.h"

#include <cstring>

#include "comtrace.h"

namespace {

// The user's refer right on the column, as held in the set's permission
// slot; a slot not filled in gives no right.
bool canRefer(const RvdbColumnSet& set)
{
    const RvColPermission* perm = set.getPermissionPtr().get();
    return perm != nullptr && perm->canRefer();
}

}  // namespace

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
            const RvdbColumnSet* set = nullptr;
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
            if (!canRefer(*set)) {
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
