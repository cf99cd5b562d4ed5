// Cell text of typed values and CSV cell escaping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RvDbRecordListCsv.h"
#include "RvdbColumnValue.h"
#include "rvcomcode.h"
#include "rvcomdisp.h"

namespace {

void addLocal(const char* key, const char* text)
{
    rvcomGetLocalStringTable()->add(key, text, static_cast<int>(std::strlen(text)) + 1);
}

class RecordListCsv : public ::testing::Test {
protected:
    void SetUp() override
    {
        rvcomClearLocalStrings();
        addLocal("dateviewfmt_s_ymdhis", "%s-%s-%s %s:%s:%s");
        addLocal("timespanviewfmt_dhis", "%sd%sh%sm%ss");
        addLocal("timespanviewfmt_his", "%sh%sm%ss");
        addLocal("timespanviewfmt_is", "%sm%ss");
        addLocal("timespanviewfmt_s", "%ss");
        addLocal("csvoutstrfile", "FILE");
        addLocal("csvoutstrimage", "IMG,X");
    }
    void TearDown() override { rvcomClearLocalStrings(); }

public:
    // Cell text of value, starting from a pre-filled output so that an
    // untouched output shows as "<keep>".
    std::string cell(const RvdbColumnValue& value, int expectRet = 0)
    {
        return cellOf(csv, value, expectRet);
    }
    static std::string cellOf(RvDbRecordListCsv& formatter, const RvdbColumnValue& value,
                              int expectRet = 0)
    {
        NString out("<keep>");
        EXPECT_EQ(expectRet, formatter.formatColumnValue(&value, out));
        return out.c_str();
    }

    RvDbRecordListCsv csv;
    RvdbColumnSetPtr cs;
};

template <class V>
std::string oneText(RecordListCsv& t, const char* text)
{
    V v(RvdbColumnSetPtr{});
    v.value = NString(text);
    return t.cell(v);
}

TEST_F(RecordListCsv, SingleTextKindsCopyTheValueAsItIs)
{
    // Raw text: no escaping and no CR/LF handling at this stage.
    const char* raw = "a,\"b\"\r\n c ";
    EXPECT_EQ(raw, oneText<RvdbColumnValue_Key>(*this, raw));
    EXPECT_EQ(raw, oneText<RvdbColumnValue_Text>(*this, raw));
    EXPECT_EQ(raw, oneText<RvdbColumnValue_Mail>(*this, raw));
    EXPECT_EQ(raw, oneText<RvdbColumnValue_User>(*this, raw));
    EXPECT_EQ(raw, oneText<RvdbColumnValue_Select>(*this, raw));
    // An empty value replaces what the output held.
    EXPECT_EQ("", oneText<RvdbColumnValue_Text>(*this, ""));
}

TEST_F(RecordListCsv, TextsTurnCrLfIntoLf)
{
    EXPECT_EQ("a\nb\nc", oneText<RvdbColumnValue_Texts>(*this, "a\r\nb\nc"));
    EXPECT_EQ("a\rb\n", oneText<RvdbColumnValue_Texts>(*this, "a\rb\r\n"));
    EXPECT_EQ("<keep>", oneText<RvdbColumnValue_Texts>(*this, ""));
}

TEST_F(RecordListCsv, NumbersLoseTrailingDecimalZeros)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        { "12.50000", "12.5" }, { "3.000", "3" }, { "100", "100" },
        { "-0.500", "-0.5" },   { "1000", "1000" }, { "", "<keep>" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.out, oneText<RvdbColumnValue_Number>(*this, c.in)) << c.in;
        RvdbColumnValue_NumberCal v(cs);
        v.value = NString(c.in);
        v.status = NString("1");
        EXPECT_EQ(c.out, cell(v)) << c.in;
    }
}

TEST_F(RecordListCsv, DateTimesUseTheDisplayTemplate)
{
    RvdbColumnValue_DateTime dt(cs);
    ASSERT_EQ(0, dt.setText(0, NString("20240305070809")));
    EXPECT_EQ("2024-03-05 07:08:09", cell(dt));

    RvdbColumnValue_DateTimeCal cal(cs);
    cal.parts.year = NString("2023");
    EXPECT_EQ("2023-01-01 00:00:00", cell(cal));

    RvdbColumnValue_DateTime empty(cs);
    EXPECT_EQ("<keep>", cell(empty));

    // A joined text of another length is not formatted.
    RvdbColumnValue_DateTime odd(cs);
    odd.parts.year = NString("12345");
    EXPECT_EQ("<keep>", cell(odd));

    // A value the record query marks as having no stamp (BC, infinite,
    // year 10000 on) shows no date; the next stamp reads as usual.
    for (const char* marked : { "!infinity", "!0044-03-15 12:00:00 BC", "!10000-01-01 00:00:00" }) {
        ASSERT_EQ(0, dt.setText(0, NString(marked)));
        EXPECT_TRUE(dt.parts.unreadable) << marked;
        EXPECT_EQ("<keep>", cell(dt)) << marked;
    }
    ASSERT_EQ(0, dt.setText(0, NString("99991231235959")));
    EXPECT_FALSE(dt.parts.unreadable);
    EXPECT_EQ("9999-12-31 23:59:59", cell(dt));
}

