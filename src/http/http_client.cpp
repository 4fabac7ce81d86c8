#include "http/http_client.h"

#include "core/gbk.h"
#include "core/text_ops.h"
#include "http/curl_setup.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

namespace http {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWaitSliceMs = 100; // longest single wait of a blocking call

std::string systemText(int err)
{
    char buf[256];
    // GNU strerror_r returns the text (which may or may not be buf).
    return ::strerror_r(err, buf, sizeof buf);
}

HttpError socketError(int err)
{
    return HttpError("Socket Error # " + std::to_string(err) + "\r\n" + systemText(err),
                     err == ETIMEDOUT ? FailureKind::TooSlow : FailureKind::Network);
}

// The kind of a failure that failureLine() words for the user.
FailureKind lineKind(CURLcode result)
{
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CONNECT_ERROR:
        return FailureKind::Certificate;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return FailureKind::BadAddress;
    default:
        return FailureKind::Proxy;
    }
}

// A name that does not resolve: the resolver's own number and text.
HttpError unresolvedError()
{
    return HttpError("Socket Error # " + std::to_string(EAI_NONAME) + "\r\n" +
                     ::gai_strerror(EAI_NONAME));
}

struct CurlList {
    curl_slist* list = nullptr;
    CurlList() = default;
    CurlList(const CurlList&) = delete;
    CurlList& operator=(const CurlList&) = delete;
    ~CurlList() { curl_slist_free_all(list); }
    void add(const std::string& s) { list = curl_slist_append(list, s.c_str()); }
};

} // namespace

// ---- client state -----------------------------------------------------------------------------

struct HttpClient::Impl {
    HttpClient* owner = nullptr;

    // The handle every GET of this client runs on and the multi handle whose connection cache
    // keeps the connection open between GETs. Only the thread running a call uses them, except
    // that an idle Disconnect closes the cache under the mutex.
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    // The connection Connect opened ahead, held until the next call: through a proxy on a
    // handle of its own (libcurl never reuses it); directly as a socket, which the next GET
    // takes over as its connection when it goes to the same address.
    CURL* heldEasy = nullptr;
    CURLM* heldMulti = nullptr;
    int heldSocket = -1;

    std::mutex mutex;            // guards busy, busyThread, running, held*, multi replacement
    bool busy = false;           // a Connect or GET is running
    std::thread::id busyThread;  // the thread running it
    CURLM* running = nullptr;    // the multi handle of the running call (for a wake-up)
    bool inNotification = false; // only touched by busyThread
    bool keptAlive = false;      // the latest GET left its connection open
    enum Cut : int { None = 0, Quiet = 1, Abort = 2 };
    std::atomic<int> cut{None}; // Quiet: own notification disconnected; Abort: from elsewhere

    // State of the running GET, touched only by the thread running it.
    struct Transfer {
        const BodySink* sink = nullptr;
        ResponseHead head;
        bool headersDone = false;
        Clock::time_point lastActivity = Clock::now();
        bool begun = false;
        std::string statusError;
        std::int64_t count = 0;
        std::exception_ptr failure;
    };
    Transfer t;
    std::vector<std::pair<std::string, std::string>> fields; // the latest final response's
    char errorText[CURL_ERROR_SIZE] = {};

    // Marks the client busy for one blocking call on this thread; the guard clears it.
    struct CallGuard {
        Impl& impl;
        explicit CallGuard(Impl& i) : impl(i)
        {
            std::lock_guard lock(impl.mutex);
            if (impl.busy)
                throw socketError(EALREADY);
            impl.busy = true;
            impl.busyThread = std::this_thread::get_id();
            impl.cut.store(None);
        }
        CallGuard(const CallGuard&) = delete;
        CallGuard& operator=(const CallGuard&) = delete;
        ~CallGuard()
        {
            std::lock_guard lock(impl.mutex);
            impl.busy = false;
            impl.busyThread = {};
            impl.running = nullptr;
        }
    };

