// Template output: block cutting, placeholder substitution, escaping and
// the output modes. The form filling lives in nuformfill.cpp.
#include "nutemplate.h"

#include "comcgi.h"
#include "comstr.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Copies at most max bytes of src (null: nothing) into dst, NUL-terminated.
void copyCut(char* dst, const char* src, size_t max)
{
    dst[0] = '\0';
    if (!src)
        return;
    size_t n = strnlen(src, max);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

// Stores a delimiter of 1 to 7 characters; anything else leaves it empty.
void storeDelim(char* dst, const char* src)
{
    dst[0] = '\0';
    if (src && strlen(src) <= 7)
        strcpy(dst, src);
}

// Length to keep of text so that it holds at most max bytes without
// splitting a UTF-8 sequence or, when entities is set, an "&...;" entity.
size_t cutLength(const char* text, size_t max, bool entities)
{
    size_t len = strlen(text);
    if (len <= max)
        return len;
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    if (entities) {
        for (size_t i = n; i > 0 && n - i < 10; --i) {
            if (text[i - 1] == ';')
                break;
            if (text[i - 1] == '&') {
                n = i - 1;
                break;
            }
        }
    }
    return n;
}

// Integer of the len characters at text + pos (fewer when the text ends).
int fieldAt(const char* text, size_t pos, size_t len)
{
    char buf[8];
    size_t have = strlen(text);
    if (pos >= have)
        return 0;
    size_t n = have - pos < len ? have - pos : len;
    memcpy(buf, text + pos, n);
    buf[n] = '\0';
    return atoi(buf);
}

}  // namespace

// ---- NUOutput -------------------------------------------------------------

NUOutput::~NUOutput()
{
    NUOutput::clearOutput();
}

void NUOutput::clearOutput()
{
    free(accumulated);
    accumulated = nullptr;
}

// ---- construction -------------------------------------------------------------

NUTemplateToOutput::NUTemplateToOutput(const char* start, const char* end)
{
    storeDelim(startDelim, start);
    storeDelim(endDelim, end);
    startDelimLen = static_cast<int>(strlen(startDelim));
    reset(0);
}

NUTemplateToOutput::NUTemplateToOutput(int capacity)
{
    reset(capacity);
}

NUTemplateToOutput::~NUTemplateToOutput()
{
    if (templateText && templateText != callerText)
        free(templateText);
    delete mainList;
}

int NUTemplateToOutput::setDelimiters(const char* start, const char* end)
{
    if (!start || !*start || !end || !*end)
        return NUTPL_DELIM_EMPTY;
    if (strlen(start) > 7 || strlen(end) > 7)
        return NUTPL_DELIM_LENGTH;
    strcpy(startDelim, start);
    strcpy(endDelim, end);
    startDelimLen = static_cast<int>(strlen(startDelim));
    return 0;
}

// ---- values ---------------------------------------------------------------------

int NUTemplateToOutput::addValue(const char* name, const char* value, int escapeMode)
{
    if (!name || !*name)
        return NUTPL_BAD_ARG;
    if (!value)
        value = "";
    char* escaped = nullptr;
    if (escapeMode > 0) {
        int rc = htmlEscape(value, nullptr, &escaped, escapeMode, true);
        if (rc != 0)
            return rc;
        value = escaped;
    }
    int rc = mainList->add(name, value, static_cast<int>(strlen(value)) + 1);
    free(escaped);
    return rc < 0 ? rc : 0;
}

int NUTemplateToOutput::flush()
{
    return output();
}

void NUTemplateToOutput::destroy()
{
    delete this;
}

int NUTemplateToOutput::removeValue(const char* name)
{
    return mainList->remove(name);
}

int NUTemplateToOutput::addDate(const char* name, const char* date)
{
    if (!date || !*date)
        return addValue(name, date, 0);
    size_t len = strlen(date);
    int year = fieldAt(date, 0, 4);
    int month = len >= 5 ? fieldAt(date, 4, 2) : 0;
    int day = len >= 7 ? fieldAt(date, 6, 2) : 0;
    char value[48];
    snprintf(value, sizeof value, "%04d-%02d-%02d", year, month, day);
    return addValue(name, value, 0);
}

void NUTemplateToOutput::setSecondList(NUNVList* list)
{
    secondList = list;
}

void NUTemplateToOutput::setDefaultSelectValue(const char* value)
{
    if (value)
        copyCut(defaultSelect, value, sizeof defaultSelect - 1);
}

void NUTemplateToOutput::setEscapeSecondList(bool on)
{
    escapeSecondList = on ? 1 : 0;
}

// ---- template settings -------------------------------------------------------

