#include "rvappCheckLayoutFormat.h"

#include <cstring>

#include "rvappFieldCheck.h"
#include "rvvalidator.h"

RvResult rvappCheckColorCode(const NString& value, const char* key)
{
    static const char HEX[] = "0123456789ABCDEF";
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        const char* text = value.c_str();
        bool ok = strlen(text) == 6;
        for (int i = 0; ok && i < 6; ++i) {
            ok = strchr(HEX, text[i]) != nullptr;
        }
        if (!ok) {
            check = rvValidatorInvalidValue(nullptr);
        }
    }
    return rvappFieldResult(check, key);
}

RvResult rvappCheckAlign(const NString& value, const char* key)
{
    return rvappCheckOneChar(value, "lcr", key);
}

RvResult rvappCheckValign(const NString& value, const char* key)
{
    return rvappCheckOneChar(value, "tmb", key);
}

RvResult rvappCheckFontSize(const NString& value, const char* key)
{
    return rvappCheckRequiredIntRange(value, 1, 5, key);
}

RvResult rvappCheckFontStyle(const NString& value, const char* key)
{
    return rvappCheckOneChar(value, "0123", key);
}
