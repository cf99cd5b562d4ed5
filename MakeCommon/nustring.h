// NUString: malloc-based text with validating setters. A plain NUString
// grows as needed; NUFixedInt, NUDateStr and NUDateTimeStr hold fixed-width
// digit texts. Setters answer with a result code; an invalid input leaves
// the value empty.
#ifndef NUSTRING_H
#define NUSTRING_H

#include <cstdint>

#if defined(__GNUC__)
#define NUSTRING_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define NUSTRING_PRINTF(f, a)
#endif

// Result codes.
enum {
    NUSTR_OK = 0,
    NUSTR_BADARG = -1,
    NUSTR_NOMEM = -2,
    NUSTR_TOOLONG = -30,
    NUSTR_INVALID = -31,
    NUSTR_BADDATE = -32,
    NUSTR_NODATE = -33
};

class NUString {
public:
    NUString();
    explicit NUString(const char* text);
    NUString(const NUString& other);
    NUString& operator=(const NUString& other);
    virtual ~NUString();

    // The text, or "" when empty.
    virtual const char* c_str() const;
    // null counts as "".
    virtual int set(const char* text);
    // At most n bytes of text (fixed capacity: see the implementation).
    virtual int setN(const char* text, unsigned n);
    // text when it has at most maxBytes bytes; otherwise its first
    // maxBytes - len(suffix) bytes (no UTF-8 sequence split) + suffix.
    virtual int setCut(const char* text, unsigned maxBytes, const char* suffix);
    // text cut to maxChars - len(suffix) characters (comUtf8Cut with flag);
    // suffix appended when it was cut.
    virtual int setCutChars(const char* text, unsigned maxChars, const char* suffix, int flag);
    virtual bool isEmpty() const;
    // Fixed capacity: zeroes the buffer; otherwise frees it.
    virtual void clear();

    // Growing strings only: clears, then formats (output below
    // strlen(fmt) + 8192 bytes). -1 on a fixed-capacity value.
    int format(const char* fmt, ...) NUSTRING_PRINTF(2, 3);
    // Appends; null or "" changes nothing. 0 or -2 (-30 when a fixed
    // capacity would be passed).
    int append(const char* text);
    // Copies into dst (size bytes), cut without splitting UTF-8. -1 for a
    // null dst or size 0.
    int copyTo(char* dst, unsigned size) const;
    // Removes trailing blanks, TABs, CR and LF.
    void trimRight();
    void replaceChar(char from, char to);
    // Shorten in place to n characters / n bytes (no UTF-8 sequence split).
    void cutChars(unsigned n, int flag = 0);
    void cutBytes(unsigned n);

    int compare(const char* text) const;
    int compareN(const char* text, unsigned n) const;
    int caseCompare(const char* text) const;
    int caseCompareN(const char* text, unsigned n) const;

    unsigned length() const;
    uint32_t capacity() const { return fixedCapacity; }

protected:
    // capacity 0: growing; otherwise the buffer size including the NUL.
    explicit NUString(uint32_t capacity, int);
    char* text;
    uint32_t fixedCapacity;
};

// Digits only, exactly capacity - 1 characters (or empty).
class NUFixedInt : public NUString {
public:
    explicit NUFixedInt(uint32_t capacity);
    int set(const char* text) override;
};

// A date YYYYMMDD (capacity 9).
class NUDateStr : public NUFixedInt {
public:
    NUDateStr();
    int set(const char* text) override;
    // All three empty: 0 and no change. One or two empty or not numeric:
    // -33; year longer than 4, month or day longer than 2: -30.
    virtual int setParts(const char* year, const char* month, const char* day);

    // Parts of the stored date, -1 when empty.
    int year() const;
    int month() const;
    int day() const;
    int yearTwoDigits() const;
    // Parts of `text`; of the stored date when text is null or ""; of
    // today when both are empty.
    int year(const char* text) const;
    int month(const char* text) const;
    int day(const char* text) const;
    int yearTwoDigits(const char* text) const;

    // One day forward / back; -31 when empty.
    int nextDay();
    int prevDay();

protected:
    explicit NUDateStr(uint32_t capacity);
    int addDays(int days);
    int part(const char* text, int start, int len) const;
};

// A time stamp YYYYMMDDhhmmss (capacity 15).
class NUDateTimeStr : public NUDateStr {
public:
    NUDateTimeStr();
    int set(const char* text) override;

    // The value from character 8 on ("" when empty).
    const char* timePart() const;
    // -1 when empty.
    int hour() const;
    int minute() const;
};

#endif
