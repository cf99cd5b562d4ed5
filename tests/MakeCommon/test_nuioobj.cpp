#include "nuioobj.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string pathOf(NUioObjList& o)
{
    char buf[NUIO_PATH_SIZE];
    return o.getPath(buf, sizeof buf) == 0 ? std::string(buf) : std::string("<err>");
}

} // namespace

TEST(NUioObjList, SetPathJoins)
{
    struct Case {
        const char* file;
        const char* dir;
        const char* want;
    } cases[] = {
        {"app", "/x/rvdata", "/x/rvdata/app"},
        {"app", "/x/rvdata/", "/x/rvdata/app"},
        {"app", nullptr, "app"},
        {"app", "", "app"},
        {"", "/d", "/d/"},
    };
    for (const Case& c : cases) {
        NUioObjList o;
        ASSERT_EQ(0, o.setPath(c.file, c.dir)) << c.want;
        EXPECT_EQ(c.want, pathOf(o));
    }
}

TEST(NUioObjList, SetPathLimits)
{
    NUioObjList o;
    char buf[NUIO_PATH_SIZE];
    EXPECT_EQ(-11, o.getPath(buf, sizeof buf));
    EXPECT_EQ(-1, o.setPath(nullptr, "/d"));

    std::string f1023(1023, 'f');
    EXPECT_EQ(0, o.setPath(f1023.c_str(), nullptr));
    EXPECT_EQ(f1023, pathOf(o));
    EXPECT_EQ(-11, o.getPath(buf, 100));  // a short buffer is refused

    ASSERT_EQ(0, o.setPath("keep", "/d"));
    std::string f1024(1024, 'f');
    EXPECT_EQ(-1, o.setPath(f1024.c_str(), nullptr));
    std::string dir(1000, 'd');
    std::string file(22, 'f');
    EXPECT_EQ(0, o.setPath(file.c_str(), dir.c_str()));  // 1023 bytes
    file += 'f';
    EXPECT_EQ(-1, o.setPath(file.c_str(), dir.c_str()));
    EXPECT_EQ(dir + "/" + std::string(22, 'f'), pathOf(o));  // old path kept
}

TEST(NUioObjList, EntriesLookupAndSet)
{
    NUioObjList o;
    char* v = nullptr;
    EXPECT_EQ(-20, o.getValue("a", &v));
    EXPECT_EQ(nullptr, o.getValueText("a"));
    EXPECT_EQ(0, o.count());
    EXPECT_EQ(-1, o.addEntry(nullptr, "x", nullptr));

    ASSERT_EQ(0, o.addEntry("a", "1", nullptr));
    ASSERT_EQ(0, o.addEntry("b", nullptr, nullptr));  // null value kept as ""
    ASSERT_EQ(0, o.addEntry("a", "2", nullptr));
    EXPECT_EQ(3, o.count());
    ASSERT_EQ(0, o.getValue("a", &v));
    EXPECT_STREQ("1", v);
    EXPECT_STREQ("", o.getValueText("b"));
    EXPECT_EQ(0, o.indexOf("a"));
    EXPECT_EQ(1, o.indexOf("b"));
    EXPECT_EQ(-1, o.indexOf(""));
    EXPECT_EQ(-1, o.indexOf(nullptr));
    EXPECT_EQ(-1, o.indexOf("zz"));

    char** all = nullptr;
    ASSERT_EQ(2, o.findAll("a", &all));
    EXPECT_STREQ("1", all[0]);
    EXPECT_STREQ("2", all[1]);
    EXPECT_EQ(nullptr, all[2]);
    free(all);
    all = nullptr;
    EXPECT_EQ(0, o.findAll("zz", &all));
    EXPECT_EQ(nullptr, all);
    EXPECT_EQ(-1, o.findAll(nullptr, &all));

    EXPECT_EQ(0, o.set("a", "9"));
    EXPECT_STREQ("9", o.getValueText("a"));
    ASSERT_EQ(2, o.findAll("a", &all));
    EXPECT_STREQ("9", all[1]);
    free(all);
    EXPECT_EQ(0, o.set("status", "0"));
    char* name = nullptr;
    ASSERT_EQ(0, o.getEntry(o.count() - 1, &name, &v, nullptr));
    EXPECT_STREQ("status", name);
    EXPECT_STREQ("0", v);
    EXPECT_EQ(-20, o.getEntry(o.count(), &name, &v, nullptr));
    EXPECT_EQ(-20, o.getEntry(-1, &name, &v, nullptr));
    EXPECT_EQ(-1, o.set(nullptr, "x"));
}

TEST(NUioObjList, AppendAndRemove)
{
    NUioObjList o;
    EXPECT_EQ(-7, o.appendToLast("\nx"));
    EXPECT_EQ(-7, o.appendAt(0, "x"));
    EXPECT_EQ(0, o.removeEntry("a"));
    EXPECT_EQ(0, o.removeEntryAt(0));

    o.addEntry("a", "first", nullptr);
    o.addEntry("b", "", nullptr);
    EXPECT_EQ(0, o.appendToLast("\nsecond"));
    EXPECT_STREQ("\nsecond", o.getValueText("b"));
    EXPECT_EQ(0, o.appendByName("a", "+"));
    EXPECT_STREQ("first+", o.getValueText("a"));
    EXPECT_EQ(-7, o.appendByName("zz", "+"));
    EXPECT_EQ(-7, o.appendAt(5, "x"));

    o.addEntry("a", "again", nullptr);
    EXPECT_EQ(0, o.removeEntry("a"));
    EXPECT_EQ(1, o.count());
    EXPECT_EQ(-1, o.removeEntry(nullptr));
    EXPECT_EQ(-7, o.removeEntryAt(3));
    EXPECT_EQ(0, o.removeEntryAt(0));
    EXPECT_EQ(0, o.count());

    o.addEntry("c", "1", nullptr);
    o.clear();
    EXPECT_EQ(0, o.count());
    EXPECT_EQ(nullptr, o.getValueText("c"));

    NUNVList* l = new NUNVList(4);
    l->addStringCopy("k", "v");
    o.setList(l);
    EXPECT_STREQ("v", o.getValueText("k"));
}
