// Name/value objects bound to a file: the callback interface through which
// NUFileIO hands over parsed lines and asks for entries to write, and the
// list implementation used for settings, status, config and pair files.
#ifndef NUIOOBJ_H
#define NUIOOBJ_H

#include "nunvlist.h"

// Size of the path buffers (path at most NUIO_PATH_SIZE - 1 bytes).
enum { NUIO_PATH_SIZE = 1024 };
// Size of the section buffers handed to sectionLine and getEntry.
enum { NUIO_SECTION_SIZE = 1024 };

class NUioObj {
public:
    virtual ~NUioObj();
    // Copies the bound path into buf (size bytes); non-zero on failure.
    virtual int getPath(char* buf, int size) = 0;
    // Offered every line read: 1 when the line is a section header and was
    // consumed (the new section name written to section, NUIO_SECTION_SIZE
    // bytes), 0 when not, other values end the read. Default: 0.
    virtual int sectionLine(char* line, char* section);
    virtual int addEntry(const char* name, const char* value,
                         const char* section) = 0;
    // Entry index for writing; non-zero when there is none. section
    // (NUIO_SECTION_SIZE bytes, "" on entry) may receive its section.
    virtual int getEntry(int index, char** name, char** value,
                         char* section) = 0;
    // Continuation text for the last entry. Default: 0, ignored.
    virtual int appendToLast(const char* text);
};

class NUioObjList : public NUioObj {
public:
    NUioObjList();
    ~NUioObjList() override;

    NUioObjList(const NUioObjList&) = delete;
    NUioObjList& operator=(const NUioObjList&) = delete;

    // -11 when no path is set; -11 also when it does not fit in size.
    int getPath(char* buf, int size) override;
    // Appends a copy of value (null stored as ""); -1 null name, -2 no list.
    int addEntry(const char* name, const char* value,
                 const char* section = nullptr) override;
    // Pointers into the list; -20 for no list or a bad index.
    int getEntry(int index, char** name, char** value,
                 char* section) override;
    // Appends text to the last entry's value; -7 when there is none.
    int appendToLast(const char* text) override;
    // "%s/%s" of dir and file ("%s%s" when dir ends with '/'), file alone
    // without dir; -1 for a null file or a path over 1023 bytes.
    virtual int setPath(const char* file, const char* dir = nullptr);
    // Malloc'd array of the values of every entry of that name, ended by a
    // null pointer (caller frees the array only); the count, 0 when none,
    // -1 null arguments, -2 no memory.
    virtual int findAll(const char* name, char*** values);

    int appendAt(int index, const char* text);
    int appendByName(const char* name, const char* text);
    // Replaces every entry of that name, or appends one.
    int set(const char* name, const char* value);
    // 0 and the first value of that name; -20 when none.
    int getValue(const char* name, char** value);
    const char* getValueText(const char* name);
    int indexOf(const char* name);
    int count() const;
    int removeEntry(const char* name);
    int removeEntryAt(int index);
    void clear();
    // Installs a list (owned from then on; a previous one is destroyed).
    void setList(NUNVList* newList);
    NUNVList* getList() { return list; }

private:
    int ensureList();

    NUNVList* list = nullptr;
    char path[NUIO_PATH_SIZE];
};

#endif
