#include "cddbconnection_pg.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <libpq/libpq-fs.h>

#include "cddbresult_pg.h"

namespace {

void ignoreNotice(void*, const char*) {}

// 0 no transaction, 1 in one (aborted or not), 2 no usable session.
int transactionState(PGTransactionStatusType status)
{
    return status == PQTRANS_IDLE ? 0 : status == PQTRANS_UNKNOWN ? 2 : 1;
}

// Whether a result's command tag may be the end of a transaction while the
// session stays in one: COMMIT AND CHAIN, ROLLBACK AND CHAIN (COMMIT AND
// CHAIN of an aborted transaction is tagged ROLLBACK too), or an end before
// a later statement of the same string begins anew. ROLLBACK TO SAVEPOINT
// has the same tag and ends no transaction: a cursor asks the server.
bool mayEndTransaction(PGresult* result)
{
    const char* tag = PQcmdStatus(result);
    return strcmp(tag, "COMMIT") == 0 || strcmp(tag, "ROLLBACK") == 0 ||
           strcmp(tag, "PREPARE TRANSACTION") == 0;
}

// SQLSTATE 53300 comes with either text, depending on whether the reserved
// slots are taken too.
bool serverIsFull(const char* message)
{
    return message != nullptr && (strstr(message, "orry, too many clients already") != nullptr ||
                                  strstr(message, "remaining connection slots are reserved") != nullptr);
}

bool isQuotedConnectValue(const char* v, size_t len)
{
    if (len < 2 || v[0] != '\'' || v[len - 1] != '\'') {
        return false;
    }
    for (size_t i = 1; i < len - 1; i++) {
        if (v[i] == '\\') {
            if (i + 1 >= len - 1) {
                return false;
            }
            i++;
        } else if (v[i] == '\'') {
            return false;
        }
    }
    return true;
}

}  // namespace

CdDBConnection_PG::CdDBConnection_PG(int retries, int waitSeconds)
    : CdDBConnection(retries, waitSeconds),
      conn(nullptr),
      streamOpen(false),
      streamOwner(nullptr),
      encoder(this, false),
      handle(this),
      transactionSerial(0),
      loOpenFn(0),
      loReadFn(0),
      loCloseFn(0)
{
}

CdDBConnection_PG::~CdDBConnection_PG()
{
    disconnect();
    handle.detach();
}

std::string CdDBConnection_PG::quoteConnectValue(const char* value)
{
    if (value == nullptr) {
        value = "";
    }
    size_t len = strlen(value);
    if (isQuotedConnectValue(value, len)) {
        return value;
    }
    std::string out = "'";
    for (size_t i = 0; i < len; i++) {
        if (value[i] == '\'' || value[i] == '\\') {
            out += '\\';
        }
        out += value[i];
    }
    out += '\'';
    return out;
}

int CdDBConnection_PG::buildConnectString(std::string& out, const char* user, const char* password,
                                          const char* host, const char* dbname, int timeoutSeconds)
{
    if (user == nullptr || password == nullptr || host == nullptr || dbname == nullptr) {
        return CDDB_ERR_ARG;
    }
    std::string s = "host=" + quoteConnectValue(host) + " dbname=" + quoteConnectValue(dbname) +
                    " password=" + quoteConnectValue(password) + " user=" + quoteConnectValue(user) +
                    " connect_timeout=" + std::to_string(timeoutSeconds);
    if (s.size() > MAX_CONNECT_STRING) {
        return CDDB_ERR_ARG;
    }
    out.swap(s);
    return 0;
}

void CdDBConnection_PG::retryPause(int seconds)
{
    if (seconds > 0) {
        sleep(static_cast<unsigned>(seconds));
    }
}

