#include "RvDbRecordListCsv.h"

#include <cstdlib>
#include <cstring>

#include "comcgi.h"
#include "comtrace.h"
#include "rvcomcheck.h"
#include "rvcomcode.h"
#include "rvcomdisp.h"
#include "rvcompair.h"

namespace {

const int kErrArg = -100001;

bool isNonZero(const NString& text)
{
    return std::strtoll(text.c_str(), nullptr, 10) != 0;
}

// Display code of a time span: the largest unit that is not 0 leads.
const char* timeSpanCode(const TimeSpanParts& parts)
{
    if (isNonZero(parts.days))
        return "3";
    if (isNonZero(parts.hours))
        return "6";
    if (isNonZero(parts.minutes))
        return "8";
    return "9";
}

}  // namespace

RvDbRecordListCsv::RvDbRecordListCsv()
{
}

RvDbRecordListCsv::~RvDbRecordListCsv()
{
}

void RvDbRecordListCsv::step5()
{
}

int RvDbRecordListCsv::formatColumnValue(const RvdbColumnValue* value, NString& out)
{
    if (!value) {
        COMTRACE("ret[%d] value[null]", kErrArg);
        return kErrArg;
    }
    const int type = value->getType();
    int ret = 0;
    switch (type) {
    case RVDB_VALUE_KEY:
    case RVDB_VALUE_TEXT:
    case RVDB_VALUE_MAIL:
    case RVDB_VALUE_USER:
    case RVDB_VALUE_SELECT: {
        NString v;
        ret = value->getText(0, v);
        if (ret == 0)
            out = v;
        break;
    }
    case RVDB_VALUE_TEXTS: {
        NString v;
        ret = value->getText(0, v);
        if (ret == 0 && !v.isNullOrEmpty())
            ret = rvcomUtilStrReplace(v.c_str(), out, "\r\n", "\n");
        break;
    }
    case RVDB_VALUE_NUMBER:
    case RVDB_VALUE_NUMBERCAL: {
        NString v;
        ret = value->getText(0, v);
        if (ret == 0 && !v.isNullOrEmpty())
            ret = rvcomTrimDecimalZeros(v.c_str(), out);
        break;
    }
    case RVDB_VALUE_DATETIME:
    case RVDB_VALUE_DATETIMECAL: {
        NString v;
        ret = value->getText(0, v);
        if (ret == 0 && v.length() == 14)
            ret = rvcomChangeDateTimeFormat(v.c_str(), nullptr, "dateviewfmt_s_ymdhis", out);
        break;
    }
    case RVDB_VALUE_URL: {
        NString url, label;
        ret = value->getText(0, url);
        if (ret == 0)
            ret = value->getText(1, label);
        if (ret == 0 && !url.isNullOrEmpty()) {
            const NString& shown = label.isNullOrEmpty() ? url : label;
            out.format("%s[%s]", url.c_str(), shown.c_str());
        }
        break;
    }
    case RVDB_VALUE_TIMESPAN:
    case RVDB_VALUE_TIMESPANCAL: {
        const TimeSpanParts* parts = value->getTimeSpanParts();
        if (!parts) {
            ret = kErrArg;
            break;
        }
        if (!parts->isEmpty())
            ret = rvcomChangeTimeSpanFormat(*parts, timeSpanCode(*parts), out);
        break;
    }
    case RVDB_VALUE_FILE: {
        const RvdbColumnValue_File* file = dynamic_cast<const RvdbColumnValue_File*>(value);
        if (file && file->hasFile()) {
            NString mark;
            rvcomGetLocalString(mark, "csvoutstrfile");
            out.format("[%s]", mark.c_str());
        }
        break;
    }
    case RVDB_VALUE_IMAGE: {
        NString id;
        ret = value->getText(0, id);
        if (ret == 0 && !id.isNullOrEmpty()) {
            NString mark;
            rvcomGetLocalString(mark, "csvoutstrimage");
            out.format("[%s]", mark.c_str());
        }
        break;
    }
    case RVDB_VALUE_SELECTS: {
        NString v;
        ret = value->getText(0, v);
        if (ret != 0)
            break;
        RvStringList items;
        rvcomConvTextToArray(v, items, '\n');
        NString joined;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0)
                joined += ",";
            joined += escapeCsvCell(items[i]);
        }
        if (!joined.isNullOrEmpty())
            out = joined;
        break;
    }
    default:
        COMTRACE("ret[%d] type[%d]", kErrArg, type);
        return kErrArg;
    }
    if (ret != 0)
        COMTRACE("ret[%d] type[%d]", ret, type);
    return ret;
}

NString RvDbRecordListCsv::escapeCsvCell(const NString& text)
{
    if (text.isNullOrEmpty())
        return NString("");
    const char* s = text.c_str();
    if (std::strpbrk(s, "\",\r\n") == nullptr)
        return text;  // nothing to quote: the text is the cell
    unsigned char force = (std::strchr(s, '\n') || std::strchr(s, '\r')) ? 1 : 0;
    char* quoted = comCsvQuote(s, force, ',');
    if (!quoted)
        return NString("");
    NString result(static_cast<const char*>(quoted));
    std::free(quoted);
    return result;
}
