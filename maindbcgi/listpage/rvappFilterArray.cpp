#include "rvappFilterArray.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "comfile.h"
#include "comtrace.h"
#include "ndoc.h"
#include "rvcompair.h"

namespace {

const char* const kSrc = "rvappFilterArray";
const int kRetries = 10;

// Text of a child leaf, or null when the child is absent.
const NString* childValue(const NDoc& node, const char* name)
{
    int i = node.findChild(name);
    if (i < 0)
        return nullptr;
    return &node.getChild(static_cast<unsigned>(i)).getValue();
}

RvDbSearchCondition parseCondition(const NDoc& node)
{
    RvDbSearchCondition cond;
    cond.is_new = true;
    if (!node.isBranch())
        return cond;
    if (const NString* v = childValue(node, "condition_id")) {
        if (!v->isNullOrEmpty())
            cond.cond_id = std::atoi(v->c_str());
    }
    if (const NString* v = childValue(node, "column"))
        cond.col_id = *v;
    if (const NString* v = childValue(node, "type"))
        cond.comp_val_type = std::atoi(v->c_str());
    if (const NString* v = childValue(node, "method"))
        cond.comp_type = *v;
    if (const NString* v = childValue(node, "keyword"))
        cond.comp_val = *v;
    return cond;
}

}  // namespace

int rvappFilterArrayWrite(const char* path, const std::vector<RvDbSearchFilterPtr>& filters,
                          const NString& searchType)
{
    if (path == nullptr || path[0] == '\0') {
        COMTRACE_SRC(kSrc, "ret[%d] path[]", -1);
        return -1;
    }
    RvPairList pairs;
    pairs.emplace_back(NString("type"), searchType);
    NString name;
    NString value;
    for (size_t i = 0; i < filters.size(); ++i) {
        const RvDbSearchFilter* f = filters[i].get();
        if (f == nullptr)
            continue;
        name.format("f_%d.ope", static_cast<int>(i));
        value.format("%c", f->condition);
        pairs.emplace_back(name, value);
        name.format("f_%d.fid", static_cast<int>(i));
        pairs.emplace_back(name, f->filter_id);
        for (size_t j = 0; j < f->conditions.size(); ++j) {
            const RvDbSearchCondition& c = f->conditions[j];
            NString prefix;
            prefix.format("f_%d.cond_%d.", static_cast<int>(i), static_cast<int>(j));
            name.format("%scolumn", prefix.c_str());
            pairs.emplace_back(name, c.col_id);
            name.format("%stype", prefix.c_str());
            value.format("%d", c.comp_val_type);
            pairs.emplace_back(name, value);
            name.format("%smethod", prefix.c_str());
            pairs.emplace_back(name, c.comp_type);
            name.format("%skeyword", prefix.c_str());
            pairs.emplace_back(name, c.comp_val);
        }
    }
    unlink(path);
    int ret = rvcomWriteFileFromPairArray(pairs, path, kRetries);
    if (ret != 0) {
        COMTRACE_SRC(kSrc, "ret[%d]", ret);
        return ret;
    }
    return 0;
}

int rvappFilterArrayRead(const char* path, std::vector<RvDbSearchFilterPtr>& filters,
                         NString& searchType)
{
    if (path == nullptr || path[0] == '\0') {
        COMTRACE_SRC(kSrc, "ret[%d] path[]", -1);
        return -1;
    }
    if (!comFileExists(path))
        return 0;
    RvPairList pairs;
    int ret = rvcomReadFileToPairArray(pairs, path, kRetries);
    if (ret != 0) {
        COMTRACE_SRC(kSrc, "ret[%d]", ret);
        return ret;
    }
    NDoc tree;
    for (const RvPair& p : pairs)
        tree.setChildValue(p.first.c_str(), p.second.c_str());
    ret = rvappFilterArrayParse(tree, filters);
    if (ret != 0) {
        COMTRACE_SRC(kSrc, "ret[%d]", ret);
        return ret;
    }
    const NString* type = childValue(tree, "type");
    searchType = type ? *type : NString("");
    return 0;
}

int rvappFilterArrayParse(const NDoc& tree, std::vector<RvDbSearchFilterPtr>& filters)
{
    if (!tree.isBranch())
        return 0;
    for (unsigned i = 0; i < tree.getChildCount(); ++i) {
        const char* name = tree.getChildName(i);
        if (name == nullptr || std::strncmp(name, "f_", 2) != 0)
            continue;
        const NDoc& node = tree.getChild(i);
        RvDbSearchFilterPtr filter = std::make_shared<RvDbSearchFilter>();
        filters.push_back(filter);
        if (!node.isBranch())
            continue;
        for (unsigned j = 0; j < node.getChildCount(); ++j) {
            const char* key = node.getChildName(j);
            const NDoc& child = node.getChild(j);
            if (key != nullptr && std::strcmp(key, "ope") == 0) {
                filter->condition = child.getValue().c_str()[0];
            } else if (key != nullptr && std::strcmp(key, "fid") == 0) {
                filter->filter_id = child.getValue().isNull() ? NString("") : child.getValue();
            } else {
                filter->conditions.push_back(parseCondition(child));
            }
        }
    }
    return 0;
}
