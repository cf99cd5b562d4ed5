// Code table, local strings and the typed template formatter.
#include "rvcomcode.h"

#include "comtrace.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Largest width or precision a template may ask for.
const int kMaxFieldWidth = 4096;
// fgets buffer of the table reader: lines of at most 4094 characters.
const int kLineBufSize = 4095;

struct ConvSpec {
    std::string flags;
    int width = -1;
    int precision = -1;
    char conv = 0;
};

// Parses the conversion after a '%' at tmpl[pos]; pos moves past it.
// False for an incomplete or unsupported one (pos then past the fault).
bool parseConversion(const char* tmpl, size_t& pos, ConvSpec& spec)
{
    while (tmpl[pos] && std::strchr("-+ #0", tmpl[pos])) {
        if (spec.flags.size() < 5)
            spec.flags += tmpl[pos];
        ++pos;
    }
    bool ok = true;
    if (std::isdigit(static_cast<unsigned char>(tmpl[pos]))) {
        long w = 0;
        while (std::isdigit(static_cast<unsigned char>(tmpl[pos]))) {
            if (w <= kMaxFieldWidth)
                w = w * 10 + (tmpl[pos] - '0');
            ++pos;
        }
        if (w > kMaxFieldWidth)
            ok = false;
        spec.width = static_cast<int>(w);
    } else if (tmpl[pos] == '*') {
        ++pos;
        ok = false;
    }
    if (tmpl[pos] == '.') {
        ++pos;
        long p = 0;
        if (tmpl[pos] == '*') {
            ++pos;
            ok = false;
        }
        while (std::isdigit(static_cast<unsigned char>(tmpl[pos]))) {
            if (p <= kMaxFieldWidth)
                p = p * 10 + (tmpl[pos] - '0');
            ++pos;
        }
        if (p > kMaxFieldWidth)
            ok = false;
        spec.precision = static_cast<int>(p);
    }
    while (tmpl[pos] && std::strchr("hlLqjzt", tmpl[pos]))
        ++pos;
    char c = tmpl[pos];
    if (c == '\0')
        return false;
    ++pos;
    spec.conv = c;
    return ok && std::strchr("diuxXocsfFeEgG", c) != nullptr;
}

char kindOf(char conv)
{
    switch (conv) {
    case 'd': case 'i':
        return 'd';
    case 'u': case 'x': case 'X': case 'o':
        return 'u';
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
        return 'f';
    case 'c':
        return 'c';
    default:
        return 's';
    }
}

// The printf format of one conversion with our own length modifier.
std::string buildFormat(const ConvSpec& spec, const char* length, char conv)
{
    std::string f = "%";
    f += spec.flags;
    if (spec.width >= 0)
        f += std::to_string(spec.width);
    if (spec.precision >= 0) {
        f += '.';
        f += std::to_string(spec.precision);
    }
    f += length;
    f += conv;
    return f;
}

template <class T>
void appendFormatted(std::string& out, const std::string& fmt, T value)
{
    char small[256];
    int n = std::snprintf(small, sizeof small, fmt.c_str(), value);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(&big[0], big.size(), fmt.c_str(), value);
    out.append(big.data(), static_cast<size_t>(n));
}

// Writes one conversion; false when the argument does not fit it.
bool formatOne(std::string& out, const ConvSpec& spec, const RvFmtArg& arg)
{
    const char kind = kindOf(spec.conv);
    switch (arg.getKind()) {
    case RvFmtArg::NONE:
        return false;
    case RvFmtArg::TEXT:
        if (kind == 's' && spec.flags.empty() && spec.width < 0 && spec.precision < 0) {
            out.append(arg.getText());  // a plain %s: the text as it is
            return true;
        }
        if (kind == 's') {
            appendFormatted(out, buildFormat(spec, "", 's'), arg.getText());
            return true;
        }
        if (kind == 'c') {
            unsigned char first = static_cast<unsigned char>(arg.getText()[0]);
            if (first == 0)
                return true;
            appendFormatted(out, buildFormat(spec, "", 'c'), static_cast<int>(first));
            return true;
        }
        return false;
    case RvFmtArg::INT:
    case RvFmtArg::UINT: {
        const bool isSigned = arg.getKind() == RvFmtArg::INT;
        if (kind == 's') {
            char num[32];
            if (isSigned)
                std::snprintf(num, sizeof num, "%lld", arg.getInt());
            else
                std::snprintf(num, sizeof num, "%llu", arg.getUInt());
            appendFormatted(out, buildFormat(spec, "", 's'), static_cast<const char*>(num));
        } else if (kind == 'd') {
            long long v = isSigned ? arg.getInt() : static_cast<long long>(arg.getUInt());
            appendFormatted(out, buildFormat(spec, "ll", spec.conv), v);
        } else if (kind == 'u') {
            unsigned long long v = isSigned ? static_cast<unsigned long long>(arg.getInt())
                                            : arg.getUInt();
            appendFormatted(out, buildFormat(spec, "ll", spec.conv), v);
        } else if (kind == 'f') {
            double v = isSigned ? static_cast<double>(arg.getInt())
                                : static_cast<double>(arg.getUInt());
            appendFormatted(out, buildFormat(spec, "", spec.conv), v);
        } else {
            int v = static_cast<int>(static_cast<unsigned char>(arg.getInt()));
            appendFormatted(out, buildFormat(spec, "", 'c'), v);
        }
        return true;
    }
    case RvFmtArg::DOUBLE:
        if (kind == 'f') {
            appendFormatted(out, buildFormat(spec, "", spec.conv), arg.getDouble());
            return true;
        }
        if (kind == 's') {
            char num[64];
            std::snprintf(num, sizeof num, "%g", arg.getDouble());
            appendFormatted(out, buildFormat(spec, "", 's'), static_cast<const char*>(num));
            return true;
        }
        return false;
    }
    return false;
}

