// Records of a query held as a row-major grid of typed cell values, and the
// paging state of lists.
#ifndef RVDBRECORDLIST_H
#define RVDBRECORDLIST_H

#include <vector>

#include "RvdbColumnValue.h"
#include "nstring.h"
#include "rvdbcolumnset.h"

class RvdbRecordList {
public:
    // No columns, no cells, key-column index -1.
    RvdbRecordList();
    // Shares each column-set handle in order; no cells.
    explicit RvdbRecordList(const std::vector<RvdbColumnSetPtr>& columnSets);

    int getColumnCount() const { return static_cast<int>(columns.size()); }
    // Cells / columns; 0 without columns.
    int getRowCount() const;

    // Index of the first column whose col_id equals colId exactly, or -1.
    int getColumnIndex(const NString& colId) const;
    // 0 ≤ index < column count: out shares the set, 0; else -1.
    int getColumn(int index, RvdbColumnSetPtr& out) const;
    // Cell (row, col) in range: out shares its value, 0; else -100001.
    int getCell(int row, int col, RvdbColumnValuePtr& out) const;
    // Cell (row, col) in range: the cell shares value, 0; else -1.
    int setCell(int row, int col, const RvdbColumnValuePtr& value);
    // Row in range: its cells, in column order, appended to out, 0; else -1.
    int getRow(int row, std::vector<RvdbColumnValuePtr>& out) const;
    // Appends one row of handles without values: 0; -1 without columns.
    int addRow();

    // Position of the record-key column (col_id "-1"; the last one wins),
    // looked up and cached on first success; -1 when there is none.
    int getKeyColumnIndex();
    // Text 0 of the key cell of row: 0; -1 for a bad row or no key column;
    // -100001 when the key cell holds no value; or the code of getText.
    int getKeyText(int row, NString& out);

    // The columns and the row-major cells, for the fetch that fills the
    // list (appended cells must keep the count a multiple of the columns).
    const std::vector<RvdbColumnSetPtr>& getColumns() const { return columns; }
    std::vector<RvdbColumnValuePtr>& getCells() { return cells; }
    const std::vector<RvdbColumnValuePtr>& getCells() const { return cells; }
    // Drops every row (and its values), keeping the columns: lets one list
    // carry a large table a row or a batch at a time.
    void clearRows();

private:
    int keyColumnIndex;
    std::vector<RvdbColumnSetPtr> columns;
    std::vector<RvdbColumnValuePtr> cells;
};

// Paging state: rows per page (-1 = not set), 0-based start row, total rows.
class RvListRowsInfo {
public:
    RvListRowsInfo();

    void set(int rowsPerPage, int startRow, int totalRows);
    // The start row moved into the rows: below 0 -> 0; below the total
    // unchanged; else the start of the last page (0 without a page size).
    static int clampStart(int rowsPerPage, int startRow, int totalRows);
    // Total rows below 0 become 0; the start row is clamped; returns it.
    int normalize();
    bool hasPrevious() const;
    bool hasNext() const;
    // First, previous, next and last page starts: 0, or -100001 when an
    // output is missing.
    int getPageStarts(int* first, int* previous, int* next, int* last) const;

    int getRowsPerPage() const { return rowsPerPage; }
    int getStartRow() const { return startRow; }
    int getTotalRows() const { return totalRows; }

private:
    int rowsPerPage;
    int startRow;
    int totalRows;
    int reserved;
};

#endif
