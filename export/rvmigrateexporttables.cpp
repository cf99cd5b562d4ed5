// Table selection, the export loop and the per-table directory; the export
// columns and setting.json.
#include "rvmigrateexportbat.h"
#include "rvmigrateexportlocks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cddbcodes.h"
#include "cddbconnection.h"
#include "comcgi.h"
#include "comfile.h"
#include "comstr.h"
#include "ndoc.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvcommigrate.h"
#include "rvddGetTblColList.h"

namespace {

bool equals(const NString& a, const char* b)
{
    return std::strcmp(a.c_str(), b) == 0;
}

// Removes a directory tree (or whatever else sits there) without following
// links. 0 when nothing is left.
int removeTree(const NString& dir)
{
    std::string path(dir.c_str());
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : -1;
    return comDirDelete(path.c_str(), nullptr, 0, 0);
}

// The working directory of a table: its name does not begin with "tbl", so
// the import never takes a table that is still being written.
NString workDirOf(const NString& filesDir, const NString& phys)
{
    NString out;
    out.format("%s.work-%s/", filesDir.c_str(), phys.c_str());
    return out;
}

void logEndEntry(RvMigrateExportBat& bat, const NString& phys, const NString& name, bool withResult,
                 int clean, int warning, int error, bool cancel)
{
    NString end, result, cancelText;
    rvcomGetLocalString(end, "export_logfile_export_end", phys, name);
    if (withResult)
        rvcomGetLocalString(result, "export_logfile_export_result",
                            RvComMigrate::comMigrateToString(clean),
                            RvComMigrate::comMigrateToString(warning),
                            RvComMigrate::comMigrateToString(error));
    if (cancel)
        rvcomGetLocalString(cancelText, "export_logfile_export_cancel", phys, name);
    bat.writeExportLog(end + result + cancelText);
}

// Makes the export directory when missing and locks it for the rest of the
// process, so that no other run writes into it meanwhile. 0, or -1010 with
// the directory in the detail text when another run holds it. A directory
// that cannot be made or opened is left to the tables, which fail on it.
int lockFilesDir(RvMigrateExportBat& bat)
{
    if (bat.m_files_lock >= 0)
        return 0;
    const char* dir = bat.m_files_dir.c_str();
    int ret = comDirMake(dir);
    if (ret != 0) {
        EXPORTTRACE("ret[%d] exportdir[%s] errno[%d]", ret, dir, errno);
        return 0;
    }
    int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        EXPORTTRACE("ret[%d] exportdir[%s] errno[%d]", fd, dir, errno);
        return 0;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        EXPORTTRACE("ret[%d] exportdir[%s] errno[%d]", CDDB_ERR_LOCKED, dir, err);
        if (err != EWOULDBLOCK)
            return 0;
        bat.m_error_detail.format("%s[%s]", "Export directory is used by another run.", dir);
        return CDDB_ERR_LOCKED;
    }
    bat.m_files_lock = fd;
    return 0;
}

}  // namespace

int RvMigrateExportBat::getTableList(std::vector<RvdbTableSetPtr>& out)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    if (conn == nullptr)
        return -1101;
    NStringBuffer sql(4096);
    sql.appendf("select a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s, a.%s,"
                "TO_CHAR(a.%s, 'YYYYMMDDHH24MISS') as %s,TO_CHAR(a.%s, 'YYYYMMDDHH24MISS') as %s "
                "from %s a ",
                "tbl_id", "status", "seqno", "tbl_lname", "note", "regist_uid", "regist_uname",
                "records", "tbl_key", "tbl_options", "regist_date", "regist_date", "update_date",
                "update_date", "rv_tbl");
    std::vector<CdDBBind> binds;
    if (equals(m_range, "running")) {
        sql.appendf("where a.%s = '1' ", "status");
    } else if (equals(m_range, "assign")) {
        // The name reaches the statement as a bind value, never as SQL text.
        sql.appendf("where a.%s = $1 ", "tbl_lname");
        binds.push_back(CdDBBind(m_dbname));
    }
    sql.appendf("order by a.%s", "seqno");

    conn->setSql(sql.c_str());
    CdDBResultHandle res = conn->execute(binds);
    if (!res || res->isError()) {
        int status = res ? res->getStatus() : -1101;
        EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s] range[%s] dbname[%s]", status, conn->getSqlState(),
                    conn->getErrorMessage(), m_range.c_str(), m_dbname.c_str());
        return status;
    }
    while (!res->isEOF()) {
        RvdbTableSetPtr table = std::make_shared<RvdbTableSet>();
        int ret = rvappReadTableSetRow(res, *table);
        if (ret != 0) {
            EXPORTTRACE("ret[%d] range[%s]", ret, m_range.c_str());
            return ret;
        }
        res->next();
        out.push_back(table);
    }
    return 0;
}

