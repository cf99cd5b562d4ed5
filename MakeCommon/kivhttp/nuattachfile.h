// The file parts of a multipart request: a name/value list whose entries are
// named by the part name and hold pointers to NUAttachFileRecord.
#ifndef NUATTACHFILE_H
#define NUATTACHFILE_H

#include "nunvlist.h"
#include "nustring.h"

struct NUAttachFileRecord {
    NUString filePath;   // the file that is sent
    NUString fileName;   // the name given in the part header
    NUString mimeType;
    long long size = -1; // size measured for the Content-Length, -1 before
};

class NUAttachFileList : public NUNVList {
public:
    NUAttachFileList();
    explicit NUAttachFileList(int capacity);
    ~NUAttachFileList() override;

    // Part name and path must not be empty and the file must be readable
    // and not a directory (else -1); the file name defaults to the path's
    // last component, the type to "application/unknown". The list's add result otherwise.
    int addFile(const char* partName, const char* filePath, const char* fileName,
                const char* mimeType);
    // The record of entry index, or null.
    NUAttachFileRecord* recordAt(int index);

    // Plain text entries are refused.
    int add(const char* name, const void* value, int length) override;
    int insertAt(const char* name, const void* value, int length, int index,
                 bool noCopy) override;
    void release(void* p) override;
    char* concat(const char* a, const char* b) override;
    NUNVList* clone() override;
    int textLength(const char* s) override;
};

#endif
