// Command base: flags, the output object, error hook and templates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RvCgiCmd.h"
#include "RvDbRecordListCsv.h"
#include "nutemplate.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvcomdisp.h"

namespace {

struct Recorder : RvCgiOutput {
    Recorder(std::vector<std::string>& seen, int& destroyed) : seen(seen), destroyed(destroyed) {}
    ~Recorder() override { ++destroyed; }
    void output(const char* value) override { seen.push_back(value ? value : "(null)"); }
    std::vector<std::string>& seen;
    int& destroyed;
};

// A command that can be given an output object and parameter texts.
class TestCmd : public RvCgiCmd {
public:
    RvResult execute(RvAppCtx&, RvSession&, const RvParamArray&) override { return RvResult(); }
    void step5() override {}
    void setOutput(const std::shared_ptr<RvCgiOutput>& o) { output = o; }
    void addParamText(const char* p) { params.push_back(NString(p)); }
};

std::string mainValue(NUTemplateToOutput& t, const char* name)
{
    void* v = nullptr;
    if (t.getMainList()->find(name, &v) != 1 || !v)
        return "(none)";
    return static_cast<const char*>(v);
}

TEST(RvCgiCmd, FreshCommandsReportBothFlagsSet)
{
    TestCmd base;
    RvDbRecordListCsv csv;
    const RvCgiCmd* cmds[] = { &base, &csv };
    for (const RvCgiCmd* c : cmds) {
        EXPECT_EQ(1, c->getFlag1());
        EXPECT_EQ(1, c->getFlag2());
    }
}

TEST(RvCgiCmd, WriteWithoutOutputDoesNothing)
{
    RvDbRecordListCsv csv;
    RvAppCtx ctx;
    RvSession session;
    RvParamArray params = { 0, nullptr, nullptr };
    csv.write(ctx, session, params, "x");
    csv.write(ctx, session, params, nullptr);
    csv.step5();
    SUCCEED();
}

TEST(RvCgiCmd, WriteHandsValueToOutputWhichDiesWithLastHolder)
{
    std::vector<std::string> seen;
    int destroyed = 0;
    RvAppCtx ctx;
    RvSession session;
    RvParamArray params = { 0, nullptr, nullptr };
    {
        std::shared_ptr<RvCgiOutput> out = std::make_shared<Recorder>(seen, destroyed);
        TestCmd cmd;
        cmd.setOutput(out);
        cmd.write(ctx, session, params, "first");
        cmd.write(ctx, session, params, "second");
        out.reset();
        EXPECT_EQ(0, destroyed);  // the command still holds it
    }
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ((std::vector<std::string>{ "first", "second" }), seen);
}

TEST(RvCgiCmd, OnErrorLeavesTheGivenResultAlone)
{
    TestCmd cmd;
    cmd.addParamText("p1");
    cmd.addParamText("p2");
    RvResult r(-100001, "bad");
    r.addParam(NString("own"));
    cmd.onError(r);
    RvDbRecordListCsv csv;
    csv.onError(r);
    ASSERT_EQ(1u, r.getParams().size());
    EXPECT_STREQ("own", r.getParams()[0].c_str());
    EXPECT_EQ(-100001, r.getCode());
    EXPECT_STREQ("bad", r.getMessage().c_str());
}

TEST(RvCgiCmd, CreateTemplateGivesIndependentTemplatesWithCgiExt)
{
    rvcomClearLocalStrings();
    rvcomGetLocalStringTable()->add("tplprobe", "probe<text>", 12);

    RvDbRecordListCsv csv;
    std::shared_ptr<NUTemplateToOutput> a = csv.createTemplate();
    std::shared_ptr<NUTemplateToOutput> b = csv.createTemplate();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(".cgi", mainValue(*a, "cgiext"));
    EXPECT_EQ(".cgi", mainValue(*b, "cgiext"));

    // A value added to one is not seen by the other.
    a->addValue("only_a", "1", 0);
    EXPECT_EQ("(none)", mainValue(*b, "only_a"));

    // Placeholders use "{{" "}}"; "LL" names come from the local strings.
    const char* text = "x{{cgiext}}|{{LLtplprobe}}";
    b->setTemplateText(text, true);
    ASSERT_EQ(0, b->output());
    ASSERT_NE(nullptr, b->getOutput());
    EXPECT_EQ("x.cgi|probe&lt;text&gt;", std::string(b->getOutput()));
    rvcomClearLocalStrings();
}

}  // namespace
