// The test database of one test suite: made in SetUpTestSuite, loaded with
// the schema fixture (tests/sql) and SQL of the suite's own, dropped in
// TearDownTestSuite. db->name() and the like reach the database.
#ifndef TESTS_RVSUITEDB_H
#define TESTS_RVSUITEDB_H

#include <memory>
#include <string>

#include "pgtest.h"

class RvSuiteDatabase {
public:
    enum Load { NOTHING, SCHEMA, ALL };

    // Creates <base>_<pid>, loads the fixture (SCHEMA: the catalogue tables;
    // ALL: also the sample tables) and runs extraSql as the superuser.
    void open(const std::string& base, Load load, const std::string& extraSql = "");
    void close();
    // "" when the database is ready, else what went wrong.
    const std::string& error() const { return m_error; }
    PgTestDatabase* operator->() const { return m_db.get(); }
    PgTestDatabase& operator*() const { return *m_db; }

private:
    std::unique_ptr<PgTestDatabase> m_db;
    std::string m_error;
};

#endif
