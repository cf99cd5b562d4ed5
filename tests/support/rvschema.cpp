#include "rvschema.h"

#include <fstream>
#include <sstream>

#include "pgtest.h"

std::string rvschemaSqlPath(const std::string& fileName)
{
    return std::string(RV_SOURCE_DIR) + "/tests/sql/" + fileName;
}

std::string rvschemaLoadFile(const PgTestDatabase& db, const std::string& fileName)
{
    if (!db.error().empty())
        return "database not ready: " + db.error();
    std::ifstream in(rvschemaSqlPath(fileName), std::ios::binary);
    if (!in)
        return "cannot read " + rvschemaSqlPath(fileName);
    std::ostringstream text;
    text << in.rdbuf();
    std::string err = db.exec(std::string("SET ROLE ") + PGTEST_USER + ";\n" + text.str());
    return err.empty() ? err : fileName + ": " + err;
}

std::string rvschemaLoadSchema(const PgTestDatabase& db)
{
    return rvschemaLoadFile(db, "schema_tables.sql");
}

std::string rvschemaLoadAll(const PgTestDatabase& db)
{
    std::string err = rvschemaLoadSchema(db);
    if (err.empty())
        err = rvschemaLoadFile(db, "sample_tables.sql");
    return err;
}

std::string rvschemaLoadListPages(const PgTestDatabase& db, bool samples)
{
    std::string err = rvschemaLoadFile(db, "schema_listpages.sql");
    if (err.empty() && samples)
        err = rvschemaLoadFile(db, "sample_listpages.sql");
    return err;
}