int RvMigrateExportBat::makeExportDir(const RvdbTableSetPtr& table, NString& out, bool make)
{
    NString phys;
    rvdbMakeTableName(phys, table->tbl_id);
    NString finalDir = m_files_dir + phys + NString("/");
    out = workDirOf(m_files_dir, phys);
    m_work_table_dir = out;
    m_final_table_dir = finalDir;

    const NString* failedDir = nullptr;
    int code = 0;
    int ret = removeTree(finalDir);
    if (ret != 0) {
        failedDir = &finalDir;
        code = RVEXP_ERR_DELETE_DIR;
    } else if ((ret = removeTree(out)) != 0) {
        failedDir = &out;
        code = RVEXP_ERR_DELETE_DIR;
    } else if (make && (ret = comDirMake(out.c_str())) != 0) {
        failedDir = &out;
        code = RVEXP_ERR_MAKE_DIR;
    }
    if (code == 0)
        return 0;
    EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] exportdir[%s] errno[%d]", ret,
                table->tbl_id.c_str(), table->tbl_lname.c_str(), failedDir->c_str(), errno);
    NString shown = shownPath(*failedDir);
    RvComMigrate::comMigrateConvName(shown);
    NString text;
    rvcomGetCodeMessage(text, code, phys, table->tbl_lname, shown);
    writeExportLog(text);
    m_table_error_text = text;
    return code;
}

NString RvMigrateExportBat::shownPath(const NString& path) const
{
    size_t n = std::strlen(m_work_table_dir.c_str());
    if (n == 0 || std::strncmp(path.c_str(), m_work_table_dir.c_str(), n) != 0)
        return path;
    return m_final_table_dir + NString(path.c_str() + n, -1);
}

int RvMigrateExportBat::publishExportDir(const RvdbTableSetPtr& table, const NString& workDir)
{
    NString phys;
    rvdbMakeTableName(phys, table->tbl_id);
    std::string from(workDir.c_str());
    if (!from.empty() && from.back() == '/')
        from.pop_back();
    NString finalDir = m_files_dir + phys;
    if (removeTree(finalDir) == 0 && ::rename(from.c_str(), finalDir.c_str()) == 0)
        return 0;
    EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] exportdir[%s] errno[%d]", RVEXP_ERR_MAKE_DIR,
                table->tbl_id.c_str(), table->tbl_lname.c_str(), finalDir.c_str(), errno);
    NString shown = finalDir;
    RvComMigrate::comMigrateConvName(shown);
    NString text;
    rvcomGetCodeMessage(text, RVEXP_ERR_MAKE_DIR, phys, table->tbl_lname, shown);
    writeExportLog(text);
    m_table_error_text = text;
    return RVEXP_ERR_MAKE_DIR;
}

