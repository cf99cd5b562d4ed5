// Result of one statement: status code, rows, values by position or name.
#ifndef CDDBRESULT_H
#define CDDBRESULT_H

#include <map>
#include <string>

#include "cddbcodes.h"
#include "nstring.h"

class CdDBResult {
public:
    CdDBResult() = default;
    CdDBResult(const CdDBResult&) = delete;
    CdDBResult& operator=(const CdDBResult&) = delete;
    virtual ~CdDBResult() = default;

    // Releases the rows.
    virtual void clear() = 0;
    bool isError() const { return getStatus() != 0; }
    // The statement's code: 0 success, else a CdDBCode.
    virtual int getStatus() const = 0;
    virtual int getFieldCount() const = 0;
    // out = name of the column; -1101 without rows, -1007 bad position.
    virtual int getFieldName(NString& out, int column) const = 0;
    // Column number of a name compared caselessly (the last of duplicates);
    // -1099 null name, -1100 unknown name.
    int getColumnIndex(const char* name) const;
    // out = value of the current row; SQL NULL gives a null NString.
    // -1101 without rows, -1013 past the last row, -1008 bad position,
    // bytea column or no value.
    virtual int getValue(NString& out, int column) const = 0;
    // The current row's value as the result holds it, without a copy: text
    // (null for SQL NULL) and its length in bytes, valid until the row
    // moves. 0, a getValue code, or -1 when the result does not hold its
    // values as texts (use getValue).
    virtual int peekValue(int column, const char*& text, int& length) const
    {
        (void)column;
        text = nullptr;
        length = 0;
        return -1;
    }
    // getValue by column name; defaultText (when not null) replaces SQL NULL.
    int getValueByName(NString& out, const char* name, const char* defaultText = nullptr) const;
    // Writes the large object named in the column (type oid) to filePath.
    // 0; -1 not an oid column or export failed; -1101 no rows or no
    // connection; -1013, -1008 as getValue.
    virtual int exportLob(int column, const char* filePath) = 0;
    // Moves to the next row (no bound check); 0.
    virtual int next() = 0;
    virtual bool isEOF() const = 0;
    virtual int getAffectedRows() const = 0;
    // Bytes the result holds in memory; 0 when not known.
    virtual size_t getMemorySize() const { return 0; }

protected:
    // getValue through peekValue, for results that hold their values as
    // texts.
    int copyPeekedValue(NString& out, int column) const;

private:
    struct CaseLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    mutable std::map<std::string, int, CaseLess> columnIndex;
};

// Counted handle to a result: copies share it, the last one deletes it.
class CdDBResultHandle {
public:
    CdDBResultHandle() noexcept : count(nullptr), result(nullptr) {}
    // Takes ownership of result (count 1).
    explicit CdDBResultHandle(CdDBResult* result);
    CdDBResultHandle(const CdDBResultHandle& other) noexcept;
    CdDBResultHandle& operator=(const CdDBResultHandle& other) noexcept;
    ~CdDBResultHandle();

    CdDBResult* get() const { return result; }
    CdDBResult* operator->() const { return result; }
    CdDBResult& operator*() const { return *result; }
    explicit operator bool() const { return result != nullptr; }
    int useCount() const { return count ? *count : 0; }

private:
    void release() noexcept;

    int* count;
    CdDBResult* result;
};

#endif
