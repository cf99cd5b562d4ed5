// The record of one user of the application, with its field checks.
#ifndef RVUSER_H
#define RVUSER_H

#include "nstring.h"

class RvResult;

class RvUser {
public:
    RvUser();
    virtual ~RvUser();
    RvUser(const RvUser&) = default;
    RvUser& operator=(const RvUser&) = default;

    bool isAdmin() const;

    // Checks the fields in order; at the first failure copies its message
    // into message and returns 1. 0 when all pass (message untouched).
    virtual int check(NString& message);

    // Field checks: code 0 with no message, or the failure code and message.
    static RvResult checkId(const NString& value);
    static RvResult checkName(const NString& value);
    static RvResult checkKana(const NString& value);
    static RvResult checkKanano(const NString& value);
    static RvResult checkMail(const NString& value);
    static RvResult checkUserid(const NString& value);
    static RvResult checkDefgroup(const NString& value);
    static RvResult checkWord(const NString& value);
    // Password of at most 63 characters (not used by check()).
    static RvResult checkWordLength(const NString& value);
    static RvResult checkAdmin(const NString& value);
    static RvResult checkGflg(const NString& value);
    static RvResult checkSeqno(const NString& value);
    static RvResult makeOk();

    // A password that stands for "unchanged".
    static const char* const UNCHANGED_WORD;

    NString id;
    NString name;
    NString kana;
    NString kanano;
    NString mail;
    NString userid;
    NString defgroup;
    NString word;
    NString admin;
    NString gflg;
    NString seqno;
    NString extra;
};

#endif
