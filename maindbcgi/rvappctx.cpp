// Application context: settings, directory layout and the connection.
#include "rvappctx.h"

#include <cstring>

#include "cddbconnection_pg.h"
#include "cddbsqlencoder.h"
#include "comtrace.h"
#include "rvcomcode.h"
#include "rvcompair.h"
#include "rvresult.h"

namespace {

const char* const DEFAULT_DB_HOST = "localhost";
const char* const DEFAULT_DB_NAME = "vikra";
const char* const DEFAULT_DB_USER = "vikra";
const char* const DEFAULT_DB_PASSWORD = "tolpa";
const char* const APP_LANGUAGE = "ja";
const char* const APP_TIME_ZONE = "+09:00";

enum {
    CONNECT_RETRIES = 5,
    CONNECT_RETRY_WAIT = 1,
    CONNECT_TIMEOUT = 30,
    SETTINGS_READ_RETRIES = 10,
    SESSION_ID_LENGTH = 22,
    ERR_EMPTY_ROOT = -100001,
    ERR_SESSION_ID = -300051,
    ERR_NO_SETTINGS = -1099
};

NString settingOr(const RvPairList& pairs, const char* key, const char* fallback)
{
    NString value;
    rvcomGetPairValue(value, pairs, key, false);
    if (value.isNullOrEmpty()) {
        return NString(fallback);
    }
    return value;
}

// Settings are null until a load read them; the connection refuses null.
const char* settingArg(const NString& value)
{
    return value.isNull() ? nullptr : value.c_str();
}

}  // namespace

RvAppCtx* RvAppCtx::getInstance()
{
    static RvAppCtx instance;
    return &instance;
}

RvAppCtx::RvAppCtx() : connection(nullptr), ownsConnection(false) {}

RvAppCtx::~RvAppCtx()
{
    // A copy leaves the shared connection and the tables to the owner.
    if (ownsConnection || connection == nullptr) {
        disconnect();
    }
}

RvAppCtx& RvAppCtx::operator=(const RvAppCtx& other)
{
    if (this == &other) {
        return *this;
    }
    language = other.language;
    msgLanguage = other.msgLanguage;
    timeZone = other.timeZone;
    rootDir = other.rootDir;
    sessionDir = other.sessionDir;
    templateDir = other.templateDir;
    pageDir = other.pageDir;
    dataDir = other.dataDir;
    tmpDir = other.tmpDir;
    logDir = other.logDir;
    sqlLogFile = other.sqlLogFile;
    localDir = other.localDir;
    dbHost = other.dbHost;
    reserved = other.reserved;
    dbName = other.dbName;
    dbUser = other.dbUser;
    dbPassword = other.dbPassword;
    user = other.user;
    if (connection != other.connection) {
        if (ownsConnection) {
            delete connection;
        }
        connection = other.connection;
        ownsConnection = false;
    }
    return *this;
}

int RvAppCtx::load(const char* root)
{
    if (root == nullptr || root[0] == '\0') {
        COMTRACE("ret[%d]", ERR_EMPTY_ROOT);
        return ERR_EMPTY_ROOT;
    }
    if (connection == nullptr) {
        connection = new CdDBConnection_PG(CONNECT_RETRIES, CONNECT_RETRY_WAIT);
        ownsConnection = true;
    }

    rootDir = root;
    root = rootDir.c_str();  // root may have been the old rootDir's text
    NString path;
    path.format("%s/rvdata/app", root);
    RvPairList pairs;
    int ret = rvcomReadFileToPairArray(pairs, path.c_str(), SETTINGS_READ_RETRIES);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }

    sessionDir.format("%s/rvsession", root);
    templateDir.format("%s/rvtemplate", root);
    pageDir.format("%s/rvpage", root);
    dataDir.format("%s/rvdata", root);
    tmpDir.format("%s/rvdata/tmp", root);
    logDir.format("%s/rvdata/log", root);
    localDir.format("%s/rvlocal", root);

    dbHost = settingOr(pairs, "dbs", DEFAULT_DB_HOST);
    dbName = settingOr(pairs, "dbname", DEFAULT_DB_NAME);
    dbUser = settingOr(pairs, "dbuser", DEFAULT_DB_USER);
    dbPassword = settingOr(pairs, "dbpwd", DEFAULT_DB_PASSWORD);
    sqlLogFile = NString();
    rvcomGetPairValue(sqlLogFile, pairs, "sqllogfname", false);
    setSqlLogFile();

    language = APP_LANGUAGE;
    timeZone = APP_TIME_ZONE;
    connection->setTimeZone(timeZone.c_str());
    return 0;
}

