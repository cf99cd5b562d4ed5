// The user record and its field checks.
#include "rvuser.h"

#include <cstring>

#include "rvcomcode.h"
#include "rvresult.h"
#include "rvvalidator.h"

const char* const RvUser::UNCHANGED_WORD = "***************";

namespace {

// A failed check as a result naming the field by its key.
RvResult fail(const RvCheckResult& check, const char* key)
{
    return RvResult(check.code, rvValidatorMakeMessageByKey(check, key));
}

// Integer field: required, then min..max.
RvResult checkInteger(const NString& value, const char* key, int min, int max)
{
    RvCheckResult r = rvValidatorCheckRequired(value.c_str());
    if (r.isError())
        return fail(r, key);
    r = rvValidatorCheckIntRange(value.c_str(), min, max);
    if (r.isError())
        return fail(r, key);
    return RvUser::makeOk();
}

// Optional text of at most max characters.
RvResult checkOptionalLength(const NString& value, const char* key, int max)
{
    if (value.isNullOrEmpty())
        return RvUser::makeOk();
    RvCheckResult r = rvValidatorCheckLength(value.c_str(), 0, max);
    if (r.isError())
        return fail(r, key);
    return RvUser::makeOk();
}

// Required flag "0" or "1".
RvResult checkFlag(const NString& value, const char* key)
{
    RvCheckResult r = rvValidatorCheckRequired(value.c_str());
    if (r.isError())
        return fail(r, key);
    if (strcmp(value.c_str(), "0") != 0 && strcmp(value.c_str(), "1") != 0)
        return fail(rvValidatorInvalidValue(nullptr), key);
    return RvUser::makeOk();
}

// The password's too-long result: the code's text with the field name only.
RvResult wordTooLong()
{
    NString name;
    rvcomGetLocalString(name, "rvsys_user_word");
    NString text;
    rvcomGetCodeMessage(text, RV_VALID_TOO_LONG, name);
    return RvResult(RV_VALID_TOO_LONG, text);
}

} // namespace

RvUser::RvUser() : admin("0") {}

RvUser::~RvUser() {}

bool RvUser::isAdmin() const { return strcmp(admin.c_str(), "1") == 0; }

RvResult RvUser::makeOk() { return RvResult(); }

RvResult RvUser::checkFieldId(const NString& value)
{
    return checkInteger(value, "rvsys_user_id", 1, 999999999);
}

RvResult RvUser::checkFieldName(const NString& value)
{
    RvCheckResult r = rvValidatorCheckRequired(value.c_str());
    if (r.isError())
        return fail(r, "rvsys_user_name");
    r = rvValidatorCheckLength(value.c_str(), 1, 127);
    if (r.isError())
        return fail(r, "rvsys_user_name");
    return makeOk();
}

RvResult RvUser::checkFieldKana(const NString& value)
{
    return checkOptionalLength(value, "rvsys_user_kana", 127);
}

RvResult RvUser::checkFieldKanano(const NString& value)
{
    return checkOptionalLength(value, "rvsys_user_kanano", 2);
}

RvResult RvUser::checkFieldMail(const NString& value)
{
    return checkOptionalLength(value, "rvsys_user_mail", 127);
}

RvResult RvUser::checkFieldUserid(const NString& value)
{
    if (value.isNullOrEmpty())
        return makeOk();
    RvCheckResult r = rvValidatorCheckLength(value.c_str(), 1, 31);
    if (r.isError())
        return fail(r, "rvsys_user_userid");
    if (rvcomCheckUserId(value.c_str()) != 1)
        return RvResult(-310007, rvcomGetCodeEntry(-310007).text);
    return makeOk();
}

RvResult RvUser::checkFieldDefgroup(const NString& value)
{
    if (value.isNullOrEmpty())
        return makeOk();
    RvCheckResult r = rvValidatorCheckIntRange(value.c_str(), 0, 999999999);
    if (r.isError())
        return fail(r, "rvsys_user_defgroup");
    return makeOk();
}

RvResult RvUser::checkFieldWord(const NString& value)
{
    if (value.isNullOrEmpty() || strcmp(value.c_str(), UNCHANGED_WORD) == 0)
        return makeOk();
    // Counted in bytes.
    if (strlen(value.c_str()) > 30)
        return wordTooLong();
    return makeOk();
}

RvResult RvUser::checkWordLength(const NString& value)
{
    if (value.isNullOrEmpty())
        return makeOk();
    if (rvValidatorCheckLength(value.c_str(), 0, 63).isError())
        return wordTooLong();
    return makeOk();
}

RvResult RvUser::checkFieldAdmin(const NString& value) { return checkFlag(value, "rvsys_user_admin"); }

RvResult RvUser::checkFieldGflg(const NString& value) { return checkFlag(value, "rvsys_user_gflg"); }

RvResult RvUser::checkFieldSeqno(const NString& value)
{
    return checkInteger(value, "rvsys_user_seqno", 1, 999999999);
}

int RvUser::check(NString& message)
{
    typedef RvResult (*FieldCheck)(const NString&);
    const struct {
        FieldCheck check;
        const NString* value;
    } steps[] = {
        { checkFieldId, &id },           { checkFieldName, &name },     { checkFieldKana, &kana },
        { checkFieldKanano, &kanano },   { checkFieldMail, &mail },     { checkFieldUserid, &userid },
        { checkFieldDefgroup, &defgroup }, { checkFieldWord, &word },   { checkFieldAdmin, &admin },
        { checkFieldGflg, &gflg },       { checkFieldSeqno, &seqno },
    };
    for (const auto& step : steps) {
        // The sort number is validated only when given.
        if (step.value == &seqno && seqno.isNullOrEmpty())
            continue;
        RvResult r = step.check(*step.value);
        if (r.isError()) {
            message = r.getMessage();
            return 1;
        }
    }
    return 0;
}
