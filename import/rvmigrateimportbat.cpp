#include "rvmigrateimportbat.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "comfile.h"
#include "comstr.h"
#include "comtime.h"
#include "comtrace.h"
#include "jsonaccess.h"
#include "rvhttp.h"
#include "rvimporttext.h"

#define RvMigrateImportBatTrace(...) COMTRACE_SRC("RvMigrateImportBat", __VA_ARGS__)

namespace {

const char kStatusFile[] = "import.status";
const char kLogFile[] = "import.log";
const char kResultFile[] = "import_result.txt";
const char kErrorListFile[] = "import_error_list.csv";
const int kPollSeconds = 3;
const size_t kWalkPathMax = 1023;

std::string nowText()
{
    char buf[COM_STAMP_SIZE] = "";
    comTimeNowText(buf, 1);
    return buf;
}

std::string afterLastSlash(const std::string& path)
{
    size_t p = path.rfind('/');
    return p == std::string::npos ? path : path.substr(p + 1);
}

// A configured value that would end up in a request line or header.
bool hasControlBytes(const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 0x20 || *p == 0x7f)
            return true;
    return false;
}

} // namespace

std::vector<std::string>* RvMigrateImportBat::m_search_list = nullptr;
std::string RvMigrateImportBat::m_search_base_dir;
std::string RvMigrateImportBat::m_search_dir;

bool rvimportIsTableDirName(const char* name)
{
    if (!name || std::strncmp(name, "tbl", 3) != 0)
        return false;
    const char* p = name + 3;
    size_t digits = 0;
    for (; *p; ++p, ++digits)
        if (*p < '0' || *p > '9')
            return false;
    return digits >= 5;
}

RvMigrateImportBat::RvMigrateImportBat()
    : m_proxy_port(0), m_status_obj(nullptr), m_ok_count(0), m_warning_count(0), m_ng_count(0),
      m_progress_open(false)
{
}

RvMigrateImportBat::~RvMigrateImportBat()
{
    releaseStatusObj();
}

int RvMigrateImportBat::run(int argc, char** argv)
{
    int r = init(argc, argv);
    if (r == 0)
        r = process();
    return finish(r);
}

int RvMigrateImportBat::init(int argc, char** argv)
{
    int r = setModuleDirs(argv);
    if (r != 0)
        return r;
    r = parseArgs(argc, argv);
    if (r != 0)
        return r;
    r = writeStartStatus();
    if (r != 0)
        return r;
    r = openLogFile();
    if (r != 0)
        return r;
    writeLog(NString(rvimportLocalString("import_logfile_start", {}).c_str()));
    rvimportPrintLine(rvimportLocalString("import_cmdline_import_start", {}));
    return readConfigFile();
}

int RvMigrateImportBat::finish(int code)
{
    NString message = m_message;
    if (message.isNullOrEmpty())
        setMessageByCode(code, message);
    if (!m_log_file.isNullOrEmpty()) {
        writeLog(NString(rvimportLocalString("import_logfile_end", {}).c_str()));
        rvimportPrintLine(rvimportLocalString("import_cmdline_import_end", {}));
    }
    if (m_status_obj) {
        if (code != 0)
            m_status_obj->addEntry("msg", message.c_str());
        char num[16];
        std::snprintf(num, sizeof num, "%d", code);
        m_status_obj->addEntry("status", num);
        m_status_obj->addEntry("enddate", nowText().c_str());
        m_fileio.write(m_status_obj, true, false);
        releaseStatusObj();
    }
    if (code == 0)
        return 0;
    std::fflush(stdout);
    std::fputs(message.c_str(), stderr);
    std::fputs(m_error_detail.c_str(), stderr);
    std::fflush(stderr);
    return 1;
}

// ---- module directory -----------------------------------------------------------------------