// The date-time cell is the general display of the joined stamp, whatever
// the template holds. A formatter reads the template once: each template
// gets a fresh one.
TEST_F(RecordListCsv, DateTimeCellsMatchTheGeneralDisplay)
{
    const std::string longText(300, 'x');
    const std::string templates[] = {
        "%s/%s/%s %s:%s:%s", "%s年%s月%s日 %s時%s分%s秒", "%s%%%s", "%s.%s", "plain",
        "%s %s %s %s %s %s %s", "%d/%s", "%5s|%s", "100%", "", longText + "%s",
    };
    const char* stamps[] = { "20240305070809", "99991231235959", "0000010100000a" };
    for (const std::string& tmpl : templates) {
        rvcomClearLocalStrings();
        addLocal("dateviewfmt_s_ymdhis", tmpl.c_str());
        RvDbRecordListCsv formatter;
        for (const char* stamp : stamps) {
            RvdbColumnValue_DateTime dt(cs);
            ASSERT_EQ(0, dt.setText(0, NString(stamp)));
            NString want;
            ASSERT_EQ(0, rvcomChangeDateTimeFormat(stamp, nullptr, "dateviewfmt_s_ymdhis", want));
            EXPECT_EQ(want.c_str(), cellOf(formatter, dt)) << tmpl << " " << stamp;
        }
    }
    rvcomClearLocalStrings();
    RvDbRecordListCsv formatter;
    RvdbColumnValue_DateTime dt(cs);
    ASSERT_EQ(0, dt.setText(0, NString("20240305070809")));
    EXPECT_EQ("dateviewfmt_s_ymdhis", cellOf(formatter, dt));  // no template: its key
}

// Parts set in code may be of other widths than the usual: the cell is then
// the general display of the joined parts, none when they do not join to 14
// characters.
TEST_F(RecordListCsv, DateTimePartsOfOtherWidthsShowAsJoined)
{
    const struct {
        const char* parts[6];
        const char* out;
    } cases[] = {
        { { "2024", "3", "05", "07", "08", "09" }, "<keep>" },
        { { "2024", "03", "05", "07", "08", "009" }, "<keep>" },
        { { "2024", "3", "055", "07", "08", "09" }, "2024-30-55 07:08:09" },
        { { "202", "403", "05", "07", "08", "09" }, "2024-03-05 07:08:09" },
        { { "2024", "03", "05", "7", "008", "09" }, "2024-03-05 70:08:09" },
        { { "2024", "", "05", "07", "08", "09" }, "2024-01-05 07:08:09" },
    };
    for (const auto& c : cases) {
        RvdbColumnValue_DateTime dt(cs);
        NString* texts[6] = { &dt.parts.year, &dt.parts.month, &dt.parts.day,
                              &dt.parts.hour, &dt.parts.minute, &dt.parts.second };
        for (int i = 0; i < 6; i++)
            *texts[i] = NString(c.parts[i]);
        EXPECT_EQ(c.out, cell(dt)) << &c - cases;
    }
}

TEST_F(RecordListCsv, UrlShowsAddressAndLabel)
{
    RvdbColumnValue_Url u(cs);
    u.url = NString("http://h/x");
    EXPECT_EQ("http://h/x[http://h/x]", cell(u));
    u.label = NString("Home");
    EXPECT_EQ("http://h/x[Home]", cell(u));
    u.url = NString("");
    EXPECT_EQ("<keep>", cell(u));
}

