#include "rvappFieldCheck.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "comstr.h"

RvResult rvappFieldResult(const RvCheckResult& check, const char* key)
{
    if (!check.isError()) {
        return RvResult();
    }
    return RvResult(check.code, rvValidatorMakeMessageByKey(check, key));
}

RvResult rvappCheckOneChar(const NString& value, const char* allowed, const char* key)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        const char* text = value.c_str();
        if (text[1] != '\0' || strchr(allowed, text[0]) == nullptr) {
            check = rvValidatorInvalidValue(nullptr);
        }
    }
    return rvappFieldResult(check, key);
}

RvResult rvappCheckRequiredIntRange(const NString& value, int min, int max, const char* key)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        check = rvValidatorCheckIntRange(value.c_str(), min, max);
    }
    return rvappFieldResult(check, key);
}

RvResult rvappCheckOptionalIntRange(const NString& value, int min, int max, const char* key)
{
    return rvappFieldResult(rvValidatorCheckIntRange(value.c_str(), min, max), key);
}

int rvappTextToInt(const char* text)
{
    if (text == nullptr) {
        return 0;
    }
    long long v = strtoll(text, nullptr, 10);
    if (v > INT_MAX) {
        return INT_MAX;
    }
    if (v < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

int rvappIntegerIdText(const char* text, NString& out)
{
    if (comIsInteger(text) != 1) {
        return -100001;
    }
    errno = 0;
    long long v = strtoll(text, nullptr, 10);
    if (errno == ERANGE) {
        return -100001;
    }
    out.format("%lld", v);
    return 0;
}
