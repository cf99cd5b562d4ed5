// Test database and connections of the definition writer tests: the sample
// tables and list-page definitions, a connection that records every
// statement it is given, and a reader of rows as text.
#ifndef TESTS_WRITER_TESTDB_H
#define TESTS_WRITER_TESTDB_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cddbconnection_pg.h"
#include "pgtest.h"
#include "rvschema.h"
#include "rvsuitedb.h"
#include "rvwrapresult.h"

namespace rvtest {

// A result whose first row step fails with code and ends the rows.
class StepFailingResult : public WrappedResult {
public:
    StepFailingResult(CdDBResultHandle inner, int code) : WrappedResult(inner), code(code) {}
    int next() override
    {
        ended = true;
        return code;
    }
    bool isEOF() const override { return ended || inner->isEOF(); }

private:
    int code;
    bool ended = false;
};

class RecordingConnection : public CdDBConnection_PG {
public:
    RecordingConnection() : CdDBConnection_PG(1, 0) {}
    int setSql(const char* text) override
    {
        sqls.push_back(text ? text : "");
        return CdDBConnection_PG::setSql(text);
    }
    using CdDBConnection_PG::execute;
    // Statements starting with failStepOf give results whose row step fails.
    CdDBResultHandle execute(const std::vector<CdDBBind>* binds) override
    {
        CdDBResultHandle r = CdDBConnection_PG::execute(binds);
        if (failStepOf.empty() || sqls.empty() || sqls.back().compare(0, failStepOf.size(), failStepOf) != 0 ||
            !r || r->isError())
            return r;
        return CdDBResultHandle(new StepFailingResult(r, CDDB_ERR_DB));
    }
    bool open(const std::string& dbName)
    {
        return connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", dbName.c_str(), 10) == 0 && begin() == 0;
    }

    std::vector<std::string> sqls;
    std::string failStepOf;
};

// Rows of a query on c, "v|v;v|v" (NULL for SQL null), or "ERR <code>".
inline std::string rowsOf(CdDBConnection& c, const std::string& sql)
{
    c.setSql(sql.c_str());
    CdDBResultHandle r = c.execute();
    if (!r || r->isError())
        return "ERR " + std::to_string(r ? r->getStatus() : 0);
    std::string out;
    for (; !r->isEOF(); r->next()) {
        if (!out.empty())
            out += ";";
        for (int i = 0; i < r->getFieldCount(); ++i) {
            NString v;
            r->getValue(v, i);
            out += (i ? "|" : "") + std::string(v.isNull() ? "NULL" : v.c_str());
        }
    }
    return out;
}

// One database per test program: sample tables and list-page samples.
class WriterDb : public ::testing::Test {
protected:
    static void openDb(const char* base)
    {
        db.open(base, RvSuiteDatabase::ALL);
        error = db.error().empty() ? rvschemaLoadListPages(*db) : db.error();
    }
    static void TearDownTestSuite() { db.close(); }
    void SetUp() override
    {
        ASSERT_EQ("", error);
        ASSERT_TRUE(conn.open(db->name()));
        conn.sqls.clear();
    }
    // Every test runs in its own transaction and leaves nothing behind.
    void TearDown() override { conn.rollback(); }
    std::string rows(const std::string& sql) { return rowsOf(conn, sql); }

    static RvSuiteDatabase db;
    static std::string error;
    RecordingConnection conn;
};

RvSuiteDatabase WriterDb::db;
std::string WriterDb::error;

}  // namespace rvtest

#endif