int RvMigrateImportBat::setModuleDirs(char** argv)
{
    std::string real;
    if (!argv || !argv[0] || !rvimportProgramPath(argv[0], real)) {
        m_error_detail = "Module is moved default directory.";
        return RVIMP_ERR_MODULE_DIR;
    }
    char dir[4096] = "";
    comPathDir(real.c_str(), dir, sizeof dir, 0);
    std::string d = dir;
    if (!d.empty() && d.back() == '/')
        d.pop_back();
    size_t p = d.rfind('/');
    if (p == std::string::npos) {
        m_error_detail = "Module is moved default directory.";
        return RVIMP_ERR_MODULE_DIR;
    }
    m_module_dir = d.substr(0, p);

    std::string messageFile = m_module_dir + "/local/ja/message";
    if (!comFileExists(messageFile.c_str())) {
        m_error_detail = "Message file is not found.";
        return RVIMP_ERR_MESSAGE_FILE;
    }
    int r = rvimportLoadCodeFile(messageFile.c_str());
    if (r != 0) {
        m_error_detail = "Message file is not found.";
        return r;
    }
    std::string stringFile = m_module_dir + "/local/ja/vikra";
    if (!comFileExists(stringFile.c_str())) {
        m_error_detail = "Code file is not found.";
        return RVIMP_ERR_CODE_FILE;
    }
    r = rvimportLoadLocalStringFile(stringFile.c_str());
    if (r != 0) {
        m_error_detail = "Code file is not found.";
        return r;
    }

    std::string stamp = nowText();
    std::string syslogDir = m_module_dir + "/syslog";
    if (comDirMake(syslogDir.c_str()) != 0) {
        m_error_detail = ("[" + syslogDir + "]").c_str();
        return RVIMP_ERR_MAKE_DIR;
    }
    comTraceSetPath((syslogDir + "/" + stamp + ".log").c_str());
    return 0;
}

// ---- options --------------------------------------------------------------------------------

int RvMigrateImportBat::parseArgs(int argc, char** argv)
{
    m_config_file = rvimportArgValue(argc, argv, "-conf").c_str();
    m_status_dir = rvimportArgValue(argc, argv, "-s").c_str();
    m_log_dir = rvimportArgValue(argc, argv, "-l").c_str();
    m_import_dir = rvimportArgValue(argc, argv, "-files").c_str();
    m_access_key = rvimportArgValue(argc, argv, "-access_key").c_str();
    int r = checkRequiredArgs();
    if (r != 0)
        return r;
    std::string logDir = m_log_dir.c_str();
    if (logDir.back() != '/')
        m_log_dir = (logDir + "/").c_str();
    return 0;
}

int RvMigrateImportBat::checkRequiredArgs()
{
    const struct {
        const char* name;
        const NString* value;
    } required[] = {{"-conf", &m_config_file},
                    {"-s", &m_status_dir},
                    {"-l", &m_log_dir},
                    {"-files", &m_import_dir},
                    {"-access_key", &m_access_key}};
    for (const auto& a : required) {
        if (a.value->isNullOrEmpty()) {
            m_error_detail.format("%s[%s]", "This arg is required.", a.name);
            RvMigrateImportBatTrace("ret[%d] args[%s]", RVIMP_ERR_ARG_REQUIRED, a.name);
            return RVIMP_ERR_ARG_REQUIRED;
        }
    }
    return 0;
}

// ---- status file ----------------------------------------------------------------------------

int RvMigrateImportBat::setStatusFilePath()
{
    releaseStatusObj();
    m_status_obj = new NUioObjList();
    if (m_status_obj->setPath(kStatusFile, m_status_dir.c_str()) != 0) {
        RvMigrateImportBatTrace("ret[%d] statusfiledir[%s]", RVIMP_ERR_PATH, m_status_dir.c_str());
        m_error_detail.format("%s[%s]", "Failed to save file path.", m_status_dir.c_str());
        releaseStatusObj();
        return RVIMP_ERR_PATH;
    }
    return 0;
}

int RvMigrateImportBat::writeStartStatus()
{
    int r = setStatusFilePath();
    if (r != 0)
        return r;
    std::string stamp = nowText();
    // The directory must exist; the lock file would otherwise create it.
    if (comIsDir(m_status_dir.c_str()) != 1) {
        r = -1;
        errno = ENOENT;
    } else {
        r = m_status_obj->addEntry("startdate", stamp.c_str());
        if (r != 0)
            RvMigrateImportBatTrace("ret[%d] name[%s] value[%s]", r, "startdate", stamp.c_str());
        else
            r = m_fileio.write(m_status_obj, true, false);
    }
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] statusfiledir[%s] errno[%d]", r, m_status_dir.c_str(),
                                errno);
        releaseStatusObj();
        m_error_detail.format("[%s/%s]", m_status_dir.c_str(), kStatusFile);
        return RVIMP_ERR_STATUS_FILE;
    }
    return 0;
}