int CdDBConnection_PG::connect(const char* user, const char* password, const char* host,
                               const char* dbname, int timeoutSeconds)
{
    std::string connectString;
    int ret = buildConnectString(connectString, user, password, host, dbname, timeoutSeconds);
    if (ret != 0) {
        return ret;
    }
    if (conn != nullptr) {
        disconnect();
    }
    for (int attempt = 1; attempt <= retryCount; attempt++) {
        PGconn* attemptConn = PQconnectdb(connectString.c_str());
        if (attemptConn == nullptr) {
            setErrorMessage("out of memory");
            return CDDB_ERR_CONNECT;
        }
        if (PQstatus(attemptConn) != CONNECTION_BAD) {
            conn = attemptConn;
            return setUpSession();
        }
        // The failed attempt is closed directly: a rollback on it would
        // replace the server's answer that the retry test reads.
        bool full = serverIsFull(PQerrorMessage(attemptConn));
        conn = attemptConn;
        reportError();
        conn = nullptr;
        PQfinish(attemptConn);
        if (!full) {
            return CDDB_ERR_CONNECT;
        }
        if (attempt < retryCount) {
            retryPause(retryWait);
        }
    }
    return CDDB_ERR_TOO_MANY;
}

int CdDBConnection_PG::setUpSession()
{
    settleStream();
    PQsetNoticeProcessor(conn, ignoreNotice, nullptr);
    int ret = execPlain("SET client_encoding TO UTF8");
    if (ret == 0) {
        const char* encoding = PQparameterStatus(conn, "client_encoding");
        if (encoding == nullptr || strcmp(encoding, "UTF8") != 0) {
            setErrorMessage("client encoding is not UTF8");
            ret = CDDB_ERR_DB;
        }
    }
    if (ret == 0 && timeZone[0] != '\0') {
        // Offsets in ISO sign order (+09:00 is east of UTC), unlike POSIX
        // zone strings.
        std::string statement;
        const char* z = timeZone;
        if (!CdDBSqlEncoder::isSafeZone(z)) {
            setErrorMessage("unusable time zone");
            ret = CDDB_ERR_ARG;
        } else if (z[0] == '+' || z[0] == '-') {
            std::string offset = z;
            if (offset.find(':') == std::string::npos) {
                offset += ":00";
            }
            statement = "SET TIME ZONE INTERVAL '" + offset + "' HOUR TO MINUTE";
        } else {
            statement = std::string("SET TIME ZONE '") + z + "'";
        }
        if (ret == 0) {
            ret = execPlain(statement.c_str());
        }
    }
    if (ret != 0) {
        closeConnection();
        return ret;
    }
    int server = serverBackslashEscapes();
    if (server >= 0) {
        encoder.setBackslashFlag(server == 1);
    }
    return 0;
}

PGconn* CdDBConnection_PG::getPGconn() const
{
    settleStream();
    return conn;
}

bool CdDBConnection_PG::inUsableTransaction() const
{
    settleStream();
    return conn != nullptr && PQtransactionStatus(conn) == PQTRANS_INTRANS;
}

void CdDBConnection_PG::settleStream() const
{
    if (!streamOpen) {
        return;
    }
    CdDBStreamOwner* owner = streamOwner;
    streamOwner = nullptr;
    if (owner != nullptr) {
        owner->finishStream();
    }
    dropStreamRows();
}

void CdDBConnection_PG::dropStreamRows() const
{
    if (!streamOpen) {
        return;
    }
    streamOpen = false;
    streamOwner = nullptr;
    if (conn != nullptr) {
        while (PGresult* rest = PQgetResult(conn)) {
            PQclear(rest);
        }
    }
}

int CdDBConnection_PG::sendStream(const char* statement, CdDBStreamOwner* owner)
{
    settleStream();
    if (conn == nullptr || statement == nullptr) {
        return -1;
    }
    log("%s", statement);
    startCall();
    if (PQsendQuery(conn, statement) != 1) {
        reportError();
        return -1;
    }
    streamOpen = true;
    streamOwner = owner;
    streamSql = NString(statement);
    if (PQsetSingleRowMode(conn) != 1) {
        dropStreamRows();
        return -1;
    }
    return 0;
}

