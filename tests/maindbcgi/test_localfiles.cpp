// The shipped code table and local strings: every code and key the sources
// use is present, and every template takes the arguments its callers pass.
#include <gtest/gtest.h>

#include <cctype>
#include <dirent.h>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "nunvlist.h"
#include "rvcomcode.h"

namespace {

const std::string kSourceDir = RV_SOURCE_DIR;

typedef std::map<std::string, std::string> Table;  // first definition wins

Table loadTable(const std::string& path, std::vector<std::string>* duplicates = nullptr)
{
    NUNVList list(500);
    Table table;
    if (rvcomReadLocalStringFile(&list, path.c_str()) != 0)
        return table;
    for (int i = 0; i < list.getCount(); ++i) {
        char* name = nullptr;
        void* value = nullptr;
        list.nameAt(i, &name);
        list.valueAt(i, &value);
        if (!name)
            continue;
        if (!table.emplace(name, value ? static_cast<const char*>(value) : "").second &&
            duplicates)
            duplicates->push_back(name);
    }
    return table;
}

const Table& messages()
{
    static const Table t = loadTable(kSourceDir + "/local/ja/message");
    return t;
}

const Table& strings()
{
    static const Table t = loadTable(kSourceDir + "/local/ja/vikra");
    return t;
}

// Text of a code-table value after its level letter and comma.
std::string codeText(const std::string& value)
{
    size_t comma = value.find(',');
    return comma == std::string::npos ? value : value.substr(comma + 1);
}

bool isResultCode(long v)
{
    const long ranges[][2] = {
        { 1001, 1102 },     { 100001, 100299 }, { 210001, 210099 }, { 300001, 300099 },
        { 310001, 310099 }, { 320001, 320099 }, { 330001, 330099 }, { 500001, 500099 },
        { 510001, 510099 }, { 600001, 600099 }, { 601001, 601099 },
    };
    for (const auto& r : ranges)
        if (v >= r[0] && v <= r[1])
            return true;
    return false;
}

// Source text with comments blanked out (string literals kept).
std::string stripComments(const std::string& src)
{
    std::string out;
    out.reserve(src.size());
    size_t i = 0;
    while (i < src.size()) {
        char c = src[i];
        if (c == '"' || c == '\'') {
            size_t j = i + 1;
            while (j < src.size() && src[j] != c && src[j] != '\n') {
                if (src[j] == '\\')
                    ++j;
                ++j;
            }
            out.append(src, i, j + 1 - i);
            i = j + 1;
        } else if (src.compare(i, 2, "//") == 0) {
            while (i < src.size() && src[i] != '\n')
                ++i;
        } else if (src.compare(i, 2, "/*") == 0) {
            size_t end = src.find("*/", i + 2);
            i = end == std::string::npos ? src.size() : end + 2;
            out += ' ';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

struct SourceFile {
    std::string path;
    std::string text;  // without comments
};

void collectSources(const std::string& dir, std::vector<SourceFile>& out, int depth = 0)
{
    DIR* d = opendir(dir.c_str());
    if (!d || depth > 4) {
        if (d)
            closedir(d);
        return;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        names.push_back(e->d_name);
    closedir(d);
    for (const std::string& n : names) {
        if (n == "." || n == "..")
            continue;
        std::string p = dir + "/" + n;
        struct stat st;
        if (stat(p.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            collectSources(p, out, depth + 1);
        } else if (n.size() > 4 && (n.compare(n.size() - 4, 4, ".cpp") == 0 ||
                                    n.compare(n.size() - 2, 2, ".h") == 0)) {
            std::ifstream in(p, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            out.push_back({ p, stripComments(ss.str()) });
        }
    }
}

const std::vector<SourceFile>& sources()
{
    static std::vector<SourceFile> files;
    if (files.empty()) {
        for (const char* d : { "MakeCommon", "db", "maindbcgi", "export", "import" })
            collectSources(kSourceDir + "/" + d, files);
    }
    return files;
}

// Top-level arguments of the call whose '(' is at open; empty on failure.
std::vector<std::string> callArguments(const std::string& s, size_t open)
{
    std::vector<std::string> args;
    std::string cur;
    int depth = 0;
    for (size_t i = open + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"' || c == '\'') {
            size_t j = i + 1;
            while (j < s.size() && s[j] != c) {
                if (s[j] == '\\')
                    ++j;
                ++j;
            }
            cur.append(s, i, j + 1 - i);
            i = j;
            continue;
        }
        if (c == '(' || c == '[' || c == '{')
            ++depth;
        if (c == ')' || c == ']' || c == '}') {
            if (depth == 0) {
                args.push_back(cur);
                return args;
            }
            --depth;
        }
        if (c == ',' && depth == 0) {
            args.push_back(cur);
            cur.clear();
            continue;
        }
        if (c == ';' && depth == 0)
            break;
        cur += c;
    }
    return {};
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    size_t e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The literal "..." of an argument made of one string literal, else "".
bool stringLiteral(const std::string& arg, std::string& value)
{
    std::string a = trim(arg);
    if (a.size() < 2 || a.front() != '"' || a.back() != '"' ||
        a.find('"', 1) != a.size() - 1)
        return false;
    value = a.substr(1, a.size() - 2);
    return true;
}

bool integerLiteral(const std::string& arg, long& value)
{
    std::string a = trim(arg);
    if (a.empty())
        return false;
    size_t i = (a[0] == '-') ? 1 : 0;
    if (i >= a.size())
        return false;
    for (size_t k = i; k < a.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(a[k])))
            return false;
    value = std::stol(a);
    return true;
}

// An argument that is plainly a text (a literal or a c_str()).
bool isTextArgument(const std::string& arg)
{
    std::string a = trim(arg), lit;
    return stringLiteral(a, lit) ||
           (a.size() > 8 && a.compare(a.size() - 8, 8, ".c_str()") == 0);
}

struct CallSite {
    std::string where;
    std::string templ;
    std::vector<std::string> args;
};

// Template conversions fit the arguments: no more conversions than
// arguments, and no number conversion fed with a plain text.
std::string checkCall(const CallSite& c)
{
    std::string kinds;
    int n = rvcomTemplateConversions(c.templ.c_str(), kinds);
    if (n < 0)
        return c.where + ": bad template [" + c.templ + "]";
    if (static_cast<size_t>(n) > c.args.size())
        return c.where + ": template [" + c.templ + "] wants " + std::to_string(n) +
               " arguments, " + std::to_string(c.args.size()) + " passed";
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (kinds[i] != 's' && isTextArgument(c.args[i]))
            return c.where + ": template [" + c.templ + "] has a number conversion for text " +
                   c.args[i];
    }
    return "";
}

TEST(LocalFiles, FilesLoadWithoutDuplicatesAndWellFormed)
{
    for (const char* name : { "message", "vikra" }) {
        std::vector<std::string> dups;
        Table t = loadTable(kSourceDir + "/local/ja/" + name, &dups);
        EXPECT_FALSE(t.empty()) << name;
        EXPECT_TRUE(dups.empty()) << name << ": " << (dups.empty() ? "" : dups[0]);
        for (const auto& e : t) {
            std::string kinds;
            EXPECT_GE(rvcomTemplateConversions(e.second.c_str(), kinds), 0)
                << name << " " << e.first;
            for (char k : kinds)
                EXPECT_TRUE(k == 's' || k == 'd') << name << " " << e.first;
            EXPECT_FALSE(e.second.empty()) << name << " " << e.first;
        }
    }
    for (const auto& e : messages()) {
        long code = 0;
        EXPECT_TRUE(integerLiteral(e.first, code) && code < 0) << e.first;
        ASSERT_GE(e.second.size(), 3u) << e.first;
        EXPECT_TRUE(e.second[0] == 'E' || e.second[0] == 'W' || e.second[0] == 'I') << e.first;
        EXPECT_EQ(',', e.second[1]) << e.first;
    }
}

// Argument counts as the callers pass them; every other entry takes none.
TEST(LocalFiles, TemplatesTakeTheDocumentedArguments)
{
    const std::map<std::string, int> keyArgs = {
        { "export_cmdline_export_progress", 2 }, { "export_cmdline_export_result", 3 },
        { "export_logfile_export_end", 2 },       { "export_logfile_export_result", 3 },
        { "export_logfile_export_cancel", 2 },    { "export_logfile_export_error", 3 },
        { "export_logfile_export_reference", 1 }, { "export_logfile_server_error", 2 },
        { "export_logfile_filename_change", 7 },  { "import_cmdline_import_progress_db", 2 },
        { "import_cmdline_import_progress_count", 3 }, { "import_cmdline_import_result", 5 },
        { "import_cmdline_import_errorguidemsg", 2 }, { "import_cmdline_import_warningguidemsg", 2 },
        { "import_cmdline_import_logguidemsg", 1 }, { "import_logfile_result", 5 },
        { "msg_lenminmax", 2 }, { "msg_lenmin", 1 }, { "msg_lenmax", 1 }, { "msg_valminmax", 2 },
        { "msg_valmin_date", 1 }, { "msg_valmax_date", 1 }, { "msg_numdigit", 2 },
        { "dateviewfmt_s_ymdhis", 6 }, { "dateviewfmt_j_ymdhis", 6 }, { "dateviewfmt_s_ymdhi", 5 },
        { "dateviewfmt_j_ymdhi", 5 }, { "dateviewfmt_s_ymdh", 4 }, { "dateviewfmt_j_ymdh", 4 },
        { "dateviewfmt_s_ymd", 3 }, { "dateviewfmt_j_ymd", 3 }, { "dateviewfmt_s_ym", 2 },
        { "dateviewfmt_j_ym", 2 }, { "dateviewfmt_s_y", 1 }, { "dateviewfmt_j_y", 1 },
        { "dateviewfmt_sw_ymdhis", 7 }, { "dateviewfmt_jw_ymdhis", 7 },
        { "dateviewfmt_sw_ymdhi", 6 }, { "dateviewfmt_jw_ymdhi", 6 },
        { "dateviewfmt_sw_ymdh", 5 }, { "dateviewfmt_jw_ymdh", 5 },
        { "dateviewfmt_sw_ymd", 4 }, { "dateviewfmt_jw_ymd", 4 },
        { "dateviewfmt_jt_his", 3 }, { "dateviewfmt_ct_his", 3 },
        { "timespanviewfmt_d", 1 }, { "timespanviewfmt_dh", 2 }, { "timespanviewfmt_dhi", 3 },
        { "timespanviewfmt_dhis", 4 }, { "timespanviewfmt_h", 1 }, { "timespanviewfmt_hi", 2 },
        { "timespanviewfmt_his", 3 }, { "timespanviewfmt_i", 1 }, { "timespanviewfmt_is", 2 },
        { "timespanviewfmt_s", 1 },
    };
    std::map<long, int> codeArgs = {
        { -500009, 3 }, { -500016, 3 }, { -500012, 4 }, { -500013, 4 }, { -500014, 4 },
        { -500015, 6 }, { -500023, 5 }, { -600007, 2 }, { -600008, 3 }, { -600009, 1 }, { -600011, 1 },
        { -600013, 3 }, { -600014, 3 }, { -600015, 1 }, { -600016, 1 }, { -600019, 2 },
        { -601010, 1 },
    };
    for (long c = -210001; c >= -210019; --c)
        codeArgs[c] = 1;  // item name

    for (const auto& k : keyArgs)
        EXPECT_EQ(1u, strings().count(k.first)) << "missing key " << k.first;
    for (const auto& k : codeArgs) {
        if (k.first < -210010 && k.first > -210019)
            continue;
        EXPECT_EQ(1u, messages().count(std::to_string(k.first))) << "missing code " << k.first;
    }

    for (const auto& e : strings()) {
        auto it = keyArgs.find(e.first);
        std::string kinds;
        int n = rvcomTemplateConversions(e.second.c_str(), kinds);
        EXPECT_LE(n, it == keyArgs.end() ? 0 : it->second) << e.first << " = " << e.second;
    }
    for (const auto& e : messages()) {
        auto it = codeArgs.find(std::stol(e.first));
        std::string kinds;
        int n = rvcomTemplateConversions(codeText(e.second).c_str(), kinds);
        EXPECT_LE(n, it == codeArgs.end() ? 0 : it->second) << e.first << " = " << e.second;
    }

    // Filled with the documented arguments, nothing shows a placeholder.
    for (const auto& k : keyArgs) {
        std::vector<RvFmtArg> args(static_cast<size_t>(k.second), RvFmtArg("x"));
        NString out;
        EXPECT_EQ(0, rvcomFormatTextV(out, strings().at(k.first).c_str(), args)) << k.first;
    }
}

TEST(LocalFiles, EveryCodeInTheSourcesIsPresent)
{
    std::set<std::string> missing;
    for (const SourceFile& f : sources()) {
        const std::string& s = f.text;
        for (size_t i = 0; i + 1 < s.size(); ++i) {
            if (s[i] != '-' || !std::isdigit(static_cast<unsigned char>(s[i + 1])))
                continue;
            if (i > 0) {
                char p = s[i - 1];
                if (std::isalnum(static_cast<unsigned char>(p)) || p == '_' || p == ')' ||
                    p == ']' || p == '.')
                    continue;
            }
            size_t j = i + 1;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])))
                ++j;
            if (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                continue;
            if (j - i - 1 > 6)
                continue;
            long v = std::stol(s.substr(i + 1, j - i - 1));
            if (isResultCode(v) && !messages().count("-" + std::to_string(v)))
                missing.insert("-" + std::to_string(v) + " (" + f.path + ")");
            i = j;
        }
    }
    for (const std::string& m : missing)
        ADD_FAILURE() << "code missing from local/ja/message: " << m;
}

TEST(LocalFiles, EveryKeyAndCallInTheSourcesFits)
{
    static const char* const prefixes[] = {
        "export_cmdline_", "export_logfile_", "export_regist_", "export_update_", "export_id",
        "export_revision", "import_cmdline_", "import_logfile_", "dateviewfmt_", "timespanviewfmt_",
        "msg_", "coltypename_", "dayoftheweek_", "validation_", "rvsys_user_", "csvoutstr",
        "permitrefer_",
    };
    std::vector<std::string> problems;
    int calls = 0;
    for (const SourceFile& f : sources()) {
        const std::string& s = f.text;
        // Literal keys with a known prefix.
        for (size_t q = s.find('"'); q != std::string::npos; q = s.find('"', q + 1)) {
            size_t e = s.find('"', q + 1);
            if (e == std::string::npos)
                break;
            std::string lit = s.substr(q + 1, e - q - 1);
            q = e;
            bool keyLike = !lit.empty() && lit.back() != '_' &&
                           lit.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") ==
                               std::string::npos;
            if (!keyLike)
                continue;
            for (const char* p : prefixes) {
                if (lit.compare(0, std::strlen(p), p) == 0 && !strings().count(lit))
                    problems.push_back(f.path + ": key missing from local/ja/vikra: " + lit);
            }
        }
        // Calls with a literal key or code.
        for (const char* fn : { "rvcomGetLocalString", "rvcomGetCodeMessage" }) {
            const std::string name = fn;
            for (size_t p = s.find(name); p != std::string::npos; p = s.find(name, p + 1)) {
                size_t open = p + name.size();
                if (open >= s.size() || s[open] != '(')
                    continue;
                std::vector<std::string> args = callArguments(s, open);
                if (args.size() < 2)
                    continue;
                CallSite c;
                c.where = f.path + " " + trim(s.substr(p, 80));
                std::string key;
                long code = 0;
                if (name == "rvcomGetLocalString" && stringLiteral(args[1], key)) {
                    if (!strings().count(key)) {
                        problems.push_back(f.path + ": key missing from local/ja/vikra: " + key);
                        continue;
                    }
                    c.templ = strings().at(key);
                    c.args.assign(args.begin() + 2, args.end());
                } else if (name == "rvcomGetCodeMessage" &&
                           (integerLiteral(args[0], code) || integerLiteral(args[1], code))) {
                    size_t first = integerLiteral(args[0], code) ? 1 : 2;
                    auto it = messages().find(std::to_string(code));
                    if (it == messages().end())
                        continue;  // reported by the code scan
                    c.templ = codeText(it->second);
                    c.args.assign(args.begin() + static_cast<long>(first), args.end());
                } else {
                    continue;
                }
                ++calls;
                std::string problem = checkCall(c);
                if (!problem.empty())
                    problems.push_back(problem);
            }
        }
    }
    for (const std::string& p : problems)
        ADD_FAILURE() << p;
    RecordProperty("checked_calls", calls);
}

} // namespace