int RvMigrateExportBat::exportTables()
{
    std::vector<RvdbTableSetPtr> tables;
    int ret = getTableList(tables);
    if (ret != 0) {
        EXPORTTRACE("ret[%d]", ret);
        return ret;
    }
    if (tables.empty()) {
        NString text;
        rvcomGetLocalString(text, "export_logfile_export_no_table");
        writeExportLog(text);
        return 0;
    }
    CdDBConnection* conn = m_appctx->getConnection(true);
    if (conn == nullptr)
        return CDDB_ERR_NO_RESULT;
    // The snapshot the run reads is taken only once the listed tables are
    // locked: a table emptied while the export waited for a lock is then
    // read as it is, together with the list that goes with it. The export
    // directory is locked before the first lock. Every lock the export
    // holds is taken before its first file: one the server has no room
    // for stops the run with nothing written.
    std::vector<int> lockCodes;
    std::vector<std::string> lockRefs;
    std::set<std::string> absent;
    ret = rvexpLockListedTables(*this, conn, tables, lockCodes, lockRefs, absent,
                                [this] { return lockFilesDir(*this); });
    if (ret == 0)
        ret = rvexpLockQueriedIndexes(*this, conn, tables, lockCodes, absent);
    if (ret != 0) {
        EXPORTTRACE("ret[%d] dbsts[%s] dbmsg[%s]", ret, conn->getSqlState(), conn->getErrorMessage());
        return ret;
    }
    if (tables.empty()) {
        NString text;
        rvcomGetLocalString(text, "export_logfile_export_no_table");
        writeExportLog(text);
        return 0;
    }
    // A table that failed while the run goes on.
    auto tableFailed = [this](int code) {
        ++m_error_count;
        if (m_failed_table_code == 0) {
            m_failed_table_code = code;
            m_failed_table_text = m_table_error_text;
        }
    };
    const unsigned count = static_cast<unsigned>(tables.size());
    for (unsigned i = 0; i < count; ++i) {
        RvdbTableSetPtr table = tables[i];
        const NString& name = table->tbl_lname;
        NString phys;
        rvdbMakeTableName(phys, table->tbl_id);

        NString progress;
        rvcomGetLocalString(progress, "export_cmdline_export_progress",
                            RvComMigrate::comMigrateToString(static_cast<int>(i + 1)),
                            RvComMigrate::comMigrateToString(count));
        RvComMigrate::comMigratePrintProgress(progress);

        if (lockCodes[i] != 0) {
            ret = lockCodes[i];
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] table[%s]", ret, table->tbl_id.c_str(), name.c_str(),
                        lockRefs[i].c_str());
            NString text;
            makeTableErrorMessage(ret, *table, name, text);
            m_table_error_text = text;
            // The log also names the referenced table that failed.
            if (!lockRefs[i].empty()) {
                NString ref;
                rvcomGetLocalString(ref, "export_logfile_export_reference", NString(lockRefs[i].c_str()));
                text = text + NString(" ") + ref;
            }
            writeExportLog(text);
            tableFailed(ret);
            // The table is not read: its earlier export goes as well.
            NString dir;
            makeExportDir(table, dir, false);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            continue;
        }

        NString dir;
        ret = makeExportDir(table, dir);
        if (ret != 0) {
            tableFailed(ret);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s] exportdir[%s]", ret, table->tbl_id.c_str(),
                        name.c_str(), dir.c_str());
            continue;
        }

        std::vector<RvdbColumnSetPtr> columns;
        ret = getExportColumns(*table, columns);
        if (ret != 0) {
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table->tbl_id.c_str(), name.c_str());
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            removeTree(dir);
            if (ret == RVEXP_ERR_COLNAME_CHAR || ret == RVEXP_ERR_COLNAME_RESERVED ||
                ret == RVEXP_ERR_COLNAME_LENGTH) {
                tableFailed(ret);
                continue;
            }
            ++m_error_count;
            return ret;
        }

        ret = writeSettingJson(dir, *table, columns);
        if (ret != 0) {
            ++m_error_count;
            EXPORTTRACE("ret[%d] exportdir[%s] tableid[%s] tablename[%s]", ret, dir.c_str(),
                        table->tbl_id.c_str(), name.c_str());
            NString path;
            path.format("%s%s", dir.c_str(), "setting.json");
            path = shownPath(path);
            RvComMigrate::comMigrateConvName(path);
            NString text;
            rvcomGetCodeMessage(text, ret, phys, name, path);
            writeExportLog(text);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            removeTree(dir);
            return ret;
        }

        CdDBResultHandle records;
        ret = getRecordList(*table, columns, records);
        if (ret != 0) {
            ++m_error_count;
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table->tbl_id.c_str(), name.c_str());
            NString text;
            makeTableErrorMessage(ret, *table, name, text);
            writeExportLog(text);
            logEndEntry(*this, phys, name, false, 0, 0, 0, true);
            removeTree(dir);
            return ret;
        }

        int clean = 0, warning = 0, error = 0;
        ret = writeDataCsv(table, dir, records, columns, clean, warning, error);
        int closeRet = comCgiCloseOutput();
        records = CdDBResultHandle();
        if (ret == 0 && closeRet != 0) {
            EXPORTTRACE("ret[%d] csvfilepath[%sdata.csv] errno[%d]", closeRet, dir.c_str(), errno);
            ret = -1;
        }
        if (ret != 0) {
            ++m_error_count;
            NString text;
            makeTableErrorMessage(ret, *table, name, text);
            writeExportLog(text);
            logEndEntry(*this, phys, name, clean > 0 || warning > 0 || error > 0, clean, warning,
                        error, true);
            EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table->tbl_id.c_str(), name.c_str());
            removeTree(dir);
            return ret;
        }

        if (publishExportDir(table, dir) != 0) {
            tableFailed(RVEXP_ERR_MAKE_DIR);
            logEndEntry(*this, phys, name, true, clean, warning, error, true);
            removeTree(dir);
            continue;
        }
        logEndEntry(*this, phys, name, true, clean, warning, error, false);
        if (error > 0) {
            ++m_error_count;
        } else {
            ++m_success_count;
            if (warning > 0)
                ++m_warning_count;
        }
    }
    RvComMigrate::comMigratePrint(NString(""), true);
    return 0;
}

