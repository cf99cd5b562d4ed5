// Typed cell values and their factory.
#include "RvdbColumnValue.h"

#include <cstring>
#include <typeinfo>

#include "comtrace.h"

namespace {

const char* const SRC_BASE = "RvdbColumnValue";

// Copies a one-text value into target when target is a Target of type code
// want; else traces under src and leaves target alone.
template <class Target>
int copyOneText(const NString& value, RvdbColumnValue& target, int want, const char* src)
{
    Target* t = target.getType() == want ? dynamic_cast<Target*>(&target) : nullptr;
    if (t == nullptr) {
        COMTRACE_SRC(src, "%s", "");
        return RVDB_ERR_VALUE_TYPE;
    }
    t->value = value;
    return 0;
}

// part = the n bytes at text (which holds no NUL among them); a part that
// already holds them is kept.
void setPart(NString& part, const char* text, size_t n)
{
    const char* cur = part.c_str();
    size_t i = 0;
    while (i < n && cur[i] == text[i])
        i++;
    if (i == n && cur[n] == '\0' && !part.isNull())
        return;
    part = NString::fromBytes(text, n);
}

// Index 0 of a one-text kind.
NString* firstText(int index, NString& value) { return index == 0 ? &value : nullptr; }

int badIndex(const char* src, int index)
{
    COMTRACE_SRC(src, "index[%d]", index);
    return RVDB_ERR_ARG;
}

} // namespace

// ---- base ----

RvdbColumnValue::RvdbColumnValue(const RvdbColumnSetPtr& cs) : columnSet(cs) {}

RvdbColumnValue::RvdbColumnValue(const RvdbColumnValue& other) : columnSet(other.columnSet) {}

RvdbColumnValue::~RvdbColumnValue() {}

int RvdbColumnValue::getText(int index, NString& out) const
{
    // valuePtr hands out the address only; nothing is changed here.
    const NString* p = const_cast<RvdbColumnValue*>(this)->valuePtr(index);
    if (p == nullptr) {
        COMTRACE_SRC(SRC_BASE, "%s", "");
        return RVDB_ERR_ARG;
    }
    out = *p;
    return 0;
}

int RvdbColumnValue::setText(int index, const NString& text)
{
    NString* p = valuePtr(index);
    if (p == nullptr) {
        COMTRACE_SRC(SRC_BASE, "%s", "");
        return RVDB_ERR_ARG;
    }
    *p = text;
    return 0;
}

// The classes themselves are told apart by typeid, which costs far less than
// the dynamic_cast that any class derived from them needs.
const DateTimeParts* RvdbColumnValue::getDateTimeParts() const
{
    const std::type_info& t = typeid(*this);
    if (t == typeid(RvdbColumnValue_DateTime) || t == typeid(RvdbColumnValue_DateTimeCal))
        return &static_cast<const RvdbColumnValue_DateTime*>(this)->parts;
    const RvdbColumnValue_DateTime* v = dynamic_cast<const RvdbColumnValue_DateTime*>(this);
    return v ? &v->parts : nullptr;
}

const TimeSpanParts* RvdbColumnValue::getTimeSpanParts() const
{
    const std::type_info& t = typeid(*this);
    if (t == typeid(RvdbColumnValue_TimeSpan) || t == typeid(RvdbColumnValue_TimeSpanCal))
        return &static_cast<const RvdbColumnValue_TimeSpan*>(this)->parts;
    const RvdbColumnValue_TimeSpan* v = dynamic_cast<const RvdbColumnValue_TimeSpan*>(this);
    return v ? &v->parts : nullptr;
}

const ImageParts* RvdbColumnValue::getImageParts() const
{
    const RvdbColumnValue_Image* v = dynamic_cast<const RvdbColumnValue_Image*>(this);
    return v ? &v->image : nullptr;
}

int RvdbColumnValue::getTextAt(const RvdbColumnValue& value, NString& out, int index)
{
    return value.getText(index, out);
}