void NUTemplateToOutput::setTemplateFile(const char* path, bool accumulate)
{
    if (templateText && templateText != callerText)
        free(templateText);
    // The file takes over from any text, owned or given.
    templateText = nullptr;
    callerText = nullptr;
    templateSize = 0;
    copyCut(templatePath, path, sizeof templatePath - 1);
    if (accumulate) {
        accumulateFlag = 1;
        mode = 1;
    }
}

void NUTemplateToOutput::setTemplateText(const char* text, bool accumulate)
{
    if (templateText && templateText != callerText)
        free(templateText);
    // The text is only read; it stays the caller's.
    templateText = const_cast<char*>(text);
    callerText = text;
    templateSize = text ? static_cast<int>(strlen(text)) : 0;
    if (accumulate) {
        accumulateFlag = 1;
        mode = 1;
    }
}

void NUTemplateToOutput::setBeginLine(int line)
{
    beginLine = line;
}

void NUTemplateToOutput::setBeginMarker(const char* marker)
{
    copyCut(beginMarker, marker, sizeof beginMarker - 1);
}

void NUTemplateToOutput::setEndLine(int line)
{
    endLine = line;
}

void NUTemplateToOutput::setEndMarker(const char* marker)
{
    copyCut(endMarker, marker, sizeof endMarker - 1);
}

void NUTemplateToOutput::reset(int capacity)
{
    templatePath[0] = '\0';
    beginMarker[0] = '\0';
    endMarker[0] = '\0';
    if (templateText && templateText != callerText)
        free(templateText);
    templateText = nullptr;
    templateSize = 0;
    callerText = nullptr;
    beginLine = 1;
    endLine = 0;
    strcpy(currentSelect, "-");
    strcpy(defaultSelect, "-");
    delete mainList;
    mainList = capacity < 1 ? new NUNVList() : new NUNVList(capacity);
    secondList = nullptr;
    escapeSecondList = 1;
    accumulateFlag = 0;
}

// ---- output -----------------------------------------------------------------------

int NUTemplateToOutput::output()
{
    if (!templateText) {
        if (!templatePath[0])
            return NUTPL_NO_TEMPLATE;
        char* loaded = nullptr;
        int n = loadFile(templatePath, &loaded);
        if (n < 0)
            return n;
        templateText = loaded;
        templateSize = n;
    }
    char* block = nullptr;
    int rc = extractBlock(&block);
    if (rc != 0)
        return rc;
    char* filled = nullptr;
    rc = fillForm(block, &filled);
    free(block);
    if (rc != 0 || !filled)
        return rc;
    if (mode == 0) {
        print(filled);
        free(filled);
        return 0;
    }
    if (!accumulated) {
        accumulated = filled;
        return 0;
    }
    size_t have = strlen(accumulated);
    size_t add = strlen(filled);
    char* grown = static_cast<char*>(realloc(accumulated, have + add + 1));
    if (!grown) {
        free(filled);
        return NUTPL_CANNOT_GROW;
    }
    memcpy(grown + have, filled, add + 1);
    accumulated = grown;
    free(filled);
    return 0;
}

int NUTemplateToOutput::print(const char* text)
{
    comCgiPrintf("%s", text ? text : "");
    return 0;
}

// ---- helpers ----------------------------------------------------------------------

int NUTemplateToOutput::charLength(char lead)
{
    if (static_cast<unsigned char>(lead) < 0x80)
        return 1;
    int n = comUtf8SeqLen(lead);
    return n < 1 ? 1 : n;
}

int NUTemplateToOutput::htmlEscape(const char* begin, const char* end, char** out,
                                   int mode, bool escapeAmp)
{
    if (!begin || (end && end < begin) || !out || mode < 1)
        return NUTPL_BAD_ARG;
    size_t len = end ? static_cast<size_t>(end - begin) + 1 : strlen(begin);
    if (len > (SIZE_MAX - 257) / 8)
        return NUTPL_NO_MEMORY;
    char* buf = static_cast<char*>(calloc(8 * len + 257, 1));
    if (!buf)
        return NUTPL_NO_MEMORY;
    char* w = buf;
    size_t i = 0;
    while (i < len) {
        char c = begin[i];
        int cl = charLength(c);
        if (cl > 1) {
            // Copy the whole sequence, but never past the source's end.
            size_t n = 1;
            while (n < static_cast<size_t>(cl) && i + n < len && begin[i + n] != '\0')
                ++n;
            memcpy(w, begin + i, n);
            w += n;
            i += n;
            continue;
        }
        const char* rep = nullptr;
        switch (c) {
        case '\n':
            if (mode >= 2)
                rep = "</br>\n";
            break;
        case '\r':
            if (mode >= 2)
                rep = "";
            break;
        case ' ':
            if (mode >= 2) {
                bool nextBlank = i + 1 < len && begin[i + 1] == ' ';
                bool afterBreak = i > 0 && (begin[i - 1] == '\n' || begin[i - 1] == '\t');
                if (nextBlank || afterBreak)
                    rep = "&nbsp;";
            }
            break;
        case '&':
            if (escapeAmp)
                rep = "&amp;";
            break;
        case '"':
            rep = "&quot;";
            break;
        case '<':
            rep = "&lt;";
            break;
        case '>':
            rep = "&gt;";
            break;
        default:
            break;
        }
        if (rep) {
            size_t n = strlen(rep);
            memcpy(w, rep, n);
            w += n;
        } else {
            *w++ = c;
        }
        ++i;
    }
    *w = '\0';
    *out = buf;
    return 0;
}

