#include "RvdbRecordListPageCommand.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "RvDbLayoutItemFormat.h"
#include "cddbconnection.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvappFilterArray.h"
#include "rvappGetAllDbLayoutItemPtrArray.h"
#include "rvappGetDbFilterPtrArray.h"
#include "rvappGetDbLayout.h"
#include "rvappGetDbView.h"
#include "rvappSupplementSearchFilter.h"
#include "rvdbGetRecordList.h"
#include "rvdbTotal.h"
#include "rvddGetTblColList.h"
#include "rvtblpermission.h"
#include "rvuser.h"

#define PAGE_TRACE(...) COMTRACE_SRC("RvdbRecordListPageCommand", __VA_ARGS__)

namespace {

const int kErrArg = -100001;
const int kErrKey = -100002;
const int kErrParam = -100019;
const int kErrRight = -100026;
const int kRetries = 10;

const char* const kRecordList = "tmpreclist";
const char* const kFilters = "advancedsearchcondition";
const char* const kVisibility = "tmpcolvisibility";
const char* const kWidths = "tmpcolwidth";

bool same(const NString& a, const NString& b)
{
    return std::strcmp(a.c_str(), b.c_str()) == 0;
}

// Digits with an optional leading '-', nothing else.
bool isIntegerKey(const NString& text)
{
    const char* p = text.c_str();
    if (*p == '-')
        ++p;
    if (*p == '\0')
        return false;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
    }
    return true;
}

// Leading integer of a text, held to the int range.
int clampedInt(const NString& text)
{
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

bool isSafePageKey(const NString& text)
{
    const char* p = text.c_str();
    if (*p == '\0' || std::strlen(p) != static_cast<size_t>(text.length()))
        return false;
    if (std::strcmp(p, ".") == 0 || std::strcmp(p, "..") == 0)
        return false;
    return std::strpbrk(p, "/\\") == nullptr;
}

bool contains(const std::vector<NString>& list, const NString& value)
{
    for (const NString& v : list) {
        if (same(v, value))
            return true;
    }
    return false;
}

RvdbColumnSet* findColumn(const std::vector<RvdbColumnSetPtr>& columns, const NString& colId)
{
    for (const RvdbColumnSetPtr& c : columns) {
        if (c.hasObject() && same(c->getColId(), colId))
            return c.get();
    }
    return nullptr;
}

// A named column of the table that the user may not refer to.
bool isHiddenColumn(const std::vector<RvdbColumnSetPtr>& columns, const NString& colId)
{
    if (colId.isNullOrEmpty() || same(colId, NString("*")))
        return false;
    RvdbColumnSet* set = findColumn(columns, colId);
    return set != nullptr && !set->getColPermission().canRefer();
}

// Width saved for an item: the first pair of its id.
const NString* savedWidth(const RvPairList& widths, const NString& itemId)
{
    for (const RvPair& p : widths) {
        if (same(p.first, itemId))
            return &p.second;
    }
    return nullptr;
}

// The fixed item: walks the columns in layout order noting the first item
// of each column; at the item fixed_colid goes back to the nearest visible
// one. Empty when the walk finds none.
NString resolveFixedItem(const RvdbRecordListPage& page, const NString& fixedColId,
                         const std::vector<NString>& visible)
{
    std::vector<NString> noted;
    for (const RvdbColumnSetPtr& col : page.layoutColumns) {
        if (!col.hasObject())
            return NString();
        const RvDbLayoutItem* found = nullptr;
        for (const RvDbLayoutItemPtr& item : page.grid.items) {
            if (item.hasObject() && same(item->col_id, col->getColId())) {
                found = item.get();
                break;
            }
        }
        if (found == nullptr)
            return NString();
        noted.push_back(found->layout_item_id);
        if (!same(found->layout_item_id, fixedColId))
            continue;
        for (size_t i = noted.size(); i-- > 0;) {
            if (contains(visible, noted[i]))
                return noted[i];
        }
        return NString();
    }
    return NString();
}

}  // namespace

