// The export run: module files and trace log, options, init, finish, and
// the status file and run log.
#include "rvmigrateexportbat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "cddbconnection.h"
#include "comfile.h"
#include "comstr.h"
#include "comtime.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvcommigrate.h"
#include "rvcompair.h"

namespace {

// Local strings the cells of data.csv are formatted with.
// Texts that go into every export: the date-time cell format and the
// names of the system columns. (File, image and time-span cells are written
// by the export's own rules and take no local string.)
const char* const kCellStrings[] = {
    "dateviewfmt_s_ymdhis", "export_regist_date", "export_regist_user",
    "export_update_date",   "export_update_user",
};

NString optionValue(int argc, char** argv, const char* name)
{
    const char* v = RvComMigrate::comMigrateFindArgValue(argc, argv, name);
    return NString(v ? v : "");
}

bool equals(const NString& a, const char* b)
{
    return std::strcmp(a.c_str(), b) == 0;
}

NString nowText()
{
    char buf[COM_STAMP_SIZE] = "";
    comTimeNowText(buf, 1);
    return NString(buf, -1);
}

void appendSlash(NString& dir)
{
    int n = dir.length();
    if (n == 0 || dir.c_str()[n - 1] != '/')
        dir += NString("/");
}

}  // namespace

RvMigrateExportBat::RvMigrateExportBat()
    : m_status_obj(nullptr),
      m_success_count(0),
      m_warning_count(0),
      m_error_count(0),
      m_appctx(RvAppCtx::getInstance()),
      m_attach_stream(nullptr),
      m_value_formatter(nullptr),
      m_failed_table_code(0),
      m_files_lock(-1)
{
}

RvMigrateExportBat::~RvMigrateExportBat()
{
    if (m_files_lock >= 0)
        ::close(m_files_lock);
}

int RvMigrateExportBat::run(int argc, char** argv)
{
    int rc = init(argc, argv);
    if (rc != 0) {
        EXPORTTRACE("ret[%d]", rc);
        return finish(rc);
    }
    rc = exportTables();
    if (rc != 0) {
        EXPORTTRACE("ret[%d]", rc);
        // The code that stopped the run is the one reported.
        m_failed_table_code = 0;
    } else {
        // A table that failed while the run went on fails the run.
        rc = m_failed_table_code;
    }
    return finish(rc);
}

int RvMigrateExportBat::init(int argc, char** argv)
{
    int ret = setupEnvironment(argv);
    if (ret != 0) {
        EXPORTTRACE("ret[%d] module[%s]", ret, (argc > 0 && argv && argv[0]) ? argv[0] : "");
        return ret;
    }
    ret = parseOptions(argc, argv);
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    ret = writeStartStatus();
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    ret = setExportLogPath();
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    ret = m_appctx->load(m_root_dir.c_str());
    if (ret == -100010) {
        EXPORTTRACE("ret[%d] -h[%s]", ret, m_root_dir.c_str());
        return RVEXP_ERR_NO_SETTINGS;
    }
    if (ret != 0) {
        EXPORTTRACE("ret[%d] -h[%s] errno[%d]", ret, m_root_dir.c_str(), errno);
        return RVEXP_ERR_SETTINGS;
    }
    // One snapshot for every table, record and attachment of the run.
    ret = m_appctx->connect(true);
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    NString text;
    rvcomGetLocalString(text, "export_logfile_start");
    writeExportLog(text);
    rvcomGetLocalString(text, "export_cmdline_export_start");
    RvComMigrate::comMigratePrint(text, true);
    return 0;
}

int RvMigrateExportBat::setupEnvironment(char** argv)
{
    char real[RVCOM_PATH_BUF_SIZE] = "";
    if (argv && argv[0])
        rvcomProgramPath(argv[0], real);
    char dir[RVCOM_PATH_BUF_SIZE] = "";
    comPathDir(real, dir, sizeof dir, 0);
    size_t n = std::strlen(dir);
    if (n > 0 && dir[n - 1] == '/')
        dir[n - 1] = '\0';
    char* cut = std::strrchr(dir, '/');
    if (cut == nullptr) {
        m_error_detail = "Module is moved default directory.";
        return RVEXP_ERR_MODULE_DIR;
    }
    *cut = '\0';
    NString module(dir, -1);

    NString path;
    path.format("%s/%s/%s/%s", module.c_str(), "local", "ja", "message");
    if (!comFileExists(path.c_str())) {
        m_error_detail = "Message file is not found.";
        return RVEXP_ERR_NO_MESSAGE_FILE;
    }
    int ret = rvcomLoadCodeMessageFile(path.c_str());
    if (ret != 0) {
        m_error_detail = "Message file is not found.";
        return ret;
    }
    path.format("%s/%s/%s/%s", module.c_str(), "local", "ja", "vikra");
    if (!comFileExists(path.c_str())) {
        m_error_detail = "Code file is not found.";
        return RVEXP_ERR_NO_STRING_FILE;
    }
    ret = rvcomLoadLocalStringFile(path.c_str());
    if (ret != 0) {
        m_error_detail = "Code file is not found.";
        return ret;
    }

    NString stamp = nowText();
    NString traceDir;
    traceDir.format("%s/%s", module.c_str(), "syslog");
    if (comDirMake(traceDir.c_str()) != 0) {
        m_error_detail.format("[%s]", traceDir.c_str());
        return -100004;
    }
    path.format("%s/%s/%s.log", module.c_str(), "syslog", stamp.c_str());
    comTraceSetPath(path.c_str());
    return checkLocalStrings();
}

