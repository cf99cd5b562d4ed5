// The list page's current search (search type and filters with their
// conditions) kept as a name/value pair file between requests.
#ifndef RVAPPFILTERARRAY_H
#define RVAPPFILTERARRAY_H

#include <vector>

#include "RvDbSearchFilter.h"
#include "nstring.h"

class NDoc;

// Writes "type", then per filter "f_<i>.ope" and "f_<i>.fid" followed by
// "f_<i>.cond_<j>.column", ".type", ".method" and ".keyword" of each
// condition. The old file is removed first. 0; -1 for an empty path; the
// pair-file write's code (-100008).
int rvappFilterArrayWrite(const char* path, const std::vector<RvDbSearchFilterPtr>& filters,
                          const NString& searchType);

// Reads such a file: filters are appended, searchType takes "type" (empty
// when absent). A missing file is no failure and leaves both untouched.
// 0; -1 for an empty path; the pair-file read's code (-100007, -100010).
int rvappFilterArrayRead(const char* path, std::vector<RvDbSearchFilterPtr>& filters,
                         NString& searchType);

// Appends one filter per "f_*" child of the tree, with a condition
// (is_new set) per child of it other than "ope" and "fid". 0.
int rvappFilterArrayParse(const NDoc& tree, std::vector<RvDbSearchFilterPtr>& filters);

#endif