RvdbRecordListPageCommand::RvdbRecordListPageCommand(const NString& tempDir, const NString& tid,
                                                     const NString& wid)
    : tid(tid), wid(wid), tempDir(tempDir), queryRecords(true), textCutLength(-1), countHits(true)
{
}

RvdbRecordListPageCommand::~RvdbRecordListPageCommand()
{
}

NString RvdbRecordListPageCommand::makeTempFilePath(const char* name) const
{
    NString path;
    path.format("%s/%s_%s_%s", tempDir.c_str(), name ? name : "", tid.c_str(), wid.c_str());
    return path;
}

int RvdbRecordListPageCommand::checkFileKeys() const
{
    if (!isIntegerKey(tid) || !isSafePageKey(wid))
        return kErrKey;
    return 0;
}

int RvdbRecordListPageCommand::save() const
{
    int ret = tempDir.isNullOrEmpty() ? kErrKey : checkFileKeys();
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tmpdir[%s] tid[%.64s] wid[%.64s]", ret, tempDir.c_str(), tid.c_str(),
                   wid.c_str());
        return ret;
    }
    RvPairList pairs;
    pairs.emplace_back(NString("tid"), tid);
    pairs.emplace_back(NString("vid"), vid);
    pairs.emplace_back(NString("row"), row);
    pairs.emplace_back(NString("limit"), limit);
    pairs.emplace_back(NString("fixed_colid"), fixedColId);
    pairs.emplace_back(NString("sort_colid"), sortColId);
    pairs.emplace_back(NString("sort_order"), sortOrder);
    pairs.emplace_back(NString("active_tab"), activeTab);
    pairs.emplace_back(NString("relkey_colid"), relkeyColId);
    pairs.emplace_back(NString("relkey_colval"), relkeyColVal);
    NString path = makeTempFilePath(kRecordList);
    ret = rvcomWriteFileFromPairArray(pairs, path.c_str(), kRetries);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] path[%s]", ret, path.c_str());
        return ret;
    }
    path = makeTempFilePath(kFilters);
    ret = rvappFilterArrayWrite(path.c_str(), filters, searchType);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] path[%s]", ret, path.c_str());
        return ret;
    }
    pairs.clear();
    for (const NString& item : visibleItems)
        pairs.emplace_back(NString("visible"), item);
    path = makeTempFilePath(kVisibility);
    ret = rvcomWriteFileFromPairArray(pairs, path.c_str(), kRetries);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] path[%s]", ret, path.c_str());
        return ret;
    }
    path = makeTempFilePath(kWidths);
    ret = rvcomWriteFileFromPairArray(itemWidths, path.c_str(), kRetries);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] path[%s]", ret, path.c_str());
        return ret;
    }
    return 0;
}