int RvdbColumnValue::setTextAt(RvdbColumnValue& value, int index, const NString& text)
{
    return value.setText(index, text);
}

int RvdbColumnValue::getColumnTexts(std::vector<RvdbColumnText>& out) const
{
    RvdbColumnSet* cs = columnSet.get();
    if (cs == nullptr) {
        COMTRACE_SRC(SRC_BASE, "ret[%d]", RVDB_ERR_ARG);
        return RVDB_ERR_ARG;
    }
    // A definition read without its physical columns gets them worked out
    // on a copy; the shared definition stays as it is.
    std::vector<RvdbInnerColumn> computed;
    const std::vector<RvdbInnerColumn>* inner = &cs->getInnerColumns();
    if (inner->empty()) {
        RvdbColumnSet work(*cs);
        int ret = rvdbUpdateColumnSetAndSchema(work, computed);
        if (ret != 0) {
            COMTRACE_SRC(SRC_BASE, "ret[%d]", ret);
            return ret;
        }
        inner = &computed;
    }
    int pos = 0;
    for (const RvdbInnerColumn& ic : *inner) {
        if (ic.isJoined())
            continue;
        RvdbColumnText entry;
        entry.name = ic.name;
        entry.sqlType = ic.sqlType;
        int ret = getText(pos, entry.text);
        if (ret != 0) {
            COMTRACE_SRC(SRC_BASE, "ret[%d] idx[%d]", ret, pos);
            return ret;
        }
        out.push_back(entry);
        ++pos;
    }
    return 0;
}

// ---- handle ----

RvdbColumnValuePtr::RvdbColumnValuePtr() : count(new int(1)), value(nullptr) {}

RvdbColumnValuePtr::RvdbColumnValuePtr(RvdbColumnValue* v) : count(new int(1)), value(v) {}

RvdbColumnValuePtr::RvdbColumnValuePtr(const RvdbColumnValuePtr& other) noexcept
    : count(other.count), value(other.value)
{
    if (count)
        ++*count;
}

RvdbColumnValuePtr& RvdbColumnValuePtr::operator=(const RvdbColumnValuePtr& other) noexcept
{
    if (this == &other || count == other.count)
        return *this;
    if (other.count)
        ++*other.count;
    int* oldCount = count;
    RvdbColumnValue* oldValue = value;
    count = other.count;
    value = other.value;
    if (oldCount && --*oldCount == 0) {
        delete oldValue;
        delete oldCount;
    }
    return *this;
}

RvdbColumnValuePtr::~RvdbColumnValuePtr() { release(); }

void RvdbColumnValuePtr::release() noexcept
{
    int* c = count;
    RvdbColumnValue* v = value;
    count = nullptr;
    value = nullptr;
    if (c && --*c == 0) {
        delete v;
        delete c;
    }
}

// ---- one-text kinds ----

int RvdbColumnValue_Key::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Key>(value, target, RVDB_VALUE_KEY, "RvdbColumnValue_Key");
}
NString* RvdbColumnValue_Key::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_Text::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Text>(value, target, RVDB_VALUE_TEXT, "RvdbColumnValue_Text");
}
NString* RvdbColumnValue_Text::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_Texts::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Texts>(value, target, RVDB_VALUE_TEXTS,
                                              "RvdbColumnValue_Texts");
}
NString* RvdbColumnValue_Texts::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_Number::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Number>(value, target, RVDB_VALUE_NUMBER,
                                               "RvdbColumnValue_Number");
}
NString* RvdbColumnValue_Number::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_Mail::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Mail>(value, target, RVDB_VALUE_MAIL, "RvdbColumnValue_Mail");
}
NString* RvdbColumnValue_Mail::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_User::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_User>(value, target, RVDB_VALUE_USER, "RvdbColumnValue_User");
}
NString* RvdbColumnValue_User::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_Select::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Text>(value, target, RVDB_VALUE_TEXT,
                                             "RvdbColumnValue_Select");
}
NString* RvdbColumnValue_Select::valuePtr(int index) { return firstText(index, value); }

