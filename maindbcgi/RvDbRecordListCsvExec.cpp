// The list-page CSV download: the page state saved for the session, table
// and page key, without paging, written as a Shift_JIS CSV attachment.
#include "RvDbRecordListCsv.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "RvdbRecordListPageCommand.h"
#include "comcgi.h"
#include "comcgiresp.h"
#include "comjconv.h"
#include "comtime.h"
#include "comtrace.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvcomdisp.h"
#include "rvcompair.h"
#include "rvdbGetRecordList.h"
#include "rvtblpermission.h"

#define CSV_TRACE(...) COMTRACE_SRC("RvDbRecordListCsv", __VA_ARGS__)

namespace {

const int kErrParam = -100019;
const int kErrRight = -100026;
const int kErrWrite = -1;

// The table name as it may stand in filename="...": quote, semicolon,
// backslash and control bytes become '_'.
NString safeFileStem(const NString& name)
{
    std::vector<char> buf(name.c_str(), name.c_str() + std::strlen(name.c_str()) + 1);
    for (char& c : buf) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\0')
            break;
        if (c == '"' || c == ';' || c == '\\' || u < 0x20 || u == 0x7f)
            c = '_';
    }
    return NString(static_cast<const char*>(buf.data()));
}

bool isSelected(const RvStringList& cids, const NString& colId)
{
    return rvcomFindValueIndex(cids, colId, 0, false) >= 0;
}

// Converts one whole line (CR LF included) to Shift_JIS and writes it.
int writeLine(NStringBuffer& line)
{
    line.append("\r\n", 2);
    char* sjis = comUtf8ToSjisAlloc(line.c_str());
    if (sjis == nullptr) {
        CSV_TRACE("ret[%d] convert length[%u]", kErrWrite, line.length());
        return kErrWrite;
    }
    int ret = comCgiWrite(sjis, std::strlen(sjis));
    std::free(sjis);
    if (ret != 0) {
        CSV_TRACE("ret[%d] write length[%u]", kErrWrite, line.length());
        return kErrWrite;
    }
    return 0;
}

}  // namespace