    Impl()
    {
        ensureCurlGlobal();
        easy = curl_easy_init();
        multi = curl_multi_init();
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl()
    {
        releaseHeldLocked();
        curl_multi_cleanup(multi);
        curl_easy_cleanup(easy);
    }

    void releaseHeldLocked()
    {
        if (heldSocket >= 0)
            ::close(heldSocket);
        heldSocket = -1;
        releaseHeldHandleLocked();
    }
    void releaseHeldHandleLocked()
    {
        if (heldMulti) {
            curl_multi_remove_handle(heldMulti, heldEasy);
            curl_multi_cleanup(heldMulti);
        }
        curl_easy_cleanup(heldEasy);
        heldEasy = nullptr;
        heldMulti = nullptr;
    }
    // Closes every connection this client keeps.
    void closeLocked()
    {
        releaseHeldLocked();
        curl_multi_cleanup(multi);
        multi = curl_multi_init();
        keptAlive = false;
    }

    template <class F> bool notify(F&& f)
    {
        inNotification = true;
        try {
            f();
        } catch (...) {
            if (!t.failure)
                t.failure = std::current_exception();
        }
        inNotification = false;
        return !t.failure && cut.load() == None;
    }

    void begin()
    {
        t.begun = true;
        const std::int64_t announced =
            t.head.chunked ? 0 : std::max<std::int64_t>(t.head.contentLength, 0);
        if (owner->onWorkBegin)
            notify([&] { owner->onWorkBegin(*owner, 0, announced); });
    }

    static size_t onHeader(char* data, size_t size, size_t n, void* self);
    static size_t onBody(char* data, size_t size, size_t n, void* self);
    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static curl_socket_t onOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int onSocketOptions(void* self, curl_socket_t socket, curlsocktype purpose);
    // The held socket when it is still open, idle and connected to this address; the caller
    // owns it then.
    int takeHeldSocket(const sockaddr* address, socklen_t length);
    int handedSocket = -1; // the socket the running GET took over (its thread only)

    struct Outcome {
        CURLcode result = CURLE_OK;
        long osErrno = 0;
        bool stalled = false;
    };
    void perform(const std::string& url, const BodySink& sink);
    void connectAhead();
    void commonOptions(CURL* e);
    void configure(const std::string& url, CurlList& headers);
    void readHead();
    Outcome runTransfer(CURL* e, CURLM* m, bool keepAttached);
    bool stalled() const;
    void raiseOutcome(CURL* e, const Outcome& outcome, int cutState, const std::string& url);
};

void HttpClient::Impl::readHead()
{
    fields = responseHeaders(easy);
    auto value = [this](const char* name) { return headerValue(easy, name); };
    const std::string length = value("Content-Length");
    if (!length.empty()) {
        char* end = nullptr;
        const long long v = std::strtoll(length.c_str(), &end, 10);
        if (end != length.c_str() && v >= 0)
            t.head.contentLength = v;
    }
    t.head.chunked =
        core::lowerAscii(value("Transfer-Encoding")).find("chunked") != std::string::npos;
    t.head.contentRange = value("Content-Range");
    t.head.location = value("Location");
}

size_t HttpClient::Impl::onHeader(char* data, size_t size, size_t n, void* self)
{
    auto& impl = *static_cast<Impl*>(self);
    auto& t = impl.t;
    const size_t length = size * n;
    t.lastActivity = Clock::now();
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();

    if (line.rfind("HTTP/", 0) == 0) { // a status line: a new (possibly interim) response
        const auto sp1 = line.find(' ');
        const auto sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
        t.head = ResponseHead{};
        t.head.status = sp1 == std::string::npos ? 0 : std::atol(line.c_str() + sp1 + 1);
        t.head.reason = sp2 == std::string::npos ? std::string() : line.substr(sp2 + 1);
        t.headersDone = false;
        return length;
    }
    if (t.headersDone || !line.empty()) // fields are read whole at the head's end; trailers
        return length;
    if (t.head.status >= 100 && t.head.status < 200)
        return length; // an interim response; the real one follows
    t.headersDone = true;
    impl.readHead();
    if (t.head.status < 200 || t.head.status >= 300) {
        t.statusError = std::to_string(t.head.status);
        if (!t.head.reason.empty())
            t.statusError += " " + t.head.reason;
        return 0; // stop before the body: it never reaches the sink
    }
    impl.begin();
    return impl.cut.load() == None && !t.failure ? length : 0;
}

size_t HttpClient::Impl::onBody(char* data, size_t size, size_t n, void* self)
{
    auto& impl = *static_cast<Impl*>(self);
    auto& t = impl.t;
    const size_t length = size * n;
    t.lastActivity = Clock::now();
    if (impl.cut.load() != None || t.failure || !t.statusError.empty())
        return 0;
    if (!t.begun) {
        impl.begin();
        if (impl.cut.load() != None || t.failure)
            return 0;
    }
    try {
        (*t.sink)(std::string_view(data, length));
    } catch (...) {
        t.failure = std::current_exception();
        return 0;
    }
    t.count += static_cast<std::int64_t>(length);
    if (impl.owner->onWork) {
        const std::int64_t count = t.count;
        if (!impl.notify([&] { impl.owner->onWork(*impl.owner, 0, count); }))
            return 0;
    }
    return length;
}

int HttpClient::Impl::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Impl*>(self)->cut.load() != None ? 1 : 0;
}

