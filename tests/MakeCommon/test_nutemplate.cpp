// Template output and form filling.
#include "nutemplate.h"

#include "comcgi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string take(char* p)
{
    std::string s = p ? p : "<null>";
    free(p);
    return s;
}

class Tpl : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/nutplXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    std::string path(const char* name) { return dir + "/" + name; }
    void writeFile(const std::string& p, const std::string& text)
    {
        std::ofstream f(p, std::ios::binary);
        f << text;
    }
    std::string readFile(const std::string& p)
    {
        std::ifstream f(p, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    // Block of the text under the template's current markers.
    std::string block(NUTemplateToOutput& t, const char* text, int* rc)
    {
        t.setTemplateText(text, true);
        char* b = nullptr;
        *rc = t.extractBlock(&b);
        return *rc == 0 ? take(b) : std::string("<fail>");
    }
    // Filled text of a whole template in accumulate mode.
    std::string fill(NUTemplateToOutput& t, const char* text)
    {
        t.clearOutput();
        t.setTemplateText(text, true);
        int rc = t.output();
        if (rc != 0)
            return "<rc " + std::to_string(rc) + ">";
        return t.getOutput() ? t.getOutput() : "";
    }
    std::string dir;
};

TEST_F(Tpl, ExtractBlockByMarkersAndLines)
{
    const char* text = "a\nBEGIN1\nb\nBEGIN2\nc\nd\nEND\ne\n";
    struct {
        const char* begin;
        const char* end;
        int beginLine;
        int endLine;
        int rc;
        const char* block;
    } cases[] = {
        {"", "", 1, 0, 0, "a\nBEGIN1\nb\nBEGIN2\nc\nd\nEND\ne\n"},
        {"BEGIN", "END", 1, 0, 0, "c\nd\n"},     // the later begin line counts
        {"BEGIN1", "END", 1, 0, 0, "b\nBEGIN2\nc\nd\n"},
        {"", "", 2, 3, 0, "BEGIN1\nb\n"},
        {"", "END", 5, 0, 0, "c\nd\n"},
        {"e", "", 1, 0, 0, ""},                 // begin on the last line (with LF)
        {"BEGIN", "a", 1, 0, -56, ""},          // end marker before any begin
        {"BEGIN", "ZZZ", 1, 0, -57, ""},
        {"X", "", 1, 0, -56, ""},
    };
    for (auto& c : cases) {
        NUTemplateToOutput t("{{", "}}");
        t.setBeginMarker(c.begin);
        t.setEndMarker(c.end);
        t.setBeginLine(c.beginLine);
        t.setEndLine(c.endLine);
        int rc = 0;
        std::string b = block(t, text, &rc);
        EXPECT_EQ(c.rc, rc) << c.begin << "/" << c.end;
        if (c.rc == 0) {
            EXPECT_EQ(c.block, b) << c.begin << "/" << c.end;
        }
    }
    // A begin-marker line that ends the text without LF is not found, and
    // a line starting with both markers gives an empty block.
    NUTemplateToOutput t("{{", "}}");
    t.setBeginMarker("B");
    int rc = 0;
    block(t, "x\nB", &rc);
    EXPECT_EQ(-56, rc);
    t.setEndMarker("B");
    EXPECT_EQ("", block(t, "x\nB\ny\n", &rc));
    EXPECT_EQ(0, rc);
}

TEST_F(Tpl, SubstitutesMainAndSecondList)
{
    NUTemplateToOutput t("{{", "}}");
    NUNVList second;
    second.add("greet", "a<b", 4);
    ASSERT_EQ(0, t.addValue("title", "A&amp;B", 0));
    ASSERT_EQ(0, t.addValue("esc", "x<\"&", 1));
    ASSERT_EQ(0, t.addValue("title", "second", 0));   // first entry wins
    EXPECT_EQ(-50, t.addValue("", "v", 0));
    EXPECT_EQ(-50, t.addValue(nullptr, "v", 0));
    EXPECT_EQ("A&amp;B|x&lt;&quot;&amp;|{{missing}}|key", fill(t, "{{title}}|{{esc}}|{{missing}}|{{LLkey}}"));
    t.setSecondList(&second);
    EXPECT_EQ("a&lt;b|key", fill(t, "{{LLgreet}}|{{LLkey}}"));
    t.setEscapeSecondList(false);
    EXPECT_EQ("a<b", fill(t, "{{LLgreet}}"));
    // The end delimiter must be on the same line.
    EXPECT_EQ("x {{title\n}} y", fill(t, "x {{title\n}} y"));
    EXPECT_EQ("x {{title", fill(t, "x {{title"));
    EXPECT_EQ(1, t.removeValue("title") > 0 ? 1 : 0);
    EXPECT_EQ("{{title}}", fill(t, "{{title}}"));
}

TEST_F(Tpl, SecondListValuesAreCutWithoutSplittingCharacters)
{
    NUTemplateToOutput t("{{", "}}");
    NUNVList second;
    std::string longValue = std::string(1022, 'a') + "\xE3\x81\x82" + "tail";
    second.addStringCopy("v", longValue.c_str());
    std::string lt = std::string(1020, 'b') + "<";
    second.addStringCopy("lt", lt.c_str());
    t.setSecondList(&second);
    t.setEscapeSecondList(false);
    EXPECT_EQ(std::string(1022, 'a'), fill(t, "{{LLv}}"));
    t.setEscapeSecondList(true);
    // The escaped text is cut again without splitting "&lt;".
    EXPECT_EQ(std::string(1020, 'b'), fill(t, "{{LLlt}}"));
}

TEST_F(Tpl, HtmlEscapeModes)
{
    NUTemplateToOutput t("{{", "}}");
    struct {
        const char* in;
        int mode;
        bool amp;
        const char* out;
    } cases[] = {
        {"a  b", 2, true, "a&nbsp; b"},
        {"a\r\nb", 2, true, "a</br>\nb"},
        {"a\r\nb", 1, true, "a\r\nb"},
        {"\n x", 2, true, "</br>\n&nbsp;x"},
        {"<a href=\"x\">&</a>", 1, true, "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;"},
        {"&", 1, false, "&"},
        {"\xE3\x81\x82<", 1, true, "\xE3\x81\x82&lt;"},
        {"\xE3\x81", 1, true, "\xE3\x81"},   // cut-off sequence: no read past the end
        {"", 2, true, ""},
    };
    for (auto& c : cases) {
        char* out = nullptr;
        ASSERT_EQ(0, t.htmlEscape(c.in, nullptr, &out, c.mode, c.amp)) << c.in;
        EXPECT_EQ(c.out, take(out)) << c.in;
    }
    char* out = nullptr;
    const char* text = "<ab>";
    ASSERT_EQ(0, t.htmlEscape(text, text + 1, &out, 1, true));
    EXPECT_EQ("&lt;a", take(out));
    EXPECT_EQ(-50, t.htmlEscape(text + 1, text, &out, 1, true));
    EXPECT_EQ(-50, t.htmlEscape(text, nullptr, &out, 0, true));
    EXPECT_EQ(-50, t.htmlEscape(nullptr, nullptr, &out, 1, true));
}

TEST_F(Tpl, DelimitersAndDates)
{
    NUTemplateToOutput t("{{", "}}");
    EXPECT_EQ(-30, t.setDelimiters("12345678", "]"));
    EXPECT_EQ(-1, t.setDelimiters("", "]"));
    EXPECT_EQ(-1, t.setDelimiters("[", nullptr));
    ASSERT_EQ(0, t.addDate("d", "20240305"));
    ASSERT_EQ(0, t.addDate("m", "20241"));
    ASSERT_EQ(0, t.addDate("e", ""));
    EXPECT_EQ("2024-03-05 2024-01-00 []", fill(t, "{{d}} {{m}} [{{e}}]"));
    ASSERT_EQ(0, t.setDelimiters("[%", "%]"));
    EXPECT_EQ("2024-03-05 {{d}}", fill(t, "[%d%] {{d}}"));

    // Too long a delimiter given to the constructor is not stored, and a
    // template without delimiters has no placeholders.
    NUTemplateToOutput bad("123456789012", "}}");
    bad.addValue("x", "v", 0);
    EXPECT_EQ("123456789012x}}", fill(bad, "123456789012x}}"));
    NUTemplateToOutput cap(4);
    cap.addValue("x", "v", 0);
    EXPECT_EQ("{{x}}", fill(cap, "{{x}}"));
}

TEST_F(Tpl, OutputLoadsFileOncePrintsAndAccumulates)
{
    std::string tp = path("page.html");
    writeFile(tp, "<p>{{a}}</p>\n");
    NUTemplateToOutput t("{{", "}}");
    EXPECT_EQ(-52, t.output());
    t.addValue("a", "1", 0);
    t.setTemplateFile(tp.c_str(), false);
    std::string out = path("out.txt");
    ASSERT_EQ(0, comCgiOpenOutput(out.c_str(), 0));
    EXPECT_EQ(0, t.output());
    writeFile(tp, "<p>changed</p>\n");
    EXPECT_EQ(0, t.flush());                      // the loaded text is kept
    t.setTemplateFile(tp.c_str(), false);
    EXPECT_EQ(0, t.output());                     // loaded again
    ASSERT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ("<p>1</p>\n<p>1</p>\n<p>changed</p>\n", readFile(out));

    t.setTemplateFile(tp.c_str(), true);
    EXPECT_EQ(1, t.getMode());
    EXPECT_EQ(0, t.output());
    EXPECT_EQ(0, t.output());
    EXPECT_STREQ("<p>changed</p>\n<p>changed</p>\n", t.getOutput());
    t.clearOutput();
    EXPECT_EQ(nullptr, t.getOutput());

    t.setTemplateFile(path("none").c_str(), true);
    EXPECT_EQ(-53, t.output());
    t.setTemplateFile(dir.c_str(), true);         // a directory cannot be read
    EXPECT_EQ(-54, t.output());
    char* text = nullptr;
    EXPECT_EQ(-50, t.loadFile("", &text));
    writeFile(tp, "");
    EXPECT_EQ(0, t.loadFile(tp.c_str(), &text));
    EXPECT_EQ("", take(text));
}

TEST_F(Tpl, GrowAndAppend)
{
    NUTemplateToOutput t("{{", "}}");
    int size = 4;
    char* buf = static_cast<char*>(calloc(4, 1));
    ASSERT_EQ(0, t.appendN(&buf, &size, "ab", 2));
    ASSERT_EQ(0, t.appendN(&buf, &size, "cdefgh", 3));  // grows
    EXPECT_STREQ("abcde", buf);
    EXPECT_GT(size, 5);
    ASSERT_EQ(0, t.appendN(&buf, &size, "xy", 10));       // text ends earlier
    EXPECT_STREQ("abcdexy", buf);
    EXPECT_EQ(-50, t.appendN(&buf, &size, "x", -1));
    EXPECT_EQ(-50, t.appendN(&buf, &size, nullptr, 1));
    int zero = 0;
    EXPECT_EQ(-50, t.appendN(&buf, &zero, "x", 1));
    EXPECT_EQ(-50, t.growBuffer(&buf, nullptr, 0));
    ASSERT_EQ(0, t.growBuffer(&buf, &size, 0));
    EXPECT_STREQ("abcdexy", buf);
    free(buf);
}

// ---- form filling ----------------------------------------------------------------

TEST_F(Tpl, FillsInputs)
{
    NUTemplateToOutput t("{{", "}}");
    t.addValue("txt", "abc", 0);
    t.addValue("cb1", "1", 0);
    t.addValue("cb0", "0", 0);
    t.addValue("r", "b", 0);
    t.addValue("bare", "q", 0);
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<input type=\"text\" name=\"txt\" value=\"old\" size=5>",
         "<input type=\"text\" name=\"txt\" value=\"abc\"  size=5>"},
        {"<input name=bare value=old>", "<input name=bare value=\"q\" >"},
        {"<input type=\"text\" name=\"txt\">", "<input value=\"abc\"  type=\"text\" name=\"txt\">"},
        {"<input type=\"checkbox\" name=\"cb1\">", "<input checked type=\"checkbox\" name=\"cb1\">"},
        {"<input type=\"checkbox\" name=\"cb1\" checked>", "<input type=\"checkbox\" name=\"cb1\" checked>"},
        {"<input type=\"checkbox\" name=\"cb0\" checked>", "<input type=\"checkbox\" name=\"cb0\">"},
        {"<input type=\"radio\" name=\"r\" value=\"a\" checked>", "<input type=\"radio\" name=\"r\" value=\"a\">"},
        {"<input type=\"radio\" name=\"r\" value=\"b\">", "<input checked type=\"radio\" name=\"r\" value=\"b\">"},
        {"<input type=\"text\" name=\"nolist\" value=\"x\">", "<input type=\"text\" name=\"nolist\" value=\"x\">"},
        {"<input type=\"text\" value=\"x\">", "<input type=\"text\" value=\"x\">"},
        {"<INPUT type=\"text\" name=\"txt\">", "<INPUT type=\"text\" name=\"txt\">"},
        // A name pattern inside another attribute hides the real one.
        {"<input data-name=\"x\" name=\"txt\">", "<input data-name=\"x\" name=\"txt\">"},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.out, fill(t, c.in)) << c.in;
}

