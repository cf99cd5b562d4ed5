// CGI response headers, user-agent and server tests, file download.
#include "comcgiresp.h"

#include "comcgi.h"
#include "comjconv.h"
#include "commime.h"
#include "comstr.h"
#include "comfile.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

const char* agent()
{
    return getenv("HTTP_USER_AGENT");
}

bool has(const char* text, const char* pat)
{
    return strstr(text, pat) != nullptr;
}

bool hasCi(const char* text, const char* pat)
{
    return comStrCaseStr(text, pat) != nullptr;
}

bool hasU(const char* text, const char* pat)
{
    return comUtf8StrStr(text, pat) != nullptr;
}

// A header value without CR and LF.
std::string headerValue(const char* text)
{
    std::string s;
    if (!text)
        return s;
    for (const char* p = text; *p; ++p) {
        if (*p != '\r' && *p != '\n')
            s += *p;
    }
    return s;
}

// A file name for filename="...": no line ends, and no quote that would
// end the parameter early.
std::string quotedName(const char* text)
{
    std::string s = headerValue(text);
    for (char& c : s) {
        if (c == '"')
            c = '_';
    }
    return s;
}

int writeDisposition(const char* dispFormat, const char* name)
{
    std::string n = quotedName(name);
    comCgiPrintf(dispFormat, n.c_str());
    return 0;
}

}  // namespace

// ---- user agent ------------------------------------------------------------------

int comUaIsUpBrowser()
{
    const char* ua = agent();
    return ua && hasCi(ua, "UP.Browser");
}

int comUaIsWillcom()
{
    const char* ua = agent();
    return ua && hasCi(ua, "Mozilla") && (hasCi(ua, "DDIPOCKET") || hasCi(ua, "WILLCOM"));
}

int comUaIsSoftBank()
{
    const char* ua = agent();
    return ua && (hasCi(ua, "SoftBank") || hasCi(ua, "Vodafone") || hasCi(ua, "J-PHONE") ||
                  hasCi(ua, "MOT-"));
}

int comUaIsDoCoMo()
{
    const char* ua = agent();
    return ua && hasCi(ua, "DoCoMo");
}

int comUaIsChrome()
{
    const char* ua = agent();
    return ua && has(ua, "Chrome");
}

int comUaIsOldFirefox()
{
    const char* ua = agent();
    if (!ua)
        return 0;
    if (has(ua, "Firefox/1"))
        return 1;
    const char* p = strstr(ua, "Firefox/2.0.0.");
    if (!p)
        return 0;
    p += strlen("Firefox/2.0.0.");
    return (p[0] == '1' || p[0] == '2' || p[0] == '3') && p[1] == '\0';
}

int comUaIsFirefox()
{
    const char* ua = agent();
    return ua && has(ua, "Firefox");
}

int comUaIsMozilla4()
{
    const char* ua = agent();
    return ua && has(ua, "Mozilla/4") && !has(ua, "MSIE");
}

int comUaIsOpera()
{
    const char* ua = agent();
    return ua && has(ua, "Opera");
}

int comUaIsNetscape()
{
    const char* ua = agent();
    return ua && (has(ua, "Netscape") || (has(ua, "Mozilla") && !has(ua, "MSIE")));
}

int comUaIsNetscape6or7()
{
    const char* ua = agent();
    return ua && (has(ua, "Netscape6") || has(ua, "Netscape/7"));
}

int comUaIsMsie()
{
    const char* ua = agent();
    return ua && has(ua, "MSIE") && !has(ua, "Opera");
}

int comUaIsMacMozilla()
{
    const char* ua = agent();
    return ua && has(ua, "Macintosh") && has(ua, "Mozilla") && !has(ua, "MSIE");
}

int comUaIsMacPpcMsie()
{
    const char* ua = agent();
    return ua && has(ua, "MSIE") && has(ua, "Mac_PowerPC");
}

int comUaIsMsie3()
{
    const char* ua = agent();
    return ua && has(ua, "MSIE 3");
}

int comUaIsSafari()
{
    const char* ua = agent();
    return ua && (hasU(ua, "Safari/") || hasU(ua, "CFNetwork/3")) && !hasU(ua, "Chrome");
}

