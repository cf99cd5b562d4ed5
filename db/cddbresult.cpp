#include "cddbresult.h"

#include <strings.h>

bool CdDBResult::CaseLess::operator()(const std::string& a, const std::string& b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

int CdDBResult::getColumnIndex(const char* name) const
{
    if (name == nullptr) {
        return CDDB_ERR_ARG;
    }
    if (columnIndex.empty()) {
        int fields = getFieldCount();
        for (int i = 0; i < fields; i++) {
            NString field;
            if (getFieldName(field, i) != 0) {
                break;
            }
            columnIndex[field.c_str()] = i;  // a later duplicate wins
        }
    }
    auto it = columnIndex.find(name);
    return it == columnIndex.end() ? CDDB_ERR_NO_COLUMN : it->second;
}

int CdDBResult::getValueByName(NString& out, const char* name, const char* defaultText) const
{
    int column = getColumnIndex(name);
    if (column < 0) {
        return column;
    }
    NString value;
    int ret = getValue(value, column);
    if (ret != 0) {
        return ret;
    }
    if (defaultText != nullptr && value.isNull()) {
        out = NString(defaultText);
    } else {
        out = value;
    }
    return 0;
}

int CdDBResult::copyPeekedValue(NString& out, int column) const
{
    const char* text = nullptr;
    int length = 0;
    int ret = peekValue(column, text, length);
    if (ret != 0) {
        return ret;
    }
    // Text values hold no NUL: their length comes with the row.
    out = text ? NString::fromBytes(text, static_cast<size_t>(length)) : NString();
    return 0;
}

CdDBResultHandle::CdDBResultHandle(CdDBResult* r) : count(nullptr), result(r)
{
    if (result != nullptr) {
        count = new int(1);
    }
}

CdDBResultHandle::CdDBResultHandle(const CdDBResultHandle& other) noexcept
    : count(other.count), result(other.result)
{
    if (count != nullptr) {
        ++*count;
    }
}

CdDBResultHandle& CdDBResultHandle::operator=(const CdDBResultHandle& other) noexcept
{
    if (this != &other) {
        if (other.count != nullptr) {
            ++*other.count;
        }
        release();
        count = other.count;
        result = other.result;
    }
    return *this;
}

CdDBResultHandle::~CdDBResultHandle()
{
    release();
}

void CdDBResultHandle::release() noexcept
{
    if (count != nullptr && --*count == 0) {
        delete result;
        delete count;
    }
    count = nullptr;
    result = nullptr;
}
