// Column definition: properties, counted handle, copies, relation chain,
// list texts, type labels, select-option checks and dump.
#include "rvdbcolumnset.h"

#include <cstring>
#include <strings.h>

#include "comtrace.h"
#include "rvcomcode.h"

#define CS_TRACE(...) COMTRACE_SRC("RvdbColumnSet", __VA_ARGS__)

namespace {

const char* const propertyNames[RvdbColumnSet::PROPERTY_COUNT] = {
#define RVDB_CS_NAME(pos, name, acc) #name,
    RVDB_COLUMNSET_PROPERTIES(RVDB_CS_NAME)
#undef RVDB_CS_NAME
};

const NString emptyText;

// List text: "" for no entries, else LF + entries joined by LF + LF.
int listToText(const RvStringList& list, NString& prop)
{
    if (list.empty()) {
        prop = NString();
        return 0;
    }
    NString joined;
    int ret = rvcomConvArrayToText(list, joined, '\n');
    if (ret != 0) {
        CS_TRACE("ret[%d]", ret);
        return ret;
    }
    NString out;
    out.format("\n%s\n", joined.c_str());
    prop = out;
    return 0;
}

bool hasCrOrLf(const NString& s)
{
    return std::strpbrk(s.c_str(), "\r\n") != nullptr;
}

}  // namespace

const char* const rvdbColumnTypeNames[RVDB_TYPE_COUNT] = {
    RVDB_TYPE_KEY,      RVDB_TYPE_TEXT,        RVDB_TYPE_TEXTS,    RVDB_TYPE_MAIL,
    RVDB_TYPE_URL,      RVDB_TYPE_NUMBER,      RVDB_TYPE_NUMBERCAL, RVDB_TYPE_DATETIME,
    RVDB_TYPE_DATETIMECAL, RVDB_TYPE_TIMESPAN, RVDB_TYPE_TIMESPANCAL, RVDB_TYPE_SELECT,
    RVDB_TYPE_SELECTS,  RVDB_TYPE_USER,        RVDB_TYPE_FILE,     RVDB_TYPE_IMAGE,
    RVDB_TYPE_RELKEY,   RVDB_TYPE_RELREF,      RVDB_TYPE_RELCPY,
};

// ---- RvdbColumnSetPtr ----

RvdbColumnSetPtr::RvdbColumnSetPtr() : count(new int(1)), set(nullptr) {}

RvdbColumnSetPtr::RvdbColumnSetPtr(RvdbColumnSet* s) : count(new int(1)), set(s) {}

RvdbColumnSetPtr::RvdbColumnSetPtr(const RvdbColumnSetPtr& other) noexcept
    : count(other.count), set(other.set)
{
    if (count)
        ++*count;
}

RvdbColumnSetPtr& RvdbColumnSetPtr::operator=(const RvdbColumnSetPtr& other) noexcept
{
    if (this == &other || count == other.count)
        return *this;
    if (other.count)
        ++*other.count;
    // Take the new pair before dropping the old one: releasing may destroy
    // a set that holds other.
    int* oldCount = count;
    RvdbColumnSet* oldSet = set;
    count = other.count;
    set = other.set;
    if (oldCount && --*oldCount == 0) {
        delete oldSet;
        delete oldCount;
    }
    return *this;
}

RvdbColumnSetPtr::~RvdbColumnSetPtr() { release(); }

void RvdbColumnSetPtr::release() noexcept
{
    int* c = count;
    RvdbColumnSet* s = set;
    count = nullptr;
    set = nullptr;
    if (c && --*c == 0) {
        delete s;
        delete c;
    }
}

// ---- RvdbColumnSet ----

RvdbColumnSet::RvdbColumnSet() = default;

RvdbColumnSet::RvdbColumnSet(const RvdbColumnSet& other)
    : relatedSet(other.relatedSet), innerColumns(other.innerColumns), permission(other.permission)
{
    for (int i = 0; i < PROPERTY_COUNT; ++i)
        props[i] = other.props[i];
}

RvdbColumnSet& RvdbColumnSet::operator=(const RvdbColumnSet& other)
{
    if (this == &other)
        return *this;
    for (int i = 0; i < PROPERTY_COUNT; ++i)
        props[i] = other.props[i];
    innerColumns = other.innerColumns;
    permission = other.permission;
    relatedSet = other.relatedSet;
    return *this;
}

// Members go in reverse order: permission, inner columns, then the related
// set (destroyed when this was its last holder), then the properties.
RvdbColumnSet::~RvdbColumnSet() = default;

int RvdbColumnSet::copyDeep(const RvdbColumnSet& source, RvdbColumnSet& destination)
{
    if (&source == &destination)
        return 0;
    destination = source;
    RvdbColumnSet* cur = &destination;
    for (int depth = 0; cur->relatedSet.hasObject(); ++depth) {
        if (depth >= RVDB_MAX_RELATION_DEPTH) {
            CS_TRACE("ret[%d] tbl_id[%s] col_id[%s]", RVDB_ERR_ARG, destination.getTblId().c_str(),
                     destination.getColId().c_str());
            cur->relatedSet = RvdbColumnSetPtr();
            return RVDB_ERR_ARG;
        }
        RvdbColumnSet* copy = new RvdbColumnSet();
        *copy = *cur->relatedSet;
        cur->relatedSet = RvdbColumnSetPtr(copy);
        cur = copy;
    }
    return 0;
}