TEST_F(Tpl, FillsSelectsTextareasAndForms)
{
    NUTemplateToOutput t("{{", "}}");
    t.addValue("s", "b", 0);
    t.addValue("ta", "new", 0);
    t.addValue("f", "go.cgi", 0);
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"<select name=\"s\"><option value=\"a\" selected>A<option value=\"b\">B<option value=\"c\" selected=\"selected\">C</select>",
         "<select name=\"s\"><option value=\"a\">A<option selected=\"selected\" value=\"b\">B<option value=\"c\">C</select>"},
        {"<select name=\"s\"><option value=\"b\" selected>B</select>",
         "<select name=\"s\"><option value=\"b\" selected>B</select>"},
        // Without a list value the options keep their own selection; a
        // later option's long form does not hide a short one.
        {"<select name=\"z\"><option value=\"a\" selected>A<option value=\"b\" selected=\"selected\">B</select>",
         "<select name=\"z\"><option value=\"a\" selected>A<option value=\"b\" selected=\"selected\">B</select>"},
        {"<textarea name=\"ta\">old <b>text</b></textarea>!", "<textarea name=\"ta\">\nnew</textarea>!"},
        {"<textarea name=\"other\">keep</textarea>", "<textarea name=\"other\">keep</textarea>"},
        {"<textarea name=\"ta\">old<x>tail", "<textarea name=\"ta\">\nnewx>tail"},
        {"<form name=\"f\" action=\"old.cgi\" method=post>", "<form name=\"f\" action=\"go.cgi\"  method=post>"},
        {"<form name=\"f\" method=post>", "<form action=\"go.cgi\"  name=\"f\" method=post>"},
        {"<form name=\"g\" action=\"x\">", "<form name=\"g\" action=\"x\">"},
        {"a < b", "a < b"},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.out, fill(t, c.in)) << c.in;

    // The print mode fills forms the same way.
    std::string out = path("p.html");
    ASSERT_EQ(0, comCgiOpenOutput(out.c_str(), 0));
    NUTemplateToOutput p("{{", "}}");
    p.addValue("txt", "v", 0);
    p.setTemplateText("<input name=\"txt\"><script>if (a<b) x();</script>", false);
    EXPECT_EQ(0, p.output());
    ASSERT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ("<input value=\"v\"  name=\"txt\"><script>if (a<b) x();</script>", readFile(out));
}

