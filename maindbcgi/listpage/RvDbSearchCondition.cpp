#include "RvDbSearchCondition.h"

#include "comtrace.h"
#include "rvappFieldCheck.h"

bool RvDbSearchCondition::isCompValType(int value)
{
    return (value >= 0 && value <= 2) || (value >= 101 && value <= 112) ||
           (value >= 114 && value <= 128) || value == 201 || value == 202 ||
           (value >= 301 && value <= 306);
}

RvResult RvDbSearchCondition::checkColId(const NString& value)
{
    RvResult r = rvappFieldResult(rvValidatorCheckRequired(value.c_str()), "col_id");
    if (r.isError()) {
        COMTRACE("ret[%d]", r.getCode());
    }
    return r;
}

RvResult RvDbSearchCondition::checkCompValType(const NString& value)
{
    RvResult r = rvappCheckRequiredIntRange(value, 0, 9999, "comp_val_type");
    if (r.isError()) {
        COMTRACE("ret[%d]", r.getCode());
        return r;
    }
    int v = rvappTextToInt(value.c_str());
    if (!isCompValType(v)) {
        COMTRACE("ivalue=%d", v);
        return rvappFieldResult(rvValidatorInvalidValue(nullptr), "comp_val_type");
    }
    return r;
}

RvResult RvDbSearchCondition::checkSeqno(const NString& value)
{
    if (value.isNullOrEmpty()) {
        COMTRACE("seqno empty");
        return RvResult();
    }
    RvResult r = rvappCheckOptionalIntRange(value, 0, 999999999, "seqno");
    if (r.isError()) {
        COMTRACE("ret[%d]", r.getCode());
    }
    return r;
}
