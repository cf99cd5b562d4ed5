#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "RvdbColumnValue.h"
#include "rvdbinnercolumn.h"

namespace {

std::string str(const NString& s) { return s.c_str(); }

RvdbColumnSetPtr makeSet(const char* valueType, const char* colType = nullptr)
{
    RvdbColumnSetPtr p(new RvdbColumnSet());
    p->setTblId(NString("3"));
    p->setColId(NString("12"));
    if (colType != nullptr || valueType != nullptr)
        p->setColType(NString(colType ? colType : valueType));
    if (valueType != nullptr)
        p->setRelColType(NString(valueType));
    return p;
}

std::unique_ptr<RvdbColumnValue> make(const char* valueType)
{
    return std::unique_ptr<RvdbColumnValue>(rvdbNewColumnValue(makeSet(valueType)));
}

std::string textAt(const RvdbColumnValue& v, int index)
{
    NString out("unset");
    int ret = v.getText(index, out);
    return ret == 0 ? str(out) : "ret" + std::to_string(ret);
}

TEST(RvdbColumnValue, FactoryKindPerValueType)
{
    struct Case {
        const char* valueType;
        int type;
    } cases[] = {
        {"key", RVDB_VALUE_KEY},           {"relkey", RVDB_VALUE_KEY},
        {"text", RVDB_VALUE_TEXT},         {"texts", RVDB_VALUE_TEXTS},
        {"number", RVDB_VALUE_NUMBER},     {"numbercal", RVDB_VALUE_NUMBERCAL},
        {"datetime", RVDB_VALUE_DATETIME}, {"datetimecal", RVDB_VALUE_DATETIMECAL},
        {"mail", RVDB_VALUE_MAIL},         {"url", RVDB_VALUE_URL},
        {"timespan", RVDB_VALUE_TIMESPAN}, {"timespancal", RVDB_VALUE_TIMESPANCAL},
        {"file", RVDB_VALUE_FILE},         {"image", RVDB_VALUE_IMAGE},
        {"user", RVDB_VALUE_USER},         {"select", RVDB_VALUE_SELECT},
        {"selects", RVDB_VALUE_SELECTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.valueType);
        std::unique_ptr<RvdbColumnValue> v = make(c.valueType);
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(c.type, v->getType());
    }
}

TEST(RvdbColumnValue, FactoryRefusesKindsWithoutValueClass)
{
    const char* refused[] = {"relref", "relcpy", "", "bogus", "TEXT", " text"};
    for (const char* t : refused) {
        SCOPED_TRACE(t);
        EXPECT_EQ(nullptr, make(t));
    }
    // No rel_col_type at all, and a handle without a set.
    EXPECT_EQ(nullptr, make(nullptr));
    EXPECT_EQ(nullptr, rvdbNewColumnValue(RvdbColumnSetPtr()));
    // A reference column takes its value class from its own rel_col_type.
    std::unique_ptr<RvdbColumnValue> v(rvdbNewColumnValue(makeSet("text", "relref")));
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(RVDB_VALUE_TEXT, v->getType());
}

TEST(RvdbColumnValue, ValueSharesItsColumnSet)
{
    RvdbColumnSetPtr cs = makeSet("text");
    EXPECT_EQ(1, cs.useCount());
    {
        std::unique_ptr<RvdbColumnValue> v(rvdbNewColumnValue(cs));
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(2, cs.useCount());
        EXPECT_EQ(cs.get(), v->getColumnSet().get());
        RvdbColumnValue_Text copy(*static_cast<RvdbColumnValue_Text*>(v.get()));
        EXPECT_EQ(3, cs.useCount());
    }
    EXPECT_EQ(1, cs.useCount());
    // The value keeps the set alive after the caller's handle is gone.
    std::unique_ptr<RvdbColumnValue> v(rvdbNewColumnValue(cs));
    cs.release();
    ASSERT_TRUE(v->getColumnSet().hasObject());
    EXPECT_EQ("12", str(v->getColumnSet()->getColId()));
}

// setText then getText on every index of every kind; a refused index must
// leave the other texts as they were.
TEST(RvdbColumnValue, TextsByIndex)
{
    struct Case {
        const char* valueType;
        int index;
        const char* text;
        int ret;
        const char* read0;  // getText(0) afterwards
        const char* read1;  // getText(1) afterwards
    } cases[] = {
        {"key", 0, "15", 0, "15", "ret-100001"},
        {"key", 1, "15", -100001, "", "ret-100001"},
        {"text", 0, "abc", 0, "abc", "ret-100001"},
        {"text", 1, "abc", -100001, "", "ret-100001"},
        {"text", -1, "abc", -100001, "", "ret-100001"},
        {"texts", 0, "a\nb", 0, "a\nb", "ret-100001"},
        {"number", 0, "1.50", 0, "1.50", "ret-100001"},
        {"numbercal", 0, "7", 0, "7", ""},
        {"numbercal", 1, "2", 0, "", "2"},
        {"numbercal", 2, "2", -100001, "", ""},
        {"mail", 0, "a@b.jp", 0, "a@b.jp", "ret-100001"},
        {"url", 0, "http://x/", 0, "http://x/", ""},
        {"url", 1, "label", 0, "", "label"},
        {"url", 2, "x", -100001, "", ""},
        {"user", 0, "u1", 0, "u1", "ret-100001"},
        {"select", 0, "A", 0, "A", "ret-100001"},
        {"selects", 0, "\nA\nB\n", 0, "\nA\nB\n", "ret-100001"},
        {"datetime", 0, "20240315123456", 0, "20240315123456", "ret-100001"},
        {"datetime", 0, "2024", 0, "20240101000000", "ret-100001"},
        {"datetime", 0, "", 0, "", "ret-100001"},
        {"datetime", 1, "2024", -100001, "", "ret-100001"},
        {"datetimecal", 0, "202403", 0, "20240301000000", ""},
        {"datetimecal", 1, "1", 0, "", "1"},
        {"datetimecal", 2, "1", -100001, "", ""},
        {"timespan", 0, "90061", 0, "90061", "ret-100001"},
        {"timespan", 0, "59", 0, "59", "ret-100001"},
        {"timespan", 0, "", 0, "", "ret-100001"},
        {"timespan", 1, "5", -100001, "", "ret-100001"},
        {"timespancal", 0, "3600", 0, "3600", ""},
        {"timespancal", 1, "9", 0, "", "9"},
        {"timespancal", -1, "9", -100001, "", ""},
        {"file", 0, "1", 0, "1", ""},
        {"file", 1, "42", 0, "", "42"},
        {"file", 2, "x", -100001, "", ""},
        {"image", 1, "a.png", 0, "", "a.png"},
        {"image", 6, "x", -100001, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.valueType) + " index " + std::to_string(c.index) + " [" + c.text + "]");
        std::unique_ptr<RvdbColumnValue> v = make(c.valueType);
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(c.ret, RvdbColumnValue::setTextAt(*v, c.index, NString(c.text)));
        EXPECT_EQ(c.read0, textAt(*v, 0));
        EXPECT_EQ(c.read1, textAt(*v, 1));
        NString out;
        EXPECT_EQ(c.ret == 0 ? 0 : -100001, RvdbColumnValue::getTextAt(*v, out, c.index));
    }
}

