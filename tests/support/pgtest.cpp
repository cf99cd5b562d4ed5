#include "pgtest.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <libpq-fe.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

const char* const PGTEST_USER = "vikra";
const char* const PGTEST_PASSWORD = "tolpa";
const char* const PGTEST_DB = "vikra";

std::string pgtestDefaultDir()
{
    return std::string(RV_BINARY_DIR) + "/pgtest";
}

int pgtestReadPort(const std::string& dir)
{
    std::ifstream in(dir + "/port");
    int port = 0;
    if (!(in >> port) || port <= 0 || port > 65535) {
        return 0;
    }
    return port;
}

std::string pgtestUseServer(const std::string& dir)
{
    int port = pgtestReadPort(dir);
    if (port == 0) {
        return "no test server: " + dir + "/port is missing";
    }
    setenv("PGHOST", "127.0.0.1", 1);
    setenv("PGPORT", std::to_string(port).c_str(), 1);
    // The tests decide the session settings themselves.
    unsetenv("PGOPTIONS");
    unsetenv("PGTZ");
    unsetenv("PGCLIENTENCODING");
    unsetenv("PGPASSWORD");
    unsetenv("PGUSER");
    unsetenv("PGDATABASE");
    return "";
}

static PGconn* superuserConnect(const std::string& db, std::string& err)
{
    std::string info = "user=postgres dbname='" + db + "' connect_timeout=10";
    PGconn* conn = PQconnectdb(info.c_str());
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        err = conn != nullptr ? PQerrorMessage(conn) : "out of memory";
        PQfinish(conn);
        return nullptr;
    }
    return conn;
}

std::string pgtestQueryValue(const std::string& sql, const std::string& db, std::string* errOut)
{
    std::string err;
    std::string value;
    PGconn* conn = superuserConnect(db, err);
    if (conn != nullptr) {
        PGresult* res = PQexec(conn, sql.c_str());
        ExecStatusType st = PQresultStatus(res);
        if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
            err = PQerrorMessage(conn);
        } else if (st == PGRES_TUPLES_OK && PQntuples(res) > 0 && PQnfields(res) > 0) {
            value = PQgetvalue(res, 0, 0);
        }
        PQclear(res);
        PQfinish(conn);
    }
    if (errOut != nullptr) {
        *errOut = err;
    }
    return value;
}

std::string pgtestExec(const std::string& sql, const std::string& db)
{
    std::string err;
    pgtestQueryValue(sql, db, &err);
    return err;
}

// Runs scripts/pgtest.sh with these arguments, without a shell; its
// standard output is dropped.
static std::string runScript(std::vector<std::string> args)
{
    args.insert(args.begin(), std::string(RV_SOURCE_DIR) + "/scripts/pgtest.sh");
    std::string what = "pgtest.sh";
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(&a[0]);
        what += " " + a;
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    int st = 0;
    pid_t done = -1;
    while (rc == 0 && (done = waitpid(pid, &st, 0)) < 0 && errno == EINTR) {
    }
    return done == pid && WIFEXITED(st) && WEXITSTATUS(st) == 0 ? "" : what + " failed";
}

std::string pgtestStartServer(const std::string& dir, int maxConnections, int reservedConnections, int maxLocks)
{
    return runScript({"start", dir, std::to_string(maxConnections), std::to_string(reservedConnections),
                      std::to_string(maxLocks)});
}

std::string pgtestStopServer(const std::string& dir)
{
    return runScript({"stop", dir});
}

bool pgtestWaitForClients(int others)
{
    const std::string want = std::to_string(others + 1);
    for (int i = 0; i < 100; i++) {
        PGconn* c = PQconnectdb("host=127.0.0.1 user=postgres dbname=postgres");
        bool reached = false;
        if (PQstatus(c) == CONNECTION_OK) {
            PGresult* r = PQexec(c, "select count(*) from pg_stat_activity where backend_type = 'client backend'");
            reached = PQresultStatus(r) == PGRES_TUPLES_OK && want == PQgetvalue(r, 0, 0);
            PQclear(r);
        }
        PQfinish(c);
        if (reached) {
            return true;
        }
        usleep(100 * 1000);
    }
    return false;
}

PgTestDatabase::PgTestDatabase(const std::string& base)
    : dbName(base + "_" + std::to_string(static_cast<long>(getpid())))
{
    err = pgtestUseServer();
    if (!err.empty()) {
        return;
    }
    pgtestExec("DROP DATABASE IF EXISTS " + dbName + " WITH (FORCE)");
    err = pgtestExec("CREATE DATABASE " + dbName + " OWNER " + PGTEST_USER);
}

PgTestDatabase::~PgTestDatabase()
{
    if (err.empty()) {
        pgtestExec("DROP DATABASE IF EXISTS " + dbName + " WITH (FORCE)");
    }
}

PGconn* pgtestConnectRetry(const std::string& conninfo)
{
    for (int i = 0; i < 50; i++) {
        PGconn* c = PQconnectdb(conninfo.c_str());
        if (PQstatus(c) == CONNECTION_OK)
            return c;
        PQfinish(c);
        usleep(100 * 1000);
    }
    return nullptr;
}
