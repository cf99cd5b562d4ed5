// Counted handle {count, record} shared by the list-page definition records:
// copies share the record, the last release destroys record and count.
#ifndef RVDBPTR_H
#define RVDBPTR_H

// Count steps, kept out of line.
// A new count of 1.
int* rvDbPtrNewCount();
// Adds one to a count (null: nothing).
void rvDbPtrAddRef(int* count) noexcept;
// Subtracts one; at 0 frees the count and returns true.
bool rvDbPtrDropRef(int* count) noexcept;

template <class T>
class RvDbPtr {
public:
    // No record, no count.
    RvDbPtr() noexcept : count(nullptr), object(nullptr) {}
    // Takes ownership of object (count 1); null gives an empty handle.
    explicit RvDbPtr(T* obj) : count(nullptr), object(nullptr)
    {
        if (obj != nullptr) {
            count = rvDbPtrNewCount();
            object = obj;
        }
    }
    RvDbPtr(const RvDbPtr& other) noexcept : count(other.count), object(other.object)
    {
        rvDbPtrAddRef(count);
    }
    RvDbPtr& operator=(const RvDbPtr& other) noexcept
    {
        if (count != other.count) {
            rvDbPtrAddRef(other.count);
            release();
            count = other.count;
            object = other.object;
        }
        return *this;
    }
    ~RvDbPtr() { release(); }

    // Drops this handle's count (destroying the record at 0); the handle
    // then holds nothing.
    void release() noexcept
    {
        T* old = object;
        bool last = rvDbPtrDropRef(count);
        count = nullptr;
        object = nullptr;
        if (last) {
            delete old;
        }
    }

    T* get() const { return object; }
    T* operator->() const { return object; }
    T& operator*() const { return *object; }
    bool hasObject() const { return object != nullptr; }
    explicit operator bool() const { return object != nullptr; }
    // Number of handles sharing the record (0 for an empty handle).
    int useCount() const;

private:
    int* count;
    T* object;
};

int rvDbPtrCount(const int* count) noexcept;

template <class T>
int RvDbPtr<T>::useCount() const
{
    return rvDbPtrCount(count);
}

#endif
