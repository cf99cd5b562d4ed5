// Loads the application's schema (tests/sql/schema_tables.sql) and the
// sample tables, records and attachments (tests/sql/sample_tables.sql) into
// a test database. The objects are created as the application role, so the
// role owns the tables and the large objects.
#ifndef RVSCHEMA_H
#define RVSCHEMA_H

#include <string>

class PgTestDatabase;

// Path of a file under tests/sql of the source tree.
std::string rvschemaSqlPath(const std::string& fileName);
// Runs one SQL file of tests/sql in db as the application role. "" on
// success, else what went wrong.
std::string rvschemaLoadFile(const PgTestDatabase& db, const std::string& fileName);
// Catalogue and definition tables only.
std::string rvschemaLoadSchema(const PgTestDatabase& db);
// Schema plus sample data.
std::string rvschemaLoadAll(const PgTestDatabase& db);
// List-page definition tables (tests/sql/schema_listpages.sql) and, with
// samples, their rows (tests/sql/sample_listpages.sql).
std::string rvschemaLoadListPages(const PgTestDatabase& db, bool samples = true);

#endif