int NUTemplateToOutput::loadFile(const char* path, char** text)
{
    if (!path || !*path || !text)
        return NUTPL_BAD_ARG;
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return NUTPL_OPEN_FAILED;
    char chunk[8192];
    int count = 0;
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            return NUTPL_READ_FAILED;
        }
        if (n == 0)
            break;
        if (INT_MAX - count <= n) {
            close(fd);
            return NUTPL_TOO_LARGE;
        }
        count += static_cast<int>(n);
    }
    char* buf = static_cast<char*>(malloc(static_cast<size_t>(count) + 1));
    if (!buf) {
        close(fd);
        return NUTPL_NO_MEMORY;
    }
    // Read again from the start; a file that shrank in between ends early.
    int got = 0;
    if (lseek(fd, 0, SEEK_SET) != 0) {
        free(buf);
        close(fd);
        return NUTPL_READ_FAILED;
    }
    while (got < count) {
        ssize_t n = read(fd, buf + got, static_cast<size_t>(count - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            free(buf);
            close(fd);
            return NUTPL_READ_FAILED;
        }
        if (n == 0)
            break;
        got += static_cast<int>(n);
    }
    buf[got] = '\0';
    close(fd);
    *text = buf;
    return got;
}

int NUTemplateToOutput::extractBlock(char** block)
{
    if (!block || !templateText || templateSize < 0)
        return NUTPL_BAD_ARG;
    const char* text = templateText;
    const long size = templateSize;
    const size_t beginLen = strlen(beginMarker);
    const size_t endLen = strlen(endMarker);
    bool beginFound = beginLen == 0;
    bool endFound = endLen == 0;
    long start = 0;            // index of the block's first byte
    long last = size - 1;      // index of its last byte
    bool lastSet = false;
    long p = -1;               // the LF before the current line
    int line = 1;

    while (p < size && !lastSet) {
        const char* ls = text + p + 1;
        if (endLen) {
            if (strncmp(ls, endMarker, endLen) == 0) {
                last = p;
                endFound = true;
                lastSet = true;
            }
        } else if (endLine > 0 && endLine < line) {
            last = p;
            lastSet = true;
        }
        if (beginLen && strncmp(ls, beginMarker, beginLen) == 0) {
            const void* lf = memchr(ls, '\n', static_cast<size_t>(size - (p + 1)));
            if (!lf)
                break;
            p = static_cast<const char*>(lf) - text;
            start = p + 1;
            beginFound = true;
            ++line;
            continue;
        }
        if (!beginLen && beginLine > 0 && beginLine == line)
            start = p + 1;
        const void* lf = memchr(ls, '\n', static_cast<size_t>(size - (p + 1)));
        if (!lf)
            break;
        p = static_cast<const char*>(lf) - text;
        ++line;
    }
    if (!beginFound)
        return NUTPL_NO_BEGIN;
    if (!endFound)
        return NUTPL_NO_END;
    if (start - 1 > last)
        last = start - 1;
    size_t n = static_cast<size_t>(last - start + 1);
    char* b = static_cast<char*>(malloc(n + 1));
    if (!b)
        return NUTPL_NO_MEMORY;
    memcpy(b, text + start, n);
    b[n] = '\0';
    *block = b;
    return 0;
}

int NUTemplateToOutput::growBuffer(char** buffer, int* size, int newSize)
{
    if (!buffer || !*buffer)
        return NUTPL_BAD_ARG;
    if (newSize < 1) {
        if (!size || *size < 1)
            return NUTPL_BAD_ARG;
        if (*size > INT_MAX / 2)
            return NUTPL_NO_MEMORY;
        newSize = *size * 2;
    }
    char* grown = static_cast<char*>(calloc(static_cast<size_t>(newSize), 1));
    if (!grown)
        return NUTPL_NO_MEMORY;
    size_t keep = strnlen(*buffer, static_cast<size_t>(newSize) - 1);
    memcpy(grown, *buffer, keep);
    free(*buffer);
    *buffer = grown;
    if (size)
        *size = newSize;
    return 0;
}