int RvMigrateExportBat::checkLocalStrings()
{
    for (const char* key : kCellStrings) {
        NString text;
        rvcomGetLocalString(text, key);
        if (equals(text, key)) {
            m_error_detail.format("%s[%s]", "Local string is not found.", key);
            EXPORTTRACE("ret[%d] key[%s]", RVEXP_ERR_NO_STRING_FILE, key);
            return RVEXP_ERR_NO_STRING_FILE;
        }
    }
    return 0;
}

int RvMigrateExportBat::parseOptions(int argc, char** argv)
{
    m_root_dir = optionValue(argc, argv, "-h");
    m_status_dir = optionValue(argc, argv, "-s");
    m_log_dir = optionValue(argc, argv, "-l");
    m_files_dir = optionValue(argc, argv, "-files");
    m_range = optionValue(argc, argv, "-range");
    m_dbname = optionValue(argc, argv, "-dbname");
    m_auto_calc = optionValue(argc, argv, "-auto_calc");
    m_reference = optionValue(argc, argv, "-reference");

    if (!equals(m_range, "running") && !equals(m_range, "assign"))
        m_range = "all";
    if (!equals(m_auto_calc, "off"))
        m_auto_calc = "on";
    if (!equals(m_reference, "off"))
        m_reference = "on";

    int ret = checkRequiredArgs();
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    if (!m_dbname.isNullOrEmpty())
        RvComMigrate::comMigrateConvName(m_dbname);
    appendSlash(m_files_dir);
    appendSlash(m_log_dir);
    return 0;
}

int RvMigrateExportBat::checkRequiredArgs()
{
    const struct {
        const NString* value;
        const char* name;
    } required[] = {
        { &m_root_dir, "-h" }, { &m_status_dir, "-s" }, { &m_log_dir, "-l" }, { &m_files_dir, "-files" },
    };
    for (const auto& r : required) {
        if (r.value->isNullOrEmpty()) {
            m_error_detail.format("%s[%s]", "This arg is required.", r.name);
            EXPORTTRACE("ret[%d] args[%s]", RVEXP_ERR_ARG_REQUIRED, r.name);
            return RVEXP_ERR_ARG_REQUIRED;
        }
    }
    if (equals(m_range, "assign") && m_dbname.isNullOrEmpty()) {
        m_error_detail.format("%s[%s]", "-dbname is required when -range is used 'assign'.", "-dbname");
        EXPORTTRACE("ret[%d] args[%s]", RVEXP_ERR_ARG, "-dbname");
        return RVEXP_ERR_ARG;
    }
    return 0;
}

int RvMigrateExportBat::finish(int rc)
{
    // A database failure for lack of lock space says so in the server's
    // words.
    if (!m_appctx->getRootDir().isNullOrEmpty()) {
        CdDBConnection* conn = m_appctx->getConnection(false);
        if (m_server_text.isNullOrEmpty())
            keepLockSpaceText(conn, rc);
        if (conn && conn->isConnected())
            conn->disconnect();
    }
    NString resultText;
    bool logged = false;  // the text has its own entry already
    if (rc != 0 && !m_server_text.isNullOrEmpty()) {
        resultText = rvcomGetCodeEntry(rc).text + NString(" ") + m_server_text;
    } else if (rc != 0 && rc == m_failed_table_code && !m_failed_table_text.isNullOrEmpty()) {
        resultText = m_failed_table_text;  // names the table
        logged = true;
    } else {
        makeTableErrorMessage(rc, RvdbTableSet(), NString(), resultText);
        logged = rc == m_failed_table_code;
    }

    if (!m_log_filepath.isNullOrEmpty()) {
        if (rc != 0 && !logged && (rc < RVEXP_ERR_NO_KEY || rc > RVEXP_ERR_SETTING_JSON))
            writeExportLog(resultText);
        NString end;
        rvcomGetLocalString(end, "export_logfile_end");
        writeExportLog(end);
    }

    NString text;
    rvcomGetLocalString(text, "export_cmdline_export_result",
                        RvComMigrate::comMigrateToString(m_success_count),
                        RvComMigrate::comMigrateToString(m_warning_count),
                        RvComMigrate::comMigrateToString(m_error_count));
    RvComMigrate::comMigratePrint(text, true);
    if (m_warning_count > 0 || m_error_count > 0) {
        rvcomGetLocalString(text, "export_cmdline_export_guidemsg");
        RvComMigrate::comMigratePrint(text, true);
    }
    rvcomGetLocalString(text, "export_cmdline_export_end");
    RvComMigrate::comMigratePrint(text, true);
    std::fflush(stdout);

    if (m_status_obj) {
        if (rc != 0)
            m_status_obj->addEntry("msg", resultText.c_str());
        m_status_obj->addEntry("status", RvComMigrate::comMigrateToString(rc).c_str());
        m_status_obj->addEntry("enddate", nowText().c_str());
        m_fileio.write(m_status_obj, true, false);
        deleteStatusObject();
    }
    if (rc == 0)
        return 0;
    NString detail = m_error_detail;
    RvComMigrate::comMigrateConvText(resultText);
    RvComMigrate::comMigrateConvText(detail);
    std::fputs(resultText.c_str(), stderr);
    std::fputs(detail.c_str(), stderr);
    std::fflush(stderr);
    return 1;
}

