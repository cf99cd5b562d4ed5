#include "nunvlist.h"

#include "comstr.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

const int kDefaultCapacity = 128;

char* dupName(const char* name, bool* failed)
{
    *failed = false;
    if (!name)
        return nullptr;
    size_t n = strlen(name) + 1;
    char* p = static_cast<char*>(malloc(n));
    if (!p) {
        *failed = true;
        return nullptr;
    }
    memcpy(p, name, n);
    return p;
}

// Value of the first entry whose name matches (any entry for a null name;
// same is called only with names that are set): 1, 0 when none matches.
template <class Same>
int findFirst(NUNVEntry* const* entries, int count, const char* name, void** value, Same same)
{
    if (!value)
        return NUNV_BAD_ARG;
    if (!entries)
        return NUNV_NO_ARRAY;
    for (int i = 0; i < count; i++) {
        NUNVEntry* e = entries[i];
        if (!e)
            continue;
        if (!name || (e->name && same(e->name))) {
            *value = e->value;
            return 1;
        }
    }
    return 0;
}

const char* valueText(const NUNVEntry* e)
{
    return (e && e->value) ? static_cast<const char*>(e->value) : "";
}

long numericValue(const NUNVEntry* e)
{
    // strtol clamps to LONG_MIN/LONG_MAX instead of overflowing like atoi.
    errno = 0;
    return strtol(valueText(e), nullptr, 10);
}

} // namespace

NUNVList::NUNVList(int cap)
{
    init(cap < 1 ? kDefaultCapacity : cap);
}

NUNVList::NUNVList()
{
    init(kDefaultCapacity);
}

NUNVList::~NUNVList()
{
    // Non-virtual dispatch here: the base hooks free what they allocated.
    if (entries) {
        for (int i = 0; i < count; i++) {
            NUNVEntry* e = entries[i];
            if (e) {
                free(e->name);
                free(e->value);
                free(e);
            }
        }
        free(entries);
    }
}

int NUNVList::init(int cap)
{
    if (entries)
        clearAll();
    if (cap < 1)
        cap = kDefaultCapacity;
    count = 0;
    capacity = 0;
    entries = static_cast<NUNVEntry**>(calloc(static_cast<size_t>(cap), sizeof(NUNVEntry*)));
    if (!entries)
        return NUNV_NO_MEMORY;
    capacity = cap;
    return 0;
}

void NUNVList::clearAll()
{
    if (entries) {
        remove(nullptr);
        free(entries);
        entries = nullptr;
    }
    count = 0;
    capacity = 0;
}

int NUNVList::reset()
{
    return init(kDefaultCapacity);
}

int NUNVList::checkIndex(int index) const
{
    if (!entries)
        return NUNV_NO_ARRAY;
    if (index < 0 || index >= count || !entries[index])
        return NUNV_BAD_INDEX;
    return 0;
}

int NUNVList::lengthAt(int index) const
{
    int rc = checkIndex(index);
    return rc ? rc : entries[index]->length;
}

int NUNVList::add(const char* name, const void* value, int length)
{
    return insertAt(name, value, length, count, false);
}

int NUNVList::addStringRef(const char* name, char* text)
{
    int len = text ? textLength(text) + 1 : 0;
    return insertAt(name, text, len, count, true);
}

int NUNVList::addStringCopy(const char* name, const char* text)
{
    if (!text)
        return add(name, nullptr, 0);
    return add(name, text, textLength(text) + 1);
}

int NUNVList::insertAt(const char* name, const void* value, int length,
                       int index, bool noCopy)
{
    if (!entries)
        return NUNV_NO_ARRAY;
    if (index < 0 || index > count)
        return NUNV_BAD_ARG;
    if (count >= capacity) {
        int rc = grow();
        if (rc)
            return rc;
    }
    NUNVEntry* e = nullptr;
    int rc = makeEntry(&e, name, value, length, noCopy);
    if (rc)
        return rc;
    memmove(&entries[index + 1], &entries[index],
            static_cast<size_t>(count - index) * sizeof(NUNVEntry*));
    entries[index] = e;
    count++;
    return 0;
}

int NUNVList::setValue(const char* name, const void* value, int length)
{
    if (!entries)
        return NUNV_NO_ARRAY;
    // value may be one of the values replaced here: it is copied before the
    // first of them is freed.
    void* own = nullptr;
    if (value && length > 0) {
        own = malloc(static_cast<size_t>(length));
        if (!own)
            return NUNV_NO_MEMORY;
        memcpy(own, value, static_cast<size_t>(length));
        value = own;
    }
    int changed = 0;
    for (int i = 0; i < count; i++) {
        NUNVEntry* e = entries[i];
        if (!e)
            continue;
        if (name && (!e->name || strcmp(e->name, name) != 0))
            continue;
        int rc = setValueAt(e, value, length);
        if (rc) {
            free(own);
            return rc;
        }
        changed++;
    }
    free(own);
    return changed;
}

int NUNVList::replaceAt(const void* value, int length, int index)
{
    int rc = checkIndex(index);
    if (rc)
        return rc;
    return setValueAt(entries[index], value, length);
}

int NUNVList::remove(const char* name)
{
    if (!entries)
        return NUNV_NO_ARRAY;
    // name may be the name of an entry removed here.
    std::string key(name ? name : "");
    if (name)
        name = key.c_str();
    int removed = 0;
    for (int i = 0; i < count; i++) {
        NUNVEntry* e = entries[i];
        if (!e)
            continue;
        if (name && (!e->name || strcmp(e->name, name) != 0))
            continue;
        freeEntry(e);
        entries[i] = nullptr;
        removed++;
    }
    if (removed) {
        int to = 0;
        for (int i = 0; i < count; i++) {
            if (entries[i])
                entries[to++] = entries[i];
        }
        for (int i = to; i < count; i++)
            entries[i] = nullptr;
        count -= removed;
    }
    return removed;
}

