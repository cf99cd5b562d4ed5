// Document tree and its compact JSON writer.
#include "ndoc.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <strings.h>

int NOutputFunctor::operator()(const char* fmt, ...)
{
    va_list ap;
    if (buffer) {
        va_start(ap, fmt);
        buffer->vappendf(fmt, ap);
        va_end(ap);
    }
    if (file) {
        va_start(ap, fmt);
        int r = vfprintf(file, fmt, ap);
        va_end(ap);
        if (r < 0 || ferror(file))
            failed = true;
    }
    return 0;
}

// ---- construction and sharing ---------------------------------------------

NDoc::NDoc() : body(new Body{1, new std::vector<NDoc>()}) {}

NDoc::NDoc(const NString& value) : body(new Body{1, nullptr}), value(value) {}

NDoc::NDoc(const char* name, const char* value)
    : body(new Body{1, nullptr}), value(value), name(name) {}

NDoc::NDoc(const char* name, const char* value, bool branch)
    : body(new Body{1, branch ? new std::vector<NDoc>() : nullptr}), value(value), name(name) {}

NDoc::NDoc(const NDoc& other) : body(other.body), value(other.value), name(other.name)
{
    ++body->refs;
}

NDoc& NDoc::operator=(const NDoc& other)
{
    if (body != other.body) {
        ++other.body->refs;
        release();
        body = other.body;
    }
    value = other.value;
    name = other.name;
    return *this;
}

NDoc::~NDoc()
{
    release();
}

void NDoc::release()
{
    if (--body->refs == 0) {
        delete body->list;
        delete body;
    }
    body = nullptr;
}

std::vector<NDoc>& NDoc::makeList()
{
    if (!body->list)
        body->list = new std::vector<NDoc>();
    return *body->list;
}

const NDoc& NDoc::empty()
{
    static const NDoc node{NString()};
    return node;
}

// ---- plain accessors --------------------------------------------------------

bool NDoc::isBranch() const { return body->list != nullptr; }

void NDoc::setName(const char* text) { name = NString(text); }

const NString& NDoc::getName() const { return name; }

const NString& NDoc::getValue() const { return value; }

void NDoc::setValue(const char* text) { value = NString(text); }

unsigned NDoc::getChildCount() const
{
    return body->list ? static_cast<unsigned>(body->list->size()) : 0;
}

unsigned NDoc::getUnnamedChildCount() const
{
    unsigned n = 0;
    if (body->list)
        for (const NDoc& c : *body->list)
            if (c.name.isNullOrEmpty())
                ++n;
    return n;
}

unsigned NDoc::getNamedChildCount() const
{
    return getChildCount() - getUnnamedChildCount();
}

// ---- changing the children --------------------------------------------------

void NDoc::addChild(const NDoc& child)
{
    NDoc copy(child);
    // The name text is copied: setChild renames the node it is given.
    std::string n = child.name.c_str();
    setChild(child.name.isNull() ? nullptr : n.c_str(), copy);
}

void NDoc::addValue(const char* text)
{
    makeList().push_back(NDoc(NString(text)));
}

void NDoc::setChild(const char* path, NDoc& node)
{
    if (path && *path && std::strchr(path, '.')) {
        const char* dot = std::strchr(path, '.');
        std::string head(path, dot - path);
        std::string rest(dot + 1);
        int idx = findChild(head.c_str(), 0, false);
        if (idx < 0) {
            NDoc branch(head.c_str(), nullptr, true);
            addChild(branch);
            idx = findChild(head.c_str(), 0, false);
        }
        (*body->list)[idx].setChild(rest.c_str(), node);
        return;
    }
    std::vector<NDoc>& list = makeList();
    if (path && *path) {
        int idx = findChild(path, 0, false);
        if (idx >= 0) {
            // The child keeps its name (it equals the last part) and takes
            // the node's children and value.
            NDoc& c = list[idx];
            NString v = node.value;
            if (c.body != node.body) {
                Body* b = node.body;
                ++b->refs;
                c.release();
                c.body = b;
            }
            c.value = v;
            return;
        }
    }
    node.setName(path);
    list.push_back(node);
}

void NDoc::setChildValue(const char* path, const char* text)
{
    NDoc leaf(nullptr, text);
    setChild(path, leaf);
}

void NDoc::clearChildren()
{
    makeList().clear();
}

void NDoc::removeChild(unsigned i)
{
    if (body->list && i < body->list->size())
        body->list->erase(body->list->begin() + i);
}

// ---- lookups ------------------------------------------------------------------

const char* NDoc::getChildName(unsigned i) const
{
    if (!body->list)
        return nullptr;
    const NDoc& c = body->list->at(i);
    return c.name.isNull() ? nullptr : c.name.c_str();
}

NDoc& NDoc::getChild(unsigned i)
{
    if (!body->list)
        throw std::out_of_range("NDoc& NDoc::getChild()");
    return body->list->at(i);
}

const NDoc& NDoc::getChild(unsigned i) const
{
    if (!body->list)
        throw std::out_of_range("NDoc& NDoc::getChild()");
    return body->list->at(i);
}

