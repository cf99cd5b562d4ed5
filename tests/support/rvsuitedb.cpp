#include "rvsuitedb.h"

#include "rvschema.h"

void RvSuiteDatabase::open(const std::string& base, Load load, const std::string& extraSql)
{
    m_db.reset(new PgTestDatabase(base));
    m_error = m_db->error();
    if (m_error.empty() && load != NOTHING)
        m_error = load == ALL ? rvschemaLoadAll(*m_db) : rvschemaLoadSchema(*m_db);
    if (m_error.empty() && !extraSql.empty())
        m_error = m_db->exec(extraSql);
}

void RvSuiteDatabase::close()
{
    m_db.reset();
}