TEST(RvdbColumnValue, ImageIndexesFollowPhysicalColumns)
{
    // id, _fname, _mime, _imgwidth, _imgheight, _fsize
    std::unique_ptr<RvdbColumnValue> v = make("image");
    const char* texts[] = {"77", "a.png", "image/png", "640", "480", "1234"};
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(0, v->setText(i, NString(texts[i])));
    const ImageParts* p = v->getImageParts();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ("77", str(p->contentId));
    EXPECT_EQ("a.png", str(p->fileName));
    EXPECT_EQ("image/png", str(p->mimeType));
    EXPECT_EQ("640", str(p->width));
    EXPECT_EQ("480", str(p->height));
    EXPECT_EQ("1234", str(p->fileSize));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(texts[i], textAt(*v, i));
    EXPECT_EQ(nullptr, v->valuePtr(0));
}

TEST(RvdbColumnValue, RefusedDateTimeKeepsOldParts)
{
    std::unique_ptr<RvdbColumnValue> v = make("datetime");
    ASSERT_EQ(0, v->setText(0, NString("20240315123456")));
    // a stamp longer than 14 characters is refused
    EXPECT_EQ(-100001, v->setText(0, NString("202403151234567")));
    EXPECT_EQ("20240315123456", textAt(*v, 0));
}

