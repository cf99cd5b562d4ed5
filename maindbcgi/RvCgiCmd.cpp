#include "RvCgiCmd.h"

#include "nutemplate.h"
#include "rvcomcode.h"

RvCgiCmd::RvCgiCmd() : flag1(1), flag2(1)
{
}

RvCgiCmd::~RvCgiCmd()
{
}

unsigned char RvCgiCmd::getFlag1() const
{
    return flag1;
}

unsigned char RvCgiCmd::getFlag2() const
{
    return flag2;
}

void RvCgiCmd::onError(const RvResult& result)
{
    RvResult copy(result);
    for (const NString& p : params)
        copy.addParam(p);
}

void RvCgiCmd::write(RvAppCtx&, RvSession&, const RvParamArray&, const char* value)
{
    if (output)
        output->output(value);
}

std::shared_ptr<NUTemplateToOutput> RvCgiCmd::createTemplate()
{
    std::shared_ptr<NUTemplateToOutput> tmpl = std::make_shared<NUTemplateToOutput>("{{", "}}");
    tmpl->setSecondList(rvcomGetLocalStringTable());
    tmpl->addValue("cgiext", ".cgi", 1);
    return tmpl;
}

RvCgiCmdHtml::RvCgiCmdHtml()
{
}

RvCgiCmdHtml::~RvCgiCmdHtml()
{
}

void RvCgiCmdHtml::onError(const RvResult& result)
{
    RvCgiCmd::onError(result);
}
