// The export program: one application object that reads the options, keeps
// export.status and export.log, and writes one directory per selected table
// (setting.json, data.csv and the attachment files).
#ifndef RVMIGRATEEXPORTBAT_H
#define RVMIGRATEEXPORTBAT_H

#include <string>
#include <vector>

#include "RvdbColumnValue.h"
#include "cddbresult.h"
#include "comtrace.h"
#include "nstring.h"
#include "nufileio.h"
#include "nuioobj.h"
#include "rvdbcolumnset.h"
#include "rvdbphys.h"
#include "rvtbl.h"

class CdDBConnection;
class RvAppCtx;
class RvExportAttachStream;
class RvDbRecordListCsv;

// Every trace line of the export carries this source name.
#define EXPORTTRACE(...) COMTRACE_SRC("RvMigrateExportBat", __VA_ARGS__)

// Result codes of the export program.
enum {
    RVEXP_ERR_NO_SETTINGS = -500001,
    RVEXP_ERR_ARG_REQUIRED = -500002,
    RVEXP_ERR_NO_MESSAGE_FILE = -500003,
    RVEXP_ERR_NO_STRING_FILE = -500004,
    RVEXP_ERR_ARG = -500005,
    RVEXP_ERR_SETTINGS = -500006,
    RVEXP_ERR_SETTING_JSON = -500008,
    RVEXP_ERR_MAKE_DIR = -500009,
    RVEXP_ERR_MODULE_DIR = -500010,
    RVEXP_ERR_NO_COLUMNS = -500011,
    RVEXP_ERR_COLNAME_CHAR = -500012,
    RVEXP_ERR_COLNAME_RESERVED = -500013,
    RVEXP_ERR_COLNAME_LENGTH = -500014,
    RVEXP_ERR_FILE_SKIPPED = -500015,
    RVEXP_ERR_DELETE_DIR = -500016,
    RVEXP_ERR_NO_IMPORT_TYPE = -500017,
    RVEXP_ERR_NO_KEY = -500019,
    RVEXP_ERR_STATUS_PATH = -500020,
    RVEXP_ERR_STATUS_WRITE = -500021,
    RVEXP_ERR_LOB_WRITE = -500022,
    RVEXP_ERR_BAD_VALUE = -500023,  // a value data.csv cannot hold
    RVEXP_WARN_RENAMED = -510001
};

// Longest attachment directory and path (UTF-8 characters), longest file
// name the file system takes (bytes), candidate names per file.
enum {
    RVEXP_MAX_ATTACH_DIR_CHARS = 247,
    RVEXP_MAX_ATTACH_PATH_CHARS = 259,
    RVEXP_MAX_NAME_BYTES = 255,
    RVEXP_MAX_NAME_CANDIDATES = 10
};

class RvMigrateExportBat {
public:
    RvMigrateExportBat();
    ~RvMigrateExportBat();
    RvMigrateExportBat(const RvMigrateExportBat&) = delete;
    RvMigrateExportBat& operator=(const RvMigrateExportBat&) = delete;

    // The whole run: 0 or 1 (the exit status).
    int run(int argc, char** argv);
    int init(int argc, char** argv);
    int setupEnvironment(char** argv);
    int parseOptions(int argc, char** argv);
    int checkRequiredArgs();
    int exportTables();
    int finish(int rc);

    // export.status and export.log.
    int createStatusFile();
    int writeStartStatus();
    void deleteStatusObject();
    int setExportLogPath();
    void writeExportLog(const NString& text);
    // When code is a database failure for lack of lock space (SQLSTATE
    // 53200), keeps the server's text and hint for the run's message and
    // returns true.
    bool keepLockSpaceText(CdDBConnection* conn, int code);

    // Table selection and the per-table directory.
    int getTableList(std::vector<RvdbTableSetPtr>& out);
    // out = the directory the table is written into: a working directory
    // the import never takes, renamed by publishExportDir once complete.
    // Removes the table's earlier export first; make false: only that.
    int makeExportDir(const RvdbTableSetPtr& table, NString& out, bool make = true);
    // Renames the finished working directory to tbl%05.5d. 0 or -500009.
    int publishExportDir(const RvdbTableSetPtr& table, const NString& workDir);
    void makeTableErrorMessage(int code, const RvdbTableSet& table, const NString& tableName,
                               NString& out);