void HttpClient::Impl::commonOptions(CURL* e)
{
    SetupOptions options;
    options.userAgent = owner->userAgent;
    options.connectTimeout = owner->stallTimeout;
    applyCommonOptions(e, options);
    errorText[0] = '\0';
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
}

void HttpClient::Impl::configure(const std::string& url, CurlList& headers)
{
    headers.add("Accept: " + owner->accept);
    if (const std::string range = owner->rangeHeaderValue(); !range.empty())
        headers.add("Range: " + range);
    for (const std::string& line : owner->extraHeaders)
        headers.add(line);
    CURL* e = easy;
    curl_easy_reset(e);
    commonOptions(e);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &Impl::onOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &Impl::onSocketOptions);
    curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, this);
}

namespace {

bool sameAddress(const sockaddr* a, const sockaddr_storage& b)
{
    if (a->sa_family != b.ss_family)
        return false;
    if (a->sa_family == AF_INET) {
        const auto* x = reinterpret_cast<const sockaddr_in*>(a);
        const auto* y = reinterpret_cast<const sockaddr_in*>(&b);
        return x->sin_port == y->sin_port && x->sin_addr.s_addr == y->sin_addr.s_addr;
    }
    if (a->sa_family == AF_INET6) {
        const auto* x = reinterpret_cast<const sockaddr_in6*>(a);
        const auto* y = reinterpret_cast<const sockaddr_in6*>(&b);
        return x->sin6_port == y->sin6_port &&
               std::memcmp(&x->sin6_addr, &y->sin6_addr, sizeof x->sin6_addr) == 0;
    }
    return false;
}

} // namespace

