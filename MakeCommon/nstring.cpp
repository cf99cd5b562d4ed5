// Reference-counted string and growable text buffer.
#include "nstring.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Give up a formatting loop after this many failed attempts (a formatter
// that keeps reporting an error).
const int kMaxFormatRetries = 16;
const unsigned kBufferStep = 81920;

char* newCopy(const char* src, size_t n)
{
    char* p = new char[n + 1];
    if (n)
        memcpy(p, src, n);
    p[n] = '\0';
    return p;
}

// memcpy that keeps the short copies of single values inline.
inline void copyBytes(char* dst, const char* src, size_t n)
{
    if (n > 16) {
        memcpy(dst, src, n);
    } else if (n >= 8) {
        memcpy(dst, src, 8);
        memcpy(dst + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        memcpy(dst, src, 4);
        memcpy(dst + n - 4, src + n - 4, 4);
    } else if (n > 0) {
        dst[0] = src[0];
        dst[n / 2] = src[n / 2];
        dst[n - 1] = src[n - 1];
    }
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Blocks of short joined strings (count + text) are kept per thread and
// used again: sizes up to kPoolClasses * kPoolStep bytes, at most
// kPoolKeep blocks of a size.
const size_t kPoolStep = 16;
const size_t kPoolClasses = 4;
const unsigned kPoolKeep = 4096;

struct PoolLists {
    void* head[kPoolClasses];
    unsigned count[kPoolClasses];
    bool closed;      // the thread is ending: blocks go straight back
    bool registered;  // the thread's cleanup is set up
};
thread_local PoolLists poolLists;  // zero-initialised, nothing to destroy

// Hands the kept blocks back when its thread ends.
struct PoolCloser {
    ~PoolCloser()
    {
        for (size_t c = 0; c < kPoolClasses; c++) {
            while (void* block = poolLists.head[c]) {
                poolLists.head[c] = *static_cast<void**>(block);
                ::operator delete(block);
            }
            poolLists.count[c] = 0;
        }
        poolLists.closed = true;
    }
};
thread_local PoolCloser poolCloser;

// Size class of a block of size bytes, or kPoolClasses for none.
size_t poolClass(size_t size)
{
    return size <= kPoolClasses * kPoolStep ? (size - 1) / kPoolStep : kPoolClasses;
}

void* blockAlloc(size_t size, size_t c)
{
    if (c == kPoolClasses)
        return ::operator new(size);
    if (void* block = poolLists.head[c]) {
        poolLists.head[c] = *static_cast<void**>(block);
        poolLists.count[c]--;
        return block;
    }
    return ::operator new((c + 1) * kPoolStep);
}

void blockFree(void* block, size_t c)
{
    if (c == kPoolClasses || poolLists.closed || poolLists.count[c] >= kPoolKeep) {
        ::operator delete(block);
        return;
    }
    if (!poolLists.registered) {
        (void)&poolCloser;  // its thread's cleanup comes with the first kept block
        poolLists.registered = true;
    }
    *static_cast<void**>(block) = poolLists.head[c];
    poolLists.head[c] = block;
    poolLists.count[c]++;
}

} // namespace

// ---- NString -------------------------------------------------------------

NString::NString(const char* src, int length) : refCount(nullptr), text(nullptr)
{
    if (!src) {
        refCount = new int32_t(1);
        return;
    }
    size_t n = length < 0 ? strlen(src) : strnlen(src, static_cast<size_t>(length));
    allocateJoined(n);
    copyBytes(text, src, n);
}

NString NString::fromBytes(const char* src, size_t length)
{
    if (!src)
        return NString(static_cast<const char*>(nullptr));
    NString s;
    s.allocateJoined(length);
    copyBytes(s.text, src, length);
    return s;
}

void NString::allocateJoined(size_t n)
{
    // operator new aligns for any fundamental type, so the count fits first.
    const size_t size = sizeof(int32_t) + n + 1;
    const size_t c = poolClass(size);
    char* block = static_cast<char*>(blockAlloc(size, c));
    refCount = new (block) int32_t(kJoinedBit | static_cast<int32_t>(c << kClassShift) | 1);
    text = block + sizeof(int32_t);
    text[n] = '\0';
}

NString::NString(char* adopted) : refCount(nullptr), text(nullptr)
{
    try {
        refCount = new int32_t(1);
    } catch (...) {
        delete[] adopted;
        throw;
    }
    text = adopted;
}

NString::NString(const NString& a, const NString& b) : refCount(nullptr), text(nullptr)
{
    if (!a.text && !b.text)
        return;
    size_t la = a.text ? strlen(a.text) : 0;
    size_t lb = b.text ? strlen(b.text) : 0;
    allocateJoined(la + lb);
    if (la)
        memcpy(text, a.text, la);
    if (lb)
        memcpy(text + la, b.text, lb);
}

void NString::destroy() noexcept
{
    if (*refCount & kJoinedBit) {
        blockFree(refCount, static_cast<size_t>((*refCount & kClassBits) >> kClassShift));
    } else {
        delete[] text;
        delete refCount;
    }
    text = nullptr;
    refCount = nullptr;
}

int NString::length() const
{
    return text ? static_cast<int>(strlen(text)) : 0;
}

NString& NString::operator+=(const NString& other)
{
    if (!text && !other.text)
        return *this;
    *this = NString(*this, other);
    return *this;
}

NString operator+(const NString& a, const NString& b)
{
    return NString(a, b);
}

void NString::format(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vformat(fmt, ap);
    va_end(ap);
}

void NString::vformat(const char* fmt, va_list ap)
{
    size_t size = 128;
    char* buf = new char[size];
    for (int attempt = 0;; ++attempt) {
        va_list aq;
        va_copy(aq, ap);
        int n = vsnprintf(buf, size, fmt ? fmt : "", aq);
        va_end(aq);
        if (n >= 0 && static_cast<size_t>(n) < size)
            break;
        delete[] buf;
        buf = nullptr;
        if (n < 0 && attempt >= kMaxFormatRetries) {
            buf = newCopy("", 0);
            break;
        }
        size = n >= 0 ? static_cast<size_t>(n) + 1 : size * 2;
        buf = new char[size];
    }
    *this = NString(buf);
}

NString NString::trimRight() const
{
    if (!text || !text[0])
        return *this;
    size_t end = strlen(text);
    size_t orig = end;
    while (end > 0 && isBlankOrTab(text[end - 1]))
        --end;
    if (end == orig)
        return *this;
    return NString(text, static_cast<int>(end));
}

NString NString::trimLeft() const
{
    if (!text || !isBlankOrTab(text[0]))
        return *this;
    const char* p = text;
    while (isBlankOrTab(*p))
        ++p;
    return NString(p, -1);
}

NString NString::trim() const
{
    NString copy(*this);
    return copy.trimLeft().trimRight();
}

NString NString::substring(int start, int end) const
{
    if (!text)
        return NString();
    int len = length();
    if (end == 0)
        end = len;
    if (start < 0 || end - start <= 0 || start >= len)
        return NString();
    int n = end - start;
    if (n > len - start)
        n = len - start;
    return NString(text + start, n);
}

NString NString::left(unsigned count) const
{
    if (!text)
        return NString();
    if (!text[0] || count == 0)
        return NString("", 0);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t pos = 0;
    unsigned chars = 0;
    while (chars < count && s[pos]) {
        unsigned char c = s[pos];
        size_t n;
        if (c < 0x80) n = 1;
        else if ((c & 0xE0) == 0xC0) n = 2;
        else if ((c & 0xF0) == 0xE0) n = 3;
        else if ((c & 0xF8) == 0xF0) n = 4;
        else if ((c & 0xFC) == 0xF8) n = 5;
        else if ((c & 0xFE) == 0xFC) n = 6;
        else break;
        size_t i = 1;
        while (i < n && s[pos + i])
            ++i;
        if (i < n)
            break;  // sequence runs past the end
        pos += n;
        ++chars;
    }
    if (pos == 0)
        return NString("", 0);
    return substring(0, static_cast<int>(pos));
}

NString NString::padLeft(char fill, int width) const
{
    int len = length();
    if (width <= len)
        return *this;
    if (fill == '\0')
        return NString(c_str(), len);
    size_t pad = static_cast<size_t>(width - len);
    char* p = new char[static_cast<size_t>(width) + 1];
    memset(p, fill, pad);
    memcpy(p + pad, c_str(), static_cast<size_t>(len));
    p[width] = '\0';
    return NString(p);
}

NString NString::replaceAll(const NString& from, const NString& to) const
{
    if (from.isNullOrEmpty() || isNullOrEmpty())
        return *this;
    const size_t fl = strlen(from.text);
    const size_t tl = to.length();
    const char* to_s = to.c_str();

    size_t matches = 0;
    for (const char* p = strstr(text, from.text); p; p = strstr(p + fl, from.text))
        ++matches;
    if (matches == 0)
        return NString(text, -1);

    const size_t len = strlen(text);
    char* out = new char[len - matches * fl + matches * tl + 1];
    char* w = out;
    const char* r = text;
    for (const char* p = strstr(r, from.text); p; p = strstr(r, from.text)) {
        memcpy(w, r, static_cast<size_t>(p - r));
        w += p - r;
        memcpy(w, to_s, tl);
        w += tl;
        r = p + fl;
    }
    size_t rest = strlen(r);
    memcpy(w, r, rest + 1);
    return NString(out);
}

// ---- NStringBuffer -------------------------------------------------------

NStringBuffer::NStringBuffer(unsigned size) : data(nullptr), cap(size), len(0)
{
    if (size > 0) {
        data = new char[size];
        data[0] = '\0';
    }
}

NStringBuffer::~NStringBuffer()
{
    delete[] data;
}

void NStringBuffer::clear()
{
    if (data)
        data[0] = '\0';
    len = 0;
}

// Reallocates to newCap bytes keeping the text (newCap > len).
void NStringBuffer::grow(unsigned newCap)
{
    char* p = new char[newCap];
    if (data)
        memcpy(p, data, static_cast<size_t>(len) + 1);
    else
        p[0] = '\0';
    delete[] data;
    data = p;
    cap = newCap;
}

int NStringBuffer::appendGrow(const char* text, unsigned n)
{
    if (!text)
        return 0;
    uint64_t needed = static_cast<uint64_t>(len) + n;
    if (cap <= needed) {
        uint64_t newCap = (needed / kBufferStep) * kBufferStep + kBufferStep;
        if (newCap > 0xFFFFFFFFu)
            throw std::bad_alloc();
        // The text may lie in our own array: copy it before freeing that.
        char* p = new char[static_cast<size_t>(newCap)];
        if (data)
            memcpy(p, data, len);
        memcpy(p + len, text, n);
        delete[] data;
        data = p;
        cap = static_cast<unsigned>(newCap);
    } else {
        memmove(data + len, text, n);
    }
    len += n;
    data[len] = '\0';
    return 0;
}

int NStringBuffer::append(const char* text)
{
    if (!text)
        return 0;
    size_t n = strlen(text);
    if (n > 0xFFFFFFFFu)
        throw std::bad_alloc();
    return append(text, static_cast<unsigned>(n));
}

int NStringBuffer::assign(const char* text)
{
    if (text && data && text >= data && text < data + cap) {
        // Assigning part of our own text: move it to the front.
        size_t n = strlen(text);
        memmove(data, text, n + 1);
        len = static_cast<unsigned>(n);
        return 0;
    }
    clear();
    return append(text);
}

int NStringBuffer::appendf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int r = vappendf(fmt, ap);
    va_end(ap);
    return r;
}

