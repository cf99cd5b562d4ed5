// data.csv: the record query, the header and one line per record, and the
// formatting of each value into its cell.
#include "rvmigrateexportbat.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "RvDbRecordListCsv.h"
#include "cddbconnection.h"
#include "comcgi.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvdbGetRecordList.h"
#include "rvexportattachstream.h"

namespace {

const unsigned char kBom[] = { 0xEF, 0xBB, 0xBF };

// Finished lines are gathered up to this size before they are written.
const unsigned kOutBufferSize = 256 * 1024;
const unsigned kOutFlushAt = kOutBufferSize - 16 * 1024;

// Lines of data.csv on their way to the output channel.
class LineWriter {
public:
    LineWriter() : out(kOutBufferSize) {}
    // Adds the line and its CR LF; writes out when enough has gathered.
    // 0 or -1.
    int add(const NStringBuffer& line)
    {
        if (line.length() >= kOutFlushAt) {
            // A long line goes out as it is, after what has gathered.
            if (flush() != 0 || comCgiWrite(line.c_str(), line.length()) != 0)
                return -1;
        } else {
            out.append(line.c_str(), line.length());
        }
        out.append("\r\n", 2);
        return out.length() >= kOutFlushAt ? flush() : 0;
    }
    // Writes what has gathered. 0 or -1.
    int flush()
    {
        if (out.length() == 0)
            return 0;
        int ret = comCgiWrite(out.c_str(), out.length());
        out.clear();
        return ret;
    }

private:
    NStringBuffer out;
};

// An empty text shared by the cells that have none.
const NString& emptyText()
{
    static const NString empty("");
    return empty;
}

// Whether the cells of a value of that type keep their LFs.
bool keepsLineFeeds(int type)
{
    return type == RVDB_VALUE_TEXTS || type == RVDB_VALUE_FILE || type == RVDB_VALUE_SELECTS;
}

// CR, and LF unless kept, become spaces.
void spaceLineBreaks(NString& text, bool keepLf)
{
    const char* s = text.c_str();
    const char* breaks = keepLf ? "\r" : "\r\n";
    const size_t first = std::strcspn(s, breaks);
    if (s[first] == '\0')
        return;
    std::string t(s);
    for (size_t i = first; i < t.size(); i += std::strcspn(t.c_str() + i, breaks))
        t[i] = ' ';
    text = NString::fromBytes(t.data(), t.size());
}

// Appends the cell text of a value as one CSV cell, its line breaks made
// spaces first when spaced (as formatExportValue does); only a text that
// needs quotes goes through that and the escaping.
void appendCell(NStringBuffer& line, RvDbRecordListCsv& csv, NString& text, bool spaced,
                bool keepLf)
{
    const char* s = text.c_str();
    const size_t n = std::strcspn(s, "\r\n\",");
    if (s[n] == '\0') {
        line.append(s, static_cast<unsigned>(n));
        return;
    }
    if (spaced)
        spaceLineBreaks(text, keepLf);
    line.append(csv.escapeCsvCell(text).c_str());
}

}  // namespace

namespace {

// The record query's column ids: those of the exported columns.
RvStringList columnIds(const std::vector<RvdbColumnSetPtr>& columns)
{
    RvStringList colIds;
    for (const RvdbColumnSetPtr& col : columns)
        colIds.push_back(col->getColId());
    return colIds;
}

}  // namespace

int RvMigrateExportBat::getRecordList(const RvdbTableSet& table,
                                      const std::vector<RvdbColumnSetPtr>& columns,
                                      CdDBResultHandle& out)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    // No cut length: texts are exported whole.
    int ret = rvdbGetRecordList(conn, table.tbl_id.c_str(), columns, columnIds(columns), 0,
                                RvDbSearchFilterList(), RvPairList(), out, 0, 0, nullptr);
    if (ret != 0)
        EXPORTTRACE("ret[%d] tableid[%s] tablename[%s]", ret, table.tbl_id.c_str(),
                    table.tbl_lname.c_str());
    return ret;
}

