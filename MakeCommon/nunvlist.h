// Ordered, growable list of name/value entries. Names need not be unique:
// lookups take the first match, removal and update act on every match.
// Values are blocks of bytes (usually NUL-terminated texts) obtained from
// the allocate hook and given back through the release hook.
#ifndef NUNVLIST_H
#define NUNVLIST_H

// One entry: a malloc'd name (may be null) and a value of `length` bytes
// (may be null).
struct NUNVEntry {
    char* name;
    void* value;
    int length;
};

// Result codes.
enum {
    NUNV_NO_ARRAY = -4,     // no entry array
    NUNV_BAD_ARG = -5,      // null out-pointer, negative length, bad insert index
    NUNV_NO_MEMORY = -6,
    NUNV_BAD_INDEX = -7     // negative, not below count, or an empty slot
};

class NUNVList {
public:
    explicit NUNVList(int capacity);   // below 1: 128
    NUNVList();                        // 128
    // Frees all entries through freeEntry. A derived list that overrides
    // release must empty itself (remove(nullptr)) in its own destructor:
    // here the base hooks are the ones called.
    virtual ~NUNVList();

    NUNVList(const NUNVList&) = delete;
    NUNVList& operator=(const NUNVList&) = delete;

    // Removes all entries and frees the array (capacity 0).
    virtual void clearAll();
    // init(128): a fresh empty array, for use after clearAll.
    virtual int reset();

    // Appends a copy of `length` bytes of value.
    virtual int add(const char* name, const void* value, int length);
    // Appends, taking ownership of `text` (freed with release, so it must
    // come from allocate/malloc).
    virtual int addStringRef(const char* name, char* text);
    // add(name, text, strlen(text) + 1); a null text is stored as null.
    virtual int addStringCopy(const char* name, const char* text);
    // Inserts at index 0..count; later entries move up.
    virtual int insertAt(const char* name, const void* value, int length,
                         int index, bool noCopy);
    // Replaces the value of every entry of that name (null: every entry);
    // the number changed or the first failure code.
    virtual int setValue(const char* name, const void* value, int length);
    virtual int replaceAt(const void* value, int length, int index);
    // Removes every entry of that name (null: all); the number removed.
    virtual int remove(const char* name);
    virtual int removeAt(int index);
    // First entry of that name (null: the first entry): 1 and *value, 0
    // when none.
    virtual int find(const char* name, void** value);
    virtual int findCaseless(const char* name, void** value);
    virtual int nameAt(int index, char** name);
    virtual int valueAt(int index, void** value);
    // Doubles the capacity.
    virtual int grow();
    // Memory hooks: malloc (null for 0) and free.
    virtual void* allocate(unsigned size);
    virtual void release(void* p);
    // New text "%s%s" from allocate; null when a is null or out of memory.
    virtual char* concat(const char* a, const char* b);
    virtual int textLength(const char* s);
    // Copy of the list (capacity 128); null on failure. Each value is
    // copied with its stored length.
    virtual NUNVList* clone();
    virtual int init(int capacity);
    virtual void freeEntry(NUNVEntry* entry);
    virtual int makeEntry(NUNVEntry** out, const char* name, const void* value,
                          int length, bool noCopy);
    virtual int setValueAt(NUNVEntry* entry, const void* value, int length);

    // Sorts by value as text, caseless ascending.
    void sortByValue();
    // Sorts by the integer value of the value text, ascending.
    void sortByNumericValue();

    int getCount() const { return count; }
    int getCapacity() const { return capacity; }
    // Stored length of entry index's value; -7 for a bad index, -4.
    int lengthAt(int index) const;

protected:
    int checkIndex(int index) const;

    int capacity = 0;
    int count = 0;
    NUNVEntry** entries = nullptr;
};

#endif