    // Columns and setting.json.
    int getExportColumns(const RvdbTableSet& table, std::vector<RvdbColumnSetPtr>& out);
    // Whether the options export the column (-auto_calc, -reference).
    bool exportsColumn(const RvdbColumnSet& column) const;
    // checkReserved false skips the reserved-name test (the system columns
    // that are renamed anyway).
    int checkColumnName(const NString& name, bool checkReserved = true);
    int getExportType(const RvdbColumnSetPtr& column, NString& out);
    int writeSettingJson(const NString& exportDir, const RvdbTableSet& table,
                         const std::vector<RvdbColumnSetPtr>& columns);

    // data.csv.
    int getRecordList(const RvdbTableSet& table, const std::vector<RvdbColumnSetPtr>& columns,
                      CdDBResultHandle& out);
    // out = the statement getRecordList reads the records with; nothing is
    // run. 0 or the builder's code.
    int getRecordQuery(const RvdbTableSet& table, const std::vector<RvdbColumnSetPtr>& columns,
                       NString& out);
    int writeDataCsv(const RvdbTableSetPtr& table, const NString& exportDir,
                     const CdDBResultHandle& records, const std::vector<RvdbColumnSetPtr>& columns,
                     int& cleanCount, int& warningCount, int& errorCount);
    // out = the cell text of value before CSV escaping; CR, and LF except in
    // multi-line texts, selections and file lists, become spaces unless
    // lineBreaksToSpaces is false (the caller then sees to it).
    int formatExportValue(const RvdbTableSetPtr& table, const NString& exportDir,
                          const RvdbColumnValuePtr& value, const NString& recordKey,
                          const std::vector<RvdbColumnValuePtr>& rowValues, NString& out,
                          bool lineBreaksToSpaces = true);

    // Attachments.
    int exportAttachFiles(const RvdbTableSetPtr& table, const NString& exportDir,
                          const RvdbColumnValuePtr& value, const NString& recordKey,
                          const std::vector<RvdbColumnValuePtr>& rowValues, NString& out);
    int makeAttachFileName(const RvdbTableSetPtr& table, const RvdbLobRecord& row,
                           const NString& attachDir, NString& finalName, NString& storedName);
    // A path under the working directory as it reads once the table is
    // published: length limits and log texts use that path.
    NString shownPath(const NString& path) const;

    // Name of a system column (-2 .. -5) in setting.json and the data.csv
    // header; false for any other column.
    static bool systemColumnName(const NString& colId, NString& out);
    // The local strings the cells are formatted with are all present: 0,
    // else -500004 with the missing key in m_error_detail.
    int checkLocalStrings();

    NString m_root_dir;
    NString m_status_dir;
    NString m_log_dir;
    NString m_files_dir;
    NString m_work_table_dir;   // working directory of the current table
    NString m_final_table_dir;  // what it is renamed to
    NString m_range;
    NString m_dbname;
    NString m_auto_calc;
    NString m_reference;
    NUioObjList* m_status_obj;
    NUFileIO m_fileio;
    NString m_log_filepath;
    NString m_error_detail;
    int m_success_count;
    int m_warning_count;
    int m_error_count;
    RvAppCtx* m_appctx;
    // Attachment rows of the table being written, while data.csv is.
    RvExportAttachStream* m_attach_stream;
    // Formatter of the cells of the table being written, while data.csv is.
    RvDbRecordListCsv* m_value_formatter;
    // Code of the first table that failed while the run went on; 0: none.
    int m_failed_table_code;
    // Log text of the last table failure, and that of the first one.
    NString m_table_error_text;
    NString m_failed_table_text;
    // The server's words on a failure for lack of lock space, which the
    // run's message adds to the code's text; empty: none kept.
    NString m_server_text;
    // Descriptor holding the lock on m_files_dir; -1 while not locked.
    int m_files_lock;
};

#endif