int RvMigrateExportBat::getRecordQuery(const RvdbTableSet& table,
                                       const std::vector<RvdbColumnSetPtr>& columns, NString& out)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    // The arguments of getRecordList.
    return rvdbMakeRecordQuery(conn ? conn->getSqlEncoder() : nullptr, table.tbl_id.c_str(), columns,
                               columnIds(columns), 0, RvDbSearchFilterList(), RvPairList(), 0, 0, out);
}

int RvMigrateExportBat::writeDataCsv(const RvdbTableSetPtr& table, const NString& exportDir,
                                     const CdDBResultHandle& records,
                                     const std::vector<RvdbColumnSetPtr>& columns, int& cleanCount,
                                     int& warningCount, int& errorCount)
{
    CdDBConnection* conn = m_appctx->getConnection(true);
    CdDBSqlEncoder* encoder = conn ? conn->getSqlEncoder() : nullptr;

    NString path = exportDir + NString("data.csv");
    int ret = comCgiOpenOutput(path.c_str(), 0);
    comCgiSetConvert(0);
    if (ret != 0 || comCgiWrite(kBom, sizeof kBom) != 0) {
        EXPORTTRACE("ret[%d] csvfilepath[%s] errno[%d]", -1, path.c_str(), errno);
        return -1;
    }

    RvDbRecordListCsv csv;
    NStringBuffer line(4096);
    bool first = true;
    for (const RvdbColumnSetPtr& col : columns) {
        NString name;
        if (!systemColumnName(col->getColId(), name))
            name = col->getColLname();
        if (!first)
            line.append(",");
        first = false;
        line.append(csv.escapeCsvCell(name).c_str());
    }
    LineWriter writer;
    if (writer.add(line) != 0 || writer.flush() != 0) {
        EXPORTTRACE("ret[%d] csvfilepath[%s] errno[%d]", -1, path.c_str(), errno);
        return -1;
    }

    // The table's attachment rows come in step with the records.
    RvExportAttachStream attachments(conn, table->tbl_id, columns);
    struct TableScope {
        RvExportAttachStream*& slot;
        RvDbRecordListCsv*& formatter;
        ~TableScope()
        {
            slot = nullptr;
            formatter = nullptr;
        }
    } scope{ m_attach_stream, m_value_formatter };
    m_attach_stream = &attachments;
    m_value_formatter = &csv;  // reads the date-time template once per table

    // Lines gathered so far reach the file before a failure is returned.
    auto fail = [&writer](int code) {
        writer.flush();
        return code;
    };
    std::vector<RvdbColumnValuePtr> values;
    RvdbRecordValueReader reader(records, encoder, columns);
    int keyColumn = -1;  // result column of the key, once the result names it
    while (records && !records->isEOF()) {
        line.clear();
        values.clear();

        NString key;
        if (keyColumn < 0) {
            ret = records->getValueByName(key, "a.rvkey");
            if (ret == 0 && records->getFieldCount() > 0)
                keyColumn = records->getColumnIndex("a.rvkey");
        } else {
            ret = records->getValue(key, keyColumn);
        }
        if (ret != 0) {
            EXPORTTRACE("ret[%d] strkey[%s] colummname[%s]", ret, key.c_str(), "a.rvkey");
            return fail(ret);
        }
        if (key.isNullOrEmpty()) {
            EXPORTTRACE("ret[%d] colummname[%s]", 0, "a.rvkey");
            return fail(RVEXP_ERR_NO_KEY);
        }
        RvResult res = reader.read(values);
        if (res.getCode() != 0) {
            EXPORTTRACE("ret[%d]", res.getCode());
            return fail(res.getCode());
        }

        bool warning = false, error = false;
        for (size_t i = 0; i < values.size(); ++i) {
            if (i > 0)
                line.append(",", 1);
            NString cell;
            ret = formatExportValue(table, exportDir, values[i], key, values, cell, false);
            if (ret != 0) {
                const RvdbColumnSetPtr& cs = values[i]->getColumnSet();
                EXPORTTRACE("ret[%d] colummid[%s] colummname[%s] key[%s] formatcolummdata[%s]", ret,
                            cs->getColId().c_str(), cs->getColLname().c_str(), key.c_str(),
                            cell.c_str());
                if (ret == RVEXP_WARN_RENAMED) {
                    warning = true;
                } else if (ret == RVEXP_ERR_FILE_SKIPPED || ret == RVEXP_ERR_MAKE_DIR ||
                           ret == RVEXP_ERR_BAD_VALUE) {
                    error = true;
                } else {
                    ++errorCount;
                    return fail(ret);
                }
            }
            // A value that failed keeps its line breaks, as formatExportValue
            // leaves them.
            appendCell(line, csv, cell, ret == 0, keepsLineFeeds(values[i]->getType()));
        }
        if (writer.add(line) != 0) {
            EXPORTTRACE("ret[%d] csvfilepath[%s] errno[%d]", -1, path.c_str(), errno);
            return -1;
        }
        records->next();
        if (error)
            ++errorCount;
        else if (warning)
            ++warningCount;
        else
            ++cleanCount;
    }
    if (writer.flush() != 0) {
        EXPORTTRACE("ret[%d] csvfilepath[%s] errno[%d]", -1, path.c_str(), errno);
        return -1;
    }
    // A fetch that failed ends the rows early.
    if (records && records->getStatus() != 0) {
        EXPORTTRACE("ret[%d] csvfilepath[%s]", records->getStatus(), path.c_str());
        return records->getStatus();
    }
    return 0;
}

