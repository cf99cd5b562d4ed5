#include "RvDbOperator.h"

#include "cddbcodes.h"
#include "cddbsqlencoder.h"
#include "comtrace.h"
#include "rvddGetNewIdByTbl.h"

namespace {

int escapeValue(CdDBSqlEncoder* encoder, const NString& value, NString& out)
{
    int ret = encoder != nullptr ? encoder->escape(out, value.c_str()) : CDDB_ERR_NO_RESULT;
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
    }
    return ret;
}

void appendLiteral(NStringBuffer& list, const NString& value, bool quote)
{
    if (value.isNullOrEmpty()) {
        list.append("null");
        return;
    }
    const char* q = quote ? "'" : "";
    list.appendf("%s%s%s", q, value.c_str(), q);
}

}  // namespace

int RvDbOperator::makeInsertSql(NString& sql, const char* table, const NStringBuffer& names,
                                const NStringBuffer& values)
{
    if (table == nullptr || table[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    sql.format("insert into %s (%s) values(%s)", table, names.c_str(), values.c_str());
    return 0;
}

void RvDbOperator::intToText(NString& out, int value)
{
    out.format("%d", value);
}

void RvDbOperator::charToText(NString& out, char value)
{
    if (value == '\0' || value == ' ') {
        out = NString("");
    } else {
        out.format("%c", value);
    }
}

int RvDbOperator::addSetItem(const char* name, const NString& value, NStringBuffer& set, bool quote)
{
    if (name == nullptr || name[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    set.appendf(set.length() == 0 ? "%s=" : ",%s=", name);
    appendLiteral(set, value, quote);
    return 0;
}

int RvDbOperator::addSetItemEscaped(CdDBSqlEncoder* encoder, const char* name, const NString& value,
                                    NStringBuffer& set)
{
    NString escaped;
    int ret = escapeValue(encoder, value, escaped);
    if (ret != 0) {
        return ret;
    }
    return addSetItem(name, escaped, set, true);
}

int RvDbOperator::addSetItemInt(const char* name, int value, NStringBuffer& set)
{
    NString text;
    intToText(text, value);
    return addSetItem(name, text, set, false);
}

int RvDbOperator::addInsertItem(const char* name, const NString& value, NStringBuffer& names,
                                NStringBuffer& values, bool quote)
{
    if (name == nullptr || name[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    names.appendf(names.length() == 0 ? "%s" : ",%s", name);
    if (values.length() != 0) {
        values.append(",");
    }
    appendLiteral(values, value, quote);
    return 0;
}

int RvDbOperator::addInsertItemInt(const char* name, int value, NStringBuffer& names, NStringBuffer& values)
{
    NString text;
    intToText(text, value);
    return addInsertItem(name, text, names, values, false);
}

int RvDbOperator::addInsertItemEscaped(CdDBSqlEncoder* encoder, const char* name, const NString& value,
                                       NStringBuffer& names, NStringBuffer& values)
{
    NString escaped;
    int ret = escapeValue(encoder, value, escaped);
    if (ret != 0) {
        return ret;
    }
    return addInsertItem(name, escaped, names, values, true);
}

RvResult RvDbOperator::saveRecord(const char* srcPath, int line, CdDBConnection* connection, const char* tblId,
                                  const char* cname, bool isNew, int id, const char* label, ExistsFunc exists,
                                  const std::function<RvResult(int newId)>& insert,
                                  const std::function<RvResult()>& update, int& newId)
{
    if (isNew) {
        int next = 0;
        int ret = rvddGetNewIdByTbl(connection, tblId, cname, next);
        if (ret != 0) {
            comTraceWriteFile(srcPath, line, "ret[%d]", ret);
            return RvResult(ret);
        }
        RvResult r = insert(next);
        if (r.isError()) {
            comTraceWriteFile(srcPath, line, "ret[%d]", r.getCode());
            return r;
        }
        newId = next;
        return RvResult();
    }
    bool found = false;
    int ret = exists(connection, tblId, id, found);
    if (ret != 0) {
        comTraceWriteFile(srcPath, line, "ret[%d]", ret);
        return RvResult(ret);
    }
    if (!found) {
        comTraceWriteFile(srcPath, line, "ret[%d] %s[%d]", -100016, label, id);
        return RvResult(-100016);
    }
    RvResult r = update();
    if (r.isError()) {
        comTraceWriteFile(srcPath, line, "ret[%d]", r.getCode());
    }
    return r;
}
