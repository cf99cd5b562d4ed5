#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RvdbRecordList.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

RvdbColumnSetPtr makeSet(const char* colId, const char* valueType = "text")
{
    RvdbColumnSetPtr p(new RvdbColumnSet());
    p->setTblId(NString("3"));
    if (colId != nullptr)
        p->setColId(NString(colId));
    p->setColType(NString(valueType));
    p->setRelColType(NString(valueType));
    return p;
}

std::vector<RvdbColumnSetPtr> makeSets(std::vector<const char*> ids)
{
    std::vector<RvdbColumnSetPtr> out;
    for (const char* id : ids)
        out.push_back(makeSet(id, std::string(id ? id : "") == "-1" ? "key" : "text"));
    return out;
}

// Appends rows of values whose text 0 is "r<row>c<col>".
void fill(RvdbRecordList& list, int rows)
{
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < list.getColumnCount(); ++c) {
            RvdbColumnValuePtr v(rvdbNewColumnValue(list.getColumns()[static_cast<std::size_t>(c)]));
            v->setText(0, NString(("r" + std::to_string(r) + "c" + std::to_string(c)).c_str()));
            list.getCells().push_back(v);
        }
    }
}

std::string cellText(const RvdbRecordList& list, int row, int col)
{
    RvdbColumnValuePtr v;
    int ret = list.getCell(row, col, v);
    if (ret != 0)
        return "ret" + std::to_string(ret);
    NString out;
    if (!v.hasObject() || v->getText(0, out) != 0)
        return "none";
    return str(out);
}

TEST(RvdbRecordList, EmptyList)
{
    RvdbRecordList list;
    EXPECT_EQ(0, list.getColumnCount());
    EXPECT_EQ(0, list.getRowCount());
    EXPECT_EQ(-1, list.addRow());
    EXPECT_EQ(-1, list.getKeyColumnIndex());
    RvdbColumnValuePtr v;
    EXPECT_EQ(-100001, list.getCell(0, 0, v));
}

TEST(RvdbRecordList, RowMajorGrid)
{
    std::vector<RvdbColumnSetPtr> sets = makeSets({"1", "2", "3"});
    RvdbRecordList list(sets);
    EXPECT_EQ(2, sets[0].useCount());
    EXPECT_EQ(3, list.getColumnCount());
    fill(list, 2);
    ASSERT_EQ(6u, list.getCells().size());
    EXPECT_EQ(2, list.getRowCount());
    // cell (1, 2) is element 5
    RvdbColumnValuePtr v;
    ASSERT_EQ(0, list.getCell(1, 2, v));
    EXPECT_EQ(list.getCells()[5].get(), v.get());
    EXPECT_EQ(2, v.useCount());
    EXPECT_EQ("r1c2", cellText(list, 1, 2));
    EXPECT_EQ("r0c1", cellText(list, 0, 1));

    std::vector<RvdbColumnValuePtr> row;
    row.push_back(RvdbColumnValuePtr());
    ASSERT_EQ(0, list.getRow(1, row));
    ASSERT_EQ(4u, row.size());
    EXPECT_EQ(list.getCells()[3].get(), row[1].get());
    EXPECT_EQ(list.getCells()[5].get(), row[3].get());

    RvdbColumnSetPtr col;
    ASSERT_EQ(0, list.getColumn(2, col));
    EXPECT_EQ(sets[2].get(), col.get());
}