TEST_F(RecordListCsv, TimeSpansPickTheTemplateOfTheLargestUnit)
{
    const struct {
        const char* seconds;
        const char* out;
    } cases[] = {
        { "93784", "1d2h3m4s" },  // 1*86400 + 2*3600 + 3*60 + 4
        { "7384", "2h3m4s" },
        { "97200", "1d3h0m0s" },
        { "184", "3m4s" },
        { "4", "4s" },
        { "0", "0s" },
        { "-7384", "-2h3m4s" },
        { "", "<keep>" },
        // Not a number of seconds: no text, never 0.
        { "NaN", "<keep>" },
        { "Infinity", "<keep>" },
        { "-Infinity", "<keep>" },
    };
    for (const auto& c : cases) {
        RvdbColumnValue_TimeSpan ts(cs);
        ASSERT_EQ(0, ts.setText(0, NString(c.seconds)));
        EXPECT_EQ(c.out, cell(ts)) << c.seconds;
        EXPECT_EQ(c.seconds[0] == 'N' || strchr(c.seconds, 'I') != nullptr, ts.parts.unreadable) << c.seconds;
        RvdbColumnValue_TimeSpanCal cal(cs);
        ASSERT_EQ(0, cal.setText(0, NString(c.seconds)));
        EXPECT_EQ(c.out, cell(cal)) << c.seconds;
    }
    // Parts as stored, hours over a day: total hours lead.
    RvdbColumnValue_TimeSpan ts(cs);
    ts.parts.days = NString("0");
    ts.parts.hours = NString("30");
    ts.parts.minutes = NString("0");
    ts.parts.seconds = NString("5");
    EXPECT_EQ("30h0m5s", cell(ts));
}

TEST_F(RecordListCsv, FileAndImageShowMarkers)
{
    RvdbColumnValue_File f(cs);
    EXPECT_EQ("<keep>", cell(f));
    f.fileMark = NString("0");
    EXPECT_EQ("<keep>", cell(f));
    f.fileMark = NString("1");
    EXPECT_EQ("[FILE]", cell(f));

    RvdbColumnValue_Image img(cs);
    EXPECT_EQ("<keep>", cell(img));
    img.image.contentId = NString("77");
    EXPECT_EQ("[IMG,X]", cell(img));  // escaped later, as one cell
}

TEST_F(RecordListCsv, SelectsBecomeEscapedItemsJoinedByComma)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        { "\nred\nblue\n", "red,blue" },
        { "red", "red" },
        { "a,b\nsay \"x\"", "\"a,b\",\"say \"\"x\"\"\"" },
        { "\n", "<keep>" },
        { "", "<keep>" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.out, oneText<RvdbColumnValue_Selects>(*this, c.in)) << c.in;
}

// A kind the formatter does not know.
class OddValue : public RvdbColumnValue {
public:
    OddValue() : RvdbColumnValue(RvdbColumnSetPtr()) {}
    int getType() const override { return 14; }
    int copyTo(RvdbColumnValue&) const override { return 0; }
    NString* valuePtr(int index) override { return index == 0 ? &v : nullptr; }
    NString v;
};

TEST_F(RecordListCsv, UnknownKindAndMissingValueFail)
{
    OddValue odd;
    odd.v = NString("x");
    EXPECT_EQ("<keep>", cell(odd, -100001));

    NString out("<keep>");
    EXPECT_EQ(-100001, csv.formatColumnValue(static_cast<const RvdbColumnValue*>(nullptr), out));
    EXPECT_STREQ("<keep>", out.c_str());
    RvdbColumnValuePtr none;
    EXPECT_EQ(-100001, csv.formatColumnValue(none, out));

    RvdbColumnValuePtr held(new RvdbColumnValue_Number(cs));
    static_cast<RvdbColumnValue_Number*>(held.get())->value = NString("2.50");
    EXPECT_EQ(0, csv.formatColumnValue(held, out));
    EXPECT_STREQ("2.5", out.c_str());
}

TEST(RecordListCsvEscape, QuotesOnlyWhatBreaksTheRecord)
{
    RvDbRecordListCsv csv;
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        { "", "" },
        { "abc", "abc" },
        { "a,b", "\"a,b\"" },
        { "say \"hi\"", "\"say \"\"hi\"\"\"" },
        { "\"", "\"\"\"\"" },
        { "a\nb", "\"a\nb\"" },
        { "a\rb", "\"a\rb\"" },
        { "a\r\nb", "\"a\r\nb\"" },
        { "\n", "\"\n\"" },
        // Leading blanks and formula-like leading characters stay bare.
        { " lead", " lead" },
        { "=1+1", "=1+1" },
        { "-5", "-5" },
        { "+1", "+1" },
        { "@x", "@x" },
        { "a;b\tc", "a;b\tc" },
        { "\xE6\x97\xA5,\xE6\x9C\xAC", "\"\xE6\x97\xA5,\xE6\x9C\xAC\"" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.out, csv.escapeCsvCell(NString(c.in)).c_str()) << c.in;
    EXPECT_STREQ("", csv.escapeCsvCell(NString()).c_str());
    EXPECT_STREQ("", csv.escapeCsvCell(nullptr).c_str());
}

}  // namespace
