// Column type predicates of RvdbColumnSet. Type names compare exactly.
#include <cstring>
#include <initializer_list>

#include "rvdbcolumnset.h"

namespace {

bool isOneOf(const NString& value, std::initializer_list<const char*> names)
{
    const char* v = value.c_str();
    if (!*v)
        return false;
    for (const char* n : names)
        if (std::strcmp(v, n) == 0)
            return true;
    return false;
}

bool isFlag(const NString& value) { return std::strcmp(value.c_str(), "1") == 0; }

}  // namespace

bool RvdbColumnSet::isSystemColumn() const
{
    return isOneOf(getColId(), { "-1", "-2", "-3", "-4", "-5" });
}

bool RvdbColumnSet::isVirtualColumn() const
{
    return isOneOf(getColType(),
                   { RVDB_TYPE_NUMBERCAL, RVDB_TYPE_DATETIMECAL, RVDB_TYPE_TIMESPANCAL, RVDB_TYPE_RELREF });
}

bool RvdbColumnSet::isMust() const { return isFlag(getCMust()); }

bool RvdbColumnSet::isUnique() const { return isFlag(getCUniq()); }

bool RvdbColumnSet::hasSortFlag() const { return isFlag(getCSort()); }

bool RvdbColumnSet::isRelation() const
{
    return isOneOf(getColType(), { RVDB_TYPE_RELKEY, RVDB_TYPE_RELREF, RVDB_TYPE_RELCPY });
}

bool RvdbColumnSet::isRelRef() const
{
    return isRelation() && isOneOf(getColType(), { RVDB_TYPE_RELREF });
}

bool RvdbColumnSet::isRelCpy() const
{
    return isRelation() && isOneOf(getColType(), { RVDB_TYPE_RELCPY });
}

bool RvdbColumnSet::hasRootColumnSet() const
{
    const RvdbColumnSet* root = getRootColumnSet();
    return root && !isOneOf(root->getColType(), { RVDB_TYPE_RELREF });
}

bool RvdbColumnSet::isTextValue() const
{
    return !isRelRef() && !isVirtualColumn() && isOneOf(getRelColType(), { RVDB_TYPE_TEXT, RVDB_TYPE_TEXTS });
}

bool RvdbColumnSet::isUnsortable() const
{
    return isRelRef() || std::strcmp(getColId().c_str(), "-1") == 0 ||
           isOneOf(getRelColType(), { RVDB_TYPE_TEXTS });
}

bool RvdbColumnSet::isSortable() const
{
    return !isUnsortable() && (isOneOf(getRelColType(), { RVDB_TYPE_RELKEY }) || hasSortFlag());
}

bool RvdbColumnSet::isNotSelects() const { return !isOneOf(getRelColType(), { RVDB_TYPE_SELECTS }); }

bool RvdbColumnSet::isNumericOrTimeSpanValue() const
{
    return isOneOf(getRelColType(),
                   { RVDB_TYPE_NUMBER, RVDB_TYPE_NUMBERCAL, RVDB_TYPE_TIMESPAN, RVDB_TYPE_TIMESPANCAL });
}

bool RvdbColumnSet::isScalarValue() const
{
    return isOneOf(getRelColType(),
                   { RVDB_TYPE_TEXT, RVDB_TYPE_MAIL, RVDB_TYPE_URL, RVDB_TYPE_NUMBER, RVDB_TYPE_NUMBERCAL,
                     RVDB_TYPE_DATETIME, RVDB_TYPE_DATETIMECAL, RVDB_TYPE_TIMESPAN, RVDB_TYPE_TIMESPANCAL,
                     RVDB_TYPE_SELECT, RVDB_TYPE_USER });
}

bool RvdbColumnSet::isDateTimeOrTimeSpanValue() const
{
    return !isRelRef() && isOneOf(getRelColType(), { RVDB_TYPE_DATETIME, RVDB_TYPE_DATETIMECAL,
                                                     RVDB_TYPE_TIMESPAN, RVDB_TYPE_TIMESPANCAL });
}

bool RvdbColumnSet::isNumberValue() const
{
    return !isRelRef() && isOneOf(getRelColType(), { RVDB_TYPE_NUMBER, RVDB_TYPE_NUMBERCAL });
}

bool RvdbColumnSet::isInputNonFileValue() const
{
    return !isRelRef() && !isVirtualColumn() && !isOneOf(getRelColType(), { RVDB_TYPE_IMAGE, RVDB_TYPE_FILE });
}

bool RvdbColumnSet::isInputColumn() const
{
    return !isSystemColumn() && !isRelRef() && !isVirtualColumn() &&
           isOneOf(getRelColType(), { RVDB_TYPE_TEXT, RVDB_TYPE_TEXTS, RVDB_TYPE_MAIL, RVDB_TYPE_URL,
                                      RVDB_TYPE_NUMBER, RVDB_TYPE_DATETIME, RVDB_TYPE_TIMESPAN,
                                      RVDB_TYPE_SELECT, RVDB_TYPE_SELECTS, RVDB_TYPE_USER,
                                      RVDB_TYPE_RELKEY });
}