int NUTemplateToOutput::appendN(char** buffer, int* size, const char* text, int n)
{
    if (!buffer || !*buffer || !text || !size || n < 0 || *size < 1)
        return NUTPL_BAD_ARG;
    size_t add = strnlen(text, static_cast<size_t>(n));
    size_t have = strnlen(*buffer, static_cast<size_t>(*size));
    if (have + add >= static_cast<size_t>(*size)) {
        long long want = (static_cast<long long>(*size) + static_cast<long long>(add)) * 2;
        if (want > INT_MAX)
            return NUTPL_NO_MEMORY;
        int rc = growBuffer(buffer, size, static_cast<int>(want));
        if (rc != 0)
            return rc;
    }
    memcpy(*buffer + have, text, add);
    (*buffer)[have + add] = '\0';
    return 0;
}

int NUTemplateToOutput::substitute(char* text, char** out)
{
    if (!text || !out)
        return NUTPL_BAD_ARG;
    size_t len = strlen(text);
    if (len > (static_cast<size_t>(INT_MAX) - 8193) / 4)
        return NUTPL_NO_MEMORY;
    int size = static_cast<int>(4 * len + 8192 + 1);
    char* res = static_cast<char*>(calloc(static_cast<size_t>(size), 1));
    if (!res)
        return NUTPL_NO_MEMORY;
    const size_t endLen = strlen(endDelim);
    const char* pos = text;
    int rc = 0;

    // Without both delimiters there are no placeholders.
    while (rc == 0) {
        const char* s = (startDelimLen > 0 && endLen > 0) ? strstr(pos, startDelim) : nullptr;
        if (!s) {
            rc = appendN(&res, &size, pos, static_cast<int>(strlen(pos)));
            break;
        }
        rc = appendN(&res, &size, pos, static_cast<int>(s - pos));
        if (rc != 0)
            break;
        const char* after = s + startDelimLen;
        const char* lf = strchr(after, '\n');
        const char* e = strstr(after, endDelim);
        if (e && lf && e > lf)
            e = nullptr;
        if (!e) {
            if (lf) {
                rc = appendN(&res, &size, s, static_cast<int>(lf - s + 1));
                pos = lf + 1;
                continue;
            }
            rc = appendN(&res, &size, s, static_cast<int>(strlen(s)));
            break;
        }
        size_t nameLen = static_cast<size_t>(e - after);
        char* name = static_cast<char*>(malloc(nameLen + 1));
        if (!name) {
            rc = NUTPL_NO_MEMORY;
            break;
        }
        memcpy(name, after, nameLen);
        name[nameLen] = '\0';
        if (nameLen >= 2 && name[0] == 'L' && name[1] == 'L') {
            const char* key = name + 2;
            void* v = nullptr;
            int found = 0;
            if (secondList) {
                found = secondList->find(key, &v);
                if (found < 0)
                    rc = found;
            }
            if (rc == 0) {
                if (found > 0 && v) {
                    const char* value = static_cast<const char*>(v);
                    size_t keep = cutLength(value, 1023, false);
                    if (escapeSecondList) {
                        char* esc = nullptr;
                        rc = htmlEscape(value, keep ? value + keep - 1 : nullptr, &esc, 1, false);
                        if (rc == 0 && keep == 0) {
                            // Empty value: nothing to escape.
                            esc[0] = '\0';
                        }
                        if (rc == 0) {
                            rc = appendN(&res, &size, esc, static_cast<int>(cutLength(esc, 1023, true)));
                            free(esc);
                        }
                    } else {
                        rc = appendN(&res, &size, value, static_cast<int>(keep));
                    }
                } else {
                    rc = appendN(&res, &size, key, static_cast<int>(strlen(key)));
                }
            }
        } else {
            void* v = nullptr;
            int found = mainList->find(name, &v);
            if (found < 0)
                rc = found;
            else if (found > 0 && v)
                rc = appendN(&res, &size, static_cast<const char*>(v),
                             static_cast<int>(strlen(static_cast<const char*>(v))));
            else
                rc = appendN(&res, &size, s, static_cast<int>(e + endLen - s));
        }
        free(name);
        pos = e + endLen;
    }
    if (rc != 0) {
        free(res);
        return rc;
    }
    *out = res;
    return 0;
}