int RvdbRecordListPageCommand::load()
{
    int ret = checkFileKeys();
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%.64s] wid[%.64s]", ret, tid.c_str(), wid.c_str());
        return ret;
    }
    // Every file is named by the keys the command was made with, whatever
    // table id the first file holds.
    const NString recordPath = makeTempFilePath(kRecordList);
    const NString filterPath = makeTempFilePath(kFilters);
    const NString visibilityPath = makeTempFilePath(kVisibility);
    const NString widthPath = makeTempFilePath(kWidths);

    RvPairList pairs;
    ret = rvcomReadFileToPairArray(pairs, recordPath.c_str(), kRetries);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] path[%s]", ret, recordPath.c_str());
        return ret;
    }
    struct Field {
        const char* key;
        NString* field;
    };
    const Field fields[] = {
        {"tid", &tid},
        {"vid", &vid},
        {"row", &row},
        {"limit", &limit},
        {"fixed_colid", &fixedColId},
        {"sort_colid", &sortColId},
        {"sort_order", &sortOrder},
        {"active_tab", &activeTab},
        {"relkey_colid", &relkeyColId},
        {"relkey_colval", &relkeyColVal},
    };
    for (const Field& f : fields) {
        NString value;
        rvcomGetPairValue(value, pairs, f.key, false);
        *f.field = value.isNull() ? NString("") : value;
    }

    ret = rvappFilterArrayRead(filterPath.c_str(), filters, searchType);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] path[%s]", ret, filterPath.c_str());
        return ret;
    }

    visibleItems.clear();
    pairs.clear();
    ret = rvcomReadFileToPairArray(pairs, visibilityPath.c_str(), kRetries);
    if (ret != 0 && ret != RVCOM_ERR_NO_FILE) {
        PAGE_TRACE("ret[%d] path[%s]", ret, visibilityPath.c_str());
        return ret;
    }
    for (const RvPair& p : pairs)
        visibleItems.push_back(p.second);

    pairs.clear();
    ret = rvcomReadFileToPairArray(pairs, widthPath.c_str(), kRetries);
    if (ret != 0 && ret != RVCOM_ERR_NO_FILE) {
        PAGE_TRACE("ret[%d] path[%s]", ret, widthPath.c_str());
        return ret;
    }
    itemWidths.insert(itemWidths.end(), pairs.begin(), pairs.end());
    return 0;
}

int RvdbRecordListPageCommand::deleteTempFiles() const
{
    int ret = tempDir.isNullOrEmpty() ? kErrKey : checkFileKeys();
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tmpdir[%s] tid[%.64s] wid[%.64s]", ret, tempDir.c_str(), tid.c_str(),
                   wid.c_str());
        return ret;
    }
    for (const char* name : {kRecordList, kFilters, kVisibility, kWidths})
        unlink(makeTempFilePath(name).c_str());
    return 0;
}

NString RvdbRecordListPageCommand::normalizeSortOrder() const
{
    return NString(same(sortOrder, NString("0")) ? "0" : "1");
}

NString RvdbRecordListPageCommand::getSearchType() const
{
    if (same(searchType, NString("advance")) || same(searchType, NString("simple")))
        return searchType;
    return NString();
}

NString RvdbRecordListPageCommand::getDisplayMode() const
{
    return same(activeTab, NString("edit")) ? activeTab : NString("disp");
}

int RvdbRecordListPageCommand::setColumnWidth(const NString& itemId, const NString& width)
{
    if (!comIsInteger(itemId.c_str()) || RvDbLayoutItemFormat::checkWidth(width).isError()) {
        PAGE_TRACE("ret[%d] itemid[%.64s] width[%.64s]", kErrArg, itemId.c_str(), width.c_str());
        return kErrArg;
    }
    for (RvPair& p : itemWidths) {
        if (same(p.first, itemId)) {
            p.second = width;
            return 0;
        }
    }
    itemWidths.emplace_back(itemId, width);
    return 0;
}