// Text being formatted: kept on the stack while it is short.
class FormatOut {
public:
    void append(const char* p, size_t n)
    {
        if (!spilled && n < sizeof small - len) {
            std::memcpy(small + len, p, n);
            len += n;
            return;
        }
        if (!spilled) {
            big.assign(small, len);
            spilled = true;
        }
        big.append(p, n);
    }
    void append(const char* p) { append(p, std::strlen(p)); }
    void append(const std::string& p) { append(p.data(), p.size()); }
    NString take() const
    {
        return spilled ? NString(big.c_str(), static_cast<int>(big.size()))
                       : NString(small, static_cast<int>(len));
    }

private:
    char small[512];
    size_t len = 0;
    bool spilled = false;
    std::string big;
};

bool isTrimSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Trims [b, e) in place of isspace characters.
void trimRange(char*& b, char*& e)
{
    while (b < e && isTrimSpace(*b))
        ++b;
    while (e > b && isTrimSpace(e[-1]))
        --e;
}

} // namespace

int rvcomFormatTextV(NString& out, const char* tmpl, const RvFmtArg* args, int count)
{
    if (!tmpl) {
        out = NString("");
        return 0;
    }
    if (!args)
        count = 0;
    FormatOut text;
    int ret = 0;
    int next = 0;
    size_t pos = 0;
    while (tmpl[pos]) {
        const char* pct = std::strchr(tmpl + pos, '%');
        if (!pct) {
            text.append(tmpl + pos);
            break;
        }
        text.append(tmpl + pos, static_cast<size_t>(pct - (tmpl + pos)));
        pos = static_cast<size_t>(pct - tmpl) + 1;
        if (tmpl[pos] == '%') {
            text.append("%", 1);
            ++pos;
            continue;
        }
        if (tmpl[pos] == 's' && next < count && args[next].getKind() == RvFmtArg::TEXT) {
            text.append(args[next].getText());  // a plain %s of a text
            ++pos;
            ++next;
            continue;
        }
        ConvSpec spec;
        if (!parseConversion(tmpl, pos, spec)) {
            text.append(RVCOM_FMT_MISSING);
            ret = -1;
            if (spec.conv)
                ++next;  // a refused conversion still stands for an argument
            continue;
        }
        std::string piece;
        if (next < count && formatOne(piece, spec, args[next])) {
            text.append(piece);
        } else {
            text.append(RVCOM_FMT_MISSING);
            ret = -1;
        }
        ++next;
    }
    out = text.take();
    return ret;
}

int rvcomFormatTextV(NString& out, const char* tmpl, const std::vector<RvFmtArg>& args)
{
    return rvcomFormatTextV(out, tmpl, args.empty() ? nullptr : args.data(),
                            static_cast<int>(args.size()));
}

int rvcomTemplateConversions(const char* tmpl, std::string& kinds)
{
    kinds.clear();
    if (!tmpl)
        return 0;
    size_t pos = 0;
    while (tmpl[pos]) {
        const char* pct = std::strchr(tmpl + pos, '%');
        if (!pct)
            break;
        pos = static_cast<size_t>(pct - tmpl) + 1;
        if (tmpl[pos] == '%') {
            ++pos;
            continue;
        }
        ConvSpec spec;
        if (!parseConversion(tmpl, pos, spec))
            return -1;
        kinds += kindOf(spec.conv);
    }
    return static_cast<int>(kinds.size());
}

// Made before main runs, so they outlive every function-local static (the
// application context empties them when it is destroyed).
NUNVList rvcomCodeMessageTable(500);
NUNVList rvcomLocalStringTable(500);

