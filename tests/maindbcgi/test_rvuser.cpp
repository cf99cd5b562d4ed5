// The user record and its field checks.
#include "rvuser.h"

#include <gtest/gtest.h>

#include <string>

#include "rvcomcode.h"
#include "rvlocaltext.h"
#include "rvresult.h"

namespace {

const char* const LOCAL_TEXT =
    "msg_lenminmax=%d-%d\n"
    "msg_lenmax=max %d\n"
    "msg_valminmax=%d-%d\n"
    "rvsys_user_id=ID\n"
    "rvsys_user_name=Name\n"
    "rvsys_user_mail=Mail\n"
    "rvsys_user_userid=Login\n"
    "rvsys_user_word=Password\n"
    "rvsys_user_admin=Admin\n"
    "rvsys_user_seqno=Order\n";

const char* const CODE_TEXT =
    "-210001=e,%s is required\n"
    "-210002=e,%s is too small\n"
    "-210003=e,%s is too large\n"
    "-210004=e,%s is too long\n"
    "-210005=e,%s is too short\n"
    "-210006=e,%s is invalid\n"
    "-210008=e,%s is not a number\n"
    "-310007=e,bad login id %s\n";

class User : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(texts.load(LOCAL_TEXT, CODE_TEXT)); }
    static RvUser validUser()
    {
        RvUser u;
        u.id = "1";
        u.name = "Taro";
        u.admin = "0";
        u.gflg = "0";
        return u;
    }
    rvtest::LocalTexts texts;
};

std::string repeat(const char* unit, int n)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += unit;
    return s;
}

} // namespace

TEST_F(User, NewRecord)
{
    RvUser u;
    EXPECT_FALSE(u.isAdmin());
    EXPECT_STREQ(u.admin.c_str(), "0");
    NString msg("untouched");
    EXPECT_EQ(u.check(msg), 1);
    EXPECT_STREQ(msg.c_str(), "ID is required");
    u.admin = "1";
    EXPECT_TRUE(u.isAdmin());

    RvUser ok = validUser();
    msg = "untouched";
    EXPECT_EQ(ok.check(msg), 0);
    EXPECT_STREQ(msg.c_str(), "untouched");
}

TEST_F(User, FieldChecks)
{
    typedef RvResult (*Check)(const NString&);
    const std::string name127 = repeat("\xE3\x81\x82", 127);
    const std::string name128 = repeat("a", 128);
    const std::string word30 = repeat("x", 30);
    const std::string word31 = repeat("x", 31);
    const std::string wordMulti = repeat("\xE3\x81\x82", 11);  // 11 characters, 33 bytes
    const std::string login31 = repeat("a", 31);
    const std::string login32 = repeat("a", 32);
    const std::string word64 = repeat("x", 64);
    struct Case {
        Check check;
        const char* value;
        int code;
        const char* message;
    } cases[] = {
        { RvUser::checkFieldId, "", -210001, "ID is required" },
        { RvUser::checkFieldId, "0", -210002, "ID is too small(1-999999999)" },
        { RvUser::checkFieldId, "999999999", 0, "" },
        { RvUser::checkFieldId, "1000000000", -210003, "ID is too large(1-999999999)" },
        { RvUser::checkFieldId, "12a", -210008, "ID is not a number(1-999999999)" },
        { RvUser::checkFieldName, "", -210001, "Name is required" },
        { RvUser::checkFieldName, name127.c_str(), 0, "" },
        { RvUser::checkFieldName, name128.c_str(), -210004, "Name is too long(1-127)" },
        { RvUser::checkFieldKana, "", 0, "" },
        { RvUser::checkFieldKana, name128.c_str(), -210004, "rvsys_user_kana is too long(max 127)" },
        { RvUser::checkFieldKanano, "\xE3\x81\x82\xE3\x81\x84", 0, "" },
        { RvUser::checkFieldKanano, "abc", -210004, "rvsys_user_kanano is too long(max 2)" },
        { RvUser::checkFieldMail, name128.c_str(), -210004, "Mail is too long(max 127)" },
        { RvUser::checkFieldMail, "not a mail", 0, "" },
        { RvUser::checkFieldUserid, "", 0, "" },
        { RvUser::checkFieldUserid, login31.c_str(), 0, "" },
        { RvUser::checkFieldUserid, login32.c_str(), -210004, "Login is too long(1-31)" },
        { RvUser::checkFieldUserid, "a b", 0, "" },
        { RvUser::checkFieldUserid, "a#b", -310007, "bad login id %s" },
        { RvUser::checkFieldDefgroup, "", 0, "" },
        { RvUser::checkFieldDefgroup, "0", 0, "" },
        { RvUser::checkFieldDefgroup, "-1", -210002, "rvsys_user_defgroup is too small(0-999999999)" },
        { RvUser::checkFieldWord, "", 0, "" },
        { RvUser::checkFieldWord, "***************", 0, "" },
        { RvUser::checkFieldWord, word30.c_str(), 0, "" },
        { RvUser::checkFieldWord, word31.c_str(), -210004, "Password is too long" },
        { RvUser::checkFieldWord, wordMulti.c_str(), -210004, "Password is too long" },
        { RvUser::checkWordLength, wordMulti.c_str(), 0, "" },
        { RvUser::checkWordLength, word64.c_str(), -210004, "Password is too long" },
        { RvUser::checkFieldAdmin, "", -210001, "Admin is required" },
        { RvUser::checkFieldAdmin, "2", -210006, "Admin is invalid" },
        { RvUser::checkFieldAdmin, "1", 0, "" },
        { RvUser::checkFieldGflg, "0", 0, "" },
        { RvUser::checkFieldGflg, "x", -210006, "rvsys_user_gflg is invalid" },
        { RvUser::checkFieldSeqno, "0", -210002, "Order is too small(1-999999999)" },
        { RvUser::checkFieldSeqno, "5", 0, "" },
    };
    for (const Case& c : cases) {
        RvResult r = c.check(NString(c.value, -1));
        EXPECT_EQ(r.getCode(), c.code) << c.value;
        EXPECT_STREQ(r.getMessage().c_str(), c.message) << c.value;
    }
    EXPECT_EQ(RvUser::makeOk().getCode(), 0);
}

TEST_F(User, CheckReportsFirstFailureOnly)
{
    RvUser u = validUser();
    u.name = repeat("a", 128).c_str();
    u.mail = repeat("a", 128).c_str();
    NString msg;
    EXPECT_EQ(u.check(msg), 1);
    EXPECT_STREQ(msg.c_str(), "Name is too long(1-127)");

    RvUser s = validUser();
    s.seqno = "";
    EXPECT_EQ(s.check(msg), 0);
    s.seqno = "0";
    EXPECT_EQ(s.check(msg), 1);
    EXPECT_STREQ(msg.c_str(), "Order is too small(1-999999999)");

    RvUser g = validUser();
    g.gflg = "";
    EXPECT_EQ(g.check(msg), 1);
    EXPECT_STREQ(msg.c_str(), "rvsys_user_gflg is required");
}