TEST(RvdbRecordList, OutOfRangeChangesNothing)
{
    RvdbRecordList list(makeSets({"1", "2", "3"}));
    fill(list, 2);
    RvdbColumnValuePtr keep(rvdbNewColumnValue(makeSet("9")));
    struct Case {
        int row;
        int col;
    } bad[] = {{-1, 0}, {2, 0}, {0, -1}, {0, 3}, {5, 5}};
    for (const Case& c : bad) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.col));
        RvdbColumnValuePtr out = keep;
        EXPECT_EQ(-100001, list.getCell(c.row, c.col, out));
        EXPECT_EQ(keep.get(), out.get());
        EXPECT_EQ(-1, list.setCell(c.row, c.col, keep));
    }
    EXPECT_EQ(1, keep.useCount());

    RvdbColumnSetPtr col = makeSet("x");
    RvdbColumnSet* before = col.get();
    EXPECT_EQ(-1, list.getColumn(3, col));
    EXPECT_EQ(-1, list.getColumn(-1, col));
    EXPECT_EQ(before, col.get());

    std::vector<RvdbColumnValuePtr> row;
    EXPECT_EQ(-1, list.getRow(2, row));
    EXPECT_EQ(-1, list.getRow(-1, row));
    EXPECT_TRUE(row.empty());
    EXPECT_EQ("r1c2", cellText(list, 1, 2));
}

TEST(RvdbRecordList, SetCellSharesAndDropsOldValue)
{
    RvdbRecordList list(makeSets({"1", "2"}));
    fill(list, 1);
    RvdbColumnValuePtr old;
    ASSERT_EQ(0, list.getCell(0, 1, old));
    EXPECT_EQ(2, old.useCount());
    RvdbColumnValuePtr v(rvdbNewColumnValue(makeSet("2")));
    v->setText(0, NString("new"));
    ASSERT_EQ(0, list.setCell(0, 1, v));
    EXPECT_EQ(1, old.useCount());
    EXPECT_EQ(2, v.useCount());
    EXPECT_EQ("new", cellText(list, 0, 1));
    // the same object again changes nothing
    ASSERT_EQ(0, list.setCell(0, 1, v));
    EXPECT_EQ(2, v.useCount());
}

TEST(RvdbRecordList, AddRowAppendsEmptyHandles)
{
    RvdbRecordList list(makeSets({"-1", "2"}));
    ASSERT_EQ(0, list.addRow());
    EXPECT_EQ(1, list.getRowCount());
    RvdbColumnValuePtr v;
    ASSERT_EQ(0, list.getCell(0, 0, v));
    EXPECT_FALSE(v.hasObject());
    NString key("unchanged");
    EXPECT_EQ(-100001, list.getKeyText(0, key));
    EXPECT_EQ("unchanged", str(key));
}

TEST(RvdbRecordList, ColumnIndex)
{
    RvdbRecordList list(makeSets({"1", "-1", "12", "1", nullptr}));
    EXPECT_EQ(0, list.getColumnIndex(NString("1")));
    EXPECT_EQ(1, list.getColumnIndex(NString("-1")));
    EXPECT_EQ(2, list.getColumnIndex(NString("12")));
    EXPECT_EQ(-1, list.getColumnIndex(NString("2")));
    EXPECT_EQ(-1, list.getColumnIndex(NString("12 ")));
    EXPECT_EQ(4, list.getColumnIndex(NString()));
}

TEST(RvdbRecordList, KeyColumnAndKeyText)
{
    RvdbRecordList noKey(makeSets({"1", "2"}));
    fill(noKey, 1);
    EXPECT_EQ(-1, noKey.getKeyColumnIndex());
    NString out;
    EXPECT_EQ(-1, noKey.getKeyText(0, out));

    RvdbRecordList list(makeSets({"-1", "2", "-1"}));
    fill(list, 2);
    EXPECT_EQ(2, list.getKeyColumnIndex());  // the last key column wins
    ASSERT_EQ(0, list.getKeyText(1, out));
    EXPECT_EQ("r1c2", str(out));
    EXPECT_EQ(-1, list.getKeyText(2, out));
    EXPECT_EQ(-1, list.getKeyText(-1, out));
    EXPECT_EQ("r1c2", str(out));
}

