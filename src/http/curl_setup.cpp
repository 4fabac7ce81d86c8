#include "http/curl_setup.h"

#include "core/text_ops.h"

#include <openssl/ssl.h>

#include <array>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace http {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// curl reads the lower-case name first; for http it reads only the lower-case one, so that a
// CGI program's HTTP_PROXY request header cannot choose a proxy.
std::string proxyVariable(const std::string& scheme)
{
    std::string value = environment((scheme + "_proxy").c_str());
    if (value.empty() && scheme != "http") {
        std::string upper = scheme + "_PROXY";
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        value = environment(upper.c_str());
    }
    if (value.empty())
        value = environment("all_proxy");
    if (value.empty())
        value = environment("ALL_PROXY");
    return value;
}

bool bypassedByNoProxy(std::string host)
{
    std::string list = environment("no_proxy");
    if (list.empty())
        list = environment("NO_PROXY");
    if (list.empty())
        return false;
    host = core::lowerAscii(host);
    if (host.size() > 1 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t end = list.find_first_of(", \t", at);
        std::string entry = core::lowerAscii(list.substr(at, end - at));
        at = end == std::string::npos ? list.size() : end + 1;
        if (entry.empty())
            continue;
        if (entry == "*")
            return true;
        if (entry.front() == '.')
            entry.erase(0, 1);
        if (host == entry || (host.size() > entry.size() && host.ends_with(entry) &&
                              host[host.size() - entry.size() - 1] == '.'))
            return true;
    }
    return false;
}

} // namespace

void ensureCurlGlobal()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

namespace {

// What every handle of the process shares: TLS sessions (a new connection to a server resumes
// the session of an earlier one, with tickets, instead of a full handshake) and resolved names.
// Connections are not shared: libcurl does not support one connection cache used by concurrent
// threads, and each client keeps its own. One mutex per kind of data, as libcurl asks.
struct ProcessShare {
    CURLSH* handle = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
    {
        static_cast<ProcessShare*>(self)->locks.at(static_cast<std::size_t>(data)).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self)
    {
        static_cast<ProcessShare*>(self)->locks.at(static_cast<std::size_t>(data)).unlock();
    }
};

// The ciphers stay the ones the library and the system allow, in their order, except that
// AES-128-GCM (with ECDHE under TLS 1.2) comes first: as strong for this use and cheaper than
// AES-256, which the default order puts first. A server that keeps its own order decides.
void preferAes128Gcm(SSL_CTX* context)
{
    std::string first12;
    std::string rest12;
    std::string first13;
    std::string rest13;
    const STACK_OF(SSL_CIPHER)* ciphers = SSL_CTX_get_ciphers(context);
    for (int i = 0; i < sk_SSL_CIPHER_num(ciphers); ++i) {
        const SSL_CIPHER* c = sk_SSL_CIPHER_value(ciphers, i);
        const std::string name = SSL_CIPHER_get_name(c);
        const bool tls13 = name.starts_with("TLS_");
        const bool aes128Gcm = SSL_CIPHER_get_cipher_nid(c) == NID_aes_128_gcm &&
                               (tls13 || SSL_CIPHER_get_kx_nid(c) == NID_kx_ecdhe);
        std::string& list = tls13 ? (aes128Gcm ? first13 : rest13) : (aes128Gcm ? first12 : rest12);
        list += (list.empty() ? "" : ":") + name;
    }
    auto joined = [](const std::string& a, const std::string& b) {
        return a.empty() || b.empty() ? a + b : a + ":" + b;
    };
    // Only the order changes; when the library refuses the list the context keeps its own.
    if (!first12.empty())
        SSL_CTX_set_cipher_list(context, joined(first12, rest12).c_str());
    if (!first13.empty())
        SSL_CTX_set_ciphersuites(context, joined(first13, rest13).c_str());
}

// libcurl built on OpenSSL turns TLS 1.2 session tickets off on every context, so a server
// without a session cache of its own (nginx's default) never resumes a session; they are
// allowed again. (TLS 1.3 resumes by tickets anyway.)
CURLcode prepareTlsContext(CURL*, void* sslContext, void*)
{
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_clear_options(context, SSL_OP_NO_TICKET);
    preferAes128Gcm(context);
    return CURLE_OK;
}

bool curlOnOpenSsl()
{
    static const bool openSsl = [] {
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        return info && info->ssl_version &&
               std::string_view(info->ssl_version).starts_with("OpenSSL");
    }();
    return openSsl;
}

} // namespace

