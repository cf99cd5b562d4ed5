// Server exchanges of the import program: one object per HTTP POST to one
// command of the business-application server, answered (except for the
// downloads) by a JSON object.
#ifndef RVHTTP_H
#define RVHTTP_H

#include <string>
#include <utility>
#include <vector>

#include "jsonaccess.h"
#include "nuhttp.h"

class RvMigrateImportBat;

typedef std::vector<std::pair<std::string, std::string> > RvHttpParams;

enum {
    RVHTTP_ERR_400 = -601001,
    RVHTTP_ERR_401 = -601002,
    RVHTTP_ERR_403 = -601003,
    RVHTTP_ERR_404 = -601004,
    RVHTTP_ERR_407 = -601005,
    RVHTTP_ERR_TIMEOUT = -601006,
    RVHTTP_ERR_409 = -601007,
    RVHTTP_ERR_500 = -601008,
    RVHTTP_ERR_503 = -601009,
    RVHTTP_ERR_STATUS = -601010
};

class RvHttp {
public:
    explicit RvHttp(RvMigrateImportBat* importbatobj);
    virtual ~RvHttp();
    RvHttp(const RvHttp&) = delete;
    RvHttp& operator=(const RvHttp&) = delete;

    virtual int GetPostParams(RvHttpParams& params);
    virtual int CheckResponse();
    virtual int ParseResponse(const JsonObject* root);
    virtual void SetMessageWithCode(int code);
    virtual int GetReturnCodeByNuHttpCode(int result);

    // One exchange: 0 or a negative result code (message set).
    int Accs();
    std::string getUrl() const;
    std::string joinPostParams(const RvHttpParams& params) const;
    int accs(const std::string& url, const std::string& body);

    const std::string& getMessage() const { return m_message; }
    int getServerErrorNo() const { return m_server_errno; }
    const std::string& getAction() const { return m_action; }
    const std::string& getCgiName() const { return m_cgi_name; }
    // The reply body as received (may hold NUL bytes).
    std::string getBody() const;

protected:
    RvMigrateImportBat* m_importbatobj;
    NuHttp m_http;
    char* m_response_body;
    int m_response_len;
    std::string m_action;
    std::string m_cgi_name;
    int m_server_errno;
    std::string m_message;
    // Limit of every wait of the exchange, in seconds.
    int m_timeout_seconds;
    // m_message is the reply's own text, even when empty.
    bool m_message_set;
};

class RvHttpLogin : public RvHttp {
public:
    explicit RvHttpLogin(RvMigrateImportBat* importbatobj);
    int GetPostParams(RvHttpParams& params) override;
    int ParseResponse(const JsonObject* root) override;
    const std::string& getLoginId() const { return m_login_id; }
    const std::string& getToken() const { return m_token; }

private:
    std::string m_login_id;
    std::string m_token;
};

class RvHttpImportFileUpload : public RvHttp {
public:
    explicit RvHttpImportFileUpload(RvMigrateImportBat* importbatobj);
    int GetPostParams(RvHttpParams& params) override;
    int GetReturnCodeByNuHttpCode(int result) override;
    void setUpFileFullPath(std::string& relPath, std::string& fullPath) const;

    std::string m_attach_filepath;
};

class RvHttpImportApp : public RvHttp {
public:
    explicit RvHttpImportApp(RvMigrateImportBat* importbatobj);
    int GetPostParams(RvHttpParams& params) override;
    int ParseResponse(const JsonObject* root) override;
    int GetReturnCodeByNuHttpCode(int result) override;
    const std::string& getAppId() const { return m_app_id; }

private:
    std::string m_app_id;
};

class RvHttpImportProcExisted : public RvHttp {
public:
    explicit RvHttpImportProcExisted(RvMigrateImportBat* importbatobj);
    int ParseResponse(const JsonObject* root) override;
    bool isRunning() const { return m_running; }
    int getOkCount() const { return m_ok_count; }
    int getWarningCount() const { return m_warning_count; }
    int getNgCount() const { return m_ng_count; }

private:
    bool m_running;
    int m_ok_count;
    int m_warning_count;
    int m_ng_count;
};

// Downloads: the reply body, whole, is the result text.
#define RVHTTP_DOWNLOAD_CLASS(Name)                                     \
    class Name : public RvHttp {                                        \
    public:                                                             \
        explicit Name(RvMigrateImportBat* importbatobj);                \
        int CheckResponse() override;                                   \
        const std::string& getResultText() const { return m_result_text; } \
                                                                        \
    private:                                                            \
        std::string m_result_text;                                      \
    }

RVHTTP_DOWNLOAD_CLASS(RvHttpImportLogDownload);
RVHTTP_DOWNLOAD_CLASS(RvHttpImportErrorListDownload);
RVHTTP_DOWNLOAD_CLASS(RvHttpImportErrorDownload);

#undef RVHTTP_DOWNLOAD_CLASS

class RvHttpLogout : public RvHttp {
public:
    explicit RvHttpLogout(RvMigrateImportBat* importbatobj);
};

// The access key value of a form text replaced by "****" (for traces).
std::string rvhttpMaskSecrets(const std::string& form);

#endif
