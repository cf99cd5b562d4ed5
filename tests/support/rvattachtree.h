// Attachment trees below a table directory for the import tests: sibling
// sub-directories at every level, Japanese names, blanks, long names and an
// empty file.
#ifndef TESTS_RVATTACHTREE_H
#define TESTS_RVATTACHTREE_H

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "fakeserver.h"

namespace rvtest {

struct AttachTree {
    std::vector<std::string> dirs;   // sibling directory names of each level
    int depth;                       // levels of directories below the table directory
    std::vector<std::string> files;  // written in the table directory and every sub-directory
};

// The content of the file `rel`: binary, empty for names starting "empty".
inline std::string attachContent(const std::string& rel)
{
    size_t slash = rel.rfind('/');
    std::string name = slash == std::string::npos ? rel : rel.substr(slash + 1);
    if (name.compare(0, 5, "empty") == 0)
        return "";
    return std::string("\xff\xd8\0\r\n", 5) + rel + "\xe6\x97\xa5\x00\x01";
}

// Builds the tree below tableDir (which must exist). Returns each file's
// attachment path (relative to tableDir: "name" at the top, "/a/b/name"
// below) and its content; empty when something could not be made.
inline std::map<std::string, std::string> writeAttachTree(const std::string& tableDir,
                                                          const AttachTree& tree)
{
    std::map<std::string, std::string> out;
    std::vector<std::string> level = {""};
    for (int d = 0; d <= tree.depth; ++d) {
        std::vector<std::string> next;
        for (const std::string& rel : level) {
            for (const std::string& f : tree.files) {
                std::string path = rel.empty() ? f : rel + "/" + f;
                std::string content = attachContent(path);
                if (!writeFile(tableDir + (rel.empty() ? "/" : "") + path, content))
                    return {};
                out[path] = content;
            }
            if (d == tree.depth)
                continue;
            for (const std::string& n : tree.dirs) {
                std::string sub = rel + "/" + n;
                if (::mkdir((tableDir + sub).c_str(), 0755) != 0)
                    return {};
                next.push_back(sub);
            }
        }
        level.swap(next);
    }
    return out;
}

// Sibling names used by the tests: digits, blanks, UTF-8 and EUC-JP
// Japanese, and a 198-byte name.
inline std::vector<std::string> attachDirNames()
{
    std::string longName;
    for (int i = 0; i < 66; ++i)
        longName += "\xe9\x95\xb7";  // 長
    return {"1", "2 \xe7\xa9\xba\xe7\x99\xbd",          // "2 空白"
            "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",      // 日本語
            "\xc6\xfc\xcb\xdc \xa5\xc6",                 // EUC-JP 日本 テ
            longName};
}

}  // namespace rvtest

#endif