int NUNVList::removeAt(int index)
{
    int rc = checkIndex(index);
    if (rc)
        return rc;
    freeEntry(entries[index]);
    memmove(&entries[index], &entries[index + 1],
            static_cast<size_t>(count - index - 1) * sizeof(NUNVEntry*));
    count--;
    entries[count] = nullptr;
    return 0;
}

int NUNVList::find(const char* name, void** value)
{
    return findFirst(entries, count, name, value, [name](const char* entryName) {
        return entryName[0] == name[0] && strcmp(entryName, name) == 0;
    });
}

int NUNVList::findCaseless(const char* name, void** value)
{
    return findFirst(entries, count, name, value, [name](const char* entryName) {
        return comStrCaseCmp(entryName, name) == 0;
    });
}

int NUNVList::nameAt(int index, char** name)
{
    if (!name)
        return NUNV_BAD_ARG;
    int rc = checkIndex(index);
    if (rc)
        return rc;
    *name = entries[index]->name;
    return 0;
}

int NUNVList::valueAt(int index, void** value)
{
    if (!value)
        return NUNV_BAD_ARG;
    int rc = checkIndex(index);
    if (rc)
        return rc;
    *value = entries[index]->value;
    return 0;
}

int NUNVList::grow()
{
    if (!entries)
        return NUNV_NO_ARRAY;
    if (capacity > INT_MAX / 2 ||
        static_cast<size_t>(capacity) * 2 > SIZE_MAX / sizeof(NUNVEntry*))
        return NUNV_NO_MEMORY;
    int newCap = capacity * 2;
    NUNVEntry** grown = static_cast<NUNVEntry**>(
        calloc(static_cast<size_t>(newCap), sizeof(NUNVEntry*)));
    if (!grown)
        return NUNV_NO_MEMORY;
    memcpy(grown, entries, static_cast<size_t>(count) * sizeof(NUNVEntry*));
    free(entries);
    entries = grown;
    capacity = newCap;
    return 0;
}

void* NUNVList::allocate(unsigned size)
{
    if (size == 0)
        return nullptr;
    return malloc(size);
}

void NUNVList::release(void* p)
{
    if (p)
        free(p);
}

char* NUNVList::concat(const char* a, const char* b)
{
    if (!a)
        return nullptr;
    if (!b)
        b = "";
    size_t la = strlen(a), lb = strlen(b);
    if (la + lb + 1 > UINT_MAX || la + lb + 1 < la)
        return nullptr;
    char* p = static_cast<char*>(allocate(static_cast<unsigned>(la + lb + 1)));
    if (!p)
        return nullptr;
    memcpy(p, a, la);
    memcpy(p + la, b, lb + 1);
    return p;
}

int NUNVList::textLength(const char* s)
{
    if (!s)
        return 0;
    size_t n = strlen(s);
    return n > static_cast<size_t>(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(n);
}

NUNVList* NUNVList::clone()
{
    NUNVList* copy = new (std::nothrow) NUNVList(kDefaultCapacity);
    if (!copy)
        return nullptr;
    if (!copy->entries) {
        delete copy;
        return nullptr;
    }
    for (int i = 0; i < count; i++) {
        NUNVEntry* e = entries[i];
        if (!e)
            continue;
        // Copy the stored length: values need not be texts.
        if (copy->add(e->name, e->value, e->value ? e->length : 0) != 0) {
            delete copy;
            return nullptr;
        }
    }
    return copy;
}

void NUNVList::freeEntry(NUNVEntry* entry)
{
    if (!entry)
        return;
    free(entry->name);
    release(entry->value);
    free(entry);
}

int NUNVList::makeEntry(NUNVEntry** out, const char* name, const void* value,
                        int length, bool noCopy)
{
    if (!out || length < 0)
        return NUNV_BAD_ARG;
    NUNVEntry* e = static_cast<NUNVEntry*>(calloc(1, sizeof(NUNVEntry)));
    if (!e)
        return NUNV_NO_MEMORY;
    bool failed = false;
    e->name = dupName(name, &failed);
    if (failed) {
        free(e);
        return NUNV_NO_MEMORY;
    }
    if (noCopy) {
        e->value = const_cast<void*>(value);
    } else if (value && length > 0) {
        e->value = allocate(static_cast<unsigned>(length));
        if (!e->value) {
            free(e->name);
            free(e);
            return NUNV_NO_MEMORY;
        }
        memcpy(e->value, value, static_cast<size_t>(length));
    }
    e->length = e->value ? length : 0;
    *out = e;
    return 0;
}

int NUNVList::setValueAt(NUNVEntry* entry, const void* value, int length)
{
    if (!entry || length < 0)
        return NUNV_BAD_ARG;
    void* copy = nullptr;
    if (value && length > 0) {
        copy = allocate(static_cast<unsigned>(length));
        if (!copy)
            return NUNV_NO_MEMORY;
        memcpy(copy, value, static_cast<size_t>(length));
    }
    release(entry->value);
    entry->value = copy;
    entry->length = copy ? length : 0;
    return 0;
}

void NUNVList::sortByValue()
{
    if (!entries || count < 2)
        return;
    std::sort(entries, entries + count, [](const NUNVEntry* a, const NUNVEntry* b) {
        return comStrCaseCmp(valueText(a), valueText(b)) < 0;
    });
}

void NUNVList::sortByNumericValue()
{
    if (!entries || count < 2)
        return;
    std::sort(entries, entries + count, [](const NUNVEntry* a, const NUNVEntry* b) {
        return numericValue(a) < numericValue(b);
    });
}