CURLSH* processShare()
{
    // Made once and kept for the whole run: a handle may use it until the process ends.
    static ProcessShare* const share = [] {
        ensureCurlGlobal();
        auto* s = new ProcessShare; // NOLINT(cppcoreguidelines-owning-memory): never freed
        s->handle = curl_share_init();
        if (s->handle) {
            curl_share_setopt(s->handle, CURLSHOPT_LOCKFUNC, &ProcessShare::lock);
            curl_share_setopt(s->handle, CURLSHOPT_UNLOCKFUNC, &ProcessShare::unlock);
            curl_share_setopt(s->handle, CURLSHOPT_USERDATA, s);
            curl_share_setopt(s->handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
            curl_share_setopt(s->handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
        return s;
    }();
    return share->handle;
}

std::string caFileFromEnvironment()
{
    std::string file = environment("CURL_CA_BUNDLE");
    if (file.empty())
        file = environment("SSL_CERT_FILE");
    return file;
}

void applyCommonOptions(CURL* e, const SetupOptions& options)
{
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, options.userAgent.c_str());
    // Peer and host are always checked; a CA file from the environment replaces the store.
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_PROXY_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_PROXY_SSL_VERIFYHOST, 2L);
    if (const std::string ca = caFileFromEnvironment(); !ca.empty()) {
        curl_easy_setopt(e, CURLOPT_CAINFO, ca.c_str());
        curl_easy_setopt(e, CURLOPT_PROXY_CAINFO, ca.c_str());
    }
    // No CURLOPT_PROXY: libcurl then reads http_proxy, https_proxy, all_proxy and no_proxy as
    // the curl tool does. An https address goes through an http proxy by CONNECT; that
    // answer's head is not the response's.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, options.maxRedirects > 0 ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(e, CURLOPT_SHARE, processShare());
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 1L);
    // Large reads: a fast transfer costs fewer calls and wake-ups (libcurl's own is 16 KiB).
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    if (curlOnOpenSsl())
        curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &prepareTlsContext);
}

std::string environmentProxy(const std::string& url)
{
    const AddressParts parts = splitAddress(url);
    if (!parts.ok)
        return {};
    const std::string proxy = proxyVariable(parts.scheme);
    return proxy.empty() || bypassedByNoProxy(parts.host) ? std::string() : proxy;
}

std::vector<std::pair<std::string, std::string>> responseHeaders(CURL* e)
{
    std::vector<std::pair<std::string, std::string>> out;
    curl_header* previous = nullptr;
    while (curl_header* h = curl_easy_nextheader(e, CURLH_HEADER, -1, previous)) {
        out.emplace_back(h->name, h->value);
        previous = h;
    }
    return out;
}

std::string headerValue(CURL* e, const char* name)
{
    curl_header* h = nullptr;
    if (curl_easy_header(e, name, 0, CURLH_HEADER, -1, &h) != CURLHE_OK)
        return {};
    return h->value;
}

AddressParts splitAddress(const std::string& url)
{
    AddressParts parts;
    CURLU* u = curl_url();
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        parts.scheme = core::lowerAscii(scheme);
        parts.host = host;
        if (curl_url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
            parts.port = std::atoi(port);
        parts.ok = !parts.host.empty();
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(u);
    return parts;
}

bool supportedScheme(std::string_view scheme)
{
    return scheme == "http" || scheme == "https";
}

std::string proxyAuthLine()
{
    return "代理服务器要求身份验证（407）";
}

std::string failureLine(CURL* e, CURLcode result, const char* errorText, const std::string& url)
{
    const std::string reason =
        errorText && *errorText ? std::string(errorText) : curl_easy_strerror(result);
    long connectCode = 0;
    curl_easy_getinfo(e, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return "证书无效：" + reason;
    case CURLE_SSL_CONNECT_ERROR:
        return "安全连接失败：" + reason;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return "不支持的地址：" + url;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "无法连接代理服务器：" + reason;
    case CURLE_COULDNT_CONNECT:
        if (!environmentProxy(url).empty())
            return "无法连接代理服务器：" + reason;
        return {};
    default:
        break;
    }
    if (connectCode == 407)
        return proxyAuthLine();
    if (connectCode != 0 && connectCode != 200)
        return "代理服务器拒绝了连接（" + std::to_string(connectCode) + "）";
    return {};
}

} // namespace http
