#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rvdbcolumnset.h"

namespace {

RvdbColumnSet* makeSet(const char* tbl, const char* col, const char* type, const char* valueType = nullptr)
{
    RvdbColumnSet* s = new RvdbColumnSet();
    s->setTblId(NString(tbl));
    s->setColId(NString(col));
    s->setColType(NString(type));
    s->setRelColType(NString(valueType ? valueType : type));
    return s;
}

std::string str(const NString& s) { return s.c_str(); }

// relref (1.7) -> relref (2.5) -> text (3.1)
RvdbColumnSetPtr makeRefChain()
{
    RvdbColumnSetPtr root(makeSet("3", "1", "text"));
    RvdbColumnSetPtr mid(makeSet("2", "5", "relref", "text"));
    mid->setRelatedSet(root);
    RvdbColumnSetPtr top(makeSet("1", "7", "relref", "text"));
    top->setRelatedSet(mid);
    return top;
}

TEST(RvdbColumnSetPtr, CountsAndDestroysOnLastRelease)
{
    RvdbColumnSetPtr empty;
    EXPECT_FALSE(empty.hasObject());
    EXPECT_EQ(1, empty.useCount());

    RvdbColumnSetPtr a(makeSet("1", "2", "text"));
    {
        RvdbColumnSetPtr b = a;
        EXPECT_EQ(2, a.useCount());
        EXPECT_EQ(a.get(), b.get());
        b.release();
        EXPECT_FALSE(b.hasObject());
        EXPECT_EQ(0, b.useCount());
        EXPECT_EQ(1, a.useCount());
    }
    RvdbColumnSetPtr c;
    c = a;
    c = c;
    EXPECT_EQ(2, a.useCount());
    c = RvdbColumnSetPtr();
    EXPECT_EQ(1, a.useCount());
    EXPECT_EQ("2", str(a->getColId()));
}

TEST(RvdbColumnSetPtr, AssigningALinkOfItsOwnChainKeepsItAlive)
{
    RvdbColumnSetPtr top = makeRefChain();
    // The only holder of the top set takes its own related set.
    top = top->getRelatedSet();
    ASSERT_TRUE(top.hasObject());
    EXPECT_EQ("5", str(top->getColId()));
    EXPECT_EQ("1", str(top->getRelatedSet()->getColId()));
}

TEST(RvdbColumnSet, PropertiesByPositionAndName)
{
    RvdbColumnSet s;
    for (int i = 0; i < RvdbColumnSet::PROPERTY_COUNT; ++i)
        EXPECT_TRUE(s.get(i).isNullOrEmpty());
    EXPECT_EQ(0, RvdbColumnSet::findProperty("tbl_id"));
    EXPECT_EQ(38, RvdbColumnSet::findProperty("autocrrct"));
    EXPECT_EQ(45, RvdbColumnSet::findProperty("type"));
    EXPECT_EQ(50, RvdbColumnSet::findProperty("operator"));
    EXPECT_EQ(56, RvdbColumnSet::findProperty("rel_key_lname"));
    EXPECT_EQ(-1, RvdbColumnSet::findProperty("TBL_ID"));
    EXPECT_EQ(-1, RvdbColumnSet::findProperty(nullptr));
    EXPECT_STREQ("", RvdbColumnSet::propertyName(57));

    s.set(RvdbColumnSet::P_operator, NString("2"));
    EXPECT_EQ("2", str(s.getOperator()));
    s.set(57, NString("x"));
    s.set(-1, NString("x"));
    EXPECT_EQ("", str(s.get(57)));
}

TEST(RvdbColumnSet, AssignmentSharesRelatedSetAndPermission)
{
    RvdbColumnSetPtr src = makeRefChain();
    src->getInnerColumns().push_back(RvdbInnerColumn());
    RvdbColumnSet dst;
    dst = *src;
    EXPECT_EQ("7", str(dst.getColId()));
    EXPECT_EQ(src->getRelatedSet().get(), dst.getRelatedSet().get());
    EXPECT_EQ(1u, dst.getInnerColumns().size());

    // A permission filled in through one holder is seen by the other.
    RvColPermission perm;
    perm.setRefer(true);
    dst.getPermissionPtr().set(perm);
    ASSERT_TRUE(src->getPermissionPtr().hasObject());
    EXPECT_TRUE(src->getPermissionPtr().get()->canRefer());

    dst = dst;
    EXPECT_EQ("7", str(dst.getColId()));
}

TEST(RvdbColumnSet, CopyDeepGivesAChainOfItsOwn)
{
    RvdbColumnSetPtr src = makeRefChain();
    RvdbColumnSet dst;
    EXPECT_EQ(0, RvdbColumnSet::copyDeep(*src, dst));

    RvdbColumnSet* s1 = src->getRelatedSet().get();
    RvdbColumnSet* d1 = dst.getRelatedSet().get();
    ASSERT_NE(nullptr, d1);
    EXPECT_NE(s1, d1);
    EXPECT_EQ(str(s1->getColId()), str(d1->getColId()));
    RvdbColumnSet* s2 = s1->getRelatedSet().get();
    RvdbColumnSet* d2 = d1->getRelatedSet().get();
    ASSERT_NE(nullptr, d2);
    EXPECT_NE(s2, d2);
    EXPECT_EQ("text", str(d2->getColType()));

    d2->setColLname(NString("changed"));
    EXPECT_EQ("", str(s2->getColLname()));
    EXPECT_EQ(0, RvdbColumnSet::copyDeep(dst, dst));
}

TEST(RvdbColumnSet, CyclicChainEndsWithAFailure)
{
    RvdbColumnSetPtr a(makeSet("5", "2", "relref", "text"));
    RvdbColumnSetPtr b(makeSet("5", "3", "relref", "text"));
    a->setRelatedSet(b);
    b->setRelatedSet(a);

    EXPECT_EQ(nullptr, a->getRootColumnSet());
    EXPECT_FALSE(a->hasRootColumnSet());

    RvdbColumnSet copy;
    EXPECT_EQ(RVDB_ERR_ARG, RvdbColumnSet::copyDeep(*a, copy));

    std::vector<RvdbInnerColumn> inner;
    EXPECT_EQ(RVDB_ERR_NO_SCHEMA, rvdbUpdaetColumnSetAndSchema(*a, inner));

    b->setRelatedSet(RvdbColumnSetPtr());  // break the cycle so both are freed
}

TEST(RvdbColumnSet, RootColumnSet)
{
    RvdbColumnSet plain;
    EXPECT_EQ(nullptr, plain.getRootColumnSet());
    EXPECT_FALSE(plain.hasRootColumnSet());

    RvdbColumnSetPtr chain = makeRefChain();
    RvdbColumnSet* root = chain->getRootColumnSet();
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("3", str(root->getTblId()));
    EXPECT_TRUE(chain->hasRootColumnSet());

    // relkey: the walk stops at the first set that is not relref.
    RvdbColumnSetPtr key(makeSet("1", "16", "relkey", "key"));
    RvdbColumnSetPtr target(makeSet("2", "-1", "key"));
    key->setRelatedSet(target);
    EXPECT_EQ(target.get(), key->getRootColumnSet());

    // A relref whose last link is a relref without a related set.
    RvdbColumnSetPtr open(makeSet("1", "8", "relref", "text"));
    open->setRelatedSet(RvdbColumnSetPtr(makeSet("2", "5", "relref", "text")));
    ASSERT_NE(nullptr, open->getRootColumnSet());
    EXPECT_FALSE(open->hasRootColumnSet());
}

TEST(RvdbColumnSet, ListText)
{
    RvdbColumnSet s;
    RvStringList list;
    EXPECT_EQ(0, s.setInitVal(list));
    EXPECT_EQ("", str(s.getVInitVal()));

    list = { NString("a"), NString("b") };
    EXPECT_EQ(0, s.setInitVal(list));
    EXPECT_EQ("\na\nb\n", str(s.getVInitVal()));
    EXPECT_EQ(0, s.setInputSelects(list));
    RvStringList back;
    s.getInputSelects(back);
    ASSERT_EQ(2u, back.size());
    EXPECT_EQ("b", str(back[1]));

    RvStringList bad = { NString("x"), NString("y\nz") };
    EXPECT_NE(0, s.setInitVal(bad));
    EXPECT_EQ("\na\nb\n", str(s.getVInitVal()));

    s.setVInitVal(NString());
    back.clear();
    s.getInitVal(back);
    EXPECT_TRUE(back.empty());
}

TEST(RvdbColumnSet, TypeLabels)
{
    NString out;
    RvdbColumnSet::getTypeLabel(out, "DateTime");
    EXPECT_EQ("coltypename_datetime", str(out));  // no local-string table: the key itself
    RvdbColumnSet::getTypeLabel(out, "relcpy");
    EXPECT_EQ("coltypename_relcpy", str(out));
    RvdbColumnSet::getTypeLabel(out, "memo");
    EXPECT_EQ("(null)", str(out));
    RvdbColumnSet::getTypeLabel(out, nullptr);
    EXPECT_EQ("(null)", str(out));

    RvdbColumnSetPtr s(makeSet("1", "3", "relref", "number"));
    s->getColTypeLabel(out);
    EXPECT_EQ("coltypename_relref", str(out));
    s->getValueTypeLabel(out);
    EXPECT_EQ("coltypename_number", str(out));
}

TEST(RvdbColumnSet, CheckSelectOptions)
{
    RvStringList hundred, hundredOne;
    for (int i = 0; i < 101; ++i) {
        NString v;
        v.format("o%d", i);
        if (i < 100)
            hundred.push_back(v);
        hundredOne.push_back(v);
    }
    RvStringList dupAndEmpty = hundredOne;
    dupAndEmpty[0] = NString("");

    struct Case {
        RvStringList options;
        RvStringList initial;
        int code;
    } cases[] = {
        { { NString("a"), NString("b") }, { NString("b") }, 0 },
        { {}, {}, 0 },
        { hundred, { NString("o99") }, 0 },
        { dupAndEmpty, {}, RVDB_ERR_SELECT_TOO_MANY },
        { { NString("a"), NString("b"), NString("a") }, {}, RVDB_ERR_SELECT_DUPLICATE },
        { { NString(""), NString("a"), NString("a") }, {}, RVDB_ERR_SELECT_EMPTY },
        { { NString("a"), NString(""), NString("a") }, {}, RVDB_ERR_SELECT_DUPLICATE },
        { { NString("a\r") }, {}, RVDB_ERR_SELECT_EMPTY },
        { { NString("a"), NString("b") }, { NString("a\n") }, RVDB_ERR_INIT_EMPTY },
        { { NString("a"), NString("b") }, { NString("") }, RVDB_ERR_INIT_EMPTY },
        { { NString("a"), NString("b") }, { NString("A") }, RVDB_ERR_INIT_NOT_OPTION },
    };
    int i = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, RvdbColumnSet::checkSelectOptions(c.options, c.initial).getCode()) << "case " << i;
        ++i;
    }
}