int RvdbColumnValue_Selects::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Texts>(value, target, RVDB_VALUE_TEXTS,
                                              "RvdbColumnValue_Selects");
}
NString* RvdbColumnValue_Selects::valuePtr(int index) { return firstText(index, value); }

// ---- several texts ----

int RvdbColumnValue_NumberCal::copyTo(RvdbColumnValue& target) const
{
    return copyOneText<RvdbColumnValue_Number>(value, target, RVDB_VALUE_NUMBER,
                                               "RvdbColumnValue_NumberCal");
}

NString* RvdbColumnValue_NumberCal::valuePtr(int index)
{
    if (index == 0)
        return &value;
    return index == 1 ? &status : nullptr;
}

int RvdbColumnValue_Url::copyTo(RvdbColumnValue& target) const
{
    RvdbColumnValue_Url* t =
        target.getType() == RVDB_VALUE_URL ? dynamic_cast<RvdbColumnValue_Url*>(&target) : nullptr;
    if (t == nullptr) {
        COMTRACE_SRC("RvdbColumnValue_Url", "%s", "");
        return RVDB_ERR_VALUE_TYPE;
    }
    t->url = url;
    t->label = label;
    return 0;
}

NString* RvdbColumnValue_Url::valuePtr(int index)
{
    if (index == 0)
        return &url;
    return index == 1 ? &label : nullptr;
}

// ---- date-time ----

int RvdbColumnValue_DateTime::copyTo(RvdbColumnValue& target) const
{
    RvdbColumnValue_DateTime* t = target.getType() == RVDB_VALUE_DATETIME
                                      ? dynamic_cast<RvdbColumnValue_DateTime*>(&target)
                                      : nullptr;
    if (t == nullptr) {
        COMTRACE_SRC(getType() == RVDB_VALUE_DATETIME ? "RvdbColumnValue_DateTime"
                                                      : "RvdbColumnValue_DateTimeCal",
                     "%s", "");
        return RVDB_ERR_VALUE_TYPE;
    }
    t->parts = parts;
    return 0;
}

int RvdbColumnValue_DateTime::getText(int index, NString& out) const
{
    if (index != 0)
        return badIndex("RvdbColumnValue_DateTime", index);
    out = parts.toString();
    return 0;
}

int RvdbColumnValue_DateTime::setText(int index, const NString& text)
{
    if (index != 0)
        return badIndex("RvdbColumnValue_DateTime", index);
    // A whole stamp YYYYMMDDhhmmss is cut here directly.
    const char* t = text.c_str();
    size_t n = 0;
    while (n < 15 && t[n] != '\0')
        n++;
    if (n == 14) {
        setPart(parts.year, t, 4);
        setPart(parts.month, t + 4, 2);
        setPart(parts.day, t + 6, 2);
        setPart(parts.hour, t + 8, 2);
        setPart(parts.minute, t + 10, 2);
        setPart(parts.second, t + 12, 2);
        parts.unreadable = false;
        return 0;
    }
    if (t[0] == RV_NO_STAMP_MARK) {
        parts.clear();
        parts.unreadable = true;
        return 0;
    }
    // parse refuses a text before it changes any part, so a refused text
    // leaves the value unchanged.
    int ret = parts.parse(text);
    if (ret != 0) {
        COMTRACE_SRC("RvdbColumnValue_DateTime", "ret[%d]", ret);
        return ret;
    }
    return 0;
}

NString* RvdbColumnValue_DateTime::valuePtr(int) { return nullptr; }

int RvdbColumnValue_DateTimeCal::getText(int index, NString& out) const
{
    if (index == 1) {
        out = status;
        return 0;
    }
    if (index != 0)
        return badIndex("RvdbColumnValue_DateTimeCal", index);
    return RvdbColumnValue_DateTime::getText(index, out);
}

