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
    static RvResult checkFieldId(const NString& value);
    static RvResult checkFieldName(const NString& value);
    static RvResult checkFieldKana(const NString& value);
    static RvResult checkFieldKanano(const NString& value);
    static RvResult checkFieldMail(const NString& value);
    static RvResult checkFieldUserid(const NString& value);
    static RvResult checkFieldDefgroup(const NString& value);
    static RvResult checkFieldWord(const NString& value);
    // Password of at most 63 characters (not used by check()).
    static RvResult checkWordLength(const NString& value);
    static RvResult checkFieldAdmin(const NString& value);
    static RvResult checkFieldGflg(const NString& value);
    static RvResult checkFieldSeqno(const NString& value);
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
