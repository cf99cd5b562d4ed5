// Record grid of a query and list paging.
#include "RvdbRecordList.h"

#include <cstring>

#include "comtrace.h"

namespace {
const char* const SRC_LIST = "RvdbRecordList";
const char* const SRC_ROWS = "RvListRowsInfo";
} // namespace

RvdbRecordList::RvdbRecordList() : keyColumnIndex(-1) {}

RvdbRecordList::RvdbRecordList(const std::vector<RvdbColumnSetPtr>& columnSets)
    : keyColumnIndex(-1), columns(columnSets)
{
}

int RvdbRecordList::getRowCount() const
{
    if (columns.empty())
        return 0;
    return static_cast<int>(cells.size() / columns.size());
}

int RvdbRecordList::getColumnIndex(const NString& colId) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const RvdbColumnSet* cs = columns[i].get();
        if (cs != nullptr && std::strcmp(cs->getColId().c_str(), colId.c_str()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int RvdbRecordList::getColumn(int index, RvdbColumnSetPtr& out) const
{
    if (index < 0 || index >= getColumnCount()) {
        COMTRACE_SRC(SRC_LIST, "%s", "");
        return -1;
    }
    out = columns[static_cast<std::size_t>(index)];
    return 0;
}

int RvdbRecordList::getCell(int row, int col, RvdbColumnValuePtr& out) const
{
    if (row < 0 || row >= getRowCount() || col < 0 || col >= getColumnCount()) {
        COMTRACE_SRC(SRC_LIST, "%s", "");
        return RVDB_ERR_ARG;
    }
    out = cells[static_cast<std::size_t>(row) * columns.size() + static_cast<std::size_t>(col)];
    return 0;
}

int RvdbRecordList::setCell(int row, int col, const RvdbColumnValuePtr& value)
{
    if (row < 0 || row >= getRowCount() || col < 0 || col >= getColumnCount()) {
        COMTRACE_SRC(SRC_LIST, "%s", "");
        return -1;
    }
    cells[static_cast<std::size_t>(row) * columns.size() + static_cast<std::size_t>(col)] = value;
    return 0;
}

int RvdbRecordList::getRow(int row, std::vector<RvdbColumnValuePtr>& out) const
{
    if (row < 0 || row >= getRowCount()) {
        COMTRACE_SRC(SRC_LIST, "%s", "");
        return -1;
    }
    std::size_t first = static_cast<std::size_t>(row) * columns.size();
    out.insert(out.end(), cells.begin() + static_cast<std::ptrdiff_t>(first),
               cells.begin() + static_cast<std::ptrdiff_t>(first + columns.size()));
    return 0;
}

int RvdbRecordList::addRow()
{
    if (columns.empty()) {
        COMTRACE_SRC(SRC_LIST, "%s", "");
        return -1;
    }
    cells.resize(cells.size() + columns.size());
    return 0;
}

int RvdbRecordList::getKeyColumnIndex()
{
    if (keyColumnIndex < 0) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const RvdbColumnSet* cs = columns[i].get();
            if (cs != nullptr && std::strcmp(cs->getColId().c_str(), "-1") == 0)
                keyColumnIndex = static_cast<int>(i);
        }
    }
    return keyColumnIndex;
}

int RvdbRecordList::getKeyText(int row, NString& out)
{
    int rowCount = getRowCount();
    int key = getKeyColumnIndex();
    if (row < 0 || row >= rowCount || key < 0) {
        COMTRACE_SRC(SRC_LIST, "irowcnt[%d] idxRow[%d] ididx[%d]", rowCount, row, key);
        return -1;
    }
    RvdbColumnValuePtr cell;
    int ret = getCell(row, key, cell);
    if (ret != 0) {
        COMTRACE_SRC(SRC_LIST, "ret[%d]", ret);
        return ret;
    }
    if (!cell.hasObject()) {
        COMTRACE_SRC(SRC_LIST, "ret[%d]", RVDB_ERR_ARG);
        return RVDB_ERR_ARG;
    }
    ret = cell->getText(0, out);
    if (ret != 0) {
        COMTRACE_SRC(SRC_LIST, "ret[%d]", ret);
        return ret;
    }
    return 0;
}

void RvdbRecordList::clearRows()
{
    // swap so that the memory of a large batch is given back
    std::vector<RvdbColumnValuePtr>().swap(cells);
}

// ---- RvListRowsInfo ----

RvListRowsInfo::RvListRowsInfo() : rowsPerPage(-1), startRow(0), totalRows(0), reserved(0) {}

void RvListRowsInfo::set(int perPage, int start, int total)
{
    rowsPerPage = perPage;
    startRow = start;
    totalRows = total;
}

int RvListRowsInfo::clampStart(int perPage, int start, int total)
{
    if (start < 0)
        return 0;
    if (start < total)
        return start;
    if (perPage < 1)
        return 0;
    int lastIndex = total < 1 ? 0 : total - 1;
    return (lastIndex / perPage) * perPage;
}

int RvListRowsInfo::normalize()
{
    if (totalRows < 0)
        totalRows = 0;
    startRow = clampStart(rowsPerPage, startRow, totalRows);
    return startRow;
}

// Without a page size (below 1) the list is one page.
bool RvListRowsInfo::hasPrevious() const
{
    if (totalRows <= 0 || rowsPerPage < 1 || totalRows <= rowsPerPage)
        return false;
    return startRow >= rowsPerPage;
}

bool RvListRowsInfo::hasNext() const
{
    if (totalRows <= 0 || rowsPerPage < 1 || totalRows <= rowsPerPage)
        return false;
    return startRow < totalRows - rowsPerPage;
}

int RvListRowsInfo::getPageStarts(int* first, int* previous, int* next, int* last) const
{
    if (first == nullptr || previous == nullptr || next == nullptr || last == nullptr) {
        COMTRACE_SRC(SRC_ROWS, "%s", "");
        return RVDB_ERR_ARG;
    }
    int lastStart = 0;
    if (rowsPerPage >= 1 && totalRows >= 1)
        lastStart = ((totalRows - 1) / rowsPerPage) * rowsPerPage;
    int step = rowsPerPage >= 1 ? rowsPerPage : 0;
    long long n = static_cast<long long>(startRow) + step;
    long long p = static_cast<long long>(startRow) - step;
    *first = 0;
    *last = lastStart;
    *next = n > lastStart ? lastStart : static_cast<int>(n);
    *previous = p < 0 ? 0 : static_cast<int>(p);
    return 0;
}
