// Attachment export: the large objects of a file or image value written as
// files under the table directory, and the cell that lists them.
#include "rvmigrateexportbat.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "comfile.h"
#include "comjconv.h"
#include "comstr.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvexportattachstream.h"

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The text cut to at most maxBytes bytes without splitting a character.
std::string cutBytes(const std::string& text, int maxBytes)
{
    if (maxBytes <= 0)
        return std::string();
    if (static_cast<int>(text.size()) <= maxBytes)
        return text;
    std::string s(text);
    int n = comUtf8CutBytes(&s[0], maxBytes, 1);
    s.resize(static_cast<size_t>(n < 0 ? 0 : n));
    s.resize(std::strlen(s.c_str()));
    return s;
}

// The name with unusable characters replaced: file-system characters, and
// what Shift_JIS cannot hold.
std::string sanitizeName(const char* stored)
{
    std::string work(stored ? stored : "");
    comReplaceFileNameChars(&work[0], '_');
    char* sjis = comUtf8ToSjisAlloc(work.c_str());
    if (sjis != nullptr) {
        comReplaceChar(sjis, '?', '_');
        char* utf = comSjisToUtf8Alloc(sjis);
        if (utf != nullptr) {
            work = utf;
            std::free(utf);
        }
        std::free(sjis);
    }
    // A character may come back as '\\' or another path character.
    comReplaceFileNameChars(&work[0], '_');
    return work;
}

