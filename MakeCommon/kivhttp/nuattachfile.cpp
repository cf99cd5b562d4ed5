#include "nuattachfile.h"

#include <cstring>
#include <new>

#include "comfile.h"
#include "comstr.h"

NUAttachFileList::NUAttachFileList() : NUNVList() {}

NUAttachFileList::NUAttachFileList(int capacity) : NUNVList(capacity) {}

NUAttachFileList::~NUAttachFileList()
{
    remove(nullptr);
}

int NUAttachFileList::addFile(const char* partName, const char* filePath, const char* fileName,
                              const char* mimeType)
{
    // A directory passes access() but cannot be read: its part would break
    // off the request after the headers went out.
    if (!partName || !*partName || !filePath || !*filePath || comFileReadable(filePath) != 1 ||
        comIsDir(filePath) == 1)
        return -1;
    NUAttachFileRecord* rec = new (std::nothrow) NUAttachFileRecord;
    if (!rec)
        return NUNV_NO_MEMORY;
    int r = 0;
    if (fileName && *fileName) {
        r = rec->fileName.set(fileName);
    } else {
        char base[1023];
        comPathBase(filePath, base, sizeof base, 0);
        r = rec->fileName.set(base);
    }
    if (r == 0)
        r = rec->filePath.set(filePath);
    if (r == 0)
        r = rec->mimeType.set(mimeType && *mimeType ? mimeType : "application/unknown");
    if (r != 0) {
        delete rec;
        return NUNV_NO_MEMORY;
    }
    r = NUNVList::insertAt(partName, rec, static_cast<int>(sizeof rec), count, true);
    if (r != 0)
        delete rec;
    return r;
}

NUAttachFileRecord* NUAttachFileList::recordAt(int index)
{
    void* v = nullptr;
    if (valueAt(index, &v) != 0)
        return nullptr;
    return static_cast<NUAttachFileRecord*>(v);
}

int NUAttachFileList::add(const char*, const void*, int)
{
    return -1;
}

int NUAttachFileList::insertAt(const char*, const void*, int, int, bool)
{
    return -1;
}

void NUAttachFileList::release(void* p)
{
    delete static_cast<NUAttachFileRecord*>(p);
}

char* NUAttachFileList::concat(const char*, const char*)
{
    return nullptr;
}

NUNVList* NUAttachFileList::clone()
{
    return nullptr;
}

int NUAttachFileList::textLength(const char*)
{
    return -1;
}
