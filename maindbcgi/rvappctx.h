// Process-wide application context: language and time zone, the directory
// layout under the application root, the database settings of
// <root>/rvdata/app, the current user and the one database connection.
#ifndef RVAPPCTX_H
#define RVAPPCTX_H

#include "cddbconnection.h"
#include "nstring.h"
#include "rvuser.h"

class RvAppCtx {
public:
    // The single instance (built on first use, destroyed at process exit).
    // Never null.
    static RvAppCtx* getInstance();

    // An empty context: no settings, empty user, no connection. Model code
    // uses getInstance(); separate objects are for tests.
    RvAppCtx();
    // Runs disconnect() (not for a copy that shares another's connection).
    ~RvAppCtx();
    RvAppCtx(const RvAppCtx&) = delete;
    // Copies every text and the user record; shares the other's connection
    // without owning it (the connection itself is not copied).
    RvAppCtx& operator=(const RvAppCtx& other);

    // Sets the directory layout under root, creates the connection object
    // (5 attempts, 1 s apart, while the server is full) and reads the
    // settings file <root>/rvdata/app. 0; -100001 empty root; -100010 no
    // settings file; -100007 unreadable settings file.
    int load(const char* root);
    // Connects (client encoding UTF8, session time zone +09:00), checks the
    // server version and begins the process's one transaction. With
    // repeatableRead the transaction runs at REPEATABLE READ, so every
    // statement sees one snapshot. 0 when already connected; otherwise 0 or
    // the code of the connection (-1001, -1002, -1099, ...), of the version
    // check or of BEGIN; after a failure the connection is closed.
    // -1099 before load().
    int connect(bool repeatableRead = false);
    // The connection (null before load()); with connectIfNeeded, connects
    // first when not connected.
    CdDBConnection* getConnection(bool connectIfNeeded);
    // Rolls back and closes an open connection, deletes the connection
    // object and empties the code and local-string tables. The rollback's
    // code, else the disconnect's; 0 when nothing was connected.
    int disconnect();

    // Message language: empties the code and local-string tables, then loads
    // <local>/<lang>/com and <local>/<lang>/vikra as local strings and
    // <local>/<lang>/message as code table. The first failure, else 0.
    int setLanguage(const char* lang);
    // out = "<session dir>/<id[6..7]><id[8..9]>/<id from 12>"; -300051 when
    // the id is not 22 characters or holds '/' (out unchanged).
    int makeSessionFilePath(const NString& sessionId, NString& out) const;

    // Takes ownership of a connection object (replacing and deleting one it
    // owns); load() then keeps it.
    void setConnection(CdDBConnection* connection);

    const NString& getLanguage() const { return language; }
    const NString& getMessageLanguage() const { return msgLanguage; }
    const NString& getTimeZone() const { return timeZone; }
    const NString& getRootDir() const { return rootDir; }
    const NString& getSessionDir() const { return sessionDir; }
    const NString& getTemplateDir() const { return templateDir; }
    const NString& getPageDir() const { return pageDir; }
    const NString& getDataDir() const { return dataDir; }
    const NString& getTmpDir() const { return tmpDir; }
    const NString& getLogDir() const { return logDir; }
    const NString& getSqlLogFile() const { return sqlLogFile; }
    const NString& getLocalDir() const { return localDir; }
    const NString& getDbHost() const { return dbHost; }
    const NString& getDbName() const { return dbName; }
    const NString& getDbUser() const { return dbUser; }
    const NString& getDbPassword() const { return dbPassword; }
    // The user on whose behalf model code runs.
    RvUser& getUser() { return user; }
    const RvUser& getUser() const { return user; }

private:
    void setSqlLogFile();

    NString language;
    NString msgLanguage;
    NString timeZone;
    NString rootDir;
    NString sessionDir;
    NString templateDir;
    NString pageDir;
    NString dataDir;
    NString tmpDir;
    NString logDir;
    NString sqlLogFile;
    NString localDir;
    NString dbHost;
    NString reserved;
    NString dbName;
    NString dbUser;
    NString dbPassword;
    RvUser user;
    CdDBConnection* connection;
    bool ownsConnection;
};

#endif
