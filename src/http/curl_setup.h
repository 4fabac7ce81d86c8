#pragma once
// The one place where a libcurl handle of this program is set up: http and https only, TLS
// verified against the system's certificate store (or the CA file the environment names, as
// the curl tool reads it), proxies from the environment, timeouts, User-Agent and redirect
// rules; and what a failed transfer says to the user when the cause is neither a socket nor a
// status.
#include <curl/curl.h>

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace http {

inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

// The receive buffer of every handle (bytes).
inline constexpr long kReceiveBuffer = 256L * 1024;

// curl's process-wide set-up, once, from whichever thread comes first.
void ensureCurlGlobal();

struct SetupOptions {
    std::string userAgent = kUserAgent;
    long maxRedirects = 0; // 0: a redirect is answered to the caller, never followed
    std::chrono::milliseconds connectTimeout{0}; // 0: libcurl's own
};

// The share handle every handle of the process uses (TLS sessions and resolved names), made on
// first use and kept until the process ends; its data is locked for use from any thread.
CURLSH* processShare();

// Sets what every request shares on a fresh (or reset) handle, the process's share with it.
void applyCommonOptions(CURL* e, const SetupOptions& options);

// The CA file named by CURL_CA_BUNDLE or else SSL_CERT_FILE; empty when neither is set.
std::string caFileFromEnvironment();

// The proxy the environment names for an address, as the curl tool chooses it (the scheme's
// own variable, then all_proxy; no_proxy bypasses); empty when none applies.
std::string environmentProxy(const std::string& url);

// Every header of the latest final response (the proxy's CONNECT answer and interim responses
// left out), in the order received; names as sent.
std::vector<std::pair<std::string, std::string>> responseHeaders(CURL* e);
// The value of the named header (case-insensitive) of the latest final response, or empty.
std::string headerValue(CURL* e, const char* name);

// Scheme, host and port of an address (the scheme's default port when none is written); ok is
// false when the address cannot be parsed or names no host.
struct AddressParts {
    bool ok = false;
    std::string scheme; // lower case
    std::string host;
    int port = 0;
};
AddressParts splitAddress(const std::string& url);
bool supportedScheme(std::string_view scheme);

// The user's line (UTF-8) for a failure caused by a certificate, a proxy or an unsupported
// address; empty for every other failure. errorText is libcurl's error buffer.
std::string failureLine(CURL* e, CURLcode result, const char* errorText, const std::string& url);
// The line for a proxy that asks for credentials.
std::string proxyAuthLine();

} // namespace http