int NDoc::findChild(const char* text, int start, bool caseless) const
{
    if (!body->list)
        return -1;
    const std::vector<NDoc>& list = *body->list;
    for (size_t i = start < 0 ? 0 : static_cast<size_t>(start); i < list.size(); ++i) {
        const NString& n = list[i].name;
        if (!text) {
            if (n.isNull())
                return static_cast<int>(i);
            continue;
        }
        if (n.isNull())
            continue;
        int cmp = caseless ? strcasecmp(n.c_str(), text) : std::strcmp(n.c_str(), text);
        if (cmp == 0)
            return static_cast<int>(i);
    }
    return -1;
}

NDoc* NDoc::find(const char* path, bool caseless)
{
    if (!body->list)
        return nullptr;
    if (path && *path) {
        const char* dot = std::strchr(path, '.');
        if (dot) {
            std::string head(path, dot - path);
            int idx = findChild(head.c_str(), 0, caseless);
            if (idx < 0)
                return nullptr;
            return (*body->list)[idx].find(dot + 1, caseless);
        }
    }
    // The last part always matches exactly.
    int idx = findChild(path, 0, false);
    return idx < 0 ? nullptr : &(*body->list)[idx];
}

const NDoc* NDoc::find(const char* path, bool caseless) const
{
    return const_cast<NDoc*>(this)->find(path, caseless);
}

const NDoc& NDoc::operator[](unsigned i) const
{
    return i < getChildCount() ? (*body->list)[i] : empty();
}

const NDoc& NDoc::operator[](const char* text) const
{
    int idx = findChild(text, 0, false);
    return idx < 0 ? empty() : (*body->list)[idx];
}

NDoc& NDoc::operator[](const char* text)
{
    int idx = findChild(text, 0, false);
    if (idx >= 0)
        return (*body->list)[idx];
    std::vector<NDoc>& list = makeList();
    list.push_back(NDoc(text, nullptr));
    return list.back();
}

NDoc& NDoc::operator[](unsigned i)
{
    std::vector<NDoc>& list = makeList();
    while (list.size() <= i)
        list.push_back(NDoc(NString()));
    return list[i];
}

// ---- paths and merging ----------------------------------------------------------

void NDoc::collectPaths(const NString& prefix, PathMode mode, std::vector<NString>& out) const
{
    if (!body->list)
        return;
    for (const NDoc& c : *body->list) {
        if (c.name.isNullOrEmpty())
            continue;
        NString path = prefix.isNullOrEmpty() ? c.name : prefix + NString(".") + c.name;
        if (c.isBranch()) {
            if (mode != PathsLeaves)
                out.push_back(path);
            c.collectPaths(path, mode, out);
        } else if (mode != PathsBranches) {
            out.push_back(path);
        }
    }
}

std::vector<NString> NDoc::getAllPaths() const
{
    std::vector<NString> out;
    collectPaths(NString(), PathsAll, out);
    return out;
}

std::vector<NString> NDoc::getBranchPaths() const
{
    std::vector<NString> out;
    collectPaths(NString(), PathsBranches, out);
    return out;
}

std::vector<NString> NDoc::getLeafPaths() const
{
    std::vector<NString> out;
    collectPaths(NString(), PathsLeaves, out);
    return out;
}

void NDoc::merge(const NDoc& other)
{
    if (other.body == body || !other.body->list)
        return;
    // Work on a copy of the list: adding may grow this node's own list.
    std::vector<NDoc> children = *other.body->list;
    for (const NDoc& c : children) {
        int idx = -1;
        if (c.isBranch() && !c.name.isNullOrEmpty())
            idx = findChild(c.name.c_str(), 0, false);
        if (idx >= 0)
            (*body->list)[idx].merge(c);
        else
            addChild(c);
    }
}

// ---- JSON ---------------------------------------------------------------------------

NString NDoc::escapeJson(const char* text)
{
    if (!text || !*text)
        return NString("");
    NStringBuffer buf(4096);
    const char* run = text;
    const char* p = text;
    for (; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        buf.append(run, static_cast<unsigned>(p - run));
        run = p + 1;
        switch (c) {
        case '"': buf.append("\\\""); break;
        case '\\': buf.append("\\\\"); break;
        case '\t': buf.append("\\t"); break;
        case '\n': buf.append("\\n"); break;
        case '\r': break;
        default: buf.appendf("\\u%04X", c); break;
        }
    }
    buf.append(run, static_cast<unsigned>(p - run));
    char* data = buf.detach();
    return data ? NString(data) : NString("");
}

void NDoc::writeJson(NOutputFunctor& out) const
{
    unsigned count = getChildCount();
    bool object = count == 0 || getNamedChildCount() > 0;
    out(object ? "{" : "[");
    for (unsigned i = 0; i < count; ++i) {
        const NDoc& c = (*body->list)[i];
        if (i > 0)
            out(", ");
        if (object)
            out("\"%s\": ", escapeJson(c.name.c_str()).c_str());
        if (c.isBranch())
            c.writeJson(out);
        else
            out("\"%s\"", escapeJson(c.value.c_str()).c_str());
    }
    out(object ? "}" : "]");
}

void NDoc::toJson(NOutputFunctor& out) const
{
    writeJson(out);
}
