#include "rvappGetAllDbLayoutItemPtrArray.h"

#include <cstddef>
#include <cstring>

#include "comtrace.h"
#include "rvappGetDbLayoutItemPtrArray.h"
#include "rvappGetDbLayoutRowPtrArray.h"
#include "rvddGetTblColList.h"

int rvappGetAllDbLayoutItemPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                    std::vector<RvdbColumnSetPtr>& out)
{
    out.clear();
    std::vector<RvDbLayoutRowPtr> rows;
    int ret = rvappGetDbLayoutRowPtrArray(connection, tblId, layoutId, true, rows);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    if (rows.empty()) {
        COMTRACE("%s", "");
        return -330007;
    }
    std::vector<RvDbLayoutColPtr> columns = rows[0]->columns;
    std::vector<RvDbLayoutItemPtr> items;
    ret = rvappGetDbLayoutItemPtrArray(connection, tblId, items);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    std::vector<RvdbColumnSetPtr> sets;
    ret = rvddGetTblColList(connection, sets, tblId);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    for (const RvDbLayoutColPtr& col : columns) {
        for (size_t i = 0; i < items.size(); ++i) {
            if (strcmp(items[i]->layout_item_id.c_str(), col->layout_item_id.c_str()) != 0) {
                continue;
            }
            for (size_t k = 0; k < sets.size(); ++k) {
                if (strcmp(sets[k]->getColId().c_str(), items[i]->col_id.c_str()) == 0) {
                    out.push_back(sets[k]);
                    sets.erase(sets.begin() + static_cast<std::ptrdiff_t>(k));
                    break;
                }
            }
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    out.insert(out.end(), sets.begin(), sets.end());
    return 0;
}
