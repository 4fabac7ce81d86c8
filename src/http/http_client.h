#pragma once
// The HTTP client every download goes through: HTTP/1.1 GETs (http and https, through the
// user's proxy) over the program's libcurl set-up, with fixed Accept and User-Agent headers,
// optional byte ranges, and begin / work / end notifications that run on the thread performing
// the request. A client keeps its connection open between requests when the server does.
#include "http/failure_kind.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace http {

// Every failure of a request. what() is either "Socket Error # <errno>\r\n<system text>" (a
// name that does not resolve gives the resolver's number and text), "<status code> <reason
// phrase>" for a status outside 2xx (redirects and 304 included), or a line for the user in GBK
// for a certificate, a proxy or an unsupported address (for example "证书无效：<reason>").
// Each carries its kind, set where it was raised.
class HttpError : public std::runtime_error {
public:
    explicit HttpError(const std::string& what, FailureKind kind = FailureKind::Network)
        : std::runtime_error(what), kind_(kind)
    {
    }
    FailureKind kind() const { return kind_; }

private:
    FailureKind kind_;
};

// A body to be kept in memory that is larger than the caller allows: refused as soon as its
// announced length or the bytes read pass the limit, without reading further. what() is
// "回答过大" in GBK.
class AnswerTooLarge : public HttpError {
public:
    AnswerTooLarge();
};

// The largest body GET to text keeps in memory unless told otherwise.
inline constexpr std::int64_t kLargestTextAnswer = std::int64_t{32} << 20;

// The head of the latest response, as far as it has arrived (status 0 before any).
struct ResponseHead {
    long status = 0;
    std::string reason;
    std::int64_t contentLength = -1; // -1 when the response announces none
    bool chunked = false;
    std::string contentRange; // the Content-Range value, empty when none
    std::string location;     // the Location value, empty when none
};

class HttpClient {
public:
    using BeginHandler = std::function<void(HttpClient& sender, int mode, std::int64_t countMax)>;
    using WorkHandler = std::function<void(HttpClient& sender, int mode, std::int64_t count)>;
    using EndHandler = std::function<void(HttpClient& sender, int mode)>;
    using BodySink = std::function<void(std::string_view chunk)>;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    int tag = 0;
    std::string host;
    int port = 80;
    // The scheme Connect reaches host:port with ("http" or "https"): it picks the proxy the
    // environment names for that scheme.
    std::string scheme = "http";
    std::int64_t rangeStart = 0; // inclusive byte positions; both 0 means no Range header
    std::int64_t rangeEnd = 0;
    std::string accept = "text/html, */*";
    std::string userAgent = "Mozilla/3.0 (compatible; Indy Library)";
    // "Name: value" lines sent with every request of this client.
    std::vector<std::string> extraHeaders;
    // A connect or a response that brings no byte for this long fails with
    // "Socket Error # 110" (timed out); zero waits for ever.
    std::chrono::milliseconds stallTimeout{0};
    // Set (by any thread): a running Connect or GET fails within a tenth of a second with
    // "Socket Error # 103", as a Disconnect from another thread makes it; so does a call made
    // while it is set.
    const std::atomic<bool>* cancel = nullptr;

    BeginHandler onWorkBegin; // once, when the body starts: announced length, 0 when none
    WorkHandler onWork;       // as body bytes arrive: body bytes of this response so far
    EndHandler onWorkEnd;     // once, when reading the body stops, at its end or cut short

    // Blocking: resolves host and connects to host:port (or to the proxy that serves it), which
    // tells the caller whether the server can be reached; the connection is held until the next
    // GET or Disconnect. host is a name or a numeric address; a host text holding ":port" is not
    // split and fails.
    void Connect();
    // Closes the connection. Harmless when idle; allowed from inside a notification of this
    // client and from another thread. Inside a notification of the running GET the body read
    // stops quietly: the GET returns normally with what it read. From another thread a running GET
    // or Connect fails at once with "Socket Error # 103" (connection aborted). A Disconnect that
    // comes before a GET starts only closes the connection: that GET then opens a new one.
    void Disconnect();
    bool Connected() const;

    // GET to text: the whole response body, at most mostBytes of it (AnswerTooLarge beyond).
    std::string Get(const std::string& url, std::int64_t mostBytes = kLargestTextAnswer);
    // GET to stream: the body is handed to sink as it arrives. The request goes to the
    // address's own host and port, over the connection this client's previous GET left open
    // when the server kept it alive, otherwise over a new one; a response cut short closes its
    // connection. A status outside 2xx raises before any body byte: the
    // error page never reaches the sink and no notification runs. A connection that breaks
    // in the body raises after the bytes that arrived were handed on and the end notification
    // ran. An exception thrown by the sink or a notification stops the read and comes out of
    // Get (the end notification still runs once).
    void Get(const std::string& url, const BodySink& sink);

    // The head of the latest response (read it in a notification or after the GET, on the
    // thread that ran the GET).
    const ResponseHead& response() const;
    // The value of the named header (case-insensitive) of the latest final response, empty when
    // absent; readable after the GET returned and after it raised for an error status.
    std::string responseHeader(std::string_view name) const;

    // The Range header value for the current range fields, or empty when none is sent.
    std::string rangeHeaderValue() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The address a Location value names, resolved against the address that answered with it
// (relative or absolute); empty when it cannot be resolved.
std::string resolveAddress(const std::string& base, const std::string& location);

} // namespace http
