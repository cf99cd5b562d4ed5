// Result object, database version check and identifier checks.
#include "rvresult.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvcomcode.h"

#include <cctype>
#include <cstring>
#include <strings.h>

RvResult::RvResult() : code(0), level(0) {}

RvResult::RvResult(int code_, const char* message_) : code(code_), level(0)
{
    if (message_)
        message = NString(message_);
    if (code == 0)
        return;
    rvcomCodeMessageEntry entry = rvcomGetCodeEntry(code);
    level = static_cast<char>(std::toupper(static_cast<unsigned char>(entry.level)));
    if (!message_)
        message = entry.text;
}

RvResult::RvResult(int code_, const NString& message_)
    : RvResult(code_, message_.isNull() ? nullptr : message_.c_str())
{
}

void RvResult::addParam(const NString& value)
{
    params.push_back(value);
}

int rvappCheckPGVersion(CdDBConnection* connection, bool& is90)
{
    is90 = false;
    if (!connection) {
        COMTRACE("ret[%d]", CDDB_ERR_NO_RESULT);
        return CDDB_ERR_NO_RESULT;
    }
    connection->setSql("select version()");
    CdDBResultHandle result = connection->execute();
    int ret = result ? result->getStatus() : CDDB_ERR_NO_RESULT;
    if (ret != 0) {
        COMTRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, connection->getSqlState(),
                 connection->getErrorMessage());
        return ret;
    }
    if (result->isEOF()) {
        COMTRACE("ret[%d] dbsts[%s] dbmsg[%s]", -100010, "", "");
        return -100010;
    }
    NString version;
    ret = result->getValue(version, 0);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    is90 = std::strstr(version.c_str(), "PostgreSQL 9.0") != nullptr;
    return 0;
}

int rvAppCheckSessionId(const NString& id)
{
    return id.length() == 22 ? 0 : RV_ERR_SESSION_ID;
}

NString rvAppGetSessionId(const NString& id)
{
    if (rvAppCheckSessionId(id) == 0)
        return id;
    return NString();
}

namespace {

int checkUserIdChars(const char* text, bool blank)
{
    if (!text)
        return 1;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        unsigned char c = *p;
        if (c >= 0x80)
            return 0;  // any byte of a multi-byte character
        if (std::isalnum(c) || std::strchr("^-_=[]@.`", c) || (blank && c == ' '))
            continue;
        return 0;
    }
    return 1;
}

} // namespace

int rvcomCheckUserIdChars(const char* text)
{
    return checkUserIdChars(text, false);
}

int rvcomCheckUserIdCharsBlank(const char* text)
{
    return checkUserIdChars(text, true);
}

int rvcomCheckUserId(const char* text)
{
    if (!text || !text[0])
        return 1;
    if (std::strlen(text) > 31)
        return 0;
    return rvcomCheckUserIdCharsBlank(text);
}

void rvcomNeutralizeUrl(NString& out, const char* url)
{
    if (!url) {
        out = NString();
        return;
    }
    const char* colon = std::strchr(url, ':');
    if (colon) {
        static const char* const safe[] = { "http", "https", "ftp", "file", "telnet" };
        size_t len = static_cast<size_t>(colon - url);
        bool known = false;
        for (const char* s : safe) {
            if (std::strlen(s) == len && strncasecmp(url, s, len) == 0) {
                known = true;
                break;
            }
        }
        if (!known) {
            std::string t(url, len);
            t += "_:";
            t += colon + 1;
            out = NString(t.c_str(), static_cast<int>(t.size()));
            return;
        }
    }
    out = NString(url);
}

int rvcomIsUrlText(const char* text)
{
    if (!text || !text[0])
        return 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p == ' ' || *p >= 0x80)
            return 0;
    }
    if (!std::strstr(text, "://"))
        return 0;
    NString neutral;
    rvcomNeutralizeUrl(neutral, text);
    return std::strcmp(neutral.c_str(), text) == 0 ? 1 : 0;
}
