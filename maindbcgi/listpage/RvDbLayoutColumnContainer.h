// The grid of one layout: each column of each row joined with its layout
// item, the item's display format and the table column it shows.
#ifndef RVDBLAYOUTCOLUMNCONTAINER_H
#define RVDBLAYOUTCOLUMNCONTAINER_H

#include <vector>

#include "RvDbLayoutCol.h"
#include "RvDbLayoutItem.h"
#include "RvDbLayoutItemFormat.h"
#include "RvDbLayoutRow.h"
#include "nstring.h"
#include "rvdbcolumnset.h"

class CdDBConnection;

// One grid position; the handles share the container's records.
class RvDbLayoutGridCell {
public:
    RvDbLayoutGridCell() : rowIndex(0), colIndex(0) {}

    int rowIndex;
    int colIndex;
    RvDbLayoutRowPtr row;
    RvDbLayoutColPtr col;
    RvDbLayoutItemPtr item;
    RvDbLayoutItemFormatPtr format;  // may be empty
    RvdbColumnSetPtr columnSet;
};

class RvDbLayoutColumnContainer {
public:
    // Reads the layout's rows with their columns, the table's items, the
    // layout's formats and the table's column definitions; only when all
    // four reads succeed are the lists replaced. 0 or the failing read's code.
    static int load(CdDBConnection* connection, const char* tblId, int layoutId,
                    RvDbLayoutColumnContainer& container);
    // Appends a default format for every item without one: data alignment
    // 'r' on a number or time-span column, else 'l'.
    static void addDefaultFormats(RvDbLayoutColumnContainer& container);
    // A cell for every column of every row, row by row; the first failing
    // cell's code.
    static int buildCells(RvDbLayoutColumnContainer& container);
    // Appends the cell of the item at (rowIndex, colIndex); a column index
    // outside the row appends a new column for the item to the row (in
    // memory) and takes its index. 0; -100010 when the item or its column
    // definition is missing; -100001 for a row index out of range.
    static int buildCell(RvDbLayoutColumnContainer& container, const NString& layoutItemId, int rowIndex,
                         int colIndex);
    // load, addDefaultFormats, buildCells: 0, or -330007 when the load or a
    // cell fails.
    static int build(CdDBConnection* connection, const char* tblId, int layoutId,
                     RvDbLayoutColumnContainer& container);
    // out = the first cell at (rowIndex, colIndex): 0, or -100010.
    static int getCell(const RvDbLayoutColumnContainer& container, int rowIndex, int colIndex,
                       RvDbLayoutGridCell& out);

    std::vector<RvDbLayoutRowPtr> rows;             // seqno order, with their columns
    std::vector<RvDbLayoutItemPtr> items;           // all items of the table
    std::vector<RvDbLayoutItemFormatPtr> formats;   // stored, then defaults
    std::vector<RvdbColumnSetPtr> columnSets;       // the table's column definitions
    std::vector<RvDbLayoutGridCell> cells;          // row by row, column by column
};

#endif
