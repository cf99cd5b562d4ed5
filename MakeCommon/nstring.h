// Reference-counted string (NString) and growable text buffer (NStringBuffer).
#ifndef NSTRING_H
#define NSTRING_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__GNUC__)
#define NSTRING_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define NSTRING_PRINTF(f, a)
#endif

// Immutable text value shared by all its copies. A null string (no text) and
// the empty string "" both have length 0 and c_str() "", but stay distinct
// (substring, +=, ... say where they differ).
class NString {
public:
    // Null string.
    NString() noexcept : refCount(nullptr), text(nullptr) {}
    NString(const NString& other) noexcept : refCount(other.refCount), text(other.text)
    {
        if (refCount)
            ++*refCount;
    }
    NString(NString&& other) noexcept : refCount(other.refCount), text(other.text)
    {
        other.refCount = nullptr;
        other.text = nullptr;
    }
    // Copies `length` bytes of `text` (negative: the whole text). A null
    // `text` gives a null string.
    NString(const char* text, int length = -1);
    // Copies exactly `length` bytes of `text`, which holds no NUL among
    // them (a length known from elsewhere, so the text is not scanned).
    static NString fromBytes(const char* text, size_t length);
    // Takes ownership of a NUL-terminated array allocated with new[]
    // (e.g. the result of NStringBuffer::detach). Never pass a stack buffer
    // or malloc'd memory here: use NString(const char*, int) to copy those.
    // Explicit, so that implicit conversions from char* copy instead.
    explicit NString(char* adopted);
    // Concatenation; null when both texts are null, a null text reads as "".
    NString(const NString& a, const NString& b);
    ~NString() { release(); }

    NString& operator=(const NString& other) noexcept
    {
        if (this == &other || text == other.text)
            return *this;
        if (other.refCount)
            ++*other.refCount;
        release();
        refCount = other.refCount;
        text = other.text;
        return *this;
    }
    NString& operator=(NString&& other) noexcept
    {
        if (this == &other)
            return *this;
        if (text == other.text) {
            // Same text: keep ours, drop the other's share.
            other.release();
            other.refCount = nullptr;
            other.text = nullptr;
            return *this;
        }
        release();
        refCount = other.refCount;
        text = other.text;
        other.refCount = nullptr;
        other.text = nullptr;
        return *this;
    }

    int length() const;
    const char* c_str() const { return text ? text : ""; }
    bool isNullOrEmpty() const { return text == nullptr || text[0] == '\0'; }
    // True only for the null string (no text at all).
    bool isNull() const { return text == nullptr; }
    // Number of values sharing this text (0 for a default-constructed string).
    int getRefCount() const { return refCount ? (*refCount & kCountMask) : 0; }

    NString& operator+=(const NString& other);

    // printf-style: assigns the result to this string.
    void format(const char* fmt, ...) NSTRING_PRINTF(2, 3);
    void vformat(const char* fmt, va_list ap) NSTRING_PRINTF(2, 0);

    // Without leading / trailing / both blanks (0x20) and TABs.
    NString trimLeft() const;
    NString trimRight() const;
    NString trim() const;
    // Bytes [start, end); end 0 means the end of the text. Out-of-range or
    // empty ranges give a null string.
    NString substring(int start, int end) const;
    // The first `count` UTF-8 characters.
    NString left(unsigned count) const;
    // Text preceded by `fill` characters up to `width` bytes.
    NString padLeft(char fill, int width) const;
    // Every occurrence of `from` replaced by `to` (non-overlapping, leftmost first).
    NString replaceAll(const NString& from, const NString& to) const;

private:
    // Set in the count when the text lives in the count's own allocation;
    // the block's size class is kept beside it, so freeing needs no strlen.
    static constexpr int32_t kJoinedBit = 0x40000000;
    static constexpr int kClassShift = 27;
    static constexpr int32_t kClassBits = 0x38000000;
    static constexpr int32_t kCountMask = 0x07FFFFFF;

    // Makes this (null) string own a new text of n bytes plus NUL, stored
    // with its count in one allocation; the bytes are left to the caller.
    void allocateJoined(size_t n);
    // Drops this value's share; the last one frees the text.
    void release() noexcept
    {
        if (refCount && (--*refCount & kCountMask) == 0)
            destroy();
    }
    // Frees the text of a count that reached 0; the value then holds none.
    void destroy() noexcept;

    int32_t* refCount;
    char* text;
};

NString operator+(const NString& a, const NString& b);

// Growable text buffer; a finished buffer hands its array to an NString
// without copying: NString s(buf.detach());
class NStringBuffer {
public:
    explicit NStringBuffer(unsigned size);
    ~NStringBuffer();
    NStringBuffer(const NStringBuffer&) = delete;
    NStringBuffer& operator=(const NStringBuffer&) = delete;

    const char* c_str() const { return data ? data : ""; }
    unsigned length() const { return len; }
    unsigned capacity() const { return cap; }

    // Empties the text, keeps the allocation.
    void clear();
    // Append `len` bytes / the whole text; a null text changes nothing. 0.
    // The text may point into this buffer's own data.
    int append(const char* text, unsigned n)
    {
        if (text && data && n < cap - len) {
            memmove(data + len, text, n);
            len += n;
            data[len] = '\0';
            return 0;
        }
        return appendGrow(text, n);
    }
    int append(const char* text);
    // clear() then append(text). 0.
    int assign(const char* text);
    // printf-style append. 0.
    int appendf(const char* fmt, ...) NSTRING_PRINTF(2, 3);
    int vappendf(const char* fmt, va_list ap) NSTRING_PRINTF(2, 0);
    // -1 when the capacity is already at least `size`; else grows to exactly
    // `size` bytes keeping the text and returns 0.
    int reserve(unsigned size);
    // Hands the array (new[]-allocated, or null when nothing was allocated)
    // to the caller and resets the buffer to empty.
    char* detach();

private:
    void grow(unsigned newCap);
    // append() when the text does not fit (or there is no array yet).
    int appendGrow(const char* text, unsigned n);

    char* data;
    unsigned cap;
    unsigned len;
};

#endif