TEST(RvdbColumnValue, PartsAccessors)
{
    std::unique_ptr<RvdbColumnValue> dt = make("datetimecal");
    ASSERT_EQ(0, dt->setText(0, NString("20240315123456")));
    const DateTimeParts* d = dt->getDateTimeParts();
    ASSERT_NE(nullptr, d);
    EXPECT_EQ("2024", str(d->year));
    EXPECT_EQ("03", str(d->month));
    EXPECT_EQ("56", str(d->second));
    EXPECT_EQ(nullptr, dt->getTimeSpanParts());
    EXPECT_EQ(nullptr, dt->getImageParts());

    std::unique_ptr<RvdbColumnValue> ts = make("timespan");
    ASSERT_EQ(0, ts->setText(0, NString("90061")));
    const TimeSpanParts* t = ts->getTimeSpanParts();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(1, atoi(t->days.c_str()));
    EXPECT_EQ(1, atoi(t->hours.c_str()));
    EXPECT_EQ(1, atoi(t->minutes.c_str()));
    EXPECT_EQ(1, atoi(t->seconds.c_str()));
    EXPECT_EQ(nullptr, ts->getDateTimeParts());
    EXPECT_EQ(nullptr, make("text")->getDateTimeParts());
    EXPECT_NE(nullptr, make("timespancal")->getTimeSpanParts());
}

TEST(RvdbColumnValue, ValuePtr)
{
    struct Case {
        const char* valueType;
        int index;
        bool hasText;
    } cases[] = {
        {"text", 0, true},       {"text", 1, false},      {"numbercal", 1, true},
        {"numbercal", 2, false}, {"url", 1, true},        {"datetime", 0, false},
        {"datetimecal", 1, false}, {"timespan", 0, false}, {"file", 0, false},
        {"image", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.valueType) + " " + std::to_string(c.index));
        std::unique_ptr<RvdbColumnValue> v = make(c.valueType);
        NString* p = v->valuePtr(c.index);
        EXPECT_EQ(c.hasText, p != nullptr);
        if (p != nullptr) {
            *p = NString("via pointer");
            EXPECT_EQ("via pointer", textAt(*v, c.index));
        }
    }
}

// Every pair of kinds: copyTo succeeds only into the accepted kind.
TEST(RvdbColumnValue, CopyToAcceptsOneKind)
{
    struct Case {
        const char* source;
        const char* accepted;
    } cases[] = {
        {"key", "key"},           {"text", "text"},         {"texts", "texts"},
        {"number", "number"},     {"numbercal", "number"},  {"datetime", "datetime"},
        {"datetimecal", "datetime"}, {"mail", "mail"},      {"url", "url"},
        {"timespan", "timespan"}, {"timespancal", "timespan"}, {"file", "file"},
        {"image", "image"},       {"user", "user"},         {"select", "text"},
        {"selects", "texts"},
    };
    const char* all[] = {"key",  "text",     "texts",       "number", "numbercal", "datetime",
                         "datetimecal", "mail", "url",      "timespan", "timespancal", "file",
                         "image", "user",    "select",      "selects"};
    for (const Case& c : cases) {
        for (const char* target : all) {
            SCOPED_TRACE(std::string(c.source) + " -> " + target);
            std::unique_ptr<RvdbColumnValue> src = make(c.source);
            std::unique_ptr<RvdbColumnValue> dst = make(target);
            ASSERT_EQ(0, src->setText(0, NString("1")));
            bool ok = std::string(c.accepted) == target;
            EXPECT_EQ(ok ? 0 : -320002, src->copyTo(*dst));
            EXPECT_EQ(ok ? textAt(*src, 0) : "", textAt(*dst, 0));
        }
    }
}

