// Name/value files read through NUFileIO into a list: damaged lines, NUL
// bytes, CR-only line ends, continuation lines at either end, huge lines.
#include "nufileio.h"
#include "rvmutate.h"
#include "nuioobj.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "fakeserver.h"

namespace {

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char* const kPieces[] = {"\0", "\r", "\n", "\t", "\n\t", "=", "#", " #", "\t#",
                                          "[", "]", "[s]\n", "\xff", "\r\n", "%s%n", "\\"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 5, 6,
                                               "=\t\n\r#", 5000};
    return rvtest::mutate(rng, base, kMutation);
}

// Reads the file; every entry has a name without separator or line end and
// a NUL-terminated value. The entry count.
int readAndCheck(const std::string& path, bool keepHash)
{
    NUioObjList obj;
    EXPECT_EQ(0, obj.setPath(path.c_str()));
    NUFileIO io;
    io.setNoLock(true);
    int r = io.read(obj, false, false, keepHash);
    EXPECT_EQ(0, r);
    for (int i = 0; i < obj.count(); ++i) {
        char* name = nullptr;
        char* value = nullptr;
        char section[NUIO_SECTION_SIZE] = "";
        EXPECT_EQ(0, obj.getEntry(i, &name, &value, section));
        EXPECT_NE(nullptr, name);
        EXPECT_NE(nullptr, value);
        if (name) {
            EXPECT_EQ(nullptr, strchr(name, '='));
            EXPECT_EQ(nullptr, strchr(name, '\n'));
        }
    }
    return obj.count();
}

TEST(NUFileIORobust, DamagedFiles)
{
    rvtest::ScratchDir tmp;
    const std::string path = tmp.file("conf");
    const std::string base = "# comment\nurl=http://h/x\nname = value \t# note\nmulti=a\n\tb\n"
                             "\tc\r\nempty=\nx=y=z\n";
    ASSERT_TRUE(rvtest::writeFile(path, base));
    EXPECT_EQ(5, readAndCheck(path, false));

    struct {
        std::string text;
        int entries;
    } cases[] = {
        {"", 0},
        {"a=1", 1},                            // no final line end
        {"\tlost\na=1\n\tkept", 1},            // continuation first and last
        {"a=1\rb=2\rc=3\r", 1},                // CR-only line ends: one line
        {std::string("a=1\0b=2\nc=3\n", 12), 2},
        {std::string("\0=1\n=2\n", 7), 1},    // empty names
        {"noseparator\n#a=1\n a #=1\nb=1\n", 1},
        {"a=" + std::string(300000, 'v'), 1},  // one huge line
        {std::string(20000, '\n') + "a=1", 1},
        {"=\n==\n\t\n\t\t\n", 2},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(rvtest::writeFile(path, c.text));
        EXPECT_EQ(c.entries, readAndCheck(path, false)) << c.text.substr(0, 40);
    }

    std::mt19937 rng(4242u);
    for (int i = 0; i < 600; ++i) {
        ASSERT_TRUE(rvtest::writeFile(path, mutate(rng, base)));
        readAndCheck(path, i & 1);
    }
}

// Many continuation lines join into one value; the read stays bounded.
TEST(NUFileIORobust, ManyContinuationLines)
{
    rvtest::ScratchDir tmp;
    const std::string path = tmp.file("conf");
    std::string text = "a=x\n";
    for (int i = 0; i < 5000; ++i)
        text += "\tline\n";
    ASSERT_TRUE(rvtest::writeFile(path, text));
    auto t0 = std::chrono::steady_clock::now();
    NUioObjList obj;
    ASSERT_EQ(0, obj.setPath(path.c_str()));
    NUFileIO io;
    io.setNoLock(true);
    ASSERT_EQ(0, io.read(obj));
    EXPECT_EQ(1u + 5000u * 5u, strlen(obj.getValueText("a")));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
}

} // namespace
