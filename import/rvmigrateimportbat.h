// The import batch: options, configuration file, run files (import.status,
// import.log), console texts, and the flow that hands each table directory
// of an export to the business-application server.
#ifndef RVMIGRATEIMPORTBAT_H
#define RVMIGRATEIMPORTBAT_H

#include <string>
#include <vector>

#include "nstring.h"
#include "nufileio.h"
#include "nuioobj.h"

// Result codes of the import program.
enum {
    RVIMP_ERR_ARG_REQUIRED = -600001,
    RVIMP_ERR_CONF_URL = -600002,
    RVIMP_ERR_CONF_PROXY_PORT = -600003,
    RVIMP_ERR_MODULE_DIR = -600004,
    RVIMP_ERR_MESSAGE_FILE = -600005,
    RVIMP_ERR_CODE_FILE = -600006,
    RVIMP_ERR_NOMEM = -600007,
    RVIMP_ERR_EXCHANGE = -600008,
    RVIMP_ERR_FILE = -600009,
    RVIMP_ERR_WALK = -600010,
    RVIMP_ERR_SETTING = -600011,
    RVIMP_ERR_PATH = -600012,
    RVIMP_ERR_SAVE_RESULT = -600013,
    RVIMP_ERR_SAVE_ERRLIST = -600014,
    RVIMP_ERR_LOGIN = -600015,
    RVIMP_ERR_LOGOUT = -600016,
    RVIMP_ERR_STATUS_FILE = -600017,
    RVIMP_ERR_CONNECTION = -600018,
    RVIMP_ERR_SETTING_FILE = -600019,
    RVIMP_ERR_MAKE_DIR = -100004
};

class RvMigrateImportBat {
public:
    RvMigrateImportBat();
    ~RvMigrateImportBat();
    RvMigrateImportBat(const RvMigrateImportBat&) = delete;
    RvMigrateImportBat& operator=(const RvMigrateImportBat&) = delete;

    // 0 or 1 (the exit status).
    int run(int argc, char** argv);
    int init(int argc, char** argv);
    int finish(int code);

    int setModuleDirs(char** argv);
    int parseArgs(int argc, char** argv);
    int checkRequiredArgs();
    int setStatusFilePath();
    int writeStartStatus();
    int openLogFile();
    int readConfigFile();
    void setMessageByCode(int code, NString& out);
    void writeLog(NString text);
    void releaseStatusObj();

    // Process phase.
    int process();
    int scanImportDir();
    static int scanImportDirCallback(const char* name, void* context, int isFile);
    int login();
    int logout();
    // Every table in turn: 0, or the code of the first table that failed
    // (its message left in m_message).
    int importTables();
    int readSettingFile(const std::string& dir);
    int uploadAttachFiles(const std::string& dir);
    int importData(const std::string& dir);
    int waitImportEnd();
    int downloadImportLog(const std::string& dir);
    int downloadErrorList(const std::string& dir);
    static int searchAttachDir();
    static int collectAttachFileCallback(const char* name, void* context, int isFile);

    // Module directory and the files under it (set by setModuleDirs).
    const std::string& moduleDir() const { return m_module_dir; }

    NString m_config_file;
    NString m_access_key;
    NString m_status_dir;
    NString m_log_dir;
    NString m_import_dir;
    NString m_url;
    NString m_basic_auth_userid;
    NString m_basic_auth_password;
    NString m_proxy_host;
    int m_proxy_port;
    NString m_proxy_auth_userid;
    std::string m_proxy_auth_password;
    NUioObjList* m_status_obj;
    NUFileIO m_fileio;
    NString m_log_file;
    NString m_message;
    NString m_error_detail;
    std::string m_tblname;
    int m_ok_count;
    int m_warning_count;
    int m_ng_count;
    std::string m_app_id;
    std::string m_rssid;
    std::string m_stoken;
    std::string m_attach_base_dir;
    std::string m_data_file;
    std::string m_fields;
    std::string m_appname;
    std::string m_self_message;
    std::vector<std::string> m_table_dirs;
    std::vector<std::string> m_attach_files;

    // Walk state shared by the directory walks.
    static std::vector<std::string>* m_search_list;
    static std::string m_search_base_dir;
    static std::string m_search_dir;

private:
    // Stores the message in m_message and writes it to import.log.
    void failWith(const std::string& message);
    int saveDownload(const std::string& path, const std::string& body);
    template <class Download>
    int download(const std::string& path, int saveError, const char* pathKey);

    std::string m_module_dir;
    // A progress count is on the console without its line end.
    bool m_progress_open;
};

// True when name is a table directory name: "tbl" and five or more digits.
bool rvimportIsTableDirName(const char* name);

#endif
