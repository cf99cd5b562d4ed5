// Result object of the model operations, the database version check and the
// small identifier checks (session id, user id, URL).
#ifndef RVRESULT_H
#define RVRESULT_H

#include "nstring.h"

#include <vector>

class CdDBConnection;

// -300051: a session id that is not 22 characters long.
enum { RV_ERR_SESSION_ID = -300051 };

class RvResult {
public:
    // Success: code 0, empty message, level 0, no params.
    RvResult();
    // For a non-zero code the level is the code table's letter upper-cased;
    // a null message takes the table's text ("(code:%d)" when unknown).
    RvResult(int code, const char* message = nullptr);
    RvResult(int code, const NString& message);

    bool isError() const { return code != 0; }
    char getLevel() const { return level; }
    int getCode() const { return code; }
    const NString& getMessage() const { return message; }
    NString& getMessage() { return message; }
    const std::vector<NString>& getParams() const { return params; }
    std::vector<NString>& getParams() { return params; }
    void addParam(const NString& value);

private:
    int code;
    NString message;
    char level;
    std::vector<NString> params;
};

// Runs "select version()"; is90 = the text contains "PostgreSQL 9.0".
// 0, the statement's status, -100010 (no row) or the value read's code.
int rvappCheckPGVersion(CdDBConnection* connection, bool& is90);

// 0 when the id has exactly 22 characters, else -300051.
int rvAppCheckSessionId(const NString& id);
// The id when it passes rvAppCheckSessionId, else a null string.
NString rvAppGetSessionId(const NString& id);

// 1 when every character is one of A-Z a-z 0-9 ^ - _ = [ ] @ . ` (null or
// empty: 1), else 0.
int rvcomCheckUserIdChars(const char* text);
// The same with the blank allowed.
int rvcomCheckUserIdCharsBlank(const char* text);
// 1 for null or empty; 0 when longer than 31 bytes; else
// rvcomCheckUserIdCharsBlank.
int rvcomCheckUserId(const char* text);

// out = url, with "_" put after an unknown scheme ("javascript_:...");
// http, https, ftp, file and telnet (caseless) pass unchanged.
void rvcomNeutralizeUrl(NString& out, const char* url);
// 1 for a non-empty text without blanks or bytes >= 0x80 that contains
// "://" and is left unchanged by rvcomNeutralizeUrl; else 0.
int rvcomIsUrlText(const char* text);

#endif