int comUaIsMacSafari5()
{
    const char* ua = agent();
    return ua && hasU(ua, "Macintosh") && hasU(ua, "Safari/5");
}

int comUaIsMacMsie()
{
    const char* ua = agent();
    return ua && hasU(ua, "MSIE") && hasU(ua, "Mac");
}

int comUaMsieAtLeast(double version)
{
    const char* ua = agent();
    if (!ua)
        return 0;
    if (has(ua, "Trident") || has(ua, "Edge"))
        return 1;
    const char* p = strstr(ua, "MSIE ");
    if (!p || has(ua, "Opera"))
        return 0;
    p += 5;
    const char* semi = strchr(p, ';');
    std::string ver = semi ? std::string(p, static_cast<size_t>(semi - p)) : std::string(p);
    if (!comIsDecimal(ver.c_str()))
        return 0;
    return atof(ver.c_str()) >= version;
}

int comUaIsMsie8()
{
    return comUaMsieAtLeast(8.0);
}

int comUaIsMsie55()
{
    return comUaMsieAtLeast(5.5);
}

// ---- server --------------------------------------------------------------------------

int comCgiIsIis(double version)
{
    const char* sw = getenv("SERVER_SOFTWARE");
    if (!sw || !strstr(sw, "IIS"))
        return 0;
    const char* slash = strchr(sw, '/');
    if (!slash)
        return 0;
    return atoi(slash + 1) >= version;
}

int comCgiIsIis7()
{
    return comCgiIsIis(7.0);
}

int comCgiIsIis6()
{
    return comCgiIsIis(6.0);
}

int comCgiSubscriberId(char* out, size_t outSize)
{
    const char* id = getenv("HTTP_X_UP_SUBNO");
    if (!id)
        return -1;
    if (out && outSize > 0)
        comStrCopyN(out, id, static_cast<unsigned>(strnlen(id, outSize - 1)));
    return 0;
}

// ---- header writers --------------------------------------------------------------------

int comCgiContentType(const char* type)
{
    return comCgiPrintf("Content-Type: %s\n", headerValue(type).c_str());
}

int comCgiContentTypeText(const char* charset)
{
    if (charset)
        return comCgiPrintf("Content-Type: %s; charset=%s\n\n", "text/plain",
                            headerValue(charset).c_str());
    return comCgiPrintf("Content-Type: %s\n", "text/plain\n");
}

int comCgiContentTypeHtml(const char* charset)
{
    const char* ua = agent();
    if (ua && has(ua, "MSIE 3"))
        comCgiNoCache();
    if (ua && has(ua, "MSIE 4") && has(ua, "Mac"))
        comCgiNoCache();
    if (charset)
        return comCgiPrintf("Content-Type: %s; charset=%s\n\n", "text/html",
                            headerValue(charset).c_str());
    return comCgiPrintf("Content-Type: %s\n", "text/html\n");
}

int comCgiNoCache()
{
    return comCgiPrintf("Expires: 0\nPragma: no-cache\nChache-Control: no-store\n");
}

int comCgiDownloadHeaders(const char* fileName)
{
    comCgiPrintf("Content-Type: %s\n", "application/unknown");
    comCgiPrintf("Content-Disposition: attachment; filename=\"%s\"\n", quotedName(fileName).c_str());
    return comCgiPrintf("Accept-Ranges: bytes\n\n");
}

int comCgiSetCookieFixed(const char* cookie)
{
    return comCgiPrintf("Set-Cookie: %s; Expires=Sat, 31-Dec-2050 00:00:00 GMT; \n",
                        headerValue(cookie).c_str());
}

int comCgiSetCookie(const char* name, const char* value, int minutes)
{
    std::string n = headerValue(name);
    std::string v = headerValue(value);
    if (minutes == 0) {
        std::string cookie = n + "=" + v;
        return comCgiSetCookieFixed(cookie.c_str());
    }
    char date[64];
    comCgiCookieDate(minutes, date);
    return comCgiPrintf("Set-Cookie: %s=%s; Expires=%s; \n", n.c_str(), v.c_str(), date);
}