// A decimal integer text (optionally negative), nothing else.
bool isIntegerText(const NString& text, long long& value)
{
    const char* s = text.c_str();
    if (*s == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(s, &end, 10);
    return errno == 0 && end != s && *end == '\0' && std::strchr("+ ", *s) == nullptr;
}

// A large object's id: an unsigned 32-bit decimal text.
bool parseOid(const NString& text, uint32_t& out)
{
    const char* s = text.c_str();
    if (*s < '0' || *s > '9')
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(s, &end, 10);
    if (errno != 0 || *end != '\0' || v > UINT32_MAX)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

// Whether the attachment's large object is still stored. -1 when the check
// itself failed.
int largeObjectExists(CdDBConnection* conn, const NString& tblId, const NString& contentId)
{
    NString lobTable;
    rvdbMakeLobTableName(lobTable, tblId);
    NString sql;
    sql.format("select count(*) from %s l, pg_largeobject_metadata m "
               "where l.content_id = $1 and m.oid = l.lobfile",
               lobTable.c_str());
    std::vector<CdDBBind> binds;
    binds.push_back(CdDBBind(contentId));
    conn->setSql(sql.c_str());
    CdDBResultHandle res = conn->execute(binds);
    if (!res || res->isError() || res->isEOF())
        return -1;
    NString count;
    if (res->getValue(count, 0) != 0)
        return -1;
    return std::strcmp(count.c_str(), "0") == 0 ? 0 : 1;
}

}  // namespace

int RvMigrateExportBat::exportAttachFiles(const RvdbTableSetPtr& table, const NString& exportDir,
                                          const RvdbColumnValuePtr& value,
                                          const NString& recordKey,
                                          const std::vector<RvdbColumnValuePtr>& rowValues,
                                          NString& out)
{
    (void)rowValues;
    const RvdbColumnSetPtr& col = value->getColumnSet();
    CdDBConnection* conn = m_appctx->getConnection(true);

    NString srcTblId, srcColId, srcKey, srcContentId;
    if (col->isRelRef()) {
        const RvdbColumnSet* root = col->getRootColumnSet();
        if (root == nullptr)
            return 0;
        srcTblId = root->getTblId();
        srcColId = root->getColId();
        // The query joins the reference chain to the record that holds the
        // attachments: a file value carries that record's key, an image
        // value its content id. The key column of this table names only
        // the first record of a chain.
        if (value->getType() == RVDB_VALUE_FILE) {
            value->getText(1, srcKey);
        } else {
            value->getText(0, srcContentId);
            if (srcContentId.isNullOrEmpty())
                return 0;
        }
        if (srcKey.isNullOrEmpty() && srcContentId.isNullOrEmpty())
            return 0;
    } else {
        srcTblId = col->getTblId();
        srcColId = col->getColId();
        srcKey = recordKey;
    }

    std::vector<RvExportLobRow> rows;
    bool served = false;
    int ret = 0;
    if (m_attach_stream != nullptr && srcContentId.isNullOrEmpty())
        ret = m_attach_stream->rowsOf(srcKey, *col, rows, served);
    if (!served) {
        std::vector<RvdbLobRecord> listed;
        ret = srcContentId.isNullOrEmpty()
                  ? rvdbLog(conn, srcTblId, NString(), srcColId, srcKey, listed)
                  : rvdbLog(conn, srcTblId, srcContentId, srcColId, NString(), listed);
        for (const RvdbLobRecord& rec : listed) {
            rows.push_back(RvExportLobRow());
            rows.back().rec = rec;
        }
    }
    if (ret != 0) {
        EXPORTTRACE("ret[%d] tableid[%s] colummid[%s] key[%s]", ret, srcTblId.c_str(),
                    srcColId.c_str(), srcKey.c_str());
        return ret;
    }
    if (rows.empty())
        return 0;

    NString phys;
    rvdbMakeTableName(phys, table->tbl_id);
    const NString& tblName = table->tbl_lname;

    long long keyNum = 0, colNum = 0;
    NString relDir, fullDir;
    bool usable = isIntegerText(recordKey, keyNum) && isIntegerText(col->getColId(), colNum);
    relDir.format("%lld/%s/%s/", keyNum / 1000 + 1, recordKey.c_str(), col->getColId().c_str());
    fullDir = exportDir + relDir;
    const NString shownDir = shownPath(fullDir);
    if (!usable || comUtf8CharCount(shownDir.c_str()) > RVEXP_MAX_ATTACH_DIR_CHARS) {
        EXPORTTRACE("strattachdir[%s]", fullDir.c_str());
        NString text;
        rvcomGetCodeMessage(text, RVEXP_ERR_MAKE_DIR, phys, tblName, shownDir);
        writeExportLog(text);
        return RVEXP_ERR_MAKE_DIR;
    }
    if (comDirMake(fullDir.c_str()) != 0) {
        EXPORTTRACE("ret[%d] strattachdir[%s] errno[%d]", RVEXP_ERR_MAKE_DIR, fullDir.c_str(), errno);
        NString text;
        rvcomGetCodeMessage(text, RVEXP_ERR_MAKE_DIR, phys, tblName, shownDir);
        writeExportLog(text);
        ++m_error_count;
        return RVEXP_ERR_MAKE_DIR;
    }

    std::string cell;
    bool skipped = false, renamed = false;
    int listed = 0;
    for (const RvExportLobRow& listedRow : rows) {
        const RvdbLobRecord& row = listedRow.rec;
        NString finalName, storedName;
        ret = makeAttachFileName(table, row, fullDir, finalName, storedName);
        if (ret != 0) {
            NString text;
            rvcomGetCodeMessage(text, ret, phys, tblName, recordKey, col->getColLname(),
                                col->getColId(), storedName);
            writeExportLog(text);
            EXPORTTRACE("ret[%d] attachdir[%s] filename[%s]", ret, fullDir.c_str(), storedName.c_str());
            skipped = true;
            continue;
        }
        bool changed = std::strcmp(finalName.c_str(), row.file_name.c_str()) != 0;
        if (changed) {
            NString text;
            rvcomGetLocalString(text, "export_logfile_filename_change", phys, tblName, row.file_name,
                                finalName, recordKey, col->getColLname(), col->getColId());
            writeExportLog(text);
        }
        NString filePath = fullDir + finalName;
        int present = 1;
        uint32_t oid = 0;
        CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(conn);
        if (listedRow.listed && !parseOid(listedRow.lobfile, oid)) {
            // The listing found the large object gone.
            ret = -100010;
            present = 0;
        } else if (listedRow.listed && pg != nullptr) {
            ret = pg->copyLargeObject(oid, filePath.c_str());
        } else {
            ret = rvdbGetLobFileFromLobTable(conn, srcTblId.c_str(), row.content_id.c_str(),
                                             filePath.c_str());
        }
        // A lack of lock space is told as what it is, judged by the failed
        // call's own answer before the next statement forgets it (the
        // export's savepoint leaves the transaction usable).
        if (ret != 0 && present != 0 && keepLockSpaceText(conn, CDDB_ERR_DB)) {
            EXPORTTRACE("ret[%d] tableid[%s] contentid[%s] filepath[%s] dbsts[%s]", ret,
                        srcTblId.c_str(), row.content_id.c_str(), filePath.c_str(), conn->getSqlState());
            return CDDB_ERR_DB;
        }
        // A large object that is gone only costs its file.
        if (ret != 0 && !listedRow.listed)
            present = (ret == -100010) ? 0 : largeObjectExists(conn, srcTblId, row.content_id);
        if (ret != 0) {
            int saved = errno;
            if (present == 0) {
                ::unlink(filePath.c_str());
                NString text;
                rvcomGetCodeMessage(text, RVEXP_ERR_FILE_SKIPPED, phys, tblName, recordKey,
                                    col->getColLname(), col->getColId(), row.file_name);
                writeExportLog(text);
                EXPORTTRACE("ret[%d] tableid[%s] contentid[%s] filepath[%s] errno[%d]", ret,
                            srcTblId.c_str(), row.content_id.c_str(), filePath.c_str(), saved);
                skipped = true;
                continue;
            }
            EXPORTTRACE("ret[%d] tableid[%s] contentid[%s] filepath[%s] errno[%d]", ret,
                        srcTblId.c_str(), row.content_id.c_str(), filePath.c_str(), saved);
            return RVEXP_ERR_LOB_WRITE;
        }
        if (changed)
            renamed = true;
        if (listed > 0)
            cell += '\n';
        cell += relDir.c_str();
        cell += finalName.c_str();
        ++listed;
    }
    out = NString(cell.c_str());
    if (skipped)
        return RVEXP_ERR_FILE_SKIPPED;
    if (renamed)
        return RVEXP_WARN_RENAMED;
    return 0;
}

int RvMigrateExportBat::makeAttachFileName(const RvdbTableSetPtr& table, const RvdbLobRecord& row,
                                           const NString& attachDir, NString& finalName,
                                           NString& storedName)
{
    (void)table;
    storedName = row.file_name;
    std::string work = sanitizeName(storedName.c_str());
    size_t dot = work.rfind('.');
    std::string stem = dot == std::string::npos ? work : work.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : work.substr(dot);

    for (int k = 1; k <= RVEXP_MAX_NAME_CANDIDATES; ++k) {
        std::string suffix = k == 1 ? ext : "(" + std::to_string(k) + ")" + ext;
        std::string name;
        if (stem.size() + suffix.size() <= RVEXP_MAX_NAME_BYTES)
            name = stem + suffix;
        else if (static_cast<int>(suffix.size()) < RVEXP_MAX_NAME_BYTES)
            name = cutBytes(stem, RVEXP_MAX_NAME_BYTES - static_cast<int>(suffix.size())) + suffix;
        else
            name = cutBytes(stem + suffix, RVEXP_MAX_NAME_BYTES);
        std::string path = std::string(attachDir.c_str()) + name;
        if (comUtf8CharCount(shownPath(NString(path.c_str(), -1)).c_str()) > RVEXP_MAX_ATTACH_PATH_CHARS)
            break;
        if (!exists(path)) {
            finalName = NString(name.c_str());
            return 0;
        }
    }
    EXPORTTRACE("attachdir[%s] dbfilename[%s]", attachDir.c_str(), storedName.c_str());
    finalName = storedName;
    return RVEXP_ERR_FILE_SKIPPED;
}
