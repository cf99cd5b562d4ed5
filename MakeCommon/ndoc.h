// Document tree of named text values with dotted-path access, and its
// compact JSON writer.
#ifndef NDOC_H
#define NDOC_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "nstring.h"

// Destination of formatted output: appends to `buffer` and/or prints to
// `file`, whichever is set.
class NOutputFunctor {
public:
    explicit NOutputFunctor(NStringBuffer* buffer = nullptr, FILE* file = nullptr)
        : buffer(buffer), file(file), failed(false) {}
    virtual ~NOutputFunctor() {}

    // printf-style output; returns 0. A failed write to `file` is recorded
    // (see hasError).
    virtual int operator()(const char* fmt, ...) NSTRING_PRINTF(2, 3);

    // True once a write to `file` has failed.
    bool hasError() const { return failed; }

    NStringBuffer* buffer;
    FILE* file;

protected:
    bool failed;
};

// A node is a leaf (name and value) or a branch (name, value and an ordered
// child list). Copies share the child list: a change made through one copy
// is seen by all of them.
class NDoc {
public:
    // Empty branch with null name and value.
    NDoc();
    // Leaf with that value and a null name.
    explicit NDoc(const NString& value);
    // Leaf.
    NDoc(const char* name, const char* value);
    // Empty branch when `branch` is true, else a leaf.
    NDoc(const char* name, const char* value, bool branch);
    NDoc(const NDoc& other);
    NDoc& operator=(const NDoc& other);
    virtual ~NDoc();

    virtual bool isBranch() const;
    virtual void setName(const char* name);
    virtual const NString& getName() const;
    virtual const NString& getValue() const;
    virtual void setValue(const char* value);

    virtual unsigned getChildCount() const;
    // Children whose name is null or "".
    virtual unsigned getUnnamedChildCount() const;
    virtual unsigned getNamedChildCount() const;

    // setChild under the child's own name: a same-named child is
    // overwritten, an unnamed one is appended.
    virtual void addChild(const NDoc& child);
    // Appends an unnamed leaf (an array element).
    virtual void addValue(const char* value);
    // Places `node` at the dotted `path`, creating missing branches. An
    // existing child of the last part's name takes over the node's children
    // and value; otherwise the node, named with the last part, is appended.
    virtual void setChild(const char* path, NDoc& node);
    // setChild with a leaf holding `value`.
    virtual void setChildValue(const char* path, const char* value);
    // Removes all children; a branch stays a branch.
    virtual void clearChildren();
    // Erases child i; nothing happens when there is none.
    virtual void removeChild(unsigned i);
    // Name of child i (null for a leaf or a null name); throws
    // std::out_of_range past the end.
    virtual const char* getChildName(unsigned i) const;
    // Child i; throws std::out_of_range on a leaf or past the end.
    virtual NDoc& getChild(unsigned i);
    virtual const NDoc& getChild(unsigned i) const;
    // Index of the first child at or after `start` named `name`, else -1.
    // A null name matches only a null name.
    virtual int findChild(const char* name, int start = 0, bool caseless = false) const;
    // Node at the dotted path below this one, or null. With `caseless` all
    // parts but the last are compared without case.
    virtual NDoc* find(const char* path, bool caseless = false);
    const NDoc* find(const char* path, bool caseless = false) const;
    // Dotted paths of the named descendants, depth first.
    virtual std::vector<NString> getAllPaths() const;
    virtual std::vector<NString> getBranchPaths() const;
    virtual std::vector<NString> getLeafPaths() const;
    // Merges other's children into this node, branch by branch.
    virtual void merge(const NDoc& other);

    // Child i, or the empty node.
    const NDoc& operator[](unsigned i) const;
    // First child of that name, or the empty node.
    const NDoc& operator[](const char* name) const;
    // First child of that name, appended as an empty leaf when missing.
    NDoc& operator[](const char* name);
    // Child i, appending unnamed empty leaves up to it.
    NDoc& operator[](unsigned i);

    // Writes the node as compact JSON.
    void toJson(NOutputFunctor& out) const;

    // The process-wide empty node that stands for "absent".
    static const NDoc& empty();

    // JSON string escaping of a text (no surrounding quotes).
    static NString escapeJson(const char* text);

private:
    struct Body {
        int32_t refs;
        std::vector<NDoc>* list;  // null for a leaf
    };
    enum PathMode { PathsAll, PathsBranches, PathsLeaves };

    void release();
    std::vector<NDoc>& makeList();
    void collectPaths(const NString& prefix, PathMode mode, std::vector<NString>& out) const;
    void writeJson(NOutputFunctor& out) const;

    Body* body;
    NString value;
    NString name;
};

#endif