char* comCgiCookieDate(int minutes, char* out)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!out)
        return out;
    time_t t = time(nullptr) + static_cast<time_t>(minutes) * 60;
    struct tm tm;
    if (!gmtime_r(&t, &tm)) {
        out[0] = '\0';
        return out;
    }
    snprintf(out, 32, "%s, %02d-%s-%04d %02d:%02d:%02d GMT", days[tm.tm_wday % 7], tm.tm_mday,
             months[tm.tm_mon % 12], (tm.tm_year + 1900) % 10000, tm.tm_hour, tm.tm_min,
             tm.tm_sec);
    return out;
}

int comCgiIsSvg(const char* type)
{
    return type && strcmp(type, "image/svg+xml") == 0;
}

int comCgiAllowOrigin(const char* origin)
{
    if (!origin || !*origin)
        return 0;
    if (strcmp(origin, "*") == 0)
        return comCgiPrintf("Access-Control-Allow-Origin : %s\n", "*");
    std::string quoted = "\"" + headerValue(origin) + "\"";
    return comCgiPrintf("Access-Control-Allow-Origin : %s\n", quoted.c_str());
}

int comCgiSelfUrl(char* out, size_t outSize)
{
    const char* host = getenv("HTTP_HOST");
    const char* script = getenv("SCRIPT_NAME");
    if (!host || !script)
        return -1;
    const char* https = getenv("HTTPS");
    std::string url = "http";
    url += (https && comStrCaseCmp(https, "on") == 0) ? "s://" : "://";
    url += host;
    const char* port = getenv("SERVER_PORT");
    if (!strchr(host, ':') && port && strcmp(port, "80") != 0 && strcmp(port, "443") != 0) {
        url += ':';
        url += port;
    }
    url += script;
    if (!out || url.size() >= outSize)
        return -2;
    memcpy(out, url.c_str(), url.size() + 1);
    return 0;
}

int comCgiRedirect(const char* fmt, ...)
{
    char location[2048];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(location, sizeof location, fmt ? fmt : "", ap);
    va_end(ap);
    if (strchr(location, '\r') || strchr(location, '\n'))
        return -1;
    comCgiPrintf("Status: 302 Moved Temporarily\n");
    comCgiPrintf("Location: %s\n\n", location);
    return 0;
}

int comCgiSetCookiePath(const char* name, const char* value, const char* path)
{
    std::string text = "Set-Cookie: " + headerValue(name) + "=" + headerValue(value) + ";";
    std::string p = headerValue(path);
    if (!p.empty() && static_cast<long>(p.size()) < 8176L - static_cast<long>(text.size()))
        text += " path=" + p + ";";
    text += " \n";
    return comCgiPrintf("%s", text.c_str());
}

// ---- file names ---------------------------------------------------------------------------

void comCgiCleanFileName(char* name)
{
    if (!name)
        return;
    std::string copy(name);
    std::vector<char> buf(copy.begin(), copy.end());
    buf.push_back('\0');
    comUtf8Check(buf.data(), 1, 0);
    if (strcmp(buf.data(), name) != 0)
        memcpy(name, buf.data(), strlen(buf.data()) + 1);
}

void comCgiCutFileName(int maxBytes, char* name)
{
    if (!name)
        return;
    size_t len = strlen(name);
    if (maxBytes < 1 || len <= static_cast<size_t>(maxBytes)) {
        comCgiCleanFileName(name);
        return;
    }
    std::vector<char> ext(len + 1);
    comFileNameExt(name, ext.data());
    size_t extLen = strlen(ext.data());
    if (extLen >= static_cast<size_t>(maxBytes)) {
        std::vector<char> stem(len + 1);
        comFileNameNoExt(name, stem.data());
        memcpy(name, stem.data(), strlen(stem.data()) + 1);
    } else {
        int cut = 0;
        comUtf8WidthCut(name, maxBytes - static_cast<int>(extLen) - 1, &cut);
        size_t c = cut > 0 ? static_cast<size_t>(cut) : 0;
        bool keep = c == 0 || c >= len || len - c == extLen - 1 || c + 1 + extLen > len;
        if (!keep) {
            name[c] = '~';
            memcpy(name + c + 1, ext.data(), extLen + 1);
        }
    }
    comCgiCleanFileName(name);
}