// ---- export.status and export.log ------------------------------------------

int RvMigrateExportBat::createStatusFile()
{
    m_status_obj = new NUioObjList();
    int ret = m_status_obj->setPath("export.status", m_status_dir.c_str());
    if (ret != 0) {
        EXPORTTRACE("ret[%d] statusfiledir[%s]", ret, m_status_dir.c_str());
        m_error_detail.format("%s[%s]", "Failed to save file path.", m_status_dir.c_str());
        return RVEXP_ERR_STATUS_PATH;
    }
    return 0;
}

int RvMigrateExportBat::writeStartStatus()
{
    int ret = createStatusFile();
    if (ret != 0) {
        EXPORTTRACE("ret[%d] statusfiledir[%s] errno[%d]", ret, m_status_dir.c_str(), errno);
        return ret;
    }
    NString stamp = nowText();
    ret = m_status_obj->addEntry("startdate", stamp.c_str());
    if (ret != 0) {
        EXPORTTRACE("ret[%d] name[%s] value[%s]", ret, "startdate", stamp.c_str());
        deleteStatusObject();
        return RVEXP_ERR_STATUS_WRITE;
    }
    // The status directory is never created: the lock file would make it.
    struct stat st;
    if (::stat(m_status_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        EXPORTTRACE("ret[%d] statusfiledir[%s] errno[%d]", RVEXP_ERR_STATUS_WRITE,
                    m_status_dir.c_str(), errno);
        deleteStatusObject();
        return RVEXP_ERR_STATUS_WRITE;
    }
    ret = m_fileio.write(m_status_obj, true, false);
    if (ret != 0) {
        EXPORTTRACE("ret[%d] statusfiledir[%s] errno[%d]", ret, m_status_dir.c_str(), errno);
        deleteStatusObject();
        return RVEXP_ERR_STATUS_WRITE;
    }
    return 0;
}

void RvMigrateExportBat::deleteStatusObject()
{
    delete m_status_obj;
    m_status_obj = nullptr;
}

int RvMigrateExportBat::setExportLogPath()
{
    if (comDirMake(m_log_dir.c_str()) != 0) {
        m_error_detail.format("[%s]", m_log_dir.c_str());
        return -100004;
    }
    m_log_filepath.format("%s%s", m_log_dir.c_str(), "export.log");
    return 0;
}

void RvMigrateExportBat::writeExportLog(const NString& text)
{
    if (m_log_filepath.isNullOrEmpty())
        return;
    NString line = text + NString("\n");
    char old[COM_PATH_SIZE] = "";
    comSetDebugLogPath(m_log_filepath.c_str(), old, sizeof old);
    comDebugLog("%s", line.c_str());
    comSetDebugLogPath(old, nullptr, 0);
}

bool RvMigrateExportBat::keepLockSpaceText(CdDBConnection* conn, int code)
{
    if (conn == nullptr || code > CDDB_ERR_CONNECT || code < CDDB_ERR_MEMORY ||
        std::strcmp(conn->getSqlState(), "53200") != 0)
        return false;
    rvcomGetLocalString(m_server_text, "export_logfile_server_error", NString(conn->getServerMessage()),
                        NString(conn->getServerHint()));
    return true;
}

void RvMigrateExportBat::makeTableErrorMessage(int code, const RvdbTableSet& table,
                                               const NString& tableName, NString& out)
{
    if (code == 0) {
        out = "";
        return;
    }
    NString codeText = rvcomGetCodeEntry(code).text;
    if (!table.tbl_id.isNullOrEmpty() && !tableName.isNullOrEmpty()) {
        NString phys;
        rvdbMakeTableName(phys, table.tbl_id);
        rvcomGetLocalString(out, "export_logfile_export_error", phys, tableName, codeText);
        return;
    }
    out = codeText;
}

bool RvMigrateExportBat::systemColumnName(const NString& colId, NString& out)
{
    static const struct {
        const char* id;
        const char* key;
    } names[] = {
        { "-3", "export_regist_date" },
        { "-2", "export_regist_user" },
        { "-5", "export_update_date" },
        { "-4", "export_update_user" },
    };
    for (const auto& n : names) {
        if (equals(colId, n.id)) {
            rvcomGetLocalString(out, n.key);
            return true;
        }
    }
    return false;
}