int RvMigrateExportBat::formatExportValue(const RvdbTableSetPtr& table, const NString& exportDir,
                                          const RvdbColumnValuePtr& value, const NString& recordKey,
                                          const std::vector<RvdbColumnValuePtr>& rowValues,
                                          NString& out, bool lineBreaksToSpaces)
{
    if (!value)
        return -100001;
    const int type = value->getType();
    const bool isStamp = type == RVDB_VALUE_DATETIME || type == RVDB_VALUE_DATETIMECAL;
    const bool isSpan = type == RVDB_VALUE_TIMESPAN || type == RVDB_VALUE_TIMESPANCAL;
    const DateTimeParts* stamp = isStamp ? value->getDateTimeParts() : nullptr;
    const TimeSpanParts* span = isSpan ? value->getTimeSpanParts() : nullptr;
    if ((stamp != nullptr && stamp->unreadable) || (span != nullptr && span->unreadable)) {
        // No cell text stands for it: the record is an error record.
        out = emptyText();
        const RvdbColumnSetPtr& col = value->getColumnSet();
        NString phys, text;
        rvdbMakeTableName(phys, table->tbl_id);
        rvcomGetCodeMessage(text, RVEXP_ERR_BAD_VALUE, phys, table->tbl_lname, recordKey,
                            col->getColLname(), col->getColId());
        writeExportLog(text);
        return RVEXP_ERR_BAD_VALUE;
    }
    if (isSpan) {
        out = (span == nullptr || span->isEmpty()) ? NString("") : span->toSeconds();
    } else if (type == RVDB_VALUE_SELECTS) {
        NString text;
        value->getText(0, text);
        std::string s(text.c_str());
        if (!s.empty()) {
            if (s.front() == '\n')
                s.erase(0, 1);
            if (!s.empty() && s.back() == '\n')
                s.pop_back();
        }
        out = NString(s.c_str());
    } else if (type == RVDB_VALUE_FILE || type == RVDB_VALUE_IMAGE) {
        int ret = exportAttachFiles(table, exportDir, value, recordKey, rowValues, out);
        if (ret != 0) {
            EXPORTTRACE("ret[%d] exporttabledir[%s] colummid[%s] key[%s] formatval[%s]", ret,
                        exportDir.c_str(), value->getColumnSet()->getColId().c_str(),
                        recordKey.c_str(), out.c_str());
            return ret;
        }
    } else {
        // Outside writeDataCsv a formatter of its own.
        std::unique_ptr<RvDbRecordListCsv> fresh;
        if (m_value_formatter == nullptr)
            fresh.reset(new RvDbRecordListCsv);
        RvDbRecordListCsv& formatter = fresh ? *fresh : *m_value_formatter;
        int ret = formatter.formatColumnValue(value.get(), out);
        if (ret != 0) {
            EXPORTTRACE("ret[%d] formatval[%s]", ret, out.c_str());
            return ret;
        }
    }
    if (out.isNull())
        out = emptyText();
    if (lineBreaksToSpaces)
        spaceLineBreaks(out, keepsLineFeeds(type));
    return 0;
}