const NString& RvdbColumnSet::get(int pos) const
{
    if (pos < 0 || pos >= PROPERTY_COUNT)
        return emptyText;
    return props[pos];
}

void RvdbColumnSet::set(int pos, const NString& value)
{
    if (pos >= 0 && pos < PROPERTY_COUNT)
        props[pos] = value;
}

int RvdbColumnSet::findProperty(const char* name)
{
    if (!name)
        return -1;
    for (int i = 0; i < PROPERTY_COUNT; ++i)
        if (std::strcmp(propertyNames[i], name) == 0)
            return i;
    return -1;
}

const char* RvdbColumnSet::propertyName(int pos)
{
    return (pos >= 0 && pos < PROPERTY_COUNT) ? propertyNames[pos] : "";
}

RvdbColumnSet* RvdbColumnSet::getRootColumnSet() const
{
    RvdbColumnSet* cur = relatedSet.get();
    for (int depth = 0; cur; ++depth) {
        if (std::strcmp(cur->getColType().c_str(), RVDB_TYPE_RELREF) != 0 || !cur->relatedSet.hasObject())
            return cur;
        if (depth >= RVDB_MAX_RELATION_DEPTH) {
            CS_TRACE("ret[%d] tbl_id[%s] col_id[%s]", RVDB_ERR_ARG, getTblId().c_str(), getColId().c_str());
            return nullptr;
        }
        cur = cur->relatedSet.get();
    }
    return nullptr;
}

int RvdbColumnSet::setInputSelects(const RvStringList& list)
{
    return listToText(list, props[P_c_input_selects]);
}

int RvdbColumnSet::setInitVal(const RvStringList& list)
{
    return listToText(list, props[P_v_init_val]);
}

void RvdbColumnSet::getInputSelects(RvStringList& list) const
{
    rvcomConvTextToArray(props[P_c_input_selects], list, '\n');
}

void RvdbColumnSet::getInitVal(RvStringList& list) const
{
    rvcomConvTextToArray(props[P_v_init_val], list, '\n');
}

void RvdbColumnSet::getTypeLabel(NString& out, const char* typeText)
{
    if (typeText) {
        for (int i = 0; i < RVDB_TYPE_COUNT; ++i) {
            if (strcasecmp(typeText, rvdbColumnTypeNames[i]) == 0) {
                NString key;
                key.format("coltypename_%s", rvdbColumnTypeNames[i]);
                rvcomGetLocalString(out, key.c_str());
                return;
            }
        }
    }
    out = NString("(null)");
}

void RvdbColumnSet::getValueTypeLabel(NString& out) const
{
    getTypeLabel(out, getRelColType().c_str());
}

void RvdbColumnSet::getColTypeLabel(NString& out) const
{
    getTypeLabel(out, getColType().c_str());
}

RvResult RvdbColumnSet::checkSelectOptions(const RvStringList& options, const RvStringList& initialValues)
{
    if (options.size() > RVDB_MAX_SELECT_OPTIONS)
        return RvResult(RVDB_ERR_SELECT_TOO_MANY);
    for (size_t i = 0; i < options.size(); ++i) {
        const NString& opt = options[i];
        if (opt.isNullOrEmpty() || hasCrOrLf(opt))
            return RvResult(RVDB_ERR_SELECT_EMPTY);
        for (size_t j = i + 1; j < options.size(); ++j)
            if (std::strcmp(opt.c_str(), options[j].c_str()) == 0)
                return RvResult(RVDB_ERR_SELECT_DUPLICATE);
    }
    for (const NString& val : initialValues) {
        if (val.isNullOrEmpty() || hasCrOrLf(val))
            return RvResult(RVDB_ERR_INIT_EMPTY);
        bool found = false;
        for (const NString& opt : options)
            if (std::strcmp(opt.c_str(), val.c_str()) == 0) {
                found = true;
                break;
            }
        if (!found)
            return RvResult(RVDB_ERR_INIT_NOT_OPTION);
    }
    return RvResult();
}

void RvdbColumnSet::dump() const
{
    for (const RvdbInnerColumn& ic : innerColumns) {
        CS_TRACE("colid[%s] coltype[%s] rcoltype[%s] vircoltype[%s] innercolidx[%d] realcolname[%s] realtype[%s]",
                 getColId().c_str(), getColType().c_str(), getRelColType().c_str(), getRelColType().c_str(),
                 ic.subIndex, ic.name.c_str(), ic.sqlType.c_str());
        for (size_t i = 0; i < ic.relations.size(); ++i)
            CS_TRACE("\trelations[%d]: => %s.%s  type[%s]", static_cast<int>(i), ic.relations[i].table.c_str(),
                     ic.relations[i].valueColumn.c_str(), ic.relations[i].valueType.c_str());
    }
}