int CdDBConnection_PG::nextStreamResult(PGresult*& result)
{
    result = nullptr;
    if (!streamOpen || conn == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    PGresult* r = PQgetResult(conn);
    if (r != nullptr && PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
        result = r;
        return 0;
    }
    int code = r != nullptr ? mapStatus(r) : CDDB_ERR_DB;
    if (code != 0) {
        reportError();
        log("DB access:sql[%s]sts[%d]err[%s]", streamSql.c_str(), code, errorMessage);
        PQclear(r);
        r = nullptr;
    }
    dropStreamRows();
    result = r;
    return code;
}

void CdDBConnection_PG::endStream(const CdDBStreamOwner* owner)
{
    if (streamOpen && streamOwner == owner) {
        dropStreamRows();
    }
}

int CdDBConnection_PG::executeQuery(const char* statement, const std::vector<const char*>& params,
                                    int& rows, std::vector<std::string>* values)
{
    rows = 0;
    if (values != nullptr) {
        values->clear();
    }
    settleStream();
    if (statement == nullptr || params.size() > MAX_BINDS) {
        return CDDB_ERR_ARG;
    }
    log("%s", statement);
    for (size_t i = 0; i < params.size(); i++) {
        log("Bind $%d Type[Text] Value[%s]", static_cast<int>(i) + 1,
            params[i] != nullptr ? params[i] : "(null)");
    }
    if (conn == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    startCall();
    PGTransactionStatusType before = PQtransactionStatus(conn);
    PGresult* result = PQexecParams(conn, statement, static_cast<int>(params.size()), nullptr,
                                    params.empty() ? nullptr : params.data(), nullptr, nullptr, 0);
    noteTransaction(before, result != nullptr && mayEndTransaction(result));
    int code = result != nullptr ? mapStatus(result) : CDDB_ERR_DB;
    if (code != 0) {
        reportError();
        log("DB access:sql[%s]sts[%d]err[%s]", statement, code, errorMessage);
        PQclear(result);
        return code;
    }
    rows = PQntuples(result);
    if (values != nullptr && rows > 0) {
        for (int i = 0; i < PQnfields(result); i++) {
            values->push_back(PQgetvalue(result, 0, i));
        }
    }
    PQclear(result);
    return 0;
}

int CdDBConnection_PG::executeCommand(const char* statement)
{
    int code = execPlain(statement);
    if (code != 0) {
        log("DB access:sql[%s]sts[%d]err[%s]", statement != nullptr ? statement : "", code,
            errorMessage);
    }
    return code;
}

CdDBResultHandle CdDBConnection_PG::resultHandle(PGresult* result, const char* sqlText)
{
    if (result == nullptr) {
        reportError();
        return CdDBResultHandle(new CdDBResult_PG(CDDB_ERR_DB));
    }
    int code = mapStatus(result);
    if (code == 0) {
        CdDBResult_PG* ok = new CdDBResult_PG(0);
        ok->attach(handle, result);
        return CdDBResultHandle(ok);
    }
    reportError();
    log("DB access:sql[%s]sts[%d]err[%s]", sqlText, code, errorMessage);
    PQclear(result);
    return CdDBResultHandle(new CdDBResult_PG(code));
}

int CdDBConnection_PG::serverBackslashEscapes() const
{
    settleStream();
    if (conn == nullptr) {
        return -1;
    }
    const char* scs = PQparameterStatus(conn, "standard_conforming_strings");
    if (scs == nullptr) {
        return -1;
    }
    return strcmp(scs, "on") == 0 ? 0 : 1;
}

void CdDBConnection_PG::closeConnection()
{
    dropStreamRows();
    if (conn != nullptr) {
        PQfinish(conn);
        conn = nullptr;
        transactionSerial++;
    }
    loOpenFn = loReadFn = loCloseFn = 0;
    inTrans = 0;
}

int CdDBConnection_PG::disconnect()
{
    if (conn != nullptr) {
        rollback();
    }
    closeConnection();
    return 0;
}

int CdDBConnection_PG::setSql(const char* text)
{
    if (text == nullptr) {
        return CDDB_ERR_ARG;
    }
    sql = NString(text);
    return 0;
}

void CdDBConnection_PG::reportError()
{
    setErrorMessage(conn != nullptr ? PQerrorMessage(conn) : "");
    log("%s", "******************************");
    log("SQLState   [%s]", sqlState);
    log("ErrorMsg   [%s]", errorMessage);
    log("%s", "******************************");
}

void CdDBConnection_PG::startCall()
{
    if (conn != nullptr && PQtransactionStatus(conn) == PQTRANS_INERROR) {
        return;
    }
    setSqlState("");
    setServerText("", "");
}

int CdDBConnection_PG::execPlain(const char* statement, std::string* tag)
{
    if (statement == nullptr) {
        statement = "";
    }
    settleStream();
    log("%s", statement);
    if (conn == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    startCall();
    PGTransactionStatusType before = PQtransactionStatus(conn);
    bool ends = false;
    PGresult* result = execAll(statement, ends);
    noteTransaction(before, ends);
    if (result == nullptr) {
        reportError();
        return CDDB_ERR_DB;
    }
    int code = mapStatus(result);
    if (tag != nullptr) {
        *tag = PQcmdStatus(result);
    }
    PQclear(result);
    if (code != 0) {
        reportError();
    }
    return code;
}

PGresult* CdDBConnection_PG::execAll(const char* statement, bool& ends)
{
    ends = false;
    if (PQtransactionStatus(conn) == PQTRANS_ACTIVE) {
        // Left in a COPY by an earlier statement: PQexec ends it first.
        ends = true;
        return PQexec(conn, statement);
    }
    if (PQsendQuery(conn, statement) != 1) {
        return nullptr;
    }
    // As PQexec: the last result, which is the failure when one failed.
    PGresult* last = nullptr;
    while (PGresult* result = PQgetResult(conn)) {
        PQclear(last);
        last = result;
        ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH ||
            PQstatus(conn) == CONNECTION_BAD) {
            ends = true;  // what follows is not seen
            break;
        }
        if (mayEndTransaction(result)) {
            ends = true;
        }
    }
    return last;
}

void CdDBConnection_PG::noteTransaction(PGTransactionStatusType before, bool ends)
{
    if (ends || transactionState(before) != transactionState(PQtransactionStatus(conn))) {
        transactionSerial++;
    }
}

int CdDBConnection_PG::begin()
{
    if (execPlain("BEGIN") != 0) {
        return CDDB_ERR_BEGIN;
    }
    inTrans = 1;
    return 0;
}

int CdDBConnection_PG::commit()
{
    std::string tag;
    if (execPlain("COMMIT", &tag) != 0) {
        return CDDB_ERR_COMMIT;
    }
    inTrans = 0;
    // A transaction that had failed is rolled back instead.
    if (tag == "ROLLBACK") {
        setErrorMessage("the transaction was rolled back");
        return CDDB_ERR_COMMIT;
    }
    return 0;
}

int CdDBConnection_PG::rollback()
{
    if (execPlain("ROLLBACK") != 0) {
        return CDDB_ERR_ROLLBACK;
    }
    inTrans = 0;
    return 0;
}

CdDBResultHandle CdDBConnection_PG::execute(const std::vector<CdDBBind>* binds)
{
    settleStream();
    if (sql.isNullOrEmpty()) {
        return CdDBResultHandle(new CdDBResult_PG(CDDB_ERR_NO_RESULT));
    }
    log("%s", sql.c_str());
    if (conn == nullptr) {
        return CdDBResultHandle(new CdDBResult_PG(CDDB_ERR_NO_RESULT));
    }
    size_t count = binds != nullptr ? binds->size() : 0;
    if (count > MAX_BINDS) {
        return CdDBResultHandle(new CdDBResult_PG(CDDB_ERR_ARG));
    }
    startCall();
    const char* values[MAX_BINDS];
    char oidText[MAX_BINDS][64];
    for (size_t i = 0; i < count; i++) {
        const CdDBBind& bind = (*binds)[i];
        int n = static_cast<int>(i) + 1;
        if (bind.kind == CDDB_BIND_TEXT) {
            values[i] = bind.value.isNull() ? nullptr : bind.value.c_str();
            log("Bind $%d Type[Text] Value[%s]", n, bind.value.isNull() ? "(null)" : bind.value.c_str());
        } else if (bind.kind == CDDB_BIND_LOB) {
            Oid oid = lo_import(conn, bind.value.c_str());
            if (oid == InvalidOid) {
                reportError();
                return CdDBResultHandle(new CdDBResult_PG(CDDB_ERR_LOB_IMPORT));
            }
            snprintf(oidText[i], sizeof oidText[i], "%u", static_cast<unsigned>(oid));
            values[i] = oidText[i];
            log("Bind $%d Type[LOB] Value[%s]", n, bind.value.c_str());
        } else {
            return CdDBResultHandle(new CdDBResult_PG(CDDB_ERR_ARG));
        }
    }
    PGTransactionStatusType before = PQtransactionStatus(conn);
    PGresult* result = PQexecParams(conn, sql.c_str(), static_cast<int>(count), nullptr,
                                    count > 0 ? values : nullptr, nullptr, nullptr, 0);
    noteTransaction(before, result != nullptr && mayEndTransaction(result));
    return resultHandle(result, sql.c_str());
}

int CdDBConnection_PG::mapSqlState(const char* state)
{
    static const struct {
        const char* state;
        int code;
    } table[] = {
        {"23505", CDDB_ERR_UNIQUE},     {"22026", CDDB_ERR_LENGTH},
        {"23503", CDDB_ERR_FOREIGN_KEY}, {"42601", CDDB_ERR_SYNTAX},
        {"42883", CDDB_ERR_UNDEFINED},  {"42703", CDDB_ERR_UNDEFINED},
        {"40P01", CDDB_ERR_DEADLOCK},   {"22021", CDDB_ERR_CHARACTER},
        {"57014", CDDB_ERR_CANCELED},   {"42P01", CDDB_ERR_NO_TABLE},
        {"55P03", CDDB_ERR_LOCKED},
    };
    if (state == nullptr) {
        return CDDB_ERR_DB;
    }
    for (const auto& entry : table) {
        if (strcmp(state, entry.state) == 0) {
            return entry.code;
        }
    }
    return CDDB_ERR_DB;
}

int CdDBConnection_PG::mapStatus(PGresult* result)
{
    ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return 0;
    }
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    if (state == nullptr) {
        return CDDB_ERR_DB;
    }
    // Refused because an earlier failure aborted the transaction: that
    // failure's answer is the one that tells why.
    if (strcmp(state, "25P02") == 0 && sqlState[0] != '\0') {
        return mapSqlState(state);
    }
    setSqlState(state);
    setServerText(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY),
                  PQresultErrorField(result, PG_DIAG_MESSAGE_HINT));
    return mapSqlState(state);
}