int RvdbColumnValue_DateTimeCal::setText(int index, const NString& text)
{
    if (index == 1) {
        status = text;
        return 0;
    }
    if (index != 0)
        return badIndex("RvdbColumnValue_DateTimeCal", index);
    return RvdbColumnValue_DateTime::setText(index, text);
}

// ---- time span ----

int RvdbColumnValue_TimeSpan::copyTo(RvdbColumnValue& target) const
{
    RvdbColumnValue_TimeSpan* t = target.getType() == RVDB_VALUE_TIMESPAN
                                      ? dynamic_cast<RvdbColumnValue_TimeSpan*>(&target)
                                      : nullptr;
    if (t == nullptr) {
        COMTRACE_SRC(getType() == RVDB_VALUE_TIMESPAN ? "RvdbColumnValue_TimeSpan"
                                                      : "RvdbColumnValue_TimeSpanCal",
                     "%s", "");
        return RVDB_ERR_VALUE_TYPE;
    }
    t->parts = parts;
    return 0;
}

int RvdbColumnValue_TimeSpan::getText(int index, NString& out) const
{
    if (index != 0)
        return badIndex("RvdbColumnValue_TimeSpan", index);
    out = parts.toSeconds();
    return 0;
}

int RvdbColumnValue_TimeSpan::setText(int index, const NString& text)
{
    if (index != 0)
        return badIndex("RvdbColumnValue_TimeSpan", index);
    TimeSpanParts p;
    // NaN and the infinities of a numeric column are no number of seconds.
    const char* t = text.c_str();
    const char* digits = (t[0] == '-' || t[0] == '+') ? t + 1 : t;
    if (*digits == 'N' || *digits == 'n' || *digits == 'I' || *digits == 'i') {
        parts.clear();
        parts.unreadable = true;
        return 0;
    }
    int ret = p.parse(text);
    if (ret != 0) {
        COMTRACE_SRC("RvdbColumnValue_TimeSpan", "ret[%d]", ret);
        return ret;
    }
    parts = p;
    return 0;
}

NString* RvdbColumnValue_TimeSpan::valuePtr(int) { return nullptr; }

int RvdbColumnValue_TimeSpanCal::getText(int index, NString& out) const
{
    if (index == 1) {
        out = status;
        return 0;
    }
    if (index != 0)
        return badIndex("RvdbColumnValue_TimeSpanCal", index);
    return RvdbColumnValue_TimeSpan::getText(index, out);
}

int RvdbColumnValue_TimeSpanCal::setText(int index, const NString& text)
{
    if (index == 1) {
        status = text;
        return 0;
    }
    if (index != 0)
        return badIndex("RvdbColumnValue_TimeSpanCal", index);
    return RvdbColumnValue_TimeSpan::setText(index, text);
}

// ---- file ----

int RvdbColumnValue_File::copyTo(RvdbColumnValue& target) const
{
    RvdbColumnValue_File* t =
        target.getType() == RVDB_VALUE_FILE ? dynamic_cast<RvdbColumnValue_File*>(&target) : nullptr;
    if (t == nullptr) {
        COMTRACE_SRC("RvdbColumnValue_File", "%s", "");
        return RVDB_ERR_VALUE_TYPE;
    }
    if (t == this)
        return 0;
    t->files = files;
    t->fileMark = fileMark;
    t->recordKey = recordKey;
    t->files2 = files2;
    t->files3 = files3;
    return 0;
}

int RvdbColumnValue_File::getText(int index, NString& out) const
{
    if (index == 0)
        out = fileMark;
    else if (index == 1)
        out = recordKey;
    else
        return badIndex("RvdbColumnValue_File", index);
    return 0;
}

int RvdbColumnValue_File::setText(int index, const NString& text)
{
    if (index == 0)
        fileMark = text;
    else if (index == 1)
        recordKey = text;
    else
        return badIndex("RvdbColumnValue_File", index);
    return 0;
}

NString* RvdbColumnValue_File::valuePtr(int) { return nullptr; }

bool RvdbColumnValue_File::hasFile() const { return std::strcmp(fileMark.c_str(), "1") == 0; }

