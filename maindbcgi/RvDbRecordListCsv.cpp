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

const char* const kDateKey = "dateviewfmt_s_ymdhis";

// YYYYMMDDhhmmss of the parts into stamp, as DateTimeParts::toString
// joins them; false unless that is exactly 14 characters.
bool joinStamp(const DateTimeParts& parts, char (&stamp)[15])
{
    if (parts.isEmpty())
        return false;
    const NString* texts[6] = { &parts.year, &parts.month, &parts.day,
                                &parts.hour, &parts.minute, &parts.second };
    static const char* const defaults[6] = { "0000", "01", "01", "00", "00", "00" };
    // Parts of their usual widths (4, then 2 each) are copied whole.
    const char* year = texts[0]->c_str();
    bool usual = year[0] && year[1] && year[2] && year[3] && !year[4];
    if (usual)
        std::memcpy(stamp, year, 4);
    for (int i = 1; usual && i < 6; i++) {
        const char* p = texts[i]->c_str();
        usual = p[0] && p[1] && !p[2];
        if (usual) {
            stamp[2 + 2 * i] = p[0];
            stamp[3 + 2 * i] = p[1];
        }
    }
    if (usual) {
        stamp[14] = '\0';
        return true;
    }
    size_t n = 0;
    for (int i = 0; i < 6; i++) {
        const char* p = texts[i]->isNullOrEmpty() ? defaults[i] : texts[i]->c_str();
        for (; *p; ++p) {
            if (n == 14)
                return false;
            stamp[n++] = *p;
        }
    }
    stamp[n] = '\0';
    return n == 14;
}

// Lays out a template that holds only plain text, "%%" and at most six "%s"
// (year, then two digits each of month to second); false for any other.
bool layOutDateTemplate(const char* tmpl, unsigned char (&at)[6], int& parts,
                        char (&text)[256], unsigned& length)
{
    size_t n = 0;
    int next = 0;
    for (const char* p = tmpl; *p; ++p) {
        if (n + 4 >= sizeof text)
            return false;
        if (*p != '%') {
            text[n++] = *p;
            continue;
        }
        ++p;
        if (*p == '%') {
            text[n++] = '%';
        } else if (*p == 's' && next < 6) {
            at[next] = static_cast<unsigned char>(n);  // below 252
            const size_t width = next == 0 ? 4 : 2;
            std::memset(text + n, '0', width);
            n += width;
            ++next;
        } else {
            return false;
        }
    }
    parts = next;
    length = static_cast<unsigned>(n);
    return true;
}

}  // namespace

// Display text of a date-time value as rvcomChangeDateTimeFormat gives it
// for the stamp; the usual templates are filled here directly.
int RvDbRecordListCsv::formatDateTime(const char* stamp, NString& out)
{
    DateLayout& d = dateLayout;
    if (d.state == DateLayout::kUnread) {
        d.state = DateLayout::kGeneral;
        void* tmpl = nullptr;
        if (rvcomLocalStringTable.find(kDateKey, &tmpl) == 1 && tmpl &&
            static_cast<const char*>(tmpl)[0] != '\0' &&
            layOutDateTemplate(static_cast<const char*>(tmpl), d.at, d.parts, d.text, d.length))
            d.state = DateLayout::kFilled;
    }
    if (d.state != DateLayout::kFilled)
        return rvcomChangeDateTimeFormat(stamp, nullptr, kDateKey, out);
    char buf[sizeof d.text];
    std::memcpy(buf, d.text, d.length);
    for (int i = 0; i < d.parts; i++) {
        if (i == 0)
            std::memcpy(buf + d.at[0], stamp, 4);
        else
            std::memcpy(buf + d.at[i], stamp + 2 + 2 * i, 2);
    }
    out = NString::fromBytes(buf, d.length);
    return 0;
}

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
        if (ret == 0 && !v.isNullOrEmpty()) {
            // Without a CR the text is its own result.
            if (std::strchr(v.c_str(), '\r') == nullptr)
                out = v;
            else
                ret = rvcomUtilStrReplace(v.c_str(), out, "\r\n", "\n");
        }
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
        const DateTimeParts* parts = value->getDateTimeParts();
        if (parts) {
            char stamp[15];
            if (joinStamp(*parts, stamp))
                ret = formatDateTime(stamp, out);
            break;
        }
        NString v;
        ret = value->getText(0, v);
        if (ret == 0 && v.length() == 14)
            ret = formatDateTime(v.c_str(), out);
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
    // A line break forces the quotes; a quote or a comma asks for them.
    const bool force = s[std::strcspn(s, "\r\n")] != '\0';
    const bool special = force || s[std::strcspn(s, "\",")] != '\0';
    if (!special)
        return text;  // nothing to quote: the text is the cell
    char* quoted = comCsvQuote(s, force ? 1 : 0, ',');
    if (!quoted)
        return NString("");
    NString result(static_cast<const char*>(quoted));
    std::free(quoted);
    return result;
}
