// CGI driver of the list-page CSV download, for the tests only.
//
// RV_TEST_ROOT names the application root (settings in rvdata/app, session
// directories under rvsession). The session id comes from the cookie
// "rvsid"; the session directory holds the file "session" with the user's
// "uid" and "admin". RV_LOCAL_DIR (default: the source tree's local/)
// holds ja/message and ja/vikra; RV_TRACE, when set, is the trace file.
// With the argument --save-state it saves an empty page state for the
// request's "tid" and "wid" instead (for the benchmark).
// RV_TEST_FAULT makes the record rows fail part way: "value" (the second
// row cannot be read) or "cell" (the second cell cannot be formatted).
// On a failure the result code goes to standard error and the exit status
// is 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RvDbRecordListCsv.h"
#include "cddbconnection_pg.h"
#include "RvdbRecordListPageCommand.h"
#include "comcgi.h"
#include "comcgireq.h"
#include "comtrace.h"
#include "rvappctx.h"
#include "rvcomcode.h"
#include "rvcomdisp.h"
#include "rvcompair.h"

namespace {

// A connection whose record rows cannot be read from the second on.
class FaultyConnection : public CdDBConnection_PG {
public:
    FaultyConnection() : CdDBConnection_PG(5, 1) {}
    int nextStreamResult(PGresult*& result) override
    {
        int ret = CdDBConnection_PG::nextStreamResult(result);
        if (ret != 0 || PQresultStatus(result) != PGRES_SINGLE_TUPLE || ++rows != 2)
            return ret;
        PQclear(result);
        result = nullptr;
        return CDDB_ERR_VALUE;
    }

private:
    int rows = 0;
};

// The download whose second cell cannot be formatted.
class FaultyCells : public RvDbRecordListCsv {
public:
    using RvDbRecordListCsv::formatColumnValue;
    int formatColumnValue(const RvdbColumnValue* value, NString& out) override
    {
        return ++calls == 2 ? -100001 : RvDbRecordListCsv::formatColumnValue(value, out);
    }

private:
    int calls = 0;
};

int fail(int code, const char* what)
{
    fflush(stdout);
    fprintf(stderr, "%d %s\n", code, what);
    return 1;
}

// The user of the session: "uid" and "admin" of <session dir>/session.
int loadSessionUser(const RvAppCtx& ctx, RvSession& session)
{
    NString dir;
    int ret = ctx.makeSessionFilePath(session.id, dir);
    if (ret != 0)
        return ret;
    NString path;
    path.format("%s/session", dir.c_str());
    RvPairList pairs;
    ret = rvcomReadFileToPairArray(pairs, path.c_str(), 1);
    if (ret != 0)
        return ret;
    rvcomGetPairValue(session.user.id, pairs, "uid", false);
    rvcomGetPairValue(session.user.admin, pairs, "admin", false);
    return 0;
}

// Saves the state a list page starts from.
int saveEmptyState(const RvAppCtx& ctx, const RvSession& session, const RvParamArray& params)
{
    NString dir, tid, wid;
    int ret = ctx.makeSessionFilePath(session.id, dir);
    if (ret != 0)
        return ret;
    rvappGetParamValue(tid, params, "tid", "");
    rvappGetParamValue(wid, params, "wid", "");
    return RvdbRecordListPageCommand(dir, tid, wid).save();
}

}  // namespace

int main(int argc, char** argv)
{
    const bool saveState = argc > 1 && strcmp(argv[1], "--save-state") == 0;
    if (const char* trace = getenv("RV_TRACE"))
        comTraceSetPath(trace);
    const char* localEnv = getenv("RV_LOCAL_DIR");
    NString local(localEnv && *localEnv ? localEnv : RV_SOURCE_DIR "/local");
    NString path;
    path.format("%s/ja/message", local.c_str());
    if (int ret = rvcomLoadCodeMessageFile(path.c_str()))
        return fail(ret, "code table");
    path.format("%s/ja/vikra", local.c_str());
    if (int ret = rvcomLoadLocalStringFile(path.c_str()))
        return fail(ret, "local strings");

    const char* root = getenv("RV_TEST_ROOT");
    RvAppCtx* ctx = RvAppCtx::getInstance();
    const char* env = getenv("RV_TEST_FAULT");
    const std::string fault = env ? env : "";
    if (fault == "value")
        ctx->setConnection(new FaultyConnection());
    if (int ret = ctx->load(root))
        return fail(ret, "settings");

    char** names = nullptr;
    char** values = nullptr;
    char** fileNames = nullptr;
    char** types = nullptr;
    NString upload;
    upload.format("%s/rvdata/tmp", root);
    int count = comCgiGetRequest(&names, &values, &fileNames, &types, upload.c_str(), nullptr,
                                 nullptr, 0);
    if (count < 0)
        return fail(count, "request");

    RvSession session;
    char** cookies = nullptr;
    int cookieCount = 0;
    if (comCgiGetCookies(&cookies, &cookieCount, "rvsid") > 0)
        session.id = NString(static_cast<const char*>(cookies[0]));
    for (int i = 0; i < cookieCount; ++i)
        free(cookies[i]);
    free(cookies);

    RvParamArray params = {count, names, values};
    int code = loadSessionUser(*ctx, session);
    if (code == 0 && saveState) {
        code = saveEmptyState(*ctx, session, params);
    } else if (code == 0) {
        ctx->getUser() = session.user;
        RvDbRecordListCsv plain;
        FaultyCells faultyCells;
        RvDbRecordListCsv& command = fault == "cell" ? faultyCells : plain;
        code = command.execute(*ctx, session, params).getCode();
    }
    comCgiFreeRequest(count, names, values, fileNames, types);
    ctx->disconnect();
    if (code != 0)
        return fail(code, "download");
    return fflush(stdout) == 0 ? 0 : fail(-1, "flush");
}