// ---- export columns and setting.json ----------------------------------------

int RvMigrateExportBat::getExportColumns(const RvdbTableSet& table, std::vector<RvdbColumnSetPtr>& out)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    std::vector<RvdbColumnSetPtr> all;
    int ret = rvddGetTblColList(conn, all, table.tbl_id.c_str());
    if (ret != 0) {
        NString text;
        makeTableErrorMessage(ret, table, table.tbl_lname, text);
        writeExportLog(text);
        EXPORTTRACE("ret[%d] tableid[%s] dbname[%s]", ret, table.tbl_id.c_str(), table.tbl_lname.c_str());
        return ret;
    }
    NString phys;
    rvdbMakeTableName(phys, table.tbl_id);
    if (all.empty()) {
        EXPORTTRACE("ret[%d] tableid[%s] dbname[%s]", 0, table.tbl_id.c_str(), table.tbl_lname.c_str());
        NString text;
        rvcomGetCodeMessage(text, RVEXP_ERR_NO_COLUMNS, phys, table.tbl_lname);
        writeExportLog(text);
        return RVEXP_ERR_NO_COLUMNS;
    }
    for (const RvdbColumnSetPtr& col : all) {
        if (!col)
            continue;
        // The system columns -2 .. -5 are renamed to the reserved names.
        NString sysName;
        bool renamed = systemColumnName(col->getColId(), sysName);
        ret = checkColumnName(col->getColLname(), !renamed);
        if (ret != 0) {
            NString text;
            rvcomGetCodeMessage(text, ret, phys, table.tbl_lname, col->getColLname(), col->getColId());
            writeExportLog(text);
            m_table_error_text = text;
            EXPORTTRACE("ret[%d] tableid[%s] dbname[%s] colid[%s] colname[%s]", ret,
                        table.tbl_id.c_str(), table.tbl_lname.c_str(), col->getColId().c_str(),
                        col->getColLname().c_str());
            return ret;
        }
        if (!exportsColumn(*col))
            continue;
        RvdbColumnSet* copy = new RvdbColumnSet();
        RvdbColumnSet::copyDeep(*col, *copy);
        out.push_back(RvdbColumnSetPtr(copy));
    }
    return 0;
}

bool RvMigrateExportBat::exportsColumn(const RvdbColumnSet& column) const
{
    const NString& type = column.getColType();
    if (equals(m_auto_calc, "off") &&
        (equals(type, RVDB_TYPE_NUMBERCAL) || equals(type, RVDB_TYPE_DATETIMECAL) ||
         equals(type, RVDB_TYPE_TIMESPANCAL)))
        return false;
    return !(equals(m_reference, "off") && equals(type, RVDB_TYPE_RELREF));
}

