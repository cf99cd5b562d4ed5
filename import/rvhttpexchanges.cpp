// The eight exchanges with the business-application server.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "comcgi.h"
#include "comtrace.h"
#include "rvhttp.h"
#include "rvimporttext.h"
#include "rvmigrateimportbat.h"

namespace {

const JsonValue* field(const JsonObject* root, const char* name)
{
    if (!root || !root->is_object())
        return nullptr;
    auto it = root->find(name);
    return it == root->end() ? nullptr : &*it;
}

} // namespace

// ---- login --------------------------------------------------------------------------------

RvHttpLogin::RvHttpLogin(RvMigrateImportBat* importbatobj) : RvHttp(importbatobj)
{
    m_cgi_name = "tovrapinex.cgi";
    m_action = "login";
}

int RvHttpLogin::GetPostParams(RvHttpParams& params)
{
    RvHttp::GetPostParams(params);
    params.emplace_back("access_key", m_importbatobj->m_access_key.c_str());
    return 0;
}

int RvHttpLogin::ParseResponse(const JsonObject* root)
{
    int r = RvHttp::ParseResponse(root);
    if (r != 0) {
        COMTRACE_SRC("RvHttpLogin", "ret[%d]", r);
        return r;
    }
    bool found = false;
    std::string rssid = jsonObjectText(root, "rssid", &found);
    if (found) {
        char* enc = comCgiUrlEncode(rssid.c_str(), COM_URL_SPACE_PLUS);
        if (!enc) {
            COMTRACE_SRC("RvHttpLogin", "ret[%d]", RVIMP_ERR_NOMEM);
            return RVIMP_ERR_NOMEM;
        }
        m_login_id = enc;
        std::free(enc);
    }
    m_token = jsonObjectText(root, "STOKEN");
    return 0;
}

// ---- upload of one attached file ------------------------------------------------------------

RvHttpImportFileUpload::RvHttpImportFileUpload(RvMigrateImportBat* importbatobj)
    : RvHttp(importbatobj)
{
    m_cgi_name = "mobrr.cgi";
    m_action = "cdbasetcmdimportfileupload";
}

void RvHttpImportFileUpload::setUpFileFullPath(std::string& relPath, std::string& fullPath) const
{
    relPath = m_attach_filepath;
    fullPath = m_importbatobj->m_attach_base_dir + relPath;
}

int RvHttpImportFileUpload::GetPostParams(RvHttpParams& params)
{
    if (m_attach_filepath.empty()) {
        COMTRACE_SRC("RvHttpImportFileUpload", "ret[%d] filepath[]", RVIMP_ERR_FILE);
        return RVIMP_ERR_FILE;
    }
    RvHttp::GetPostParams(params);
    std::string rel, full;
    setUpFileFullPath(rel, full);
    int r = m_http.AddFile("attach", full.c_str(), nullptr, nullptr);
    if (r != 0) {
        COMTRACE_SRC("RvHttpImportFileUpload", "ret[%d] filepath[%s] errno[%d]", r, full.c_str(),
                     errno);
        m_message = rvimportCodeMessage(RVIMP_ERR_FILE, {full});
        return RVIMP_ERR_FILE;
    }
    params.emplace_back("file_path", m_attach_filepath);
    return 0;
}

int RvHttpImportFileUpload::GetReturnCodeByNuHttpCode(int result)
{
    if (result == NUHTTP_ERR_PART) {
        std::string rel, full;
        setUpFileFullPath(rel, full);
        COMTRACE_SRC("RvHttpImportFileUpload", "ret[%d] fullpath[%s]", result, full.c_str());
        m_message = rvimportCodeMessage(RVIMP_ERR_FILE, {full});
        return RVIMP_ERR_FILE;
    }
    return RvHttp::GetReturnCodeByNuHttpCode(result);
}

// ---- import start ---------------------------------------------------------------------------

RvHttpImportApp::RvHttpImportApp(RvMigrateImportBat* importbatobj) : RvHttp(importbatobj)
{
    m_cgi_name = "mobrr.cgi";
    m_action = "cdbcmdimportapp";
}

