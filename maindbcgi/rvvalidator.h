// Value checks used before records and settings are stored, and the makers
// of the messages that name the failing item.
#ifndef RVVALIDATOR_H
#define RVVALIDATOR_H

#include "nstring.h"
#include "rvvalueparts.h"

enum {
    RV_VALID_REQUIRED = -210001,   // required value empty
    RV_VALID_BELOW_MIN = -210002,  // below the minimum
    RV_VALID_ABOVE_MAX = -210003,  // above the maximum
    RV_VALID_TOO_LONG = -210004,   // text longer than the maximum
    RV_VALID_TOO_SHORT = -210005,  // text shorter than the minimum
    RV_VALID_INVALID = -210006,    // value outside its allowed set
    RV_VALID_DATETIME = -210007,   // unreadable or non-existent date-time
    RV_VALID_NUMBER = -210008,     // not a number / too many digits
    RV_VALID_MAIL = -210009,       // not a mail address
    RV_VALID_URL = -210010,        // not a URL
    RV_VALID_TIMESPAN = -210019    // time span out of range
};

// Result of one check: code 0 = passed; message explains the rule.
struct RvCheckResult {
    RvCheckResult() : code(0) {}
    RvCheckResult(int c, const NString& msg = NString()) : code(c), message(msg) {}
    bool isError() const { return code != 0; }

    int code;
    NString message;
};

// Code text of the code table filled with the item name (local string
// "validation_itemnm_def" for none), then "(message)" when present.
// No text for a passed check.
NString rvValidatorMakeMessage(const RvCheckResult& check, const char* itemName);
// As above, the item name being the local string of itemKey.
NString rvValidatorMakeMessageByKey(const RvCheckResult& check, const char* itemKey);

RvCheckResult rvValidatorInvalidValue(const char* message);
RvCheckResult rvValidatorCheckRequired(const char* text);
// Length in UTF-8 characters; min/max below 1 are no bound.
RvCheckResult rvValidatorCheckLength(const char* text, int min, int max);
// Empty passes.
RvCheckResult rvValidatorCheckIntRange(const char* text, int min, int max);
// Empty passes; both bounds required.
RvCheckResult rvValidatorCheckDecimal(const char* value, int intDigits, int decDigits,
                                      const char* min, const char* max);
// precision 1 year .. 6 second; bounds are stamps YYYYMMDDhhmmss (may be
// shorter, empty = none). Empty text passes.
RvCheckResult rvValidatorCheckDateTime(const char* text, const char* min, const char* max,
                                       int precision);
RvCheckResult rvValidatorCheckDateTime(const DateTimeParts& parts, const char* min,
                                       const char* max, int precision);
// Days -1000..1000 and a total within +-1000 days.
RvCheckResult rvValidatorCheckTimeSpan(const TimeSpanParts& span);
RvCheckResult rvValidatorCheckMail(const char* text);
RvCheckResult rvValidatorCheckUrl(const char* text);

#endif
