#include "RvDbLayoutColumnContainer.h"

#include <cstring>

#include "comtrace.h"
#include "rvappGetDbLayoutFormatPtrArray.h"
#include "rvappGetDbLayoutItemPtrArray.h"
#include "rvappGetDbLayoutRowPtrArray.h"
#include "rvddGetTblColList.h"

namespace {

bool same(const NString& a, const NString& b)
{
    return strcmp(a.c_str(), b.c_str()) == 0;
}

const RvDbLayoutItemFormatPtr* findFormat(const std::vector<RvDbLayoutItemFormatPtr>& formats, const NString& id)
{
    for (const RvDbLayoutItemFormatPtr& f : formats) {
        if (same(f->layout_item_id, id)) {
            return &f;
        }
    }
    return nullptr;
}

const RvdbColumnSetPtr* findColumnSet(const std::vector<RvdbColumnSetPtr>& sets, const NString& colId)
{
    for (const RvdbColumnSetPtr& s : sets) {
        if (same(s->getColId(), colId)) {
            return &s;
        }
    }
    return nullptr;
}

}  // namespace

int RvDbLayoutColumnContainer::load(CdDBConnection* connection, const char* tblId, int layoutId,
                                    RvDbLayoutColumnContainer& container)
{
    std::vector<RvDbLayoutRowPtr> rows;
    std::vector<RvDbLayoutItemPtr> items;
    std::vector<RvDbLayoutItemFormatPtr> formats;
    std::vector<RvdbColumnSetPtr> sets;
    int ret = rvappGetDbLayoutRowPtrArray(connection, tblId, layoutId, true, rows);
    if (ret == 0) {
        ret = rvappGetDbLayoutItemPtrArray(connection, tblId, items);
    }
    if (ret == 0) {
        ret = rvappGetDbLayoutFormatPtrArray(connection, tblId, layoutId, formats);
    }
    if (ret == 0) {
        ret = rvddGetTblColList(connection, sets, tblId);
    }
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    container.rows.swap(rows);
    container.items.swap(items);
    container.formats.swap(formats);
    container.columnSets.swap(sets);
    return 0;
}

void RvDbLayoutColumnContainer::addDefaultFormats(RvDbLayoutColumnContainer& container)
{
    for (const RvDbLayoutItemPtr& item : container.items) {
        if (findFormat(container.formats, item->layout_item_id) != nullptr) {
            continue;
        }
        const RvdbColumnSetPtr* set = findColumnSet(container.columnSets, item->col_id);
        char align = set != nullptr && (*set)->isNumericOrTimeSpanValue() ? 'r' : 'l';
        RvDbLayoutItemFormatPtr f(new RvDbLayoutItemFormat());
        f->layout_item_id = item->layout_item_id;
        f->width = NString("100");
        f->t = RvDbLayoutFormatGroup(NString("EEF2FF"), 'c', 'm', 3, NString("333333"), 1);
        f->d = RvDbLayoutFormatGroup(NString("FFFFFF"), align, 't', 3, NString("333333"), 0);
        container.formats.push_back(f);
    }
}

int RvDbLayoutColumnContainer::buildCells(RvDbLayoutColumnContainer& container)
{
    for (size_t r = 0; r < container.rows.size(); ++r) {
        std::vector<RvDbLayoutColPtr> columns = container.rows[r]->columns;
        for (size_t c = 0; c < columns.size(); ++c) {
            int ret = buildCell(container, columns[c]->layout_item_id, static_cast<int>(r), static_cast<int>(c));
            if (ret != 0) {
                return ret;
            }
        }
    }
    return 0;
}

int RvDbLayoutColumnContainer::buildCell(RvDbLayoutColumnContainer& container, const NString& layoutItemId,
                                         int rowIndex, int colIndex)
{
    RvDbLayoutGridCell cell;
    for (const RvDbLayoutItemPtr& item : container.items) {
        if (same(item->layout_item_id, layoutItemId)) {
            cell.item = item;
            break;
        }
    }
    if (!cell.item) {
        COMTRACE("ret[%d] itemid[%s]", -100010, layoutItemId.c_str());
        return -100010;
    }
    const RvDbLayoutItemFormatPtr* format = findFormat(container.formats, layoutItemId);
    if (format != nullptr) {
        cell.format = *format;
    }
    const RvdbColumnSetPtr* set = findColumnSet(container.columnSets, cell.item->col_id);
    if (set == nullptr) {
        COMTRACE("ret[%d] colid[%s]", -100010, cell.item->col_id.c_str());
        return -100010;
    }
    cell.columnSet = *set;
    if (rowIndex < 0 || static_cast<size_t>(rowIndex) >= container.rows.size()) {
        COMTRACE("ret[%d] row[%d]", -100001, rowIndex);
        return -100001;
    }
    cell.row = container.rows[static_cast<size_t>(rowIndex)];
    std::vector<RvDbLayoutColPtr>& columns = cell.row->columns;
    if (colIndex < 0 || static_cast<size_t>(colIndex) >= columns.size()) {
        RvDbLayoutColPtr added(new RvDbLayoutCol());
        added->layout_item_id = layoutItemId;
        colIndex = static_cast<int>(columns.size());
        columns.push_back(added);
    }
    cell.rowIndex = rowIndex;
    cell.colIndex = colIndex;
    cell.col = columns[static_cast<size_t>(colIndex)];
    container.cells.push_back(cell);
    return 0;
}

int RvDbLayoutColumnContainer::build(CdDBConnection* connection, const char* tblId, int layoutId,
                                     RvDbLayoutColumnContainer& container)
{
    int ret = load(connection, tblId, layoutId, container);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return -330007;
    }
    addDefaultFormats(container);
    ret = buildCells(container);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return -330007;
    }
    return 0;
}

int RvDbLayoutColumnContainer::getCell(const RvDbLayoutColumnContainer& container, int rowIndex, int colIndex,
                                       RvDbLayoutGridCell& out)
{
    for (const RvDbLayoutGridCell& cell : container.cells) {
        if (cell.rowIndex == rowIndex && cell.colIndex == colIndex) {
            out = cell;
            return 0;
        }
    }
    return -100010;
}