int RvdbRecordListPageCommand::apply(RvdbRecordListPage& page,
                                     const RvdbRecordListPageCommand& command, const RvUser& user,
                                     CdDBConnection* connection)
{
    const NString tblId = command.getTid();
    NString viewId = command.getVid();
    const NString sortColId = command.getSortColId();
    const NString sortOrder = command.normalizeSortOrder();
    const NString row = command.getRow();
    const NString limitText = command.getLimit();
    const NString fixedColId = command.getFixedColId();
    int textCut = command.getTextCutLength();
    const NString relkeyColId = command.getRelKeyColId();
    const NString relkeyColVal = command.getRelKeyColVal();
    const std::vector<NString> visible = command.getVisibleColumns();
    const RvPairList widths = command.getColumnWidths();
    const std::vector<RvDbSearchFilterPtr> savedFilters = command.getFilters();
    const std::vector<NString>& selected = command.getSelectedColumns();

    if (tblId.isNullOrEmpty()) {
        PAGE_TRACE("ret[%d] tid[]", kErrParam);
        return kErrParam;
    }
    const char* tbl = tblId.c_str();
    int ret = 0;
    bool viewRead = false;
    if (viewId.isNullOrEmpty()) {
        ret = rvappGetDbDefaultView(connection, tbl, page.view);
        if (ret != 0) {
            PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
            return ret;
        }
        viewId.format("%d", page.view.view_id);
        viewRead = true;
    }
    ret = rvappGetTablePermission(connection, user, tblId, page.rights, true);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
        return ret;
    }
    if (!page.rights.canRefer()) {
        PAGE_TRACE("ret[%d] tid[%s]", kErrRight, tbl);
        return kErrRight;
    }
    if (!viewRead) {
        ret = rvappGetDbView(connection, tbl, std::atoi(viewId.c_str()), page.view);
        if (ret != 0) {
            PAGE_TRACE("ret[%d] tid[%s] vid[%.64s]", ret, tbl, viewId.c_str());
            return ret;
        }
    }
    ret = rvappGetTableSet(connection, tbl, page.table);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
        return ret;
    }
    ret = rvddGetTblColList(connection, page.columns, tbl);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
        return ret;
    }

    if (selected.empty()) {
        const int layoutId = page.view.l_layout_id;
        ret = rvappGetDbLayout(connection, tbl, layoutId, page.layout);
        if (ret == 0)
            ret = RvDbLayoutColumnContainer::build(connection, tbl, layoutId, page.grid);
        if (ret != 0) {
            PAGE_TRACE("ret[%d] tid[%s] layoutid[%d]", ret, tbl, layoutId);
            return ret;
        }
        if (page.layout.layout_type == 'l') {
            ret = rvappGetAllDbLayoutItemPtrArray(connection, tbl, layoutId, page.layoutColumns);
            if (ret != 0) {
                PAGE_TRACE("ret[%d] tid[%s] layoutid[%d]", ret, tbl, layoutId);
                return ret;
            }
            for (RvDbLayoutItemFormatPtr& format : page.grid.formats) {
                if (!format.hasObject())
                    continue;
                const NString* w = savedWidth(widths, format->layout_item_id);
                if (w != nullptr && !w->isNullOrEmpty())
                    format->width = *w;
            }
            std::vector<NString> firstRow;
            if (!page.grid.rows.empty() && page.grid.rows[0].hasObject()) {
                for (const RvDbLayoutColPtr& col : page.grid.rows[0]->columns) {
                    if (col.hasObject())
                        firstRow.push_back(col->layout_item_id);
                }
            }
            for (const NString& item : visible) {
                if (contains(firstRow, item))
                    continue;
                ret = RvDbLayoutColumnContainer::buildCell(page.grid, item, 0, -1);
                if (ret != 0) {
                    PAGE_TRACE("ret[%d] tid[%s] itemid[%s]", ret, tbl, item.c_str());
                    return ret;
                }
                firstRow.push_back(item);
            }
            if (!fixedColId.isNullOrEmpty())
                page.fixedItem = resolveFixedItem(page, fixedColId, visible);
        }
        std::vector<RvdbTotalPtr> totals;
        ret = rvdbTotal(connection, totals, tbl, nullptr, "1", nullptr);
        if (ret != 0) {
            PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
            return ret;
        }
        page.hasTotals = totals.empty() ? NString("") : NString("1");
    }

    std::vector<RvDbSearchFilterPtr> tableFilters;
    ret = rvappGetDbFilterPtrArray(connection, tbl, true, tableFilters);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
        return ret;
    }
    ret = rvappSupplementSearchFilter(page.columns, tableFilters, page.tableFilters);
    if (ret != 0) {
        PAGE_TRACE("ret[%d]", ret);
        return ret;
    }
    std::vector<RvDbSearchFilterPtr> viewFilters;
    ret = rvappGetDbFilterPtrArray(connection, tbl, true, viewFilters, viewId.c_str());
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%s] vid[%.64s]", ret, tbl, viewId.c_str());
        return ret;
    }

    if (isHiddenColumn(page.columns, sortColId)) {
        PAGE_TRACE("ret[%d] tblid[%s] colid[%s]", kErrRight, tbl, sortColId.c_str());
        return kErrRight;
    }
    RvPairList viewSorts;
    const struct {
        const NString& colId;
        char order;
    } keys[] = {
        {page.view.l_sort1_col_id, page.view.l_sort1_order},
        {page.view.l_sort2_col_id, page.view.l_sort2_order},
        {page.view.l_sort3_col_id, page.view.l_sort3_order},
    };
    for (const auto& k : keys) {
        if (!k.colId.isNullOrEmpty())
            viewSorts.emplace_back(k.colId, NString(k.order == 'a' ? "1" : "0"));
    }
    ret = rvdbMakeSortList(viewSorts, RvPair(sortColId, sortOrder), page.sortList);
    if (ret != 0) {
        PAGE_TRACE("ret[%d]", ret);
        return ret;
    }

    // A search on a column the user may not see would tell its values; it
    // is refused, never dropped (dropping would widen the result).
    if (isHiddenColumn(page.columns, relkeyColId)) {
        PAGE_TRACE("ret[%d] tblid[%s] relkey[%s]", kErrRight, tbl, relkeyColId.c_str());
        return kErrRight;
    }
    for (const RvDbSearchFilterPtr& f : savedFilters) {
        if (!f)
            continue;
        for (const RvDbSearchCondition& c : f->conditions) {
            if (isHiddenColumn(page.columns, c.col_id)) {
                PAGE_TRACE("ret[%d] tblid[%s] filter colid[%s]", kErrRight, tbl, c.col_id.c_str());
                return kErrRight;
            }
        }
    }
    std::vector<RvDbSearchFilterPtr> queryFilters;
    if (!relkeyColId.isNullOrEmpty()) {
        RvDbSearchFilterPtr rel = std::make_shared<RvDbSearchFilter>();
        rel->filter_id = NString("");
        rel->filter_name = NString("");
        rel->condition = '&';
        RvDbSearchCondition cond;
        cond.col_id = relkeyColId;
        cond.comp_type = NString("==");
        cond.comp_val_type = 0;
        cond.comp_val = relkeyColVal.isNull() ? NString("") : relkeyColVal;
        rel->conditions.push_back(cond);
        queryFilters.push_back(rel);
    }
    queryFilters.insert(queryFilters.end(), viewFilters.begin(), viewFilters.end());
    queryFilters.insert(queryFilters.end(), savedFilters.begin(), savedFilters.end());
    page.queryFilters = queryFilters;

    if (!command.getQueryRecords())
        return 0;
    int limit = page.view.rows_per_page;
    if (!limitText.isNullOrEmpty())
        limit = clampedInt(limitText);
    if (limit > 0 && limit < INT_MAX)
        ++limit;
    int offset = clampedInt(row);
    if (offset < 0)
        offset = 0;
    RvStringList colIds;
    if (!selected.empty()) {
        colIds = selected;
    } else {
        colIds.push_back(NString("-1"));
        for (const RvDbLayoutGridCell& cell : page.grid.cells) {
            if (!cell.item.hasObject())
                continue;
            const NString& id = cell.item->col_id;
            if (!id.isNullOrEmpty() && !contains(colIds, id))
                colIds.push_back(id);
        }
    }
    if (textCut == -1) {
        if (page.layout.layout_type == 'l')
            textCut = 100;
        else if (page.layout.layout_type == 'd')
            textCut = 0;
    }
    ret = rvdbGetRecordList(connection, tbl, page.columns, colIds, textCut, queryFilters,
                            page.sortList, page.records, limit, offset,
                            command.getCountHits() ? &page.hitCount : nullptr);
    if (ret != 0) {
        PAGE_TRACE("ret[%d] tid[%s]", ret, tbl);
        return ret;
    }
    return 0;
}
