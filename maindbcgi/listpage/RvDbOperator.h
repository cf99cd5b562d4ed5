// Text builders of the definition writers' INSERT and UPDATE statements:
// values become literals (quoted and escaped text, unquoted numbers, null
// for an empty value) in comma-separated name, value and set lists.
#ifndef RVDBOPERATOR_H
#define RVDBOPERATOR_H

#include <functional>
#include <vector>

#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;
class CdDBSqlEncoder;

class RvDbOperator {
public:
    // Initial size of the writers' list buffers.
    enum { LIST_SIZE = 4096 };

    // sql = "insert into <table> (<names>) values(<values>)"; -100001 for a
    // missing table name.
    static int makeInsertSql(NString& sql, const char* table, const NStringBuffer& names,
                             const NStringBuffer& values);
    // Decimal text.
    static void intToText(NString& out, int value);
    // One-character text; the character 0 or a blank gives an empty text.
    static void charToText(NString& out, char value);

    // Appends "name=<literal>" (comma first unless the list is empty). An
    // empty value is null; quote puts a non-empty value in single quotes
    // as it stands. -100001 for a missing name (nothing appended).
    static int addSetItem(const char* name, const NString& value, NStringBuffer& set, bool quote);
    // addSetItem of the escaped value, quoted; the encoder's code on failure.
    static int addSetItemEscaped(CdDBSqlEncoder* encoder, const char* name, const NString& value,
                                 NStringBuffer& set);
    static int addSetItemInt(const char* name, int value, NStringBuffer& set);

    // Appends the name to names and the literal to values, as addSetItem.
    static int addInsertItem(const char* name, const NString& value, NStringBuffer& names,
                             NStringBuffer& values, bool quote);
    static int addInsertItemInt(const char* name, int value, NStringBuffer& names, NStringBuffer& values);
    static int addInsertItemEscaped(CdDBSqlEncoder* encoder, const char* name, const NString& value,
                                    NStringBuffer& names, NStringBuffer& values);

    // Splits the records of a save against the stored ids: a stored id with
    // a record of that id (is_new clear) is updated with the first such
    // record, else deleted; every other record is inserted.
    typedef int (*ExistsFunc)(CdDBConnection* connection, const char* tblId, int id, bool& found);
    // Saves one record: a new one (isNew) is inserted under the next id of
    // the table's counter cname, given back in newId; a stored one (id) is
    // updated when exists finds it, else -100016. Failures are traced under
    // srcPath and line, the missing record as "ret[%d] <label>[%d]".
    static RvResult saveRecord(const char* srcPath, int line, CdDBConnection* connection, const char* tblId,
                               const char* cname, bool isNew, int id, const char* label, ExistsFunc exists,
                               const std::function<RvResult(int newId)>& insert,
                               const std::function<RvResult()>& update, int& newId);

    template <class T>
    static void classify(const std::vector<int>& storedIds, const std::vector<RvDbPtr<T>>& records, int T::*id,
                         std::vector<RvDbPtr<T>>& toInsert, std::vector<RvDbPtr<T>>& toUpdate,
                         std::vector<int>& toDelete);
};

template <class T>
void RvDbOperator::classify(const std::vector<int>& storedIds, const std::vector<RvDbPtr<T>>& records, int T::*id,
                            std::vector<RvDbPtr<T>>& toInsert, std::vector<RvDbPtr<T>>& toUpdate,
                            std::vector<int>& toDelete)
{
    for (int stored : storedIds) {
        bool kept = false;
        for (const RvDbPtr<T>& r : records) {
            if (!r->is_new && (*r).*id == stored) {
                toUpdate.push_back(r);
                kept = true;
                break;
            }
        }
        if (!kept) {
            toDelete.push_back(stored);
        }
    }
    for (const RvDbPtr<T>& r : records) {
        bool updated = false;
        if (!r->is_new) {
            for (const RvDbPtr<T>& u : toUpdate) {
                if ((*u).*id == (*r).*id) {
                    updated = true;
                    break;
                }
            }
        }
        if (!updated) {
            toInsert.push_back(r);
        }
    }
}

#endif