int RvMigrateExportBat::checkColumnName(const NString& name, bool checkReserved)
{
    if (comUtf8CharCount(name.c_str()) > 63) {
        EXPORTTRACE("ret[%d] colname[%s]", RVEXP_ERR_COLNAME_LENGTH, name.c_str());
        return RVEXP_ERR_COLNAME_LENGTH;
    }
    if (checkReserved) {
        static const char* const reserved[] = {
            "export_id",          "export_regist_date", "export_regist_user",
            "export_update_date", "export_update_user", "export_revision",
        };
        for (const char* key : reserved) {
            NString text;
            rvcomGetLocalString(text, key);
            if (std::strcmp(text.c_str(), name.c_str()) == 0) {
                EXPORTTRACE("ret[%d] colname[%s] systemcolname[%s]", RVEXP_ERR_COLNAME_RESERVED,
                            name.c_str(), text.c_str());
                return RVEXP_ERR_COLNAME_RESERVED;
            }
        }
    }
    if (std::strpbrk(name.c_str(), "{}\\\"") != nullptr) {
        EXPORTTRACE("ret[%d] colname[%s]", RVEXP_ERR_COLNAME_CHAR, name.c_str());
        return RVEXP_ERR_COLNAME_CHAR;
    }
    return 0;
}

int RvMigrateExportBat::getExportType(const RvdbColumnSetPtr& column, NString& out)
{
    static const struct {
        const char* type;
        const char* word;
    } types[] = {
        { RVDB_TYPE_DATETIME, "datetime" }, { RVDB_TYPE_DATETIMECAL, "datetime" },
        { RVDB_TYPE_USER, "users" },        { RVDB_TYPE_TEXT, "textbox" },
        { RVDB_TYPE_MAIL, "textbox" },      { RVDB_TYPE_URL, "textbox" },
        { RVDB_TYPE_KEY, "textbox" },       { RVDB_TYPE_RELKEY, "textbox" },
        { RVDB_TYPE_TEXTS, "textarea" },    { RVDB_TYPE_NUMBER, "number" },
        { RVDB_TYPE_NUMBERCAL, "number" },  { RVDB_TYPE_TIMESPAN, "number" },
        { RVDB_TYPE_TIMESPANCAL, "number" }, { RVDB_TYPE_SELECT, "radio" },
        { RVDB_TYPE_SELECTS, "checkbox" },  { RVDB_TYPE_IMAGE, "files" },
        { RVDB_TYPE_FILE, "files" },
    };
    const NString relType = column ? column->getRelColType() : NString();
    for (const auto& t : types) {
        if (equals(relType, t.type)) {
            out = t.word;
            return 0;
        }
    }
    EXPORTTRACE("ret[%d] colname[%s] type[%s]", RVEXP_ERR_NO_IMPORT_TYPE,
                column ? column->getColLname().c_str() : "", relType.c_str());
    return RVEXP_ERR_NO_IMPORT_TYPE;
}

int RvMigrateExportBat::writeSettingJson(const NString& exportDir, const RvdbTableSet& table,
                                         const std::vector<RvdbColumnSetPtr>& columns)
{
    NString path = exportDir + NString("setting.json");
    FILE* fp = std::fopen(path.c_str(), "w");
    if (fp == nullptr) {
        EXPORTTRACE("settingfile[%s] errno[%d]", exportDir.c_str(), errno);
        return RVEXP_ERR_SETTING_JSON;
    }
    std::string name(table.tbl_lname.c_str());
    comUtf8Cut(&name[0], 63, 1);
    name.resize(std::strlen(name.c_str()));

    NDoc root;
    root.setChildValue("Name", name.c_str());
    NDoc fields("fields", nullptr, true);
    for (const RvdbColumnSetPtr& col : columns) {
        NString fieldName, type;
        if (!systemColumnName(col->getColId(), fieldName)) {
            fieldName = col->getColLname();
            if (getExportType(col, type) != 0) {
                EXPORTTRACE("ret[%d] colname[%s] type[%s]", RVEXP_ERR_NO_IMPORT_TYPE,
                            col->getColLname().c_str(), col->getRelColType().c_str());
                std::fclose(fp);
                return RVEXP_ERR_SETTING_JSON;
            }
        } else {
            type = "";
        }
        NDoc field;
        field.setChildValue("field_name", fieldName.c_str());
        field.setChildValue("type", type.c_str());
        fields.addChild(field);
    }
    root.addChild(fields);

    NOutputFunctor out(nullptr, fp);
    root.toJson(out);
    bool failed = out.hasError() || std::fflush(fp) != 0 || std::ferror(fp) != 0;
    if (std::fclose(fp) != 0)
        failed = true;
    if (failed) {
        EXPORTTRACE("settingfile[%s] errno[%d]", path.c_str(), errno);
        return RVEXP_ERR_SETTING_JSON;
    }
    return 0;
}