void RvMigrateImportBat::releaseStatusObj()
{
    delete m_status_obj;
    m_status_obj = nullptr;
}

// ---- run log --------------------------------------------------------------------------------

int RvMigrateImportBat::openLogFile()
{
    if (comDirMake(m_log_dir.c_str()) != 0) {
        RvMigrateImportBatTrace("ret[%d] logdir[%s]", RVIMP_ERR_MAKE_DIR, m_log_dir.c_str());
        m_error_detail.format("[%s]", m_log_dir.c_str());
        return RVIMP_ERR_MAKE_DIR;
    }
    m_log_file.format("%s%s", m_log_dir.c_str(), kLogFile);
    return 0;
}

void RvMigrateImportBat::writeLog(NString text)
{
    if (m_log_file.isNullOrEmpty())
        return;
    // One entry is one line, whatever a server message holds.
    std::string line = text.c_str();
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    char old[COM_PATH_SIZE] = "";
    comSetDebugLogPath(m_log_file.c_str(), old, sizeof old);
    comDebugLog("%s\n", line.c_str());
    comSetDebugLogPath(old[0] ? old : nullptr, nullptr, 0);
}

void RvMigrateImportBat::setMessageByCode(int code, NString& out)
{
    out = code == 0 ? "" : rvimportCodeText(code).c_str();
}

void RvMigrateImportBat::failWith(const std::string& message)
{
    m_message = message.c_str();
    writeLog(m_message);
}

// ---- configuration file -----------------------------------------------------------------------

int RvMigrateImportBat::readConfigFile()
{
    NUioObjList conf;
    NUFileIO reader;
    reader.setNoLock(true);
    const char* path = m_config_file.c_str();
    if (conf.setPath(path) != 0) {
        RvMigrateImportBatTrace("ret[%d] config_file[%s]", RVIMP_ERR_PATH, path);
        failWith(rvimportCodeText(RVIMP_ERR_PATH));
        m_error_detail.format("[%s]", path);
        return RVIMP_ERR_PATH;
    }
    int r = reader.read(conf);
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] errno[%d] m_config_file[%s]", r, errno, path);
        failWith(rvimportCodeMessage(RVIMP_ERR_FILE, {path}));
        return RVIMP_ERR_FILE;
    }
    char* v = nullptr;
    // A url with control bytes would reach the request line and headers.
    if (conf.getValue("url", &v) != 0 || !v || !*v || hasControlBytes(v)) {
        RvMigrateImportBatTrace("ret[%d] param_name[%s]", RVIMP_ERR_CONF_URL, "url");
        failWith(rvimportCodeText(RVIMP_ERR_CONF_URL));
        return RVIMP_ERR_CONF_URL;
    }
    m_url = v;
    if (conf.getValue("basic_auth_userid", &v) == 0)
        m_basic_auth_userid = v;
    if (!m_basic_auth_userid.isNullOrEmpty() && conf.getValue("basic_auth_password", &v) == 0)
        m_basic_auth_password = v ? v : "";
    if (conf.getValue("proxy_host", &v) == 0)
        m_proxy_host = v;
    if (!m_proxy_host.isNullOrEmpty()) {
        // A proxy needs a port: an absent one is refused like a bad one.
        const char* port = conf.getValue("proxy_port", &v) == 0 && v ? v : "";
        long n = std::strtol(port, nullptr, 10);
        if (n <= 0 || n > 65535) {
            RvMigrateImportBatTrace("ret[%d] param_name[%s] val[%s]", RVIMP_ERR_CONF_PROXY_PORT,
                                    "proxy_port", port);
            failWith(rvimportCodeText(RVIMP_ERR_CONF_PROXY_PORT));
            return RVIMP_ERR_CONF_PROXY_PORT;
        }
        m_proxy_port = static_cast<int>(n);
        if (conf.getValue("proxy_auth_userid", &v) == 0)
            m_proxy_auth_userid = v;
        if (conf.getValue("proxy_auth_password", &v) == 0)
            m_proxy_auth_password = v ? v : "";
    }
    return 0;
}

// ---- process --------------------------------------------------------------------------------

int RvMigrateImportBat::process()
{
    int r = scanImportDir();
    if (r != 0)
        return r;
    if (m_table_dirs.empty())
        return 0;
    r = login();
    if (r != 0)
        return r;
    // The session is closed whatever became of the tables; a failed table
    // still makes the run a failure, under the first such table's code.
    int tables = importTables();
    std::string tablesMessage = m_message.c_str();
    r = logout();
    if (tables != 0) {
        m_message = tablesMessage.c_str();
        return tables;
    }
    return r;
}