int CdDBConnection_PG::exportLargeObject(uint32_t oid, const char* filePath)
{
    settleStream();
    if (conn == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    if (filePath == nullptr) {
        return -1;
    }
    bool savepoint = PQtransactionStatus(conn) == PQTRANS_INTRANS &&
                     execPlain("SAVEPOINT cddb_lob_export") == 0;
    if (copyLargeObject(oid, filePath) == 0) {
        if (savepoint) {
            execPlain("RELEASE SAVEPOINT cddb_lob_export");
        }
        return 0;
    }
    if (savepoint) {
        // The failure's own answer outlives the undoing of its savepoint.
        const std::string state = sqlState, message = errorMessage, text = serverMessage,
                          hint = serverHint;
        const int saved = errno;
        execPlain("ROLLBACK TO SAVEPOINT cddb_lob_export");
        execPlain("RELEASE SAVEPOINT cddb_lob_export");
        setSqlState(state.c_str());
        setServerText(text.c_str(), hint.c_str());
        setErrorMessage(message.c_str());
        errno = saved;
    }
    return -1;
}

int CdDBConnection_PG::functionResult(PGresult* result)
{
    int code = result != nullptr ? mapStatus(result) : CDDB_ERR_DB;
    PQclear(result);
    if (code != 0) {
        reportError();
        return -1;
    }
    return 0;
}

int CdDBConnection_PG::findLargeObjectFunctions()
{
    if (loOpenFn != 0 && loReadFn != 0 && loCloseFn != 0) {
        return 0;
    }
    int rows = 0;
    std::vector<std::string> ids;
    if (executeQuery("select 'pg_catalog.lo_open(pg_catalog.oid,pg_catalog.int4)'::pg_catalog.regprocedure::pg_catalog.oid,"
                     "'pg_catalog.loread(pg_catalog.int4,pg_catalog.int4)'::pg_catalog.regprocedure::pg_catalog.oid,"
                     "'pg_catalog.lo_close(pg_catalog.int4)'::pg_catalog.regprocedure::pg_catalog.oid",
                     {}, rows, &ids) != 0 ||
        ids.size() != 3) {
        return -1;
    }
    Oid* fns[] = {&loOpenFn, &loReadFn, &loCloseFn};
    for (size_t i = 0; i < 3; i++) {
        *fns[i] = static_cast<Oid>(strtoul(ids[i].c_str(), nullptr, 10));
    }
    if (loOpenFn == 0 || loReadFn == 0 || loCloseFn == 0) {
        setErrorMessage("large-object functions not found");
        loOpenFn = loReadFn = loCloseFn = 0;
        return -1;
    }
    return 0;
}

int CdDBConnection_PG::openLargeObject(uint32_t oid)
{
    if (findLargeObjectFunctions() != 0) {
        return -1;
    }
    PQArgBlock args[2];
    args[0].len = 4;
    args[0].isint = 1;
    args[0].u.integer = static_cast<int>(oid);
    args[1].len = 4;
    args[1].isint = 1;
    args[1].u.integer = INV_READ;
    int lo = -1;
    int length = 0;
    if (functionResult(PQfn(conn, static_cast<int>(loOpenFn), &lo, &length, 1, args, 2)) != 0) {
        return -1;
    }
    return lo;
}

int CdDBConnection_PG::readLargeObject(int lo, char* buffer, int size)
{
    PQArgBlock args[2];
    args[0].len = 4;
    args[0].isint = 1;
    args[0].u.integer = lo;
    args[1].len = 4;
    args[1].isint = 1;
    args[1].u.integer = size;
    int length = 0;
    // The bytes are copied into the buffer as they come.
    int* out = static_cast<int*>(static_cast<void*>(buffer));
    if (functionResult(PQfn(conn, static_cast<int>(loReadFn), out, &length, 0, args, 2)) != 0) {
        return -1;
    }
    return length < 0 || length > size ? -1 : length;
}

int CdDBConnection_PG::closeLargeObject(int lo)
{
    PQArgBlock arg;
    arg.len = 4;
    arg.isint = 1;
    arg.u.integer = lo;
    int ret = -1;
    int length = 0;
    if (functionResult(PQfn(conn, static_cast<int>(loCloseFn), &ret, &length, 1, &arg, 1)) != 0) {
        return -1;
    }
    return ret < 0 ? -1 : 0;
}

int CdDBConnection_PG::readLargeObjectStart(uint32_t oid)
{
    settleStream();
    if (conn == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    startCall();
    int lo = openLargeObject(oid);
    if (lo < 0) {
        return -1;
    }
    int first = 0;
    if (readLargeObject(lo, static_cast<char*>(static_cast<void*>(&first)), 1) < 0) {
        return -1;
    }
    return closeLargeObject(lo);
}

int CdDBConnection_PG::copyLargeObject(uint32_t oid, const char* filePath)
{
    settleStream();
    if (conn == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    if (filePath == nullptr) {
        return -1;
    }
    startCall();
    int lo = openLargeObject(oid);
    if (lo < 0) {
        return -1;
    }
    int fd = ::open(filePath, O_CREAT | O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        int saved = errno;
        closeLargeObject(lo);
        errno = saved;
        return -1;
    }
    std::vector<char>& buffer = loBuffer;
    buffer.resize(LO_COPY_CHUNK);
    int ret = 0;
    bool objectOpen = true;  // a failed read leaves the transaction aborted
    for (;;) {
        int n = readLargeObject(lo, buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0) {
            ret = -1;
            objectOpen = false;
            break;
        }
        for (int done = 0; done < n;) {
            ssize_t w = ::write(fd, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                ret = -1;
                break;
            }
            done += static_cast<int>(w);
        }
        // A short read is the end of the object.
        if (ret != 0 || n < static_cast<int>(buffer.size())) {
            break;
        }
    }
    int saved = errno;
    if (::close(fd) != 0 && ret == 0) {
        saved = errno;
        ret = -1;
    }
    if (objectOpen && closeLargeObject(lo) < 0 && ret == 0) {
        ret = -1;
    }
    errno = saved;
    return ret;
}
