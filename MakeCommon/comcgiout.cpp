// CGI output channel and CSV fields.
#include "comcgi.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comjconv.h"

namespace {

FILE* g_outFile = nullptr;         // null: standard output
unsigned char g_convert = 0;       // convert comCgiPrintf text for stdout
bool g_outFailed = false;          // a write to g_outFile failed

FILE* channel()
{
    return g_outFile ? g_outFile : stdout;
}

void noteFailure(bool failed)
{
    if (failed && g_outFile)
        g_outFailed = true;
}

// Whole formatted text in a malloc'd buffer, or null.
char* formatAlloc(const char* fmt, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0)
        return nullptr;
    char* text = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (!text)
        return nullptr;
    va_copy(copy, ap);
    int m = vsnprintf(text, static_cast<size_t>(n) + 1, fmt, copy);
    va_end(copy);
    if (m != n) {
        free(text);
        return nullptr;
    }
    return text;
}

// Writes bytes to the channel as they are (no conversion).
void writeText(const char* text, size_t len)
{
    if (len == 0)
        return;
    noteFailure(fwrite(text, len, 1, channel()) != 1);
}

// comCsvPrint; `converted` text is already Shift_JIS and must not be
// converted a second time on its way to standard output.
int csvPrint(const char* text, unsigned char raw, char separator, bool converted)
{
    if (!text)
        return -99;
    char* field = comCsvQuote(text, raw, separator);
    if (!field)
        return -1;
    if (raw) {
        comCgiFlush();
        comCgiWrite(field, strlen(field));
        comCgiFlush();
    } else if (converted) {
        writeText(field, strlen(field));
    } else {
        comCgiPrintf("%s", field);
    }
    free(field);
    return 0;
}

}  // namespace

// ---- channel ------------------------------------------------------------------

int comCgiOpenOutput(const char* path, int append)
{
    if (!path)
        return -1;
    if (g_outFile) {
        fclose(g_outFile);
        g_outFile = nullptr;
    }
    g_outFailed = false;
    g_outFile = fopen(path, append ? "a+" : "wb+");
    return g_outFile ? 0 : -1;
}

int comCgiCloseOutput()
{
    if (!g_outFile)
        return 0;
    bool failed = g_outFailed || ferror(g_outFile);
    if (fclose(g_outFile) != 0)
        failed = true;
    g_outFile = nullptr;
    g_outFailed = false;
    return failed ? -1 : 0;
}

void comCgiSetConvert(unsigned char on)
{
    g_convert = on;
}

int comCgiFlush()
{
    int r = fflush(channel());
    noteFailure(r != 0);
    return r;
}

int comCgiWrite(const void* buffer, size_t size)
{
    if (!buffer || size == 0)
        return -1;
    bool ok = fwrite(buffer, size, 1, channel()) == 1;
    noteFailure(!ok);
    return ok ? 0 : -1;
}

int comCgiPrintf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    if (g_outFile || !g_convert) {
        int r = vfprintf(channel(), fmt, ap);
        va_end(ap);
        noteFailure(r < 0);
        return 0;
    }
    char* text = formatAlloc(fmt, ap);
    va_end(ap);
    if (!text)
        return -1;
    char* sjis = comUtf8ToSjisAlloc(text);
    free(text);
    if (!sjis)
        return -1;
    fputs(sjis, stdout);
    free(sjis);
    return 0;
}

// ---- CSV fields -----------------------------------------------------------------

char* comCsvQuote(const char* text, unsigned char force, char separator)
{
    if (!text)
        return nullptr;
    size_t len = strlen(text);
    // A NUL separator is always "contained" (strchr finds the terminator).
    bool quote = force || strchr(text, '"') || strchr(text, separator);
    if (!quote) {
        char* copy = static_cast<char*>(malloc(len + 1));
        if (copy)
            memcpy(copy, text, len + 1);
        return copy;
    }
    if (len > (SIZE_MAX - 3) / 2)
        return nullptr;
    char* out = static_cast<char*>(malloc(2 * len + 3));
    if (!out)
        return nullptr;
    char* o = out;
    *o++ = '"';
    // Runs between quotes are copied whole; each quote is doubled.
    for (const char* p = text;;) {
        const char* q = strchr(p, '"');
        size_t n = q ? static_cast<size_t>(q - p) : strlen(p);
        memcpy(o, p, n);
        o += n;
        if (!q)
            break;
        *o++ = '"';
        *o++ = '"';
        p = q + 1;
    }
    *o++ = '"';
    *o = '\0';
    return out;
}

int comCsvPrint(const char* text, unsigned char raw, char separator)
{
    return csvPrint(text, raw, separator, false);
}

char* comUtf8ToSjisCsvQuote(const char* text, unsigned char force)
{
    if (!text)
        return nullptr;
    char* sjis = comUtf8ToSjisAlloc(text);
    if (!sjis)
        return nullptr;
    char* field = comCsvQuote(sjis, force, ',');
    free(sjis);
    return field;
}

int comUtf8ToSjisCsvPrint(const char* text, unsigned char raw, char separator)
{
    if (!text)
        return -99;
    char* sjis = comUtf8ToSjisAlloc(text);
    if (!sjis)
        return -1;
    int r = csvPrint(sjis, raw, separator, true);
    free(sjis);
    return r;
}

int comUtf8ToSjisPrint(const char* text)
{
    if (!text)
        return 0;
    char* sjis = comUtf8ToSjisAlloc(text);
    if (!sjis)
        return -1;
    writeText(sjis, strlen(sjis));
    free(sjis);
    return 0;
}

int comCrLf(char* buffer)
{
    if (!buffer)
        return -1;
    buffer[0] = '\r';
    buffer[1] = '\n';
    buffer[2] = '\0';
    return 0;
}
