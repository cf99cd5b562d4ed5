#include "RvDbPtr.h"

int* rvDbPtrNewCount()
{
    return new int(1);
}

void rvDbPtrAddRef(int* count) noexcept
{
    if (count != nullptr) {
        ++*count;
    }
}

bool rvDbPtrDropRef(int* count) noexcept
{
    if (count == nullptr || --*count != 0) {
        return false;
    }
    delete count;
    return true;
}

int rvDbPtrCount(const int* count) noexcept
{
    return count ? *count : 0;
}