TEST(RvdbColumnSet, TypePredicates)
{
    // Expected answers per (col_type, rel_col_type, col_id, c_sort).
    struct Case {
        const char* colType;
        const char* valueType;
        const char* colId;
        const char* sort;
        bool virt, relation, relRef, relCpy, textValue, sortable, numOrSpan, scalar, dateOrSpan, number,
            inputNonFile, input;
    } cases[] = {
        //                                   virt  rel    ref    cpy    text   sort   n/ts   scal   d/ts   num    nonf   input
        { "key", "key", "-1", "1",           false, false, false, false, false, false, false, false, false, false, true, false },
        { "text", "text", "1", "1",          false, false, false, false, true, true, false, true, false, false, true, true },
        { "texts", "texts", "2", "1",        false, false, false, false, true, false, false, false, false, false, true, true },
        { "number", "number", "5", "0",      false, false, false, false, false, false, true, true, false, true, true, true },
        { "numbercal", "numbercal", "6", "1", true, false, false, false, false, true, true, true, false, true, false, false },
        { "datetime", "datetime", "7", "",   false, false, false, false, false, false, false, true, true, false, true, true },
        { "timespancal", "timespancal", "10", "1", true, false, false, false, false, true, true, true, true, false, false, false },
        { "selects", "selects", "12", "1",   false, false, false, false, false, true, false, false, false, false, true, true },
        { "file", "file", "14", "0",         false, false, false, false, false, false, false, false, false, false, false, false },
        { "image", "image", "15", "0",       false, false, false, false, false, false, false, false, false, false, false, false },
        { "relkey", "relkey", "16", "0",     false, true, false, false, false, true, false, false, false, false, true, true },
        { "relkey", "key", "16", "0",        false, true, false, false, false, false, false, false, false, false, true, false },
        { "relref", "number", "17", "1",     true, true, true, false, false, false, true, true, false, false, false, false },
        { "relcpy", "text", "18", "1",       false, true, false, true, true, true, false, true, false, false, true, true },
        { "user", "user", "-2", "1",         false, false, false, false, false, true, false, true, false, false, true, false },
        { "Number", "Number", "5", "1",      false, false, false, false, false, true, false, false, false, false, true, false },
        { "", "", "", "",                    false, false, false, false, false, false, false, false, false, false, true, false },
    };
    for (const Case& c : cases) {
        RvdbColumnSetPtr s(makeSet("1", c.colId, c.colType, c.valueType));
        s->setCSort(NString(c.sort));
        SCOPED_TRACE(std::string(c.colType) + "/" + c.valueType + "/" + c.colId);
        EXPECT_EQ(c.virt, s->isVirtualColumn());
        EXPECT_EQ(c.relation, s->isRelation());
        EXPECT_EQ(c.relRef, s->isRelRef());
        EXPECT_EQ(c.relCpy, s->isRelCpy());
        EXPECT_EQ(c.textValue, s->isTextValue());
        EXPECT_EQ(c.sortable, s->isSortable());
        EXPECT_EQ(c.numOrSpan, s->isNumericOrTimeSpanValue());
        EXPECT_EQ(c.scalar, s->isScalarValue());
        EXPECT_EQ(c.dateOrSpan, s->isDateTimeOrTimeSpanValue());
        EXPECT_EQ(c.number, s->isNumberValue());
        EXPECT_EQ(c.inputNonFile, s->isInputNonFileValue());
        EXPECT_EQ(c.input, s->isInputColumn());
    }
}

TEST(RvdbColumnSet, FlagsAndSystemColumns)
{
    RvdbColumnSet s;
    const char* systemIds[] = { "-1", "-2", "-3", "-4", "-5" };
    for (const char* id : systemIds) {
        s.setColId(NString(id));
        EXPECT_TRUE(s.isSystemColumn()) << id;
    }
    const char* otherIds[] = { "-6", "-01", "1", "", "-1 " };
    for (const char* id : otherIds) {
        s.setColId(NString(id));
        EXPECT_FALSE(s.isSystemColumn()) << id;
    }
    s.setCMust(NString("1"));
    s.setCUniq(NString("0"));
    EXPECT_TRUE(s.isMust());
    EXPECT_FALSE(s.isUnique());
    EXPECT_TRUE(s.isNotSelects());
    s.setRelColType(NString("selects"));
    EXPECT_FALSE(s.isNotSelects());
}

}  // namespace
