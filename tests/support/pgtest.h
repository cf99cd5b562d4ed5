// Access to the private PostgreSQL server of the tests (scripts/pgtest.sh,
// CTest fixture "pg"). The server listens on 127.0.0.1; its superuser
// "postgres" needs no password, the application role vikra uses "tolpa".
#ifndef PGTEST_H
#define PGTEST_H

#include <string>

// Application role, its password and its database.
extern const char* const PGTEST_USER;
extern const char* const PGTEST_PASSWORD;
extern const char* const PGTEST_DB;

// Directory of the fixture's server (<build>/pgtest).
std::string pgtestDefaultDir();
// Reads DIR/port and sets PGHOST=127.0.0.1 and PGPORT for this process.
// "" on success, else what went wrong.
std::string pgtestUseServer(const std::string& dir = pgtestDefaultDir());
// Runs SQL as the superuser in database db. "" on success, else the error.
std::string pgtestExec(const std::string& sql, const std::string& db = "postgres");
// First value of the first row of a query run as the superuser; "" when
// there is none. err (optional) receives the error text.
std::string pgtestQueryValue(const std::string& sql, const std::string& db = "postgres",
                             std::string* err = nullptr);
// Starts / stops a further server of its own through scripts/pgtest.sh;
// "" on success. maxLocks: its max_locks_per_transaction.
std::string pgtestStartServer(const std::string& dir, int maxConnections = 100,
                              int reservedConnections = 3, int maxLocks = 64);
std::string pgtestStopServer(const std::string& dir);
// Port of a server started in dir (0 when unknown).
int pgtestReadPort(const std::string& dir);
// Waits (at most ten seconds) until the server on 127.0.0.1:PGPORT has exactly
// `others` client backends besides the superuser connection that asks.
// Backends of closed clients take a moment to leave; tests that count
// slots wait for them. True when the count was reached.
bool pgtestWaitForClients(int others);
// Opens a connection with the libpq conninfo, trying again for up to five
// seconds: a backend that is still leaving may hold a slot for a moment.
// Null when no attempt succeeded.
struct pg_conn* pgtestConnectRetry(const std::string& conninfo);

// A fresh database owned by the application role, named <base>_<pid>,
// created on the fixture's server (PGHOST/PGPORT set), dropped at the end.
class PgTestDatabase {
public:
    explicit PgTestDatabase(const std::string& base);
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    const std::string& name() const { return dbName; }
    // Empty when the database is ready.
    const std::string& error() const { return err; }
    // Runs SQL as the superuser in this database; "" on success.
    std::string exec(const std::string& sql) const { return pgtestExec(sql, dbName); }
    std::string queryValue(const std::string& sql, std::string* e = nullptr) const
    {
        return pgtestQueryValue(sql, dbName, e);
    }

private:
    std::string dbName;
    std::string err;
};

#endif
