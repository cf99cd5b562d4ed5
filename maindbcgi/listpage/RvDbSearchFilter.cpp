#include "RvDbSearchFilter.h"

#include <cstring>

#include "rvappFieldCheck.h"

bool RvDbSearchFilter::isStored() const
{
    return !filter_id.isNullOrEmpty() && strcmp(filter_id.c_str(), RVDB_FILTER_NEW_ID) != 0;
}

RvResult RvDbSearchFilter::checkFilterId(const NString& value)
{
    return rvappCheckRequiredIntRange(value, 1, 999999999, "searchfilterid");
}

RvResult RvDbSearchFilter::checkSeqno(const NString& value)
{
    return rvappCheckOptionalIntRange(value, 0, 999999999, "seqno");
}

RvResult RvDbSearchFilter::checkCondition(const NString& value)
{
    return rvappCheckOneChar(value, "&|", "condition");
}

RvResult RvDbSearchFilter::checkFilterName(const NString& value)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        check = rvValidatorCheckLength(value.c_str(), 0, 64);
    }
    return rvappFieldResult(check, "searchfiltername");
}
