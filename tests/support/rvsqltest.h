// Column sets made by hand and a connection that only carries the SQL
// encoder, for the tests of statement composition.
#ifndef TESTS_RVSQLTEST_H
#define TESTS_RVSQLTEST_H

#include <vector>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "rvdbSql.h"

namespace rvtest {

// Connection that only carries the encoder (standard strings).
class EncoderOnlyConnection : public CdDBConnection {
public:
    EncoderOnlyConnection() : CdDBConnection(1, 0), encoder(this, false) {}
    int connect(const char*, const char*, const char*, const char*, int) override { return 0; }
    int disconnect() override { return 0; }
    bool isConnected() const override { return true; }
    int setSql(const char*) override { return 0; }
    CdDBResultHandle execute(const std::vector<CdDBBind>*) override { return CdDBResultHandle(); }
    int begin() override { return 0; }
    int commit() override { return 0; }
    int rollback() override { return 0; }
    CdDBSqlEncoder* getSqlEncoder() override { return &encoder; }

    CdDBSqlEncoder_PG encoder;
};

// Column tbl.col of the given type (valueType: the type of its values, when
// another), named "金額"; refer: the user may see it.
inline RvdbColumnSetPtr makeSet(const char* tbl, const char* col, const char* type,
                                const char* valueType = nullptr, bool refer = true)
{
    RvdbColumnSetPtr set(new RvdbColumnSet());
    set->setTblId(NString(tbl));
    set->setColId(NString(col));
    set->setColType(NString(type));
    set->setRelColType(NString(valueType ? valueType : type));
    set->setColLname(NString("金額"));
    RvColPermission perm;
    perm.setRefer(refer);
    set->getPermissionPtr().set(perm);
    return set;
}

// Reference column tbl.col to related, reached through the relation key
// relKey of tbl (relTbl: related's table).
inline RvdbColumnSetPtr makeRelRef(const char* tbl, const char* col, const char* relTbl,
                                   const char* relKey, const RvdbColumnSetPtr& related)
{
    RvdbColumnSetPtr set = makeSet(tbl, col, "relref", related->getRelColType().c_str());
    set->setRelTblId(NString(relTbl));
    set->setRelKey(NString(relKey));
    set->setRelatedSet(related);
    return set;
}

} // namespace rvtest

#endif
