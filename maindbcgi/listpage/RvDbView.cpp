#include "RvDbView.h"

#include <cstdlib>
#include <cstring>

#include "RvDbOperatorDbLayout.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"

namespace {

RvResult requiredExactly(const NString& value, const char* expected, const char* key)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError() && strcmp(value.c_str(), expected) != 0) {
        check = rvValidatorInvalidValue(nullptr);
    }
    return rvappFieldResult(check, key);
}

}  // namespace

RvResult RvDbView::checkViewName(const NString& value)
{
    return rvappFieldResult(rvValidatorCheckRequired(value.c_str()), "view_name");
}

RvResult RvDbView::checkSeqno()
{
    return RvResult();
}

RvResult RvDbView::checkLLayoutId(CdDBConnection* connection, const char* tblId, const NString& value)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (check.isError()) {
        return rvappFieldResult(check, "l_layout_id");
    }
    bool found = false;
    int ret = RvDbOperatorDbLayout::exists(connection, tblId, rvappTextToInt(value.c_str()), found);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return RvResult(ret);
    }
    if (!found) {
        return rvappFieldResult(rvValidatorInvalidValue(nullptr), "l_layout_id");
    }
    return RvResult();
}

RvResult RvDbView::checkILayoutId(CdDBConnection*, const char*, const NString& value)
{
    return requiredExactly(value, "-1", "i_layout_id");
}

RvResult RvDbView::checkDLayoutId(CdDBConnection*, const char*, const NString& value)
{
    return requiredExactly(value, "-1", "d_layout_id");
}

RvResult RvDbView::checkSortColId(CdDBConnection*, const char*, const NString&, const char*)
{
    return RvResult();
}

RvResult RvDbView::checkSortOrder(const NString& value, const char* key)
{
    if (value.isNullOrEmpty()) {
        return RvResult();
    }
    return rvappCheckOneChar(value, "ad", key);
}

RvResult RvDbView::checkRowsPerPage(const NString& value)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError()) {
        // 64 bits, so that long texts give the same answer on every platform.
        long long n = strtoll(value.c_str(), nullptr, 10);
        if (n % 10 != 0) {
            check = rvValidatorInvalidValue(nullptr);
        } else {
            check = rvValidatorCheckIntRange(value.c_str(), 10, 100);
        }
    }
    return rvappFieldResult(check, "rows_per_page");
}

RvResult RvDbView::checkDispFlg(const NString& value)
{
    return rvappFieldResult(rvValidatorCheckRequired(value.c_str()), "dispflg");
}

RvResult RvDbView::checkDefFlg(const NString& value)
{
    RvCheckResult check = rvValidatorCheckRequired(value.c_str());
    if (!check.isError() && strcmp(value.c_str(), "1") != 0 && strcmp(value.c_str(), "0") != 0) {
        check = rvValidatorInvalidValue(nullptr);
    }
    return rvappFieldResult(check, "defflg");
}