int RvHttpImportApp::GetPostParams(RvHttpParams& params)
{
    RvHttp::GetPostParams(params);
    const RvMigrateImportBat* app = m_importbatobj;
    int r = m_http.AddFile("importfile", app->m_data_file.c_str(), nullptr, nullptr);
    if (r != 0) {
        COMTRACE_SRC("RvHttpImportApp", "ret[%d] filepath[%s] errno[%d]", r,
                     app->m_data_file.c_str(), errno);
        m_message = rvimportCodeMessage(RVIMP_ERR_FILE, {app->m_data_file});
        return RVIMP_ERR_FILE;
    }
    if (!app->m_appname.empty())
        params.emplace_back("Name", app->m_appname);
    params.emplace_back("force", "on");
    params.emplace_back("char_code", "2");
    params.emplace_back("char_sep", "0");
    params.emplace_back("title_except", "1");
    params.emplace_back("save_setting", "off");
    params.emplace_back("proc_type", "update");
    params.emplace_back("error_stop", "off");
    params.emplace_back("fields", app->m_fields);
    params.emplace_back("attach_file_exist", "on");
    return 0;
}

int RvHttpImportApp::ParseResponse(const JsonObject* root)
{
    int r = RvHttp::ParseResponse(root);
    if (r != 0) {
        COMTRACE_SRC("RvHttpImportApp", "ret[%d]", r);
        return r;
    }
    const JsonValue* v = field(root, "app_id");
    if (v && v->is_number_integer())
        m_app_id = v->dump();  // an integral id goes back without a fraction
    else
        m_app_id = jsonObjectText(root, "app_id");
    return 0;
}

int RvHttpImportApp::GetReturnCodeByNuHttpCode(int result)
{
    if (result == NUHTTP_ERR_PART) {
        const std::string& path = m_importbatobj->m_data_file;
        COMTRACE_SRC("RvHttpImportApp", "ret[%d] filepath[%s]", result, path.c_str());
        m_message = rvimportCodeMessage(RVIMP_ERR_FILE, {path});
        return RVIMP_ERR_FILE;
    }
    return RvHttp::GetReturnCodeByNuHttpCode(result);
}

// ---- progress poll --------------------------------------------------------------------------

RvHttpImportProcExisted::RvHttpImportProcExisted(RvMigrateImportBat* importbatobj)
    : RvHttp(importbatobj), m_running(false), m_ok_count(0), m_warning_count(0), m_ng_count(0)
{
    m_cgi_name = "mobrr.cgi";
    m_action = "cdbcmdimportprocexisted";
}

int RvHttpImportProcExisted::ParseResponse(const JsonObject* root)
{
    bool found = false;
    std::string flag = jsonObjectText(root, "execflg", &found);
    if (found) {
        const JsonValue* v = field(root, "execflg");
        // A number 0 means finished as the text "0" does.
        bool zeroNumber = v && v->is_number() && v->get<double>() == 0.0;
        m_running = !(flag == "0" || zeroNumber);
    }
    struct {
        const char* name;
        int* count;
    } counts[] = {{"import_ok_data", &m_ok_count},
                  {"import_warning_data", &m_warning_count},
                  {"import_ng_data", &m_ng_count}};
    for (auto& c : counts) {
        std::string text = jsonObjectText(root, c.name, &found);
        if (found)
            *c.count = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
    }
    std::string self = jsonObjectText(root, "self_message", &found);
    if (found)
        m_message = self;
    int r = RvHttp::ParseResponse(root);
    if (r != 0)
        COMTRACE_SRC("RvHttpImportProcExisted", "ret[%d]", r);
    return r;
}

// ---- downloads ------------------------------------------------------------------------------

#define RVHTTP_DOWNLOAD_IMPL(Name, Cmd)                                                        \
    Name::Name(RvMigrateImportBat* importbatobj) : RvHttp(importbatobj)                      \
    {                                                                                          \
        m_cgi_name = "mobrelix.cgi";                                                           \
        m_action = Cmd;                                                                        \
    }                                                                                          \
    int Name::CheckResponse()                                                                  \
    {                                                                                          \
        m_result_text = getBody();                                                             \
        return 0;                                                                              \
    }

RVHTTP_DOWNLOAD_IMPL(RvHttpImportLogDownload, "cdbimporterrordownload")
RVHTTP_DOWNLOAD_IMPL(RvHttpImportErrorListDownload, "cdbimporterrorlistdownload")
RVHTTP_DOWNLOAD_IMPL(RvHttpImportErrorDownload, "cdbimporterrordownload")

#undef RVHTTP_DOWNLOAD_IMPL

// ---- logout ---------------------------------------------------------------------------------

RvHttpLogout::RvHttpLogout(RvMigrateImportBat* importbatobj) : RvHttp(importbatobj)
{
    m_cgi_name = "vornr.cgi";
    m_action = "logout";
}