NUNVList* rvcomGetLocalStringTable()
{
    return &rvcomLocalStringTable;
}

int rvcomReadLocalStringFile(NUNVList* list, const char* path)
{
    if (!list || !path) {
        COMTRACE("ret[%d] path[%s]", RVCOM_ERR_READ_LOCAL_FILE, path ? path : "null");
        return RVCOM_ERR_READ_LOCAL_FILE;
    }
    FILE* fp = std::fopen(path, "r");
    if (!fp) {
        COMTRACE("ret[%d] path[%s] errno[%d]", RVCOM_ERR_READ_LOCAL_FILE, path, errno);
        return RVCOM_ERR_READ_LOCAL_FILE;
    }
    char buf[kLineBufSize];
    bool inLongLine = false;  // the rest of a line longer than the buffer
    while (std::fgets(buf, sizeof buf, fp)) {
        size_t len = std::strlen(buf);
        const bool complete = len > 0 && buf[len - 1] == '\n';
        if (inLongLine) {
            // The tail of an over-long line is dropped, never read as a line.
            if (complete)
                inLongLine = false;
            continue;
        }
        if (!complete && !std::feof(fp)) {
            COMTRACE("line longer than %d bytes cut path[%s]", kLineBufSize - 1, path);
            inLongLine = true;
        }
        char* tab = std::strchr(buf, '\t');
        if (tab)
            *tab = '\0';
        char* keyBegin = buf;
        char* eq = std::strchr(buf, '=');
        char* keyEnd = eq ? eq : buf + std::strlen(buf);
        char* valBegin = eq ? eq + 1 : keyEnd;
        char* valEnd = valBegin + std::strlen(valBegin);
        trimRange(keyBegin, keyEnd);
        trimRange(valBegin, valEnd);
        *keyEnd = '\0';
        *valEnd = '\0';
        if (keyBegin[0] == '\0' || keyBegin[0] == '#' || keyBegin[0] == ';')
            continue;
        int iret = list->addStringCopy(keyBegin, valBegin);
        if (iret < 0) {
            COMTRACE("ret[%d] iret[%d] path[%s] key[%s]", RVCOM_ERR_READ_LOCAL_FILE, iret, path,
                     keyBegin);
            std::fclose(fp);
            return RVCOM_ERR_READ_LOCAL_FILE;
        }
    }
    if (std::ferror(fp)) {
        COMTRACE("ret[%d] path[%s] errno[%d]", RVCOM_ERR_READ_LOCAL_FILE, path, errno);
        std::fclose(fp);
        return RVCOM_ERR_READ_LOCAL_FILE;
    }
    std::fclose(fp);
    return 0;
}

int rvcomLoadCodeMessageFile(const char* path)
{
    return rvcomReadLocalStringFile(&rvcomCodeMessageTable, path);
}

int rvcomLoadLocalStringFile(const char* path)
{
    return rvcomReadLocalStringFile(&rvcomLocalStringTable, path);
}

void rvcomClearCodeMessages()
{
    rvcomCodeMessageTable.remove(nullptr);
}

void rvcomClearLocalStrings()
{
    rvcomLocalStringTable.remove(nullptr);
}

rvcomCodeMessageEntry rvcomGetCodeEntry(int code)
{
    rvcomCodeMessageEntry entry;
    char key[16];
    std::snprintf(key, sizeof key, "%d", code);
    void* value = nullptr;
    if (rvcomCodeMessageTable.find(key, &value) == 1 && value) {
        const char* text = static_cast<const char*>(value);
        const char* comma = std::strchr(text, ',');
        if (comma) {
            entry.level = text[0];
            entry.text = NString(comma + 1);
        } else {
            entry.text = NString(text);
        }
        return entry;
    }
    char missing[32];
    std::snprintf(missing, sizeof missing, "(code:%d)", code);
    entry.text = NString(missing, -1);
    return entry;
}

rvcomCodeMessageEntry rvcomGetCodeMessageV(int code, const RvFmtArg* args, int count)
{
    rvcomCodeMessageEntry entry = rvcomGetCodeEntry(code);
    if (!entry.text.isNullOrEmpty()) {
        NString filled;
        rvcomFormatTextV(filled, entry.text.c_str(), args, count);
        entry.text = filled;
    }
    return entry;
}

void rvcomGetLocalStringV(NString& out, const char* key, const RvFmtArg* args, int count)
{
    if (!key) {
        out = NString("(null)");
        return;
    }
    void* value = nullptr;
    if (rvcomLocalStringTable.find(key, &value) == 1 && value &&
        static_cast<const char*>(value)[0] != '\0') {
        rvcomFormatTextV(out, static_cast<const char*>(value), args, count);
        return;
    }
    out = NString(key);
}
