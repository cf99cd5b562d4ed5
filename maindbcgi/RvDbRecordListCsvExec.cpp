// The list-page download is not built in this library yet: the command
// reports a bad argument until it is.
#include "RvDbRecordListCsv.h"

#include "comtrace.h"

RvResult RvDbRecordListCsv::execute(RvAppCtx&, RvSession&, const RvParamArray&)
{
    const int ret = -100001;
    COMTRACE_SRC("RvDbRecordListCsv", "ret[%d] execute not available", ret);
    return RvResult(ret);
}