int NStringBuffer::vappendf(const char* fmt, va_list ap)
{
    if (!data) {
        data = new char[4096];
        data[0] = '\0';
        cap = 4096;
        len = 0;
    }
    // An argument may point into our own array: the old array is kept
    // alive until the formatting has finished.
    char* old = nullptr;
    for (int attempt = 0;; ++attempt) {
        size_t room = cap - len;
        va_list aq;
        va_copy(aq, ap);
        int n = vsnprintf(data + len, room, fmt ? fmt : "", aq);
        va_end(aq);
        if (n >= 0 && static_cast<size_t>(n) < room) {
            len += static_cast<unsigned>(n);
            break;
        }
        data[len] = '\0';
        if (n < 0 && attempt >= kMaxFormatRetries)
            break;
        uint64_t step = (n < 0 || static_cast<unsigned>(n) < kBufferStep)
                            ? kBufferStep : static_cast<uint64_t>(n) + 1;
        uint64_t newCap = static_cast<uint64_t>(cap) + step;
        if (newCap > 0xFFFFFFFFu) {
            delete[] old;
            throw std::bad_alloc();
        }
        char* p;
        try {
            p = new char[static_cast<size_t>(newCap)];
        } catch (...) {
            delete[] old;
            throw;
        }
        memcpy(p, data, static_cast<size_t>(len) + 1);
        delete[] old;
        old = data;
        data = p;
        cap = static_cast<unsigned>(newCap);
    }
    delete[] old;
    return 0;
}

int NStringBuffer::reserve(unsigned size)
{
    if (cap >= size)
        return -1;
    grow(size);
    return 0;
}

char* NStringBuffer::detach()
{
    char* p = data;
    data = nullptr;
    cap = 0;
    len = 0;
    return p;
}