// ---- image ----

namespace {

// Image text of a physical column index (id, file name, MIME type, width,
// height, size), or null.
NString* imageText(ImageParts& image, int index)
{
    switch (index) {
    case 0: return &image.contentId;
    case 1: return &image.fileName;
    case 2: return &image.mimeType;
    case 3: return &image.width;
    case 4: return &image.height;
    case 5: return &image.fileSize;
    default: return nullptr;
    }
}

} // namespace

int RvdbColumnValue_Image::copyTo(RvdbColumnValue& target) const
{
    RvdbColumnValue_Image* t = target.getType() == RVDB_VALUE_IMAGE
                                   ? dynamic_cast<RvdbColumnValue_Image*>(&target)
                                   : nullptr;
    if (t == nullptr) {
        COMTRACE_SRC("RvdbColumnValue_Image", "%s", "");
        return RVDB_ERR_VALUE_TYPE;
    }
    t->image = image;
    t->extra = extra;
    return 0;
}

int RvdbColumnValue_Image::getText(int index, NString& out) const
{
    const NString* p = imageText(const_cast<ImageParts&>(image), index);
    if (p == nullptr)
        return badIndex("RvdbColumnValue_Image", index);
    out = *p;
    return 0;
}

int RvdbColumnValue_Image::setText(int index, const NString& text)
{
    NString* p = imageText(image, index);
    if (p == nullptr)
        return badIndex("RvdbColumnValue_Image", index);
    *p = text;
    return 0;
}

NString* RvdbColumnValue_Image::valuePtr(int) { return nullptr; }

// ---- factory ----

namespace {

typedef RvdbColumnValue* (*MakeValue)(const RvdbColumnSetPtr&);

template <class Kind>
RvdbColumnValue* make(const RvdbColumnSetPtr& cs)
{
    return new Kind(cs);
}

struct Factory {
    const char* key;
    MakeValue make;
};

const Factory factories[] = {
    {RVDB_TYPE_KEY, make<RvdbColumnValue_Key>},
    {RVDB_TYPE_RELKEY, make<RvdbColumnValue_Key>},
    {RVDB_TYPE_TEXT, make<RvdbColumnValue_Text>},
    {RVDB_TYPE_TEXTS, make<RvdbColumnValue_Texts>},
    {RVDB_TYPE_NUMBER, make<RvdbColumnValue_Number>},
    {RVDB_TYPE_NUMBERCAL, make<RvdbColumnValue_NumberCal>},
    {RVDB_TYPE_DATETIME, make<RvdbColumnValue_DateTime>},
    {RVDB_TYPE_DATETIMECAL, make<RvdbColumnValue_DateTimeCal>},
    {RVDB_TYPE_MAIL, make<RvdbColumnValue_Mail>},
    {RVDB_TYPE_URL, make<RvdbColumnValue_Url>},
    {RVDB_TYPE_TIMESPAN, make<RvdbColumnValue_TimeSpan>},
    {RVDB_TYPE_TIMESPANCAL, make<RvdbColumnValue_TimeSpanCal>},
    {RVDB_TYPE_FILE, make<RvdbColumnValue_File>},
    {RVDB_TYPE_IMAGE, make<RvdbColumnValue_Image>},
    {RVDB_TYPE_USER, make<RvdbColumnValue_User>},
    {RVDB_TYPE_SELECT, make<RvdbColumnValue_Select>},
    {RVDB_TYPE_SELECTS, make<RvdbColumnValue_Selects>},
};

} // namespace

RvdbColumnValue* rvdbNewColumnValue(const RvdbColumnSetPtr& columnSet)
{
    const RvdbColumnSet* cs = columnSet.get();
    if (cs == nullptr || cs->getRelColType().isNull())
        return nullptr;
    const char* type = cs->getRelColType().c_str();
    for (const Factory& f : factories) {
        if (type == f.key || std::strcmp(type, f.key) == 0)
            return f.make(columnSet);
    }
    return nullptr;
}
