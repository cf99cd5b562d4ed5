#include "rvimporttext.h"

#include <cstdio>

#include "rvcomcode.h"
#include "rvcommigrate.h"
#include "rvcompair.h"

namespace {

std::vector<RvFmtArg> toFmtArgs(RvImportTextArgs args)
{
    std::vector<RvFmtArg> out;
    for (const RvImportTextArg& a : args) {
        if (a.isInt())
            out.emplace_back(a.value());
        else
            out.emplace_back(a.text());
    }
    return out;
}

} // namespace

std::string rvimportCodeText(int code)
{
    return rvcomGetCodeEntry(code).text.c_str();
}

std::string rvimportCodeMessage(int code, RvImportTextArgs args)
{
    std::vector<RvFmtArg> list = toFmtArgs(args);
    rvcomCodeMessageEntry e =
        rvcomGetCodeMessageV(code, list.data(), static_cast<int>(list.size()));
    return e.text.c_str();
}

std::string rvimportLocalString(const char* key, RvImportTextArgs args)
{
    std::vector<RvFmtArg> list = toFmtArgs(args);
    NString out;
    rvcomGetLocalStringV(out, key, list.data(), static_cast<int>(list.size()));
    return out.c_str();
}

int rvimportLoadCodeFile(const char* path)
{
    return rvcomLoadCodeMessageFile(path);
}

int rvimportLoadLocalStringFile(const char* path)
{
    return rvcomLoadLocalStringFile(path);
}

void rvimportPrintLine(const std::string& text)
{
    RvComMigrate::comMigratePrint(NString(text.c_str()), true);
    std::fflush(stdout);
}

void rvimportPrintProgress(const std::string& text)
{
    RvComMigrate::comMigratePrintProgress(NString(text.c_str()));
}

bool rvimportProgramPath(const char* path, std::string& out)
{
    char buf[RVCOM_PATH_BUF_SIZE] = "";
    rvcomProgramPath(path, buf);
    out = buf;
    return !out.empty();
}

std::string rvimportArgValue(int argc, char** argv, const char* name)
{
    const char* v = RvComMigrate::comMigrateFindArgValue(argc, argv, name);
    return v ? v : "";
}
