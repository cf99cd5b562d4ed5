// Command-line and console helpers of the batch programs.
#include "rvcommigrate.h"

#include <cstdio>
#include <cstring>

const char* RvComMigrate::comMigrateFindArgValue(int argc, char** argv, const char* name)
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

int RvComMigrate::comMigrateConvText(NString& text)
{
    (void)text;
    return 0;
}

int RvComMigrate::comMigrateConvName(NString& text)
{
    (void)text;
    return 0;
}

int RvComMigrate::comMigratePrintProgress(const NString& text)
{
    NString t = text;
    comMigrateConvText(t);
    std::fputs("\r", stdout);
    std::fputs(t.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

int RvComMigrate::comMigratePrint(const NString& text, bool newline)
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

NString RvComMigrate::comMigrateToString(int value) { return numberText("%d", value); }
NString RvComMigrate::comMigrateToString(unsigned int value) { return numberText("%u", value); }
NString RvComMigrate::comMigrateToString(long value) { return numberText("%ld", value); }
NString RvComMigrate::comMigrateToString(unsigned long value) { return numberText("%lu", value); }
NString RvComMigrate::comMigrateToString(long long value) { return numberText("%lld", value); }
NString RvComMigrate::comMigrateToString(unsigned long long value)
{
    return numberText("%llu", value);
}
NString RvComMigrate::comMigrateToString(double value) { return numberText("%f", value); }
NString RvComMigrate::comMigrateToString(float value)
{
    return numberText("%f", static_cast<double>(value));
}