int RvMigrateImportBat::scanImportDir()
{
    m_search_list = &m_table_dirs;
    int32_t context[2] = {0, 0};
    int r = -1;
    if (std::strlen(m_import_dir.c_str()) <= kWalkPathMax)
        r = comDirWalk(m_import_dir.c_str(), context, scanImportDirCallback);
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] importdir[%s] errno[%d]", r, m_import_dir.c_str(), errno);
        failWith(rvimportCodeMessage(RVIMP_ERR_WALK, {m_import_dir.c_str()}));
        return RVIMP_ERR_WALK;
    }
    return 0;
}

int RvMigrateImportBat::scanImportDirCallback(const char* name, void*, int isFile)
{
    if (isFile || !name)
        return 0;
    std::string path = name;
    if (rvimportIsTableDirName(afterLastSlash(path).c_str()))
        m_search_list->push_back(path);
    return 0;
}

int RvMigrateImportBat::login()
{
    RvHttpLogin http(this);
    int r = http.Accs();
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] access_key[%s] apierrorcode[%d] apierrormsg[%s]", r,
                                "****", http.getServerErrorNo(), http.getMessage().c_str());
        failWith(rvimportCodeMessage(RVIMP_ERR_LOGIN, {http.getMessage()}));
        return RVIMP_ERR_LOGIN;
    }
    m_rssid = http.getLoginId();
    m_stoken = http.getToken();
    return 0;
}

int RvMigrateImportBat::logout()
{
    RvHttpLogout http(this);
    int r = http.Accs();
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] access_key[%s] api_errorcode[%d] api_errormsg[%s]", r,
                                "****", http.getServerErrorNo(), http.getMessage().c_str());
        failWith(rvimportCodeMessage(RVIMP_ERR_LOGOUT, {http.getMessage()}));
        return RVIMP_ERR_LOGOUT;
    }
    return 0;
}

int RvMigrateImportBat::importTables()
{
    int firstCode = 0;
    std::string firstMessage;
    for (const std::string& dir : m_table_dirs) {
        m_message = "";
        m_tblname = afterLastSlash(dir);
        m_ok_count = m_warning_count = m_ng_count = 0;
        m_progress_open = false;
        // Nothing of the previous table may go out under this one.
        m_appname.clear();
        m_app_id.clear();
        const char* idir = m_import_dir.c_str();
        const char* tbl = m_tblname.c_str();

        int r = readSettingFile(dir);
        if (r != 0) {
            RvMigrateImportBatTrace("ret[%d] importdir[%s] tblname[%s]", r, idir, tbl);
        } else if ((r = uploadAttachFiles(dir)) != 0 || (r = importData(dir)) != 0) {
            RvMigrateImportBatTrace("ret[%d] importdir[%s] tblname[%s] appname[%s]", r, idir, tbl,
                                    m_appname.c_str());
        } else if ((r = waitImportEnd()) != 0 || (r = downloadImportLog(dir)) != 0 ||
                   (r = downloadErrorList(dir)) != 0) {
            RvMigrateImportBatTrace("ret[%d] importdir[%s] tblname[%s] appname[%s] app_id[%s]", r,
                                    idir, tbl, m_appname.c_str(), m_app_id.c_str());
        }
        if (r != 0) {
            // A progress count of the polls is ended before the guide line.
            if (m_progress_open)
                rvimportPrintLine("");
            m_progress_open = false;
            rvimportPrintLine(rvimportLocalString("import_cmdline_import_logguidemsg", {m_tblname}));
            if (firstCode == 0) {
                firstCode = r;
                firstMessage = m_message.c_str();
            }
            continue;
        }
        writeLog(NString(rvimportLocalString("import_logfile_result",
                                             {m_tblname, m_appname, m_ok_count, m_warning_count,
                                              m_ng_count})
                             .c_str()));
        rvimportPrintProgress(rvimportLocalString(
            "import_cmdline_import_result",
            {m_tblname, m_appname, m_ok_count, m_warning_count, m_ng_count}));
        rvimportPrintLine("");
        if (!m_self_message.empty())
            rvimportPrintLine(rvimportLocalString("import_cmdline_import_errorguidemsg",
                                                  {m_tblname, kResultFile}));
        else if (m_warning_count > 0 || m_ng_count > 0)
            rvimportPrintLine(rvimportLocalString("import_cmdline_import_warningguidemsg",
                                                  {m_tblname, kErrorListFile}));
    }
    m_message = firstMessage.c_str();
    return firstCode;
}

