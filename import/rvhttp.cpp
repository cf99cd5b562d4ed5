#include "rvhttp.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "comcgi.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvimporttext.h"
#include "rvmigrateimportbat.h"

#define RvHttpTrace(...) COMTRACE_SRC("RvHttp", __VA_ARGS__)

namespace {

const int kTimeoutSeconds = 30;

// Bytes that would break a name=value form text or a header.
bool breaksForm(unsigned char c)
{
    return c == '&' || c == '=' || c == '%' || c == '+' || c == ' ' || c < 0x20 || c == 0x7f;
}

std::string encodeName(const std::string& name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (breaksForm(c)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0f];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// What a reply that the exchange cannot use said, for its message: the
// body on one line, blanks and control bytes run together, cut at a
// character boundary.
std::string replyExcerpt(const char* body, int length)
{
    const int kMax = 200;
    std::string out;
    bool blank = false;
    for (int i = 0; body && i < length && out.size() <= static_cast<size_t>(kMax); ++i) {
        unsigned char c = static_cast<unsigned char>(body[i]);
        if (c <= 0x20 || c == 0x7f) {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += static_cast<char>(c);
    }
    out.resize(static_cast<size_t>(comUtf8CutBytes(&out[0], kMax, 0)));
    return out;
}

} // namespace

std::string rvhttpMaskSecrets(const std::string& form)
{
    static const char key[] = "access_key=";
    std::string out = form;
    size_t pos = 0;
    while ((pos = out.find(key, pos)) != std::string::npos) {
        if (pos != 0 && out[pos - 1] != '&') {
            pos += sizeof key - 1;
            continue;
        }
        size_t start = pos + sizeof key - 1;
        size_t end = out.find('&', start);
        if (end == std::string::npos)
            end = out.size();
        out.replace(start, end - start, "****");
        pos = start + 4;
    }
    return out;
}

RvHttp::RvHttp(RvMigrateImportBat* importbatobj)
    : m_importbatobj(importbatobj), m_response_body(nullptr), m_response_len(0),
      m_server_errno(0), m_timeout_seconds(kTimeoutSeconds), m_message_set(false)
{
}

RvHttp::~RvHttp()
{
    std::free(m_response_body);
}

std::string RvHttp::getBody() const
{
    if (!m_response_body || m_response_len <= 0)
        return std::string();
    return std::string(m_response_body, static_cast<size_t>(m_response_len));
}

int RvHttp::Accs()
{
    std::string url = getUrl();
    RvHttpParams params;
    int r = GetPostParams(params);
    if (r != 0) {
        RvHttpTrace("ret[%d]", r);
        SetMessageWithCode(r);
        return r;
    }
    std::string body = joinPostParams(params);
    r = accs(url, body);
    if (r != 0) {
        RvHttpTrace("ret[%d] url[%s] request[%s]", r, url.c_str(),
                    rvhttpMaskSecrets(body).c_str());
        SetMessageWithCode(r);
        return r;
    }
    r = CheckResponse();
    if (r != 0) {
        RvHttpTrace("ret[%d]", r);
        SetMessageWithCode(r);
        return r;
    }
    return 0;
}

std::string RvHttp::getUrl() const
{
    std::string url = m_importbatobj ? m_importbatobj->m_url.c_str() : "";
    if (!m_cgi_name.empty()) {
        std::string stem = m_cgi_name.substr(0, m_cgi_name.rfind('.'));
        // Only the path is rewritten, never the host of a URL without one.
        size_t pathStart = 0;
        size_t s = url.find("//");
        if (s != std::string::npos) {
            size_t p = url.find('/', s + 2);
            pathStart = p == std::string::npos ? url.size() : p;
        }
        size_t slash = url.rfind('/');
        size_t dot = url.rfind('.');
        if (slash != std::string::npos && dot != std::string::npos && slash >= pathStart &&
            slash < dot)
            url.replace(slash + 1, dot - slash - 1, stem);
    }
    if (!m_action.empty())
        url += "/" + m_action + "/";
    return url;
}

int RvHttp::GetPostParams(RvHttpParams& params)
{
    params.emplace_back("cmd", m_action);
    if (!m_importbatobj->m_stoken.empty())
        params.emplace_back(m_importbatobj->m_stoken, "1");
    if (!m_importbatobj->m_app_id.empty())
        params.emplace_back("app_id", m_importbatobj->m_app_id);
    return 0;
}

std::string RvHttp::joinPostParams(const RvHttpParams& params) const
{
    std::string out;
    for (const auto& p : params) {
        char* enc = comCgiUrlEncode(p.second.c_str(), COM_URL_SPACE_PLUS);
        if (!enc)
            return std::string();
        if (!out.empty())
            out += '&';
        // Names are ours and plain; a server-given token name is kept from
        // breaking the form.
        out += encodeName(p.first);
        out += '=';
        out += enc;
        std::free(enc);
    }
    return out;
}

int RvHttp::accs(const std::string& url, const std::string& body)
{
    RvMigrateImportBat* app = m_importbatobj;
    std::string cookie;
    const char* names[1] = {"Cookie"};
    const char* values[1] = {nullptr};
    int count = 0;
    if (!app->m_rssid.empty()) {
        cookie = "qelSid=" + app->m_rssid + ";";
        values[0] = cookie.c_str();
        count = 1;
    }
    std::free(m_response_body);
    m_response_body = nullptr;
    m_response_len = 0;
    const char* proxyHost = app->m_proxy_host.isNullOrEmpty() ? nullptr : app->m_proxy_host.c_str();
    // A basic-auth user without a configured password is refused below us.
    const char* basicPassword =
        app->m_basic_auth_password.isNull() ? nullptr : app->m_basic_auth_password.c_str();
    int r = m_http.Request(url.c_str(), body.c_str(), m_timeout_seconds, &m_response_body,
                           &m_response_len, nullptr, nullptr, nullptr, proxyHost,
                           app->m_proxy_port, app->m_basic_auth_userid.c_str(), basicPassword,
                           app->m_proxy_auth_userid.c_str(),
                           app->m_proxy_auth_password.c_str(), count, names, values, nullptr, 1);
    if (r == 0)
        return 0;
    const char* tls = m_http.GetErrorText();
    RvHttpTrace("ret[%d] tls[%s]", r, tls ? tls : "");
    int code = GetReturnCodeByNuHttpCode(r);
    // The failure's message says why TLS failed, or that its handshake
    // did not end in time.
    if (tls && *tls && (code == RVIMP_ERR_CONNECTION || code == RVHTTP_ERR_TIMEOUT) &&
        m_message.empty())
        m_message = rvimportCodeText(code) + "(" + tls + ")";
    return code;
}

int RvHttp::CheckResponse()
{
    JsonValue* root = nullptr;
    JsonObject* obj = m_response_body ? jsonParseObject(m_response_body, &root) : nullptr;
    int r = RVIMP_ERR_EXCHANGE;
    if (!obj)
        RvHttpTrace("[%d]", r);
    else if ((r = ParseResponse(obj)) != 0)
        RvHttpTrace("ret[%d]", r);
    jsonFree(root);
    // A reply without a message of its own (an HTML page, a bare status)
    // is reported with what it said.
    if (r == RVIMP_ERR_EXCHANGE && m_message.empty()) {
        m_message = replyExcerpt(m_response_body, m_response_len);
        m_message_set = true;
    }
    return r;
}

int RvHttp::ParseResponse(const JsonObject* root)
{
    if (jsonObjectText(root, "status") == "ok")
        return 0;
    bool found = false;
    std::string errorno = jsonObjectText(root, "errorno", &found);
    if (found)
        m_server_errno = static_cast<int>(std::strtol(errorno.c_str(), nullptr, 10));
    std::string msg = jsonObjectText(root, "errormessage", &found);
    if (found) {
        unsigned char c0 = msg.size() > 0 ? static_cast<unsigned char>(msg[0]) : 0;
        if (c0 < 0x80 && std::isalpha(c0) && msg.size() > 1 && msg[1] == ':')
            msg.erase(0, 2);
        m_message = msg;
    }
    std::string add = jsonObjectText(root, "errmsgadd", &found);
    if (found)
        m_message += "(" + add + ")";
    RvHttpTrace("errorno[%d] errormessage[%s]", m_server_errno, m_message.c_str());
    return RVIMP_ERR_EXCHANGE;
}

void RvHttp::SetMessageWithCode(int code)
{
    if (m_message.empty() && !m_message_set)
        m_message = rvimportCodeText(code);
}

int RvHttp::GetReturnCodeByNuHttpCode(int result)
{
    RvHttpTrace("err[%d]", result);
    if (result == NUHTTP_ERR_TIMEOUT)
        return RVHTTP_ERR_TIMEOUT;
    if (result < 1)
        return RVIMP_ERR_CONNECTION;
    switch (result) {
    case 400: return RVHTTP_ERR_400;
    case 401: return RVHTTP_ERR_401;
    case 403: return RVHTTP_ERR_403;
    case 404: return RVHTTP_ERR_404;
    case 407: return RVHTTP_ERR_407;
    case 408: return RVHTTP_ERR_TIMEOUT;
    case 409: return RVHTTP_ERR_409;
    case 500: return RVHTTP_ERR_500;
    case 503: return RVHTTP_ERR_503;
    default:
        m_message = rvimportCodeMessage(RVHTTP_ERR_STATUS, {result});
        return RVHTTP_ERR_STATUS;
    }
}
