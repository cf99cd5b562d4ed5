// A query result that passes every call on to another one: tests derive
// from it and override the calls they make fail.
#ifndef TESTS_RVWRAPRESULT_H
#define TESTS_RVWRAPRESULT_H

#include "cddbresult.h"

namespace rvtest {

class WrappedResult : public CdDBResult {
public:
    explicit WrappedResult(CdDBResultHandle inner) : inner(inner) {}
    void clear() override { inner->clear(); }
    int getStatus() const override { return inner->getStatus(); }
    int getFieldCount() const override { return inner->getFieldCount(); }
    int getFieldName(NString& out, int column) const override { return inner->getFieldName(out, column); }
    int getValue(NString& out, int column) const override { return inner->getValue(out, column); }
    int peekValue(int column, const char*& text, int& length) const override
    {
        return inner->peekValue(column, text, length);
    }
    int exportLob(int column, const char* path) override { return inner->exportLob(column, path); }
    int next() override { return inner->next(); }
    bool isEOF() const override { return inner->isEOF(); }
    int getAffectedRows() const override { return inner->getAffectedRows(); }

protected:
    CdDBResultHandle inner;
};

}  // namespace rvtest

#endif
