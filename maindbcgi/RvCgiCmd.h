// Command objects of the CGI layer: the abstract base RvCgiCmd and its
// HTML variant RvCgiCmdHtml. A request is handled by one command object.
#ifndef RVCGICMD_H
#define RVCGICMD_H

#include <memory>
#include <vector>

#include "nstring.h"
#include "rvresult.h"
#include "rvuser.h"

class RvAppCtx;
class NUTemplateToOutput;
struct RvParamArray;

// The request's session record: its session id and the executing user.
struct RvSession {
    NString id;
    RvUser user;
};

// Output object a command may write through (see RvCgiCmd::write).
class RvCgiOutput {
public:
    virtual ~RvCgiOutput() {}
    virtual void output(const char* value) = 0;
};

class RvCgiCmd {
public:
    // Both flags 1, no parameter texts, no output object.
    RvCgiCmd();
    virtual ~RvCgiCmd();
    RvCgiCmd(const RvCgiCmd&) = delete;
    RvCgiCmd& operator=(const RvCgiCmd&) = delete;

    virtual unsigned char getFlag1() const;
    virtual unsigned char getFlag2() const;

    // Handles one request.
    virtual RvResult execute(RvAppCtx& appCtx, RvSession& session,
                             const RvParamArray& params) = 0;
    virtual void step5() = 0;

    // Adds the command's parameter texts to a copy of the result; no other
    // effect.
    virtual void onError(const RvResult& result);

    // Hands value to the output object when one is set; else nothing.
    virtual void write(RvAppCtx& appCtx, RvSession& session, const RvParamArray& params,
                       const char* value);

    // A new template with the delimiters "{{" "}}", the local-string table
    // as its second list and "cgiext" = ".cgi" (escaped).
    virtual std::shared_ptr<NUTemplateToOutput> createTemplate();

protected:
    unsigned char flag1;
    unsigned char flag2;
    std::vector<NString> params;
    std::shared_ptr<RvCgiOutput> output;
};

class RvCgiCmdHtml : public RvCgiCmd {
public:
    RvCgiCmdHtml();
    ~RvCgiCmdHtml() override;

    void onError(const RvResult& result) override;
};

#endif