int HttpClient::Impl::takeHeldSocket(const sockaddr* address, socklen_t length)
{
    std::lock_guard lock(mutex);
    if (heldSocket < 0)
        return -1;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(heldSocket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
        length > sizeof peer || !sameAddress(address, peer))
        return -1;
    // A connection the server has closed meanwhile (or that has something to read before any
    // request) is of no use: a new one is opened.
    pollfd p{heldSocket, POLLIN | POLLRDHUP, 0};
    const int fd = heldSocket;
    heldSocket = -1;
    if (::poll(&p, 1, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

curl_socket_t HttpClient::Impl::onOpenSocket(void* self, curlsocktype purpose,
                                             curl_sockaddr* address)
{
    auto& impl = *static_cast<Impl*>(self);
    if (purpose == CURLSOCKTYPE_IPCXN && impl.handedSocket < 0) {
        const int fd = impl.takeHeldSocket(&address->addr, address->addrlen);
        if (fd >= 0) {
            impl.handedSocket = fd;
            return fd;
        }
    }
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

int HttpClient::Impl::onSocketOptions(void* self, curl_socket_t socket, curlsocktype)
{
    const auto& impl = *static_cast<const Impl*>(self);
    return socket == impl.handedSocket ? CURL_SOCKOPT_ALREADY_CONNECTED : CURL_SOCKOPT_OK;
}

HttpClient::Impl::Outcome HttpClient::Impl::runTransfer(CURL* e, CURLM* m, bool keepAttached)
{
    // Runs the transfer in short waits: a Disconnect from another thread wakes the wait up at
    // once, and a response that stalls is given up.
    Outcome outcome;
    curl_multi_add_handle(m, e);
    {
        std::lock_guard lock(mutex);
        running = m;
    }
    t.lastActivity = Clock::now();
    while (true) {
        int active = 0;
        curl_multi_perform(m, &active);
        int left = 0;
        bool finished = false;
        while (CURLMsg* msg = curl_multi_info_read(m, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                outcome.result = msg->data.result;
                finished = true;
            }
        }
        if (owner->cancel && owner->cancel->load())
            cut.store(Abort);
        if (finished || active == 0 || cut.load() == Abort)
            break;
        if (stalled()) {
            outcome.stalled = true;
            break;
        }
        curl_multi_poll(m, nullptr, 0, kWaitSliceMs, nullptr);
    }
    curl_easy_getinfo(e, CURLINFO_OS_ERRNO, &outcome.osErrno);
    {
        std::lock_guard lock(mutex);
        running = nullptr;
    }
    if (!keepAttached || outcome.result != CURLE_OK || cut.load() != None || outcome.stalled)
        curl_multi_remove_handle(m, e);
    return outcome;
}

bool HttpClient::Impl::stalled() const
{
    const auto limit = owner->stallTimeout;
    return limit.count() > 0 && Clock::now() - t.lastActivity >= limit;
}

void HttpClient::Impl::raiseOutcome(CURL* e, const Outcome& outcome, int cutState,
                                    const std::string& url)
{
    if (t.failure)
        std::rethrow_exception(t.failure);
    if (cutState == Abort)
        throw socketError(ECONNABORTED);
    if (t.head.status == 407)
        throw HttpError(core::utf8ToGbk(proxyAuthLine()), FailureKind::Proxy);
    if (!t.statusError.empty())
        throw HttpError(t.statusError, FailureKind::ServerAnswer);
    if (cutState == Quiet)
        return; // cut short by this client's own notification: what was read stands
    if (outcome.stalled)
        throw socketError(ETIMEDOUT);
    if (outcome.result == CURLE_OK)
        return;
    if (const std::string line = failureLine(e, outcome.result, errorText, url); !line.empty())
        throw HttpError(core::utf8ToGbk(line), lineKind(outcome.result));
    switch (outcome.result) {
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        throw socketError(ECONNRESET);
    case CURLE_OPERATION_TIMEDOUT:
        throw socketError(ETIMEDOUT);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_URL_MALFORMAT:
        throw unresolvedError();
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_COULDNT_CONNECT:
        throw socketError(outcome.osErrno != 0 ? static_cast<int>(outcome.osErrno) : ECONNRESET);
    default:
        throw HttpError(curl_easy_strerror(outcome.result));
    }
}

void HttpClient::Impl::perform(const std::string& url, const BodySink& sink)
{
    CallGuard call(*this);
    t = Transfer{};
    t.sink = &sink;
    fields.clear();
    handedSocket = -1;
    {
        // The request finds its own connection; the socket Connect opened serves it when it
        // goes to the address Connect reached.
        std::lock_guard lock(mutex);
        releaseHeldHandleLocked();
    }
    if (!easy || !multi)
        throw HttpError("Out of memory", FailureKind::ProgramFault);
    CurlList headers;
    configure(url, headers);
    const Outcome outcome = runTransfer(easy, multi, false);
    {
        std::lock_guard lock(mutex);
        releaseHeldLocked(); // not taken: another address, or the request found a connection
    }

    // How the body read ended is settled here; a Disconnect inside the end notification
    // changes nothing of it.
    const int cutState = cut.load();
    {
        // A response cut short leaves its connection unusable: close what the client keeps.
        std::lock_guard lock(mutex);
        const bool whole = cutState == None && outcome.result == CURLE_OK && !outcome.stalled &&
                           !t.failure && t.statusError.empty();
        if (!whole)
            closeLocked();
        keptAlive = whole && core::lowerAscii(headerValue(easy, "Connection")).find("close") ==
                                 std::string::npos;
    }
    if (t.begun && owner->onWorkEnd)
        notify([&] { owner->onWorkEnd(*owner, 0); });
    raiseOutcome(easy, outcome, cutState, url);
}

void HttpClient::Impl::connectAhead()
{
    CallGuard call(*this);
    t = Transfer{};
    {
        std::lock_guard lock(mutex);
        releaseHeldLocked();
    }
    const std::string name = owner->host;
    if (name.empty())
        throw unresolvedError();
    const bool numeric6 = name.find(':') != std::string::npos && name.front() != '[';
    const std::string authority =
        (numeric6 ? "[" + name + "]" : name) + ":" + std::to_string(owner->port) + "/";
    // Reaching the server (or its proxy) is all that is asked: no TLS handshake here, but the
    // proxy is the one the environment names for the address's own scheme.
    const std::string url = "http://" + authority;
    const std::string proxy = environmentProxy(owner->scheme + "://" + authority);
    CURL* e = curl_easy_init();
    CURLM* m = curl_multi_init();
    if (!e || !m) {
        curl_multi_cleanup(m);
        curl_easy_cleanup(e);
        throw HttpError("Out of memory", FailureKind::ProgramFault);
    }
    commonOptions(e);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECT_ONLY, 1L);
    const Outcome outcome = runTransfer(e, m, true);
    const int cutState = cut.load();
    const bool ok =
        outcome.result == CURLE_OK && cutState == None && !outcome.stalled && !t.failure;
    // Reached directly, the connection is kept as a socket of its own for the next GET to take
    // over; the handle that opened it goes (closing its copy of the socket only).
    int socket = -1;
    if (ok && proxy.empty()) {
        curl_socket_t active = CURL_SOCKET_BAD;
        if (curl_easy_getinfo(e, CURLINFO_ACTIVESOCKET, &active) == CURLE_OK &&
            active != CURL_SOCKET_BAD)
            socket = ::fcntl(active, F_DUPFD_CLOEXEC, 0);
    }
    {
        std::lock_guard lock(mutex);
        heldEasy = e;
        heldMulti = m;
        if (!ok || socket >= 0)
            releaseHeldHandleLocked();
        heldSocket = socket;
    }
    if (!ok) {
        // The handle is gone; the message only needs the outcome and the error text.
        if (t.failure)
            std::rethrow_exception(t.failure);
        if (cutState != None)
            throw socketError(ECONNABORTED);
        if (outcome.stalled || outcome.result == CURLE_OPERATION_TIMEDOUT)
            throw socketError(ETIMEDOUT);
        if (outcome.result == CURLE_COULDNT_RESOLVE_PROXY ||
            (outcome.result == CURLE_COULDNT_CONNECT && !proxy.empty()))
            throw HttpError(core::utf8ToGbk("无法连接代理服务器：" + std::string(errorText)),
                            FailureKind::Proxy);
        if (outcome.result == CURLE_COULDNT_RESOLVE_HOST || outcome.result == CURLE_URL_MALFORMAT)
            throw unresolvedError();
        throw socketError(outcome.osErrno != 0 ? static_cast<int>(outcome.osErrno) : ECONNREFUSED);
    }
}

// ---- public operations ------------------------------------------------------------------------

HttpClient::HttpClient() : impl_(std::make_unique<Impl>())
{
    impl_->owner = this;
}

HttpClient::~HttpClient() = default;

void HttpClient::Connect()
{
    impl_->connectAhead();
}

void HttpClient::Disconnect()
{
    Impl& impl = *impl_;
    std::lock_guard lock(impl.mutex);
    if (!impl.busy) {
        impl.closeLocked();
        return;
    }
    // A request is running: stop it. From inside this client's own notification the request
    // ends quietly with what it read; from anywhere else it fails.
    const bool own = impl.busyThread == std::this_thread::get_id() && impl.inNotification;
    int expected = Impl::None;
    impl.cut.compare_exchange_strong(expected, own ? Impl::Quiet : Impl::Abort);
    if (!own)
        impl.cut.store(Impl::Abort);
    if (impl.running)
        curl_multi_wakeup(impl.running);
}

bool HttpClient::Connected() const
{
    std::lock_guard lock(impl_->mutex);
    return (impl_->heldEasy != nullptr || impl_->heldSocket >= 0 || impl_->keptAlive) &&
           impl_->cut.load() == Impl::None;
}

AnswerTooLarge::AnswerTooLarge() : HttpError(core::utf8ToGbk("回答过大"), FailureKind::TooLong) {}

std::string HttpClient::Get(const std::string& url, std::int64_t mostBytes)
{
    std::string body;
    Get(url, [&](std::string_view chunk) {
        const std::int64_t announced = response().contentLength;
        if (announced > mostBytes ||
            static_cast<std::int64_t>(body.size() + chunk.size()) > mostBytes)
            throw AnswerTooLarge();
        body.append(chunk);
    });
    return body;
}

void HttpClient::Get(const std::string& url, const BodySink& sink)
{
    impl_->perform(url, sink);
}

const ResponseHead& HttpClient::response() const
{
    return impl_->t.head;
}

std::string HttpClient::responseHeader(std::string_view name) const
{
    const std::string wanted = core::lowerAscii(name);
    for (const auto& [field, value] : impl_->fields)
        if (core::lowerAscii(field) == wanted)
            return value;
    return {};
}

std::string HttpClient::rangeHeaderValue() const
{
    if (rangeEnd != 0)
        return "bytes=" + std::to_string(rangeStart) + "-" + std::to_string(rangeEnd);
    if (rangeStart != 0)
        return "bytes=" + std::to_string(rangeStart) + "-";
    return {};
}

std::string resolveAddress(const std::string& base, const std::string& location)
{
    std::string resolved;
    CURLU* u = curl_url();
    char* full = nullptr;
    if (curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(u, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_URL, &full, 0) == CURLUE_OK)
        resolved = full;
    curl_free(full);
    curl_url_cleanup(u);
    return resolved;
}

} // namespace http
