// Date-time, time-span and image cell values held as records of texts.
#ifndef RVVALUEPARTS_H
#define RVVALUEPARTS_H

#include "nstring.h"

// First character of the text the record query selects for a date-time
// that has no stamp; the stored value follows it.
const char RV_NO_STAMP_MARK = '!';

class DateTimeParts {
public:
    DateTimeParts() {}

    bool isEmpty() const;
    // The first text (year) is not empty.
    bool hasYear() const { return !year.isNullOrEmpty(); }
    void clear();
    // Fills the parts from a stamp YYYYMMDDhhmmss (shorter stamps take the
    // defaults of "00000101000000"); an empty stamp clears. 0 or -100001.
    int parse(const char* stamp);
    int parse(const NString& stamp) { return parse(stamp.c_str()); }
    // The current time of the configured zone. 0 or a failure code.
    int setNow();
    // YYYYMMDDhhmmss with defaults for empty parts; no text when all empty.
    NString toString() const;

    NString year;
    NString month;
    NString day;
    NString hour;
    NString minute;
    NString second;
    // The stored value has no stamp (out of the years 1 to 9999, before
    // Christ, infinite); the parts are then empty.
    bool unreadable = false;
};

class TimeSpanParts {
public:
    TimeSpanParts() {}

    bool isEmpty() const;
    void clear();
    // Splits a number of seconds; an empty text clears. Always 0.
    int parse(const char* secondsText);
    int parse(const NString& secondsText) { return parse(secondsText.c_str()); }
    // Totals as decimal text (computed in 64 bits); no text when all parts
    // are empty.
    NString toSeconds() const;
    NString toMinutes() const;
    NString toHours() const;

    NString days;
    NString hours;
    NString minutes;
    NString seconds;
    // The stored value is not a number (NaN, infinite); the parts are then
    // empty.
    bool unreadable = false;
};

class ImageParts {
public:
    ImageParts() {}

    bool hasValue() const { return !contentId.isNullOrEmpty(); }
    // Same test under the name the date-time record uses for its first text.
    bool hasYear() const { return hasValue(); }

    NString contentId;
    NString mimeType;
    NString fileName;
    NString fileSize;
    NString width;
    NString height;
};

#endif