void RvAppCtx::setSqlLogFile()
{
    if (connection != nullptr) {
        connection->setLogFile(sqlLogFile.c_str());
    }
}

int RvAppCtx::connect(bool repeatableRead)
{
    if (connection == nullptr) {
        COMTRACE("ret[%d]", ERR_NO_SETTINGS);
        return ERR_NO_SETTINGS;
    }
    if (connection->isConnected()) {
        return 0;
    }
    // Never trace the password.
    int ret = connection->connect(settingArg(dbUser), settingArg(dbPassword), settingArg(dbHost),
                                  settingArg(dbName), CONNECT_TIMEOUT);
    if (ret != 0) {
        COMTRACE("ret[%d] host[%s] dbname[%s] user[%s]", ret, dbHost.c_str(), dbName.c_str(),
                 dbUser.c_str());
        return ret;
    }

    bool is90 = false;
    ret = rvappCheckPGVersion(connection, is90);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        connection->disconnect();
        return ret;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    if (encoder != nullptr) {
        encoder->setBackslashFlag(is90);
    }

    ret = connection->begin();
    if (ret == 0 && repeatableRead) {
        // Must be the transaction's first statement.
        connection->setSql("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        CdDBResultHandle result = connection->execute();
        ret = result->getStatus();
    }
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        connection->disconnect();
        return ret;
    }
    return 0;
}

CdDBConnection* RvAppCtx::getConnection(bool connectIfNeeded)
{
    if (connectIfNeeded && connection != nullptr && !connection->isConnected()) {
        int ret = connect();
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
        }
    }
    return connection;
}

int RvAppCtx::disconnect()
{
    int ret = 0;
    if (connection != nullptr && connection->isConnected()) {
        ret = connection->rollback();
        int closed = connection->disconnect();
        if (ret == 0) {
            ret = closed;
        }
    }
    if (ownsConnection) {
        delete connection;
    }
    connection = nullptr;
    ownsConnection = false;
    rvcomClearLocalStrings();
    rvcomClearCodeMessages();
    return ret;
}

int RvAppCtx::setLanguage(const char* lang)
{
    if (lang == nullptr) {
        COMTRACE("ret[%d]", ERR_EMPTY_ROOT);
        return ERR_EMPTY_ROOT;
    }
    msgLanguage = lang;
    lang = msgLanguage.c_str();  // lang may have been the old msgLanguage's text
    // No mix of two languages: both tables start empty.
    rvcomClearLocalStrings();
    rvcomClearCodeMessages();

    int first = 0;
    NString path;
    path.format("%s/%s/com", localDir.c_str(), lang);
    int ret = rvcomLoadLocalStringFile(path.c_str());
    if (ret != 0 && first == 0) {
        first = ret;
    }
    path.format("%s/%s/vikra", localDir.c_str(), lang);
    ret = rvcomLoadLocalStringFile(path.c_str());
    if (ret != 0 && first == 0) {
        first = ret;
    }
    path.format("%s/%s/message", localDir.c_str(), lang);
    ret = rvcomLoadCodeMessageFile(path.c_str());
    if (ret != 0 && first == 0) {
        first = ret;
    }
    return first;
}

int RvAppCtx::makeSessionFilePath(const NString& sessionId, NString& out) const
{
    const char* id = sessionId.c_str();
    // A '/' would lead out of the session directory.
    if (strlen(id) != SESSION_ID_LENGTH || sessionId.length() != SESSION_ID_LENGTH ||
        strchr(id, '/') != nullptr) {
        COMTRACE("ret[%d]", ERR_SESSION_ID);
        return ERR_SESSION_ID;
    }
    out.format("%s/%.2s%.2s/%s", sessionDir.c_str(), id + 6, id + 8, id + 12);
    return 0;
}

void RvAppCtx::setConnection(CdDBConnection* newConnection)
{
    if (newConnection == connection) {
        ownsConnection = newConnection != nullptr;
        return;
    }
    if (ownsConnection) {
        delete connection;
    }
    connection = newConnection;
    ownsConnection = connection != nullptr;
}