RvResult RvDbRecordListCsv::execute(RvAppCtx& appCtx, RvSession& session,
                                    const RvParamArray& params)
{
    int ret = appCtx.connect();
    CdDBConnection* connection = appCtx.getConnection(true);
    if (ret == 0 && connection == nullptr)
        ret = -1099;
    if (ret != 0) {
        CSV_TRACE("ret[%d]", ret);
        return RvResult(ret);
    }
    const CdDBSqlEncoder* encoder = connection->getSqlEncoder();

    NString sessionDir;
    ret = appCtx.makeSessionFilePath(session.id, sessionDir);
    if (ret != 0) {
        CSV_TRACE("ret[%d]", ret);
        return RvResult(ret);
    }

    NString wid, tid, inheader;
    RvStringList cids;
    rvappGetParamValue(wid, params, "wid", "");
    rvappGetParamValue(tid, params, "tid", "");
    rvappGetParamValues(cids, params, "cid");
    rvappGetParamValue(inheader, params, "inheader", "");
    if (wid.isNullOrEmpty() || tid.isNullOrEmpty() || cids.empty()) {
        CSV_TRACE("ret[%d] wid[%.64s] tid[%.64s] cids[%d]", kErrParam, wid.c_str(), tid.c_str(),
                  static_cast<int>(cids.size()));
        return RvResult(kErrParam);
    }

    RvTblPermission permission;
    ret = rvappGetTablePermission(connection, session.user, tid, permission, true);
    if (ret != 0) {
        CSV_TRACE("ret[%d] tid[%.64s]", ret, tid.c_str());
        return RvResult(ret);
    }
    if (!permission.canRefer() || !permission.canExport()) {
        CSV_TRACE("ret[%d] tid[%s] refer[%d] export[%d]", kErrRight, tid.c_str(),
                  permission.canRefer() ? 1 : 0, permission.canExport() ? 1 : 0);
        return RvResult(kErrRight);
    }

    RvdbRecordListPageCommand command(sessionDir, tid, wid);
    RvdbRecordListPage page;
    ret = command.load();
    if (ret != 0) {
        CSV_TRACE("ret[%d] tid[%s] wid[%.64s]", ret, tid.c_str(), wid.c_str());
        return RvResult(ret);
    }
    // The rights above are those of the requested table.
    if (std::strcmp(command.getTid().c_str(), tid.c_str()) != 0) {
        CSV_TRACE("ret[%d] tid[%s] saved tid[%.64s]", kErrRight, tid.c_str(),
                  command.getTid().c_str());
        return RvResult(kErrRight);
    }

    command.setLimit(NString("0"));
    command.setRow(NString(""));
    command.setCountHits(false);
    command.setTextCutLength(0);
    command.setSelectedColumns(cids);
    ret = RvdbRecordListPageCommand::apply(page, command, session.user, connection);
    if (ret != 0) {
        CSV_TRACE("ret[%d] tid[%s]", ret, tid.c_str());
        return RvResult(ret);
    }

    char now[32] = "";
    comTimeNowText(now, 1);
    NString fileName;
    fileName.format("%s_%s.csv", safeFileStem(page.table.tbl_lname).c_str(), now);
    comCgiAttachment("application/unknown", fileName.c_str(), 0, "Shift_JIS");
    comCgiSetConvert(1);

    // Selected columns in the table's column order.
    RvdbColumnSetList columns;
    for (const RvdbColumnSetPtr& set : page.columns) {
        if (set.hasObject() && isSelected(cids, set->getColId()))
            columns.push_back(set);
    }

    NStringBuffer line(4096);
    if (std::strcmp(inheader.c_str(), "1") == 0) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                line.append(",", 1);
            line.append(escapeCsvCell(columns[i]->getColLname()).c_str());
        }
        if (writeLine(line) != 0)
            return RvResult(kErrWrite);
    }

    NString denied;
    rvcomGetLocalString(denied, "permitrefer_denied");
    NString deniedCell;
    deniedCell.format("[%s]", denied.c_str());

    CdDBResultHandle records = page.records;
    RvdbRecordValueReader reader(records, encoder, columns);
    std::vector<RvdbColumnValuePtr> values;
    while (records && !records->isEOF()) {
        values.clear();
        RvResult read = reader.read(values);
        if (read.isError()) {
            CSV_TRACE("%s", read.getMessage().c_str());
            return read;
        }
        line.clear();
        bool first = true;
        for (size_t i = 0; i < values.size(); ++i) {
            const RvdbColumnValuePtr& value = values[i];
            // The reader gives one value per selected column.
            RvdbColumnSet* set = value ? value->getColumnSet().get() : nullptr;
            if (set == nullptr)
                continue;
            NString cell("");
            if (set->getColPermission().canRefer()) {
                int iret = formatColumnValue(value, cell);
                if (iret != 0) {
                    CSV_TRACE("iret=[%d],i=[%d]", iret, static_cast<int>(i));
                    return RvResult(iret);
                }
            } else {
                cell = deniedCell;
            }
            if (!first)
                line.append(",", 1);
            first = false;
            line.append(escapeCsvCell(cell).c_str());
        }
        if (writeLine(line) != 0)
            return RvResult(kErrWrite);
        values.clear();
        ret = records->next();
        if (ret != 0) {
            CSV_TRACE("ret[%d] next", ret);
            return RvResult(ret);
        }
    }
    if (records && records->getStatus() != 0) {
        ret = records->getStatus();
        CSV_TRACE("ret[%d] status", ret);
        return RvResult(ret);
    }
    if (comCgiFlush() != 0) {
        CSV_TRACE("ret[%d] flush", kErrWrite);
        return RvResult(kErrWrite);
    }
    return RvResult();
}
