#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ndoc.h"

namespace {

std::string json(const NDoc& doc)
{
    NStringBuffer buf(16);
    NOutputFunctor out(&buf);
    doc.toJson(out);
    return buf.c_str();
}

std::vector<std::string> strs(const std::vector<NString>& v)
{
    std::vector<std::string> r;
    for (const NString& s : v)
        r.push_back(s.c_str());
    return r;
}

struct JsonCase {
    const char* what;
    std::function<NDoc()> build;
    const char* expected;
};

NDoc settingDoc(bool withFields)
{
    NDoc root;
    root.setChildValue("Name", "Orders");
    NDoc fields;
    if (withFields) {
        const char* cols[][2] = {{"Customer", "textbox"}, {"Amount", "number"}};
        for (auto& c : cols) {
            NDoc f;
            f.setChildValue("field_name", c[0]);
            f.setChildValue("type", c[1]);
            fields.addChild(f);
        }
    }
    root.setChild("fields", fields);
    return root;
}

}  // namespace

TEST(NDocJson, WritesByteExactCompactJson)
{
    const JsonCase cases[] = {
        {"empty branch", [] { return NDoc(); }, "{}"},
        {"leaf at top", [] { return NDoc("n", "v"); }, "{}"},
        {"repeated name keeps later value",
         [] {
             NDoc d;
             d.setChildValue("Name", "T1");
             d.setChildValue("Name", "T2");
             return d;
         },
         "{\"Name\": \"T2\"}"},
        {"array of values",
         [] {
             NDoc d;
             d.addValue("x");
             d.addValue("x");
             return d;
         },
         "[\"x\", \"x\"]"},
        {"named and unnamed child",
         [] {
             NDoc d;
             d.setChildValue("n", "v");
             d.addValue("w");
             return d;
         },
         "{\"n\": \"v\", \"\": \"w\"}"},
        {"nesting by dotted paths",
         [] {
             NDoc d;
             d.setChildValue("a.b", "x");
             d.setChildValue("a.c", "y");
             d.setChildValue("d", "z");
             return d;
         },
         "{\"a\": {\"b\": \"x\", \"c\": \"y\"}, \"d\": \"z\"}"},
        {"repeated dotted path keeps later value",
         [] {
             NDoc d;
             d.setChildValue("a.b", "x");
             d.setChildValue("a.b", "y");
             d.setChildValue("a.b", "z");
             return d;
         },
         "{\"a\": {\"b\": \"z\"}}"},
        {"field order kept on overwrite",
         [] {
             NDoc d;
             d.setChildValue("a", "1");
             d.setChildValue("b", "2");
             d.setChildValue("a", "3");
             return d;
         },
         "{\"a\": \"3\", \"b\": \"2\"}"},
        {"setting document", [] { return settingDoc(true); },
         "{\"Name\": \"Orders\", \"fields\": [{\"field_name\": \"Customer\", \"type\": \"textbox\"}, "
         "{\"field_name\": \"Amount\", \"type\": \"number\"}]}"},
        {"empty field list stays an object", [] { return settingDoc(false); },
         "{\"Name\": \"Orders\", \"fields\": {}}"},
        {"null value writes empty text",
         [] {
             NDoc d;
             d.setChildValue("k", nullptr);
             return d;
         },
         "{\"k\": \"\"}"},
    };
    for (const JsonCase& c : cases)
        EXPECT_EQ(c.expected, json(c.build())) << c.what;
}

TEST(NDocJson, EscapesNamesAndValues)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\"b", "a\\\"b"},
        {"a\\b", "a\\\\b"},
        {"a\tb", "a\\tb"},
        {"a\r\nb", "a\\nb"},
        {"\r", ""},
        {"\x01x\x1f", "\\u0001x\\u001F"},
        {"\x7f", "\x7f"},
        {"\xe6\x97\xa5\xe6\x9c\xac", "\xe6\x97\xa5\xe6\x9c\xac"},
        {"", ""},
    };
    for (auto& c : cases) {
        EXPECT_STREQ(c.out, NDoc::escapeJson(c.in).c_str()) << c.in;
        NDoc d;
        d.setChildValue(c.in[0] ? "k\"" : "k", c.in);
        std::string key = c.in[0] ? "k\\\"" : "k";
        EXPECT_EQ("{\"" + key + "\": \"" + c.out + "\"}", json(d)) << c.in;
    }
    EXPECT_STREQ("", NDoc::escapeJson(nullptr).c_str());
}

TEST(NDocJson, FunctorRecordsWriteFailure)
{
    FILE* f = fopen("/dev/full", "w");
    ASSERT_NE(nullptr, f);
    setvbuf(f, nullptr, _IONBF, 0);
    NOutputFunctor out(nullptr, f);
    out("%s", "x");
    EXPECT_TRUE(out.hasError());
    fclose(f);
}

