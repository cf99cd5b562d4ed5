#include "nuioobj.h"

#include <cstdlib>
#include <cstring>
#include <new>

NUioObj::~NUioObj() = default;

int NUioObj::sectionLine(char*, char*)
{
    return 0;
}

int NUioObj::appendToLast(const char*)
{
    return 0;
}

NUioObjList::NUioObjList()
{
    path[0] = '\0';
}

NUioObjList::~NUioObjList()
{
    delete list;
}

int NUioObjList::ensureList()
{
    if (list)
        return 0;
    list = new (std::nothrow) NUNVList(128);
    if (!list)
        return -2;
    if (list->getCapacity() == 0) {
        delete list;
        list = nullptr;
        return -2;
    }
    return 0;
}

int NUioObjList::setPath(const char* file, const char* dir)
{
    if (!file)
        return -1;
    size_t lf = strlen(file);
    if (dir && *dir) {
        size_t ld = strlen(dir);
        if (ld + lf + 1 > NUIO_PATH_SIZE - 1)
            return -1;
        if (dir[ld - 1] == '/') {
            memcpy(path, dir, ld);
            memcpy(path + ld, file, lf + 1);
        } else {
            memcpy(path, dir, ld);
            path[ld] = '/';
            memcpy(path + ld + 1, file, lf + 1);
        }
        return 0;
    }
    if (lf > NUIO_PATH_SIZE - 1)
        return -1;
    memcpy(path, file, lf + 1);
    return 0;
}

int NUioObjList::getPath(char* buf, int size)
{
    if (path[0] == '\0')
        return -11;
    size_t n = strlen(path);
    if (!buf || size <= 0 || n >= static_cast<size_t>(size))
        return -11;
    memcpy(buf, path, n + 1);
    return 0;
}

int NUioObjList::addEntry(const char* name, const char* value, const char*)
{
    if (!name)
        return -1;
    if (ensureList())
        return -2;
    return list->addStringCopy(name, value ? value : "");
}

int NUioObjList::getEntry(int index, char** name, char** value, char*)
{
    if (!list)
        return -20;
    char* n = nullptr;
    void* v = nullptr;
    if (list->nameAt(index, &n) != 0 || list->valueAt(index, &v) != 0)
        return -20;
    if (name)
        *name = n;
    if (value)
        *value = static_cast<char*>(v);
    return 0;
}

int NUioObjList::appendToLast(const char* text)
{
    if (!list || list->getCount() == 0)
        return -7;
    return appendAt(list->getCount() - 1, text);
}

int NUioObjList::appendAt(int index, const char* text)
{
    if (!list)
        return -7;
    void* old = nullptr;
    if (list->valueAt(index, &old) != 0)
        return -7;
    char* joined = list->concat(old ? static_cast<const char*>(old) : "", text);
    if (!joined)
        return -2;
    int rc = list->replaceAt(joined, list->textLength(joined) + 1, index);
    list->release(joined);
    if (rc == -6)
        return -2;
    return rc;
}

int NUioObjList::appendByName(const char* name, const char* text)
{
    int i = indexOf(name);
    if (i < 0)
        return -7;
    return appendAt(i, text);
}

int NUioObjList::set(const char* name, const char* value)
{
    if (!name)
        return -1;
    if (ensureList())
        return -2;
    if (!value)
        value = "";
    int rc = list->setValue(name, value, list->textLength(value) + 1);
    if (rc < 0)
        return rc;
    if (rc == 0) {
        rc = list->addStringCopy(name, value);
        if (rc < 0)
            return rc;
    }
    return 0;
}

int NUioObjList::getValue(const char* name, char** value)
{
    if (!list)
        return -20;
    void* v = nullptr;
    if (list->find(name, &v) != 1)
        return -20;
    if (value)
        *value = static_cast<char*>(v);
    return 0;
}

const char* NUioObjList::getValueText(const char* name)
{
    char* v = nullptr;
    if (getValue(name, &v) != 0)
        return nullptr;
    return v;
}

int NUioObjList::indexOf(const char* name)
{
    if (!name || !*name || !list)
        return -1;
    for (int i = 0; i < list->getCount(); i++) {
        char* n = nullptr;
        if (list->nameAt(i, &n) == 0 && strcmp(n ? n : "", name) == 0)
            return i;
    }
    return -1;
}

int NUioObjList::count() const
{
    return list ? list->getCount() : 0;
}

int NUioObjList::removeEntry(const char* name)
{
    if (!name)
        return -1;
    if (!list)
        return 0;
    int rc = list->remove(name);
    return rc < 0 ? rc : 0;
}

int NUioObjList::removeEntryAt(int index)
{
    if (!list)
        return 0;
    return list->removeAt(index);
}

int NUioObjList::findAll(const char* name, char*** values)
{
    if (!name || !values)
        return -1;
    if (!list)
        return 0;
    int n = 0;
    for (int i = 0; i < list->getCount(); i++) {
        char* nm = nullptr;
        if (list->nameAt(i, &nm) == 0 && nm && strcmp(nm, name) == 0)
            n++;
    }
    if (n == 0)
        return 0;
    char** out = static_cast<char**>(malloc((static_cast<size_t>(n) + 1) * sizeof(char*)));
    if (!out)
        return -2;
    int k = 0;
    for (int i = 0; i < list->getCount() && k < n; i++) {
        char* nm = nullptr;
        void* v = nullptr;
        if (list->nameAt(i, &nm) == 0 && nm && strcmp(nm, name) == 0) {
            list->valueAt(i, &v);
            out[k++] = static_cast<char*>(v);
        }
    }
    out[k] = nullptr;
    *values = out;
    return n;
}

void NUioObjList::clear()
{
    delete list;
    list = nullptr;
}

void NUioObjList::setList(NUNVList* newList)
{
    if (newList != list)
        delete list;
    list = newList;
}
