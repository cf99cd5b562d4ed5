// The attachment walk below table directories that lie under long paths,
// with sibling sub-trees at every level: each regular file is listed once.
#include "rvmigrateimportbat.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fakeserver.h"
#include "rvattachtree.h"

namespace {

// A directory below root whose path is at least `bytes` long, made of
// Japanese components with blanks.
std::string makeDeepDir(const std::string& root, size_t bytes)
{
    std::string dir = root;
    for (int i = 0; dir.size() < bytes; ++i) {
        dir += "/\xe4\xbd\x9c\xe6\xa5\xad \xe9\xa0\x98\xe5\x9f\x9f " + std::to_string(i);  // 作業 領域
        if (::mkdir(dir.c_str(), 0755) != 0)
            return "";
    }
    return dir;
}

std::vector<std::string> walkAttachments(const std::string& tableDir)
{
    std::vector<std::string> found;
    RvMigrateImportBat::m_search_list = &found;
    RvMigrateImportBat::m_search_base_dir = tableDir;
    RvMigrateImportBat::m_search_dir = tableDir;
    EXPECT_EQ(0, RvMigrateImportBat::searchAttachDir());
    EXPECT_EQ(tableDir, RvMigrateImportBat::m_search_dir);
    RvMigrateImportBat::m_search_list = nullptr;
    std::sort(found.begin(), found.end());
    return found;
}

TEST(ImportBatWalk, EveryFileOnceUnderLongPaths)
{
    const std::vector<std::string> files = {"photo 1.jpg", "empty.txt",
                                            "\xe5\x86\x99\xe7\x9c\x9f.jpg"};  // 写真.jpg
    const std::vector<std::string> names = rvtest::attachDirNames();
    struct {
        size_t baseBytes;  // length of the path above the table directory
        rvtest::AttachTree tree;
    } cases[] = {
        {10, {{"a", "b", "c", "d", "e", "f", "g", "h"}, 1, files}},
        {110, {names, 2, files}},
        {240, {{"1", names[2], names[4]}, 3, files}},
        {400, {{names[4], "2", names[3]}, 3, {"empty", "x"}}},
        // deeper paths than a walk takes: those sub-trees are left out
        {800, {{"1", names[4]}, 2, {"a", "empty"}}},
    };
    for (const auto& c : cases) {
        rvtest::ScratchDir tmp;
        std::string base = makeDeepDir(tmp.path(), c.baseBytes);
        ASSERT_FALSE(base.empty());
        std::string tableDir = base + "/tbl00001";
        ASSERT_EQ(0, ::mkdir(tableDir.c_str(), 0755));
        std::map<std::string, std::string> written = rvtest::writeAttachTree(tableDir, c.tree);
        ASSERT_FALSE(written.empty());

        std::vector<std::string> expected;
        for (const auto& w : written) {
            size_t slash = w.first.rfind('/');
            size_t dirBytes = tableDir.size() + (slash == std::string::npos ? 0 : slash);
            if (dirBytes <= 1023)
                expected.push_back(w.first);
        }
        ASSERT_FALSE(expected.empty());
        std::vector<std::string> found = walkAttachments(tableDir);
        EXPECT_EQ(expected.size(), found.size()) << "base " << c.baseBytes;
        EXPECT_EQ(found.end(), std::adjacent_find(found.begin(), found.end()));
        std::vector<std::string> missing;
        std::set_difference(expected.begin(), expected.end(), found.begin(), found.end(),
                            std::back_inserter(missing));
        EXPECT_TRUE(missing.empty()) << missing.size() << " missing, first " << missing[0];
    }
}

} // namespace