TEST(RvdbColumnValue, CopyToCopiesTheListedContent)
{
    // NumberCal: the value only.
    std::unique_ptr<RvdbColumnValue> nc = make("numbercal");
    nc->setText(0, NString("12.5"));
    nc->setText(1, NString("3"));
    std::unique_ptr<RvdbColumnValue> n = make("number");
    ASSERT_EQ(0, nc->copyTo(*n));
    EXPECT_EQ("12.5", textAt(*n, 0));

    // DateTimeCal / TimeSpanCal: the parts only.
    std::unique_ptr<RvdbColumnValue> dc = make("datetimecal");
    dc->setText(0, NString("19991231235959"));
    dc->setText(1, NString("5"));
    std::unique_ptr<RvdbColumnValue> d = make("datetime");
    ASSERT_EQ(0, dc->copyTo(*d));
    EXPECT_EQ("19991231235959", textAt(*d, 0));

    std::unique_ptr<RvdbColumnValue> tc = make("timespancal");
    tc->setText(0, NString("3661"));
    std::unique_ptr<RvdbColumnValue> t = make("timespan");
    ASSERT_EQ(0, tc->copyTo(*t));
    EXPECT_EQ("3661", textAt(*t, 0));

    // Url: address and label.
    std::unique_ptr<RvdbColumnValue> u = make("url");
    u->setText(0, NString("http://a/"));
    u->setText(1, NString("A"));
    std::unique_ptr<RvdbColumnValue> u2 = make("url");
    ASSERT_EQ(0, u->copyTo(*u2));
    EXPECT_EQ("http://a/", textAt(*u2, 0));
    EXPECT_EQ("A", textAt(*u2, 1));

    // File: lists, mark and key.
    RvdbColumnValue_File f(makeSet("file"));
    f.fileMark = NString("1");
    f.recordKey = NString("42");
    RvdbFileEntry e;
    e.text[0] = NString("x");
    f.files.push_back(e);
    f.files3.push_back(e);
    RvdbColumnValue_File f2(makeSet("file"));
    ASSERT_EQ(0, f.copyTo(f2));
    EXPECT_TRUE(f2.hasFile());
    EXPECT_EQ("42", str(f2.recordKey));
    ASSERT_EQ(1u, f2.files.size());
    EXPECT_EQ("x", str(f2.files[0].text[0]));
    EXPECT_EQ(1u, f2.files3.size());
    EXPECT_EQ(0, f.copyTo(f));

    // Image: the first image record and the further text, not the rest.
    RvdbColumnValue_Image im(makeSet("image"));
    im.image.contentId = NString("9");
    im.image.fileName = NString("a.png");
    im.extra = NString("extra");
    im.image2.contentId = NString("10");
    im.images.push_back(im.image);
    RvdbColumnValue_Image im2(makeSet("image"));
    ASSERT_EQ(0, im.copyTo(im2));
    EXPECT_EQ("9", str(im2.image.contentId));
    EXPECT_EQ("a.png", str(im2.image.fileName));
    EXPECT_EQ("extra", str(im2.extra));
    EXPECT_TRUE(im2.image2.contentId.isNullOrEmpty());
    EXPECT_TRUE(im2.images.empty());
}

TEST(RvdbColumnValue, CopyToKeepsTargetColumnSet)
{
    RvdbColumnSetPtr a = makeSet("text");
    RvdbColumnSetPtr b = makeSet("text");
    RvdbColumnValue_Text va(a), vb(b);
    va.value = NString("v");
    ASSERT_EQ(0, va.copyTo(vb));
    EXPECT_EQ(b.get(), vb.getColumnSet().get());
    EXPECT_EQ(2, a.useCount());
    EXPECT_EQ(2, b.useCount());
}