int comCgiFileNameSjisAlloc(const char* name, char** out)
{
    if (!out)
        return -1;
    *out = const_cast<char*>(name);
    if (!name)
        return -1;
    size_t len = strlen(name);
    size_t work = 4 * len + 8;
    char* jis = static_cast<char*>(calloc(work, 1));
    char* sjis = static_cast<char*>(calloc(work, 1));
    if (!jis || !sjis) {
        free(jis);
        free(sjis);
        return -1;
    }
    comKanjiUtf8ToJis(name, jis);
    comKanjiJisToSjis(jis, sjis);
    free(jis);
    *out = sjis;
    return 0;
}

int comCgiFileNameSjis(const char* dispFormat, const char* name)
{
    if (!name || !*name)
        return 0;
    char* sjis = nullptr;
    if (comCgiFileNameSjisAlloc(name, &sjis) != 0)
        return writeDisposition(dispFormat, name);
    writeDisposition(dispFormat, sjis);
    free(sjis);
    return 0;
}

int comCgiFileNamePercent(const char* dispFormat, const char* name)
{
    if (!name || !*name)
        return 0;
    size_t len = strlen(name);
    std::vector<char> stem(len + 1), ext(len + 1);
    comFileNameNoExt(name, stem.data());
    comFileNameExt(name, ext.data());
    char* enc = comCgiUrlEncode(stem.data(), COM_URL_SPACE_KEEP);
    if (!enc)
        return writeDisposition(dispFormat, stem.data());
    std::string full = std::string(enc) + ext.data();
    free(enc);
    return writeDisposition(dispFormat, full.c_str());
}

int comCgiFileNameMime(const char* dispFormat, const char* name)
{
    if (!name || !*name)
        return 0;
    size_t len = strlen(name);
    std::vector<char> b64(4 * (len / 3 + 1) + 1);
    comBase64Encode(static_cast<int>(len), name, b64.data());
    std::string full = std::string("=?UTF-8?B?") + b64.data() + "?=";
    return writeDisposition(dispFormat, full.c_str());
}

int comCgiFileNamePlain(const char* dispFormat, const char* name)
{
    if (!name || !*name)
        return 0;
    return writeDisposition(dispFormat, name);
}

int comCgiAttachmentHeader(const char* type, const char* fileName, const char* dispFormat,
                           int sjis, const char* charset)
{
    std::string t;
    if (type) {
        std::vector<char> buf(type, type + strnlen(type, 1023));
        buf.push_back('\0');
        comUtf8Check(buf.data(), 1, 0);
        t = headerValue(buf.data());
    } else {
        t = "application/octet-stream";
    }
    std::vector<char> name;
    if (fileName)
        name.assign(fileName, fileName + strlen(fileName));
    name.push_back('\0');
    comCgiCutFileName(150, name.data());

    bool msie = comUaIsMsie() != 0;
    bool msie8 = comUaIsMsie8() != 0;
    comCgiPrintf("Content-Type: %s", t.c_str());
    if (charset)
        comCgiPrintf("; charset=%s\n", headerValue(charset).c_str());
    else if (msie && !msie8 && strncmp(t.c_str(), "text/", 5) == 0 && sjis == 1)
        comCgiPrintf("; charset=Shift_JIS\n");
    else
        comCgiPrintf("\n");

    const char* disp = dispFormat;
    if (t == "message/rfc822" || !disp)
        disp = "Content-Disposition: attachment; filename=\"%s\"\n";
    // msie8 also covers agents that name only "Trident" or "Edge".
    if (msie && !msie8 && sjis == 1)
        comCgiFileNameSjis(disp, name.data());
    else if (msie || msie8)
        comCgiFileNamePercent(disp, name.data());
    else if (!comUaIsSafari() && !comUaIsOpera())
        comCgiFileNameMime(disp, name.data());
    else
        comCgiFileNamePlain(disp, name.data());
    comCgiPrintf("\n");
    return 0;
}

int comCgiInline(const char* type, const char* fileName, int sjis, const char* charset)
{
    return comCgiAttachmentHeader(type, fileName, "Content-Disposition: filename=\"%s\"\n", sjis,
                                  charset);
}

int comCgiAttachment(const char* type, const char* fileName, int sjis, const char* charset)
{
    return comCgiAttachmentHeader(type, fileName,
                                  "Content-Disposition: attachment; filename=\"%s\"\n", sjis,
                                  charset);
}