TEST_F(Tpl, HandlersRefuseBadArguments)
{
    NUTemplateToOutput t("{{", "}}");
    int size = 8;
    char* buf = static_cast<char*>(calloc(8, 1));
    const char* tag = "<input name=x>";
    EXPECT_EQ(-50, t.fillInput(nullptr, &size, tag, 5));
    EXPECT_EQ(-50, t.fillInput(&buf, &size, tag, 0));
    EXPECT_EQ(-50, t.fillOption(&buf, &size, nullptr, 5));
    int zero = 0;
    EXPECT_EQ(-50, t.fillSelect(&buf, &zero, tag, 5));
    free(buf);
    const char* b = nullptr;
    const char* e = nullptr;
    EXPECT_EQ(-50, t.findAttribute(tag, "", &b, &e));
    EXPECT_EQ(0, t.findAttribute("<input name=", "name", &b, &e));
    char* out = nullptr;
    EXPECT_EQ(-50, t.fillForm(nullptr, &out));
    char empty[] = "";
    EXPECT_EQ(0, t.fillForm(empty, &out));
    EXPECT_EQ(nullptr, out);

    char text[] = "<input type=\"text\" name=x value=Abc>x<y \"q\">";
    t.upcaseTagNames(text);
    EXPECT_STREQ("<INPUT TYPE=\"text\" NAME=x VALUE=Abc>x<Y \"q\">", text);
}

}  // namespace
