// Command-line and console helpers of the batch programs.
#include "rvcommigrate.h"

#include <cstdio>
#include <cstring>

const char* comMigrateFindArgValue(int argc, char** argv, const char* name)
{
    if (!argv || !name)
        return nullptr;
    for (int i = 0; i < argc; ++i) {
        if (!argv[i] || std::strcmp(argv[i], name) != 0)
            continue;
        if (i + 1 < argc && argv[i + 1] && argv[i + 1][0] != '-')
            return argv[i + 1];
    }
    return nullptr;
}

int comMigrateConvText(NString& text)
{
    (void)text;
    return 0;
}

int comMigrateConvName(NString& text)
{
    (void)text;
    return 0;
}

int comMigratePrintProgress(const NString& text)
{
    NString t = text;
    comMigrateConvText(t);
    std::fputs("\r", stdout);
    std::fputs(t.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

int comMigratePrint(const NString& text, bool newline)
{
    NString t = text;
    comMigrateConvText(t);
    if (newline)
        std::puts(t.c_str());
    else
        std::fputs(t.c_str(), stdout);
    return 0;
}

namespace {

template <class T>
NString numberText(const char* fmt, T value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, value);
    return NString(buf, -1);
}

} // namespace

NString comMigrateToString(int value) { return numberText("%d", value); }
NString comMigrateToString(unsigned int value) { return numberText("%u", value); }
NString comMigrateToString(long value) { return numberText("%ld", value); }
NString comMigrateToString(unsigned long value) { return numberText("%lu", value); }
NString comMigrateToString(long long value) { return numberText("%lld", value); }
NString comMigrateToString(unsigned long long value) { return numberText("%llu", value); }
NString comMigrateToString(double value) { return numberText("%f", value); }
NString comMigrateToString(float value) { return numberText("%f", static_cast<double>(value)); }