// ---- download -------------------------------------------------------------------------------

namespace {

// Parses "bytes=START-END" or "bytes=START-" of HTTP_RANGE into start and
// end (-1 for open). false when there is no usable range.
bool parseRange(double* start, double* end)
{
    const char* range = getenv("HTTP_RANGE");
    if (!range)
        return false;
    size_t len = strlen(range);
    if (len < 1 || len > 65)
        return false;
    const char* eq = strchr(range, '=');
    if (!eq)
        return false;
    std::string spec(eq + 1);
    size_t dash = spec.find('-');
    if (dash == std::string::npos)
        return false;
    std::string first = spec.substr(0, dash);
    std::string second = spec.substr(dash + 1);
    if (first.empty() || !comIsInteger(first.c_str()) || first[0] == '-')
        return false;
    *start = strtod(first.c_str(), nullptr);
    if (second.empty()) {
        *end = -1;
        return true;
    }
    if (!comIsInteger(second.c_str()) || second[0] == '-')
        return false;
    *end = strtod(second.c_str(), nullptr);
    return *start <= *end;
}

}  // namespace

int comCgiDownloadFile(const char* type, const char* fileName, const char* path,
                       int inlineFlag, int attachFlag, int sjis, const char* charset)
{
    if (!path)
        return -1;
    int fd = comLockFileRead(path, 1, 0, 0);
    if (fd < 0)
        return -1;
    std::string name = fileName ? std::string(fileName, strnlen(fileName, 2047)) : std::string();
    for (char& c : name) {
        if (c == ';' || c == '"')
            c = '_';
    }
    comCgiPrintf("Accept-Ranges: bytes\n");

    double start = 0, end = -1;
    bool ranged = parseRange(&start, &end);
    double size = comFileSize(path);
    if (ranged) {
        // The last byte is size - 1: an end at or beyond it is clamped, a
        // start beyond it (or an empty file) leaves no range.
        if (end < 0 || end > size - 1)
            end = size - 1;
        if (size <= 0 || start > size - 1 || start > end)
            ranged = false;
    }
    const char* t = type ? type : "";
    if (!ranged) {
        if (size > 0)
            comCgiPrintf("Content-Length: %.0f\n", size);
        if (inlineFlag == 1 && comStrNCaseCmp(t, "image/", 6) != 0 &&
            comStrNCaseCmp(t, "text/", 5) != 0)
            inlineFlag = 0;
        if (inlineFlag)
            comCgiInline(type, name.c_str(), sjis, charset);
        else if (attachFlag)
            comCgiAttachment(type, name.c_str(), sjis, charset);
        else if (comCgiIsSvg(type))
            comCgiInline(type, name.c_str(), sjis, charset);
        else
            comCgiAttachment(type, name.c_str(), sjis, charset);
    } else {
        comCgiPrintf("Content-Type: %s\n", headerValue(t).c_str());
        comCgiPrintf("Accept-Ranges: bytes\n");
        comCgiPrintf("Status: 206 Partial Content\n");
        comCgiPrintf("Content-Length: %.0f\n", end - start + 1);
        comCgiPrintf("Content-Range: bytes %.0f-%.0f/%.0f\n\n", start, end, size);
        if (start > 0 && lseek(fd, static_cast<off_t>(start), SEEK_SET) == static_cast<off_t>(-1)) {
            close(fd);
            comDebugLog("[%s]seek[%.0f]\r\n", path, start);
            return -1;
        }
    }

    int rc = 0;
    char buf[4096];
    double remain = ranged ? end - start + 1 : 0;
    for (;;) {
        size_t want = sizeof buf;
        if (ranged) {
            if (remain <= 0)
                break;
            if (remain < static_cast<double>(want))
                want = static_cast<size_t>(remain);
        }
        ssize_t n = read(fd, buf, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            rc = -2;
            break;
        }
        if (n == 0) {
            // A file that shrank cannot fill the promised range.
            if (ranged)
                rc = -2;
            break;
        }
        if (comCgiWrite(buf, static_cast<size_t>(n)) != 0) {
            rc = -2;
            break;
        }
        remain -= static_cast<double>(n);
    }
    close(fd);
    fflush(stdout);
    comCgiFlush();
    return rc;
}