TEST(RvdbRecordList, ClearRowsKeepsColumns)
{
    std::vector<RvdbColumnSetPtr> sets = makeSets({"-1", "2"});
    RvdbRecordList list(sets);
    fill(list, 3);
    RvdbColumnValuePtr held;
    ASSERT_EQ(0, list.getCell(2, 1, held));
    list.clearRows();
    EXPECT_EQ(0, list.getRowCount());
    EXPECT_EQ(2, list.getColumnCount());
    EXPECT_EQ(1, held.useCount());
    EXPECT_EQ("ret-100001", cellText(list, 0, 0));
    fill(list, 1);
    NString key;
    ASSERT_EQ(0, list.getKeyText(0, key));
    EXPECT_EQ("r0c0", str(key));
    // copies of the list share the values
    RvdbRecordList copy = list;
    EXPECT_EQ(2, list.getCells()[0].useCount());
    EXPECT_EQ(4, sets[0].useCount());  // sets, both lists, the value
    copy = RvdbRecordList(sets);
    EXPECT_EQ(1, list.getCells()[0].useCount());
}

TEST(RvListRowsInfo, ClampStart)
{
    struct Case {
        int perPage, start, total, expected;
    } cases[] = {
        {10, 35, 30, 20}, {10, 25, 30, 25}, {10, -5, 30, 0}, {0, 35, 30, 0},
        {10, 5, 0, 0},    {10, 30, 30, 20}, {10, 31, 31, 30}, {-1, 40, 30, 0},
        {10, 0, 0, 0},    {3, 100, 10, 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, RvListRowsInfo::clampStart(c.perPage, c.start, c.total))
            << c.perPage << " " << c.start << " " << c.total;
}

TEST(RvListRowsInfo, Paging)
{
    struct Case {
        int perPage, start, total;
        int first, previous, next, last;
        bool hasPrevious, hasNext;
    } cases[] = {
        {10, 20, 25, 0, 10, 20, 20, true, false},
        {10, 0, 25, 0, 0, 10, 20, false, true},
        {10, 10, 25, 0, 0, 20, 20, true, true},
        {10, 0, 10, 0, 0, 0, 0, false, false},
        {10, 0, 0, 0, 0, 0, 0, false, false},
        {10, 0, 11, 0, 0, 10, 10, false, true},
        // no page size: one page
        {-1, 5, 30, 0, 5, 0, 0, false, false},
        {0, 5, 30, 0, 5, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.perPage) + " " + std::to_string(c.start) + " " +
                     std::to_string(c.total));
        RvListRowsInfo info;
        info.set(c.perPage, c.start, c.total);
        int first = -9, previous = -9, next = -9, last = -9;
        ASSERT_EQ(0, info.getPageStarts(&first, &previous, &next, &last));
        EXPECT_EQ(c.first, first);
        EXPECT_EQ(c.previous, previous);
        EXPECT_EQ(c.next, next);
        EXPECT_EQ(c.last, last);
        EXPECT_EQ(c.hasPrevious, info.hasPrevious());
        EXPECT_EQ(c.hasNext, info.hasNext());
    }
}

TEST(RvListRowsInfo, StateAndFailures)
{
    RvListRowsInfo info;
    EXPECT_EQ(-1, info.getRowsPerPage());
    EXPECT_EQ(0, info.getStartRow());
    EXPECT_EQ(0, info.getTotalRows());

    info.set(10, 35, 30);
    EXPECT_EQ(20, info.normalize());
    EXPECT_EQ(20, info.getStartRow());
    info.set(10, 5, -3);
    EXPECT_EQ(0, info.normalize());
    EXPECT_EQ(0, info.getTotalRows());

    int a = 7, b = 7, c = 7;
    EXPECT_EQ(-100001, info.getPageStarts(&a, &b, &c, nullptr));
    EXPECT_EQ(-100001, info.getPageStarts(nullptr, &a, &b, &c));
    EXPECT_EQ(7, a);
    EXPECT_EQ(7, b);
    EXPECT_EQ(7, c);
}

} // namespace