TEST(RvdbColumnValue, HasFile)
{
    const char* marks[] = {"1", "0", "", "11", " 1"};
    bool expected[] = {true, false, false, false, false};
    for (int i = 0; i < 5; ++i) {
        RvdbColumnValue_File f(makeSet("file"));
        ASSERT_EQ(0, f.setText(0, NString(marks[i])));
        EXPECT_EQ(expected[i], f.hasFile()) << marks[i];
    }
}

TEST(RvdbColumnValue, ColumnTextsListOwnPhysicalColumns)
{
    struct Case {
        const char* valueType;
        std::vector<const char*> texts;  // set at indexes 0, 1, ...
        std::vector<std::string> listed; // name|sqlType|text
    } cases[] = {
        {"text", {"abc"}, {"col00012|text|abc"}},
        {"url", {"http://a/", "A"}, {"col00012|text|http://a/", "col00012_lbl|character varying(256)|A"}},
        {"numbercal", {"5", "1"}, {"col00012|numeric(20,5)|5", "col00012_status|numeric(4)|1"}},
        // the joined attachment columns and record key are not the table's own
        {"image", {"77", "a.png"}, {"col00012|numeric(9)|77"}},
        {"file", {"1", "42"}, {"col00012|character(1)|1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.valueType);
        RvdbColumnSetPtr cs = makeSet(c.valueType);
        std::unique_ptr<RvdbColumnValue> v(rvdbNewColumnValue(cs));
        for (std::size_t i = 0; i < c.texts.size(); ++i)
            ASSERT_EQ(0, v->setText(static_cast<int>(i), NString(c.texts[i])));
        // Without physical columns in the definition they are worked out.
        std::vector<RvdbColumnText> out;
        ASSERT_EQ(0, v->getColumnTexts(out));
        std::vector<std::string> got;
        for (const RvdbColumnText& t : out)
            got.push_back(str(t.name) + "|" + str(t.sqlType) + "|" + str(t.text));
        EXPECT_EQ(c.listed, got);
        // With them filled in, the same list.
        ASSERT_EQ(0, rvdbUpdateColumnSetAndSchema(*cs, cs->getInnerColumns()));
        out.clear();
        ASSERT_EQ(0, v->getColumnTexts(out));
        EXPECT_EQ(c.listed.size(), out.size());
    }
}

TEST(RvdbColumnValue, ColumnTextsFailures)
{
    // A definition whose physical columns cannot be worked out.
    RvdbColumnSetPtr cs = makeSet("text", "nonsense");
    RvdbColumnValue_Text v(cs);
    std::vector<RvdbColumnText> out;
    EXPECT_EQ(-100001, v.getColumnTexts(out));
    EXPECT_TRUE(out.empty());

    // More own physical columns than the kind has texts: the triples before
    // the failing position stay.
    RvdbColumnSetPtr cs2 = makeSet("text", "url");
    RvdbColumnValue_Text v2(cs2);
    v2.value = NString("t");
    EXPECT_EQ(-100001, v2.getColumnTexts(out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("t", str(out[0].text));
}

TEST(RvdbColumnValuePtr, SharingAndRelease)
{
    RvdbColumnValuePtr empty;
    EXPECT_FALSE(empty.hasObject());
    EXPECT_EQ(1, empty.useCount());

    RvdbColumnValuePtr a(rvdbNewColumnValue(makeSet("text")));
    ASSERT_TRUE(a.hasObject());
    RvdbColumnValuePtr b(a);
    EXPECT_EQ(2, a.useCount());
    b = b;
    b = a;
    EXPECT_EQ(2, a.useCount());
    RvdbColumnValuePtr c(rvdbNewColumnValue(makeSet("number")));
    b = c;  // drops b's count on a
    EXPECT_EQ(1, a.useCount());
    EXPECT_EQ(2, c.useCount());
    EXPECT_EQ(RVDB_VALUE_NUMBER, b->getType());
    a = empty;  // destroys the text value
    EXPECT_FALSE(a.hasObject());
    EXPECT_EQ(2, empty.useCount());
    c.release();
    EXPECT_EQ(0, c.useCount());
    EXPECT_EQ(1, b.useCount());
}

} // namespace