int RvMigrateImportBat::readSettingFile(const std::string& dir)
{
    std::string path = dir + "/setting.json";
    char* text = comFileReadAll(path.c_str());
    if (!text || !*text) {
        RvMigrateImportBatTrace("settingfile[%s] errno[%d]", path.c_str(), errno);
        std::free(text);
        failWith(rvimportCodeMessage(RVIMP_ERR_SETTING_FILE, {m_tblname, path}));
        return RVIMP_ERR_SETTING_FILE;
    }
    JsonValue* root = nullptr;
    JsonObject* obj = jsonParseObject(text, &root);
    if (!obj) {
        RvMigrateImportBatTrace("fields[%s] errno[%d]", text, errno);
        jsonFree(root);
        std::free(text);
        failWith(rvimportCodeMessage(RVIMP_ERR_SETTING, {m_tblname}));
        return RVIMP_ERR_SETTING;
    }
    char* name = nullptr;
    if (jsonObjectGetText(obj, "Name", &name) == JSON_FOUND && name)
        m_appname = name;
    std::free(name);
    std::string fields;
    int r = jsonObjectSerializeField(obj, "fields", fields);
    jsonFree(root);
    if (r == JSON_NOMEM) {
        RvMigrateImportBatTrace(" bufsize[%d] errno[%d]", static_cast<int>(std::strlen(text)),
                                errno);
        std::free(text);
        failWith(rvimportCodeMessage(RVIMP_ERR_NOMEM, {m_tblname, m_appname}));
        return RVIMP_ERR_NOMEM;
    }
    if (r != JSON_FOUND) {
        RvMigrateImportBatTrace("fields[%s] buf[%s] bufsize[%d] errno[%d]", text, fields.c_str(),
                                static_cast<int>(std::strlen(text)), errno);
        std::free(text);
        failWith(rvimportCodeMessage(RVIMP_ERR_SETTING, {m_tblname, m_appname}));
        return RVIMP_ERR_SETTING;
    }
    std::free(text);
    m_fields = fields;
    return 0;
}

int RvMigrateImportBat::searchAttachDir()
{
    // The callbacks reassign m_search_dir: the walk goes over a copy.
    char dir[kWalkPathMax + 1];
    int32_t context[2] = {0, 0};
    int r = -1;
    if (m_search_dir.size() <= kWalkPathMax) {
        std::memcpy(dir, m_search_dir.c_str(), m_search_dir.size() + 1);
        r = comDirWalk(dir, context, collectAttachFileCallback);
    } else {
        errno = ENAMETOOLONG;
    }
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] search_dir[%s] errno[%d]", r, m_search_dir.c_str(), errno);
        return RVIMP_ERR_WALK;
    }
    return 0;
}

int RvMigrateImportBat::collectAttachFileCallback(const char* name, void*, int isFile)
{
    if (!name)
        return 0;
    if (isFile) {
        // Regular files only (the walk passes pipes and sockets as files).
        struct stat st;
        std::string full = m_search_dir + "/" + name;
        if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return 0;
        if (m_search_dir.size() > m_search_base_dir.size())
            m_search_list->push_back(m_search_dir.substr(m_search_base_dir.size()) + "/" + name);
        else
            m_search_list->push_back(name);
        return 0;
    }
    std::string saved = m_search_dir;
    m_search_dir = name;
    int r = searchAttachDir();
    m_search_dir = saved;
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] m_search_dir[%s]", r, name);
        return RVIMP_ERR_WALK;
    }
    return 0;
}

