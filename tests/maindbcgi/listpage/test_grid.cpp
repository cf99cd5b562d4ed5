#include <gtest/gtest.h>

#include <string>

#include "RvDbLayoutColumnContainer.h"
#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvschema.h"
#include "rvsuitedb.h"

namespace {

std::string str(const NString& s)
{
    return s.c_str();
}

// "r,c=item(format width, data align)/column id" per cell.
std::string describeCells(const RvDbLayoutColumnContainer& grid)
{
    std::string out;
    for (const RvDbLayoutGridCell& cell : grid.cells) {
        out += std::to_string(cell.rowIndex) + "," + std::to_string(cell.colIndex) + "=" +
               str(cell.item->layout_item_id);
        if (cell.format)
            out += "(" + str(cell.format->width) + std::string(1, cell.format->d.align) + ")";
        out += "/" + str(cell.columnSet->getColId()) + " ";
    }
    return out;
}

class ListPageGrid : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db.open("t_lpgrid", RvSuiteDatabase::ALL);
        error = db.error();
        if (error.empty())
            error = rvschemaLoadListPages(*db);
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", error);
        ASSERT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", db->name().c_str(), 10));
    }

    static RvSuiteDatabase db;
    static std::string error;
    CdDBConnection_PG conn{1, 0};
};

RvSuiteDatabase ListPageGrid::db;
std::string ListPageGrid::error;

TEST_F(ListPageGrid, BuildsCellsWithStoredAndDefaultFormats)
{
    RvDbLayoutGridCell kept;
    {
        RvDbLayoutColumnContainer grid;
        ASSERT_EQ(0, RvDbLayoutColumnContainer::build(&conn, "1", 1, grid));
        // i5: the stored format with an empty d_align stays 'l' on a number
        // column; i7: the first of its two formats; i9 (time span) gets a
        // default format aligned right, isys (date-time) one aligned left.
        EXPECT_EQ("0,0=i5(100l)/5 0,1=i1(120c)/1 1,0=i7(80l)/7 1,1=i9(100r)/9 1,2=isys(100l)/-3 ",
                  describeCells(grid));
        // Stored formats, then defaults for i9, isys, igone and irel.
        ASSERT_EQ(8u, grid.formats.size());
        const RvDbLayoutItemFormat& def = *grid.formats[4];
        EXPECT_EQ("i9", str(def.layout_item_id));
        EXPECT_EQ("EEF2FF", str(def.t.bgcolor));
        EXPECT_EQ(1, def.t.fontstyle);
        EXPECT_EQ('t', def.d.valign);
        EXPECT_EQ("333333", str(def.d.fontcolor));
        EXPECT_EQ('l', grid.formats[6]->d.align);  // igone: no column found

        RvDbLayoutGridCell cell;
        ASSERT_EQ(0, RvDbLayoutColumnContainer::getCell(grid, 1, 2, cell));
        EXPECT_EQ("isys", str(cell.col->layout_item_id));
        EXPECT_EQ(0, cell.row->layout_row_id);
        EXPECT_EQ(-100010, RvDbLayoutColumnContainer::getCell(grid, 1, 3, cell));

        // A column index outside the row appends a column to the row.
        ASSERT_EQ(0, RvDbLayoutColumnContainer::buildCell(grid, NString("irel"), 0, -1));
        ASSERT_EQ(0, RvDbLayoutColumnContainer::buildCell(grid, NString("i1"), 0, 7));
        EXPECT_EQ(4u, grid.rows[0]->columns.size());
        ASSERT_EQ(0, RvDbLayoutColumnContainer::getCell(grid, 0, 2, kept));
        EXPECT_EQ("irel", str(kept.col->layout_item_id));
        EXPECT_EQ(-100001, RvDbLayoutColumnContainer::buildCell(grid, NString("i1"), 3, 0));
        EXPECT_EQ(-100001, RvDbLayoutColumnContainer::buildCell(grid, NString("i1"), -1, 0));
        EXPECT_EQ(-100010, RvDbLayoutColumnContainer::buildCell(grid, NString("inone"), 0, 0));
        EXPECT_EQ(-100010, RvDbLayoutColumnContainer::buildCell(grid, NString("igone"), 0, 0));
        EXPECT_EQ(7u, grid.cells.size());
    }
    // The cell keeps its records after the container is gone.
    EXPECT_EQ("irel", str(kept.item->layout_item_id));
    EXPECT_EQ(4u, kept.row->columns.size());
    EXPECT_EQ("1", str(kept.columnSet->getColId()));
}

TEST_F(ListPageGrid, EmptyAndFailingLayouts)
{
    struct Case {
        const char* tbl;
        int layout;
        int code;
        size_t rows;
        size_t cells;
    };
    const Case cases[] = {
        {"1", 2, 0, 2, 0},        // rows without columns
        {"1", 99, 0, 0, 0},       // no rows at all
        {"1", 3, -330007, 1, 3},  // i5, i1, i1, then an item whose column is gone
        {"2", 5, 0, 1, 1},
    };
    for (const Case& c : cases) {
        RvDbLayoutColumnContainer grid;
        EXPECT_EQ(c.code, RvDbLayoutColumnContainer::build(&conn, c.tbl, c.layout, grid)) << c.layout;
        EXPECT_EQ(c.rows, grid.rows.size()) << c.layout;
        EXPECT_EQ(c.cells, grid.cells.size()) << c.layout;
    }
    RvDbLayoutColumnContainer empty;
    RvDbLayoutGridCell cell;
    EXPECT_EQ(-100010, RvDbLayoutColumnContainer::getCell(empty, 0, 0, cell));

    // A failing read keeps the lists of the last load.
    RvDbLayoutColumnContainer grid;
    ASSERT_EQ(0, RvDbLayoutColumnContainer::load(&conn, "1", 1, grid));
    EXPECT_NE(0, RvDbLayoutColumnContainer::load(&conn, "x", 1, grid));
    EXPECT_EQ(3u, grid.rows.size());
    EXPECT_EQ(7u, grid.items.size());
    EXPECT_EQ(-330007, RvDbLayoutColumnContainer::build(&conn, "", 1, grid));
    EXPECT_EQ(3u, grid.rows.size());
}

}  // namespace