TEST(NDocTree, FindMatchesLastPartExactly)
{
    NDoc d;
    d.setChildValue("a.b", "x");
    ASSERT_EQ(1u, d.getChildCount());
    EXPECT_TRUE(d.getChild(0).isBranch());
    ASSERT_NE(nullptr, d.find("a.b", false));
    EXPECT_STREQ("x", d.find("a.b", false)->getValue().c_str());
    EXPECT_NE(nullptr, d.find("A.b", true));
    EXPECT_EQ(nullptr, d.find("a.B", true));
    EXPECT_EQ(nullptr, d.find("A.b", false));
    EXPECT_EQ(nullptr, d.find("a.b.c", false));
    EXPECT_EQ(nullptr, NDoc("n", "v").find("n", false));
}

TEST(NDocTree, IndexOperators)
{
    NDoc d;
    d[3u];
    EXPECT_EQ(4u, d.getChildCount());
    EXPECT_EQ(4u, d.getUnnamedChildCount());
    EXPECT_EQ(0u, d.getNamedChildCount());

    NDoc e;
    e["k"].setValue("v");
    e["k"].setValue("w");
    EXPECT_EQ("{\"k\": \"w\"}", json(e));

    const NDoc& c = e;
    EXPECT_TRUE(c["missing"].getValue().isNull());
    EXPECT_TRUE(c[7u].getName().isNull());
    EXPECT_EQ(1u, e.getChildCount());
}

TEST(NDocTree, ChildAccessFailures)
{
    NDoc leaf("n", "v");
    EXPECT_EQ(nullptr, leaf.getChildName(0));
    EXPECT_EQ(-1, leaf.findChild("n"));
    try {
        leaf.getChild(0);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ("NDoc& NDoc::getChild()", e.what());
    }
    NDoc d;
    d.setChildValue("a", "1");
    EXPECT_THROW(d.getChild(1), std::out_of_range);
    EXPECT_THROW(d.getChildName(1), std::out_of_range);
    EXPECT_STREQ("a", d.getChildName(0));
    d.removeChild(5);
    EXPECT_EQ(1u, d.getChildCount());
    d.removeChild(0);
    EXPECT_EQ(0u, d.getChildCount());
    d.setChildValue("a", "1");
    d.clearChildren();
    EXPECT_TRUE(d.isBranch());
    EXPECT_EQ("{}", json(d));
}

TEST(NDocTree, PathListings)
{
    NDoc d;
    d.setChildValue("a.b", "x");
    d.setChildValue("c", "y");
    d.addValue("skipped");
    using V = std::vector<std::string>;
    EXPECT_EQ((V{"a", "a.b", "c"}), strs(d.getAllPaths()));
    EXPECT_EQ((V{"a"}), strs(d.getBranchPaths()));
    EXPECT_EQ((V{"a.b", "c"}), strs(d.getLeafPaths()));
}

TEST(NDocTree, CopiesShareChildren)
{
    NDoc d;
    NDoc copy = d;
    d.setChildValue("late", "1");
    EXPECT_EQ("{\"late\": \"1\"}", json(copy));

    // A child placed by setChild is a copy sharing the node's children.
    NDoc root;
    NDoc list;
    root.setChild("list", list);
    list.addValue("a");
    EXPECT_EQ("{\"list\": [\"a\"]}", json(root));
}

TEST(NDocTree, SetChildReplacesExistingNode)
{
    NDoc d;
    d.setChildValue("x.old", "1");
    NDoc repl;
    repl.addValue("v");
    d.setChild("x", repl);
    EXPECT_EQ("{\"x\": [\"v\"]}", json(d));
    NDoc leaf(nullptr, "plain");
    d.setChild("x", leaf);
    EXPECT_EQ("{\"x\": \"plain\"}", json(d));
    EXPECT_FALSE(d.getChild(0).isBranch());
    EXPECT_STREQ("x", d.getChildName(0));
}

TEST(NDocTree, MergeCombinesBranches)
{
    NDoc a;
    a.setChildValue("a.b", "1");
    a.setChildValue("k", "old");
    NDoc b;
    b.setChildValue("a.c", "2");
    b.setChildValue("k", "new");
    b.addValue("u");
    a.merge(b);
    EXPECT_EQ("{\"a\": {\"b\": \"1\", \"c\": \"2\"}, \"k\": \"new\", \"\": \"u\"}", json(a));
    a.merge(a);  // merging a node into itself changes nothing
    EXPECT_EQ(3u, a.getChildCount());
}