int RvMigrateImportBat::uploadAttachFiles(const std::string& dir)
{
    m_attach_files.clear();
    m_search_list = &m_attach_files;
    m_search_base_dir = dir;
    m_search_dir = dir;
    int r = searchAttachDir();
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] importdir[%s]", r, dir.c_str());
        failWith(rvimportCodeText(RVIMP_ERR_WALK));
        return RVIMP_ERR_WALK;
    }
    m_attach_base_dir = dir + "/";
    for (const std::string& file : m_attach_files) {
        RvHttpImportFileUpload http(this);
        http.m_attach_filepath = file;
        r = http.Accs();
        if (r != 0) {
            RvMigrateImportBatTrace(
                "ret[%d] attach_file[%s] api_errorcode[%d] api_errormsg[%s] m_attach_filepath[%s]",
                r, file.c_str(), http.getServerErrorNo(), http.getMessage().c_str(),
                http.m_attach_filepath.c_str());
            failWith(rvimportCodeMessage(RVIMP_ERR_EXCHANGE,
                                         {m_tblname, m_appname, http.getMessage()}));
            return RVIMP_ERR_EXCHANGE;
        }
    }
    return 0;
}

int RvMigrateImportBat::importData(const std::string& dir)
{
    m_data_file = dir + "/data.csv";
    RvHttpImportApp http(this);
    int r = http.Accs();
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] api_errorcode[%d] api_errormsg[%s]", r,
                                http.getServerErrorNo(), http.getMessage().c_str());
        failWith(rvimportCodeMessage(RVIMP_ERR_EXCHANGE, {m_tblname, m_appname, http.getMessage()}));
        return RVIMP_ERR_EXCHANGE;
    }
    m_app_id = http.getAppId();
    rvimportPrintLine(rvimportLocalString("import_cmdline_import_progress_db",
                                          {m_tblname, m_appname}));
    return 0;
}

int RvMigrateImportBat::waitImportEnd()
{
    for (;;) {
        RvHttpImportProcExisted http(this);
        ::sleep(kPollSeconds);
        int r = http.Accs();
        if (r != 0) {
            RvMigrateImportBatTrace("ret[%d] api_id[%s] api_errorcode[%d] api_errormsg[%s]", r,
                                    m_app_id.c_str(), http.getServerErrorNo(),
                                    http.getMessage().c_str());
            failWith(rvimportCodeMessage(RVIMP_ERR_EXCHANGE,
                                         {m_tblname, m_appname, http.getMessage()}));
            return RVIMP_ERR_EXCHANGE;
        }
        m_ok_count = http.getOkCount();
        m_warning_count = http.getWarningCount();
        m_ng_count = http.getNgCount();
        rvimportPrintProgress(rvimportLocalString(
            "import_cmdline_import_progress_count", {m_ok_count, m_warning_count, m_ng_count}));
        m_progress_open = true;
        m_self_message = http.getMessage();
        if (!http.isRunning())
            return 0;
    }
}

int RvMigrateImportBat::saveDownload(const std::string& path, const std::string& body)
{
    if (!body.empty())
        return comFileWriteAll(body.data(), static_cast<unsigned>(body.size()), path.c_str());
    // An empty reply (a clean import has no error list) is an empty file.
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return -10;
    return std::fclose(f) == 0 ? 0 : -11;
}

// One download exchange, its reply saved as path; saveError and pathKey: the
// result and the trace key when the file cannot be written.
template <class Download>
int RvMigrateImportBat::download(const std::string& path, int saveError, const char* pathKey)
{
    Download http(this);
    int r = http.Accs();
    if (r != 0) {
        RvMigrateImportBatTrace("ret[%d] api_id[%s] api_errorcode[%d] api_errormsg[%s]", r,
                                m_app_id.c_str(), http.getServerErrorNo(),
                                http.getMessage().c_str());
        failWith(rvimportCodeMessage(RVIMP_ERR_EXCHANGE, {m_tblname, m_appname, http.getMessage()}));
        return RVIMP_ERR_EXCHANGE;
    }
    if (saveDownload(path, http.getResultText()) != 0) {
        RvMigrateImportBatTrace("ret[%d] api_id[%s] %s[%s] errno[%d]", saveError, m_app_id.c_str(),
                                pathKey, path.c_str(), errno);
        failWith(rvimportCodeMessage(saveError, {m_tblname, m_appname, path}));
        return saveError;
    }
    return 0;
}

int RvMigrateImportBat::downloadImportLog(const std::string& dir)
{
    return download<RvHttpImportLogDownload>(dir + "/" + kResultFile, RVIMP_ERR_SAVE_RESULT,
                                             "importlogfile");
}

int RvMigrateImportBat::downloadErrorList(const std::string& dir)
{
    return download<RvHttpImportErrorListDownload>(dir + "/" + kErrorListFile,
                                                   RVIMP_ERR_SAVE_ERRLIST, "forceresultfile");
}
