#include "http/http_client.h"

#include "http/message_pump.h"
#include "http/name_lookup.h"

#include <curl/curl.h>

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

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
    return HttpError("Socket Error # " + std::to_string(err) + "\r\n" + systemText(err));
}

// ---- curl's process-wide set-up ---------------------------------------------------------------

void ensureCurlGlobal()
{
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

struct CurlEasy {
    CURL* handle = curl_easy_init();
    ~CurlEasy() { curl_easy_cleanup(handle); }
};
struct CurlMulti {
    CURLM* handle = curl_multi_init();
    ~CurlMulti() { curl_multi_cleanup(handle); }
};
struct CurlList {
    curl_slist* list = nullptr;
    ~CurlList() { curl_slist_free_all(list); }
    void add(const std::string& s) { list = curl_slist_append(list, s.c_str()); }
};

} // namespace

// ---- client state -----------------------------------------------------------------------------

struct HttpClient::Impl {
    HttpClient* owner = nullptr;

    std::mutex mutex;        // guards every field below up to `cut`
    int fd = -1;             // the open connection, or -1
    std::string peerAddress; // numeric address fd is connected to ("[..]" for IPv6)
    int peerPort = 0;
    bool busy = false;           // a Connect or GET is running
    std::thread::id busyThread;  // the thread running it
    CURLM* multi = nullptr;      // the running GET's multi handle (for a wake-up)
    bool inNotification = false; // only touched by busyThread
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
        ~CallGuard()
        {
            std::lock_guard lock(impl.mutex);
            impl.busy = false;
            impl.busyThread = {};
            impl.multi = nullptr;
        }
    };

    void closeLocked()
    {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    void throwIfAborted()
    {
        if (cut.load() == Abort)
            throw socketError(ECONNABORTED);
    }

    std::vector<Address> resolve(const std::string& name, int port, Pacer& pacer);
    void openConnection(const std::string& name, int port, Pacer& pacer);

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
    static curl_socket_t onOpenSocket(void* self, curlsocktype, curl_sockaddr*);
    static int onSockopt(void*, curl_socket_t, curlsocktype)
    {
        return CURL_SOCKOPT_ALREADY_CONNECTED;
    }
    static int onCloseSocket(void* self, curl_socket_t s);

    // One GET: a connection, the request, the transfer, and how it ended.
    struct Outcome {
        CURLcode result = CURLE_OK;
        long osErrno = 0;
        bool stalled = false;
    };
    void perform(const std::string& url, const BodySink& sink);
    static std::string hostOfUrl(const std::string& url, int& port);
    void ensureConnection(const std::string& url, Pacer& pacer);
    void configure(CURL* e, const std::string& url, CurlList& headers, CurlList& connectTo);
    Outcome runTransfer(CURL* e, CURLM* m, Pacer& pacer);
    bool stalled() const;
    void raiseOutcome(const Outcome& outcome, int cutState);
};

std::vector<Address> HttpClient::Impl::resolve(const std::string& name, int port, Pacer& pacer)
{
    // A numeric address needs no lookup; a name is looked up on a helper thread while a pump
    // must keep running, so the window stays alive during a slow name lookup.
    auto lookup = std::make_shared<Lookup>();
    runLookup(*lookup, name, port, AI_NUMERICHOST);
    if (lookup->rc != 0) {
        lookup = std::make_shared<Lookup>();
        if (!pacer.active()) {
            runLookup(*lookup, name, port, 0);
        } else {
            std::thread([lookup, name, port] { runLookup(*lookup, name, port, 0); }).detach();
            std::unique_lock lock(lookup->mutex);
            while (!lookup->done) {
                lookup->cv.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs));
                lock.unlock();
                pacer.tick();
                throwIfAborted();
                lock.lock();
            }
        }
    }
    std::lock_guard lock(lookup->mutex);
    if (lookup->rc == EAI_SYSTEM)
        throw socketError(lookup->err);
    if (lookup->rc != 0) // the resolver's own error number and text
        throw HttpError("Socket Error # " + std::to_string(lookup->rc) + "\r\n" +
                        ::gai_strerror(lookup->rc));
    if (lookup->addresses.empty())
        throw socketError(EHOSTUNREACH);
    return lookup->addresses;
}

void HttpClient::Impl::openConnection(const std::string& name, int port, Pacer& pacer)
{
    const std::vector<Address> addresses = resolve(name, port, pacer);
    int lastError = ECONNREFUSED;
    for (const Address& a : addresses) {
        throwIfAborted();
        const int s = ::socket(a.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s < 0) {
            lastError = errno;
            continue;
        }
        int err = 0;
        const auto began = Clock::now();
        const auto limit = owner->stallTimeout;
        if (::connect(s, reinterpret_cast<const sockaddr*>(&a.storage), a.length) != 0) {
            err = errno;
            while (err == EINPROGRESS || err == EINTR) {
                if (limit.count() > 0 && Clock::now() - began >= limit) {
                    err = ETIMEDOUT;
                    break;
                }
                pollfd p{s, POLLOUT, 0};
                const int ready = ::poll(&p, 1, kWaitSliceMs);
                try {
                    pacer.tick();
                } catch (...) {
                    ::close(s);
                    throw;
                }
                if (cut.load() == Abort) {
                    ::close(s);
                    throw socketError(ECONNABORTED);
                }
                if (ready > 0) {
                    socklen_t len = sizeof err;
                    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                        err = errno;
                } else if (ready < 0 && errno != EINTR) {
                    err = errno;
                }
            }
        }
        if (err != 0) {
            ::close(s);
            lastError = err;
            continue;
        }
        std::lock_guard lock(mutex);
        if (cut.load() == Abort) {
            ::close(s);
            throw socketError(ECONNABORTED);
        }
        closeLocked();
        fd = s;
        peerAddress = numericAddress(a);
        peerPort = port;
        return;
    }
    throw socketError(lastError);
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
    if (t.headersDone) // trailers of a chunked body
        return length;
    if (line.empty()) { // the end of a response head
        if (t.head.status >= 100 && t.head.status < 200)
            return length; // an interim response; the real one follows
        t.headersDone = true;
        if (t.head.status < 200 || t.head.status >= 300) {
            t.statusError = std::to_string(t.head.status);
            if (!t.head.reason.empty())
                t.statusError += " " + t.head.reason;
            return 0; // stop before the body: it never reaches the sink
        }
        impl.begin();
        return impl.cut.load() == None && !t.failure ? length : 0;
    }
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        const auto first = value.find_first_not_of(" \t");
        value = first == std::string::npos ? std::string() : value.substr(first);
        if (name == "content-length") {
            char* end = nullptr;
            const long long v = std::strtoll(value.c_str(), &end, 10);
            if (end != value.c_str() && v >= 0)
                t.head.contentLength = v;
        } else if (name == "transfer-encoding") {
            std::string v = value;
            for (char& c : v)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            t.head.chunked = v.find("chunked") != std::string::npos;
        } else if (name == "content-range") {
            t.head.contentRange = value;
        } else if (name == "location") {
            t.head.location = value;
        }
        t.head.fields.emplace_back(std::move(name), std::move(value));
    }
    return length;
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

curl_socket_t HttpClient::Impl::onOpenSocket(void* self, curlsocktype, curl_sockaddr*)
{
    auto& impl = *static_cast<Impl*>(self);
    std::lock_guard lock(impl.mutex);
    return impl.fd >= 0 ? impl.fd : CURL_SOCKET_BAD;
}

int HttpClient::Impl::onCloseSocket(void* self, curl_socket_t s)
{
    auto& impl = *static_cast<Impl*>(self);
    std::lock_guard lock(impl.mutex);
    if (s == impl.fd)
        impl.fd = -1;
    return ::close(s);
}

std::string HttpClient::Impl::hostOfUrl(const std::string& url, int& port)
{
    std::string name;
    CURLU* u = curl_url();
    char* h = nullptr;
    char* p = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &h, 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PORT, &p, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        name = h;
        port = std::atoi(p);
    }
    curl_free(h);
    curl_free(p);
    curl_url_cleanup(u);
    return name;
}

void HttpClient::Impl::ensureConnection(const std::string& url, Pacer& pacer)
{
    {
        std::lock_guard lock(mutex);
        if (fd >= 0)
            return;
    }
    std::string name = owner->host;
    int port = owner->port;
    if (name.empty()) // no host set: the address names it
        name = hostOfUrl(url, port);
    openConnection(name, port, pacer);
}

void HttpClient::Impl::configure(CURL* e, const std::string& url, CurlList& headers,
                                 CurlList& connectTo)
{
    headers.add("Accept: " + owner->accept);
    if (const std::string range = owner->rangeHeaderValue(); !range.empty())
        headers.add("Range: " + range);
    for (const std::string& line : owner->extraHeaders)
        headers.add(line);
    {
        std::lock_guard lock(mutex);
        connectTo.add("::" + peerAddress + ":" + std::to_string(peerPort));
    }
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, owner->userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(e, CURLOPT_CONNECT_TO, connectTo.list);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &Impl::onOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &Impl::onSockopt);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, &Impl::onCloseSocket);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Impl::onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
}

HttpClient::Impl::Outcome HttpClient::Impl::runTransfer(CURL* e, CURLM* m, Pacer& pacer)
{
    // Runs the transfer in short waits: the pump runs between them, a Disconnect from another
    // thread wakes the wait up at once, and a response that stalls is given up.
    Outcome outcome;
    curl_multi_add_handle(m, e);
    {
        std::lock_guard lock(mutex);
        multi = m;
    }
    std::exception_ptr pumpFailure;
    t.lastActivity = Clock::now();
    while (true) {
        int running = 0;
        curl_multi_perform(m, &running);
        int left = 0;
        bool finished = false;
        while (CURLMsg* msg = curl_multi_info_read(m, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                outcome.result = msg->data.result;
                finished = true;
            }
        }
        if (finished || running == 0 || cut.load() == Abort)
            break;
        if (stalled()) {
            outcome.stalled = true;
            break;
        }
        curl_multi_poll(m, nullptr, 0, kWaitSliceMs, nullptr);
        try {
            pacer.tick();
        } catch (...) {
            pumpFailure = std::current_exception();
            break;
        }
    }
    curl_easy_getinfo(e, CURLINFO_OS_ERRNO, &outcome.osErrno);
    {
        std::lock_guard lock(mutex);
        multi = nullptr;
    }
    curl_multi_remove_handle(m, e);
    if (pumpFailure && !t.failure)
        t.failure = pumpFailure;
    {
        // Whatever curl left open is closed: one GET uses one connection.
        std::lock_guard lock(mutex);
        closeLocked();
    }
    return outcome;
}

bool HttpClient::Impl::stalled() const
{
    const auto limit = owner->stallTimeout;
    return limit.count() > 0 && Clock::now() - t.lastActivity >= limit;
}

void HttpClient::Impl::raiseOutcome(const Outcome& outcome, int cutState)
{
    if (t.failure)
        std::rethrow_exception(t.failure);
    if (cutState == Abort)
        throw socketError(ECONNABORTED);
    if (!t.statusError.empty())
        throw HttpError(t.statusError);
    if (cutState == Quiet)
        return; // cut short by this client's own notification: what was read stands
    if (outcome.stalled)
        throw socketError(ETIMEDOUT);
    switch (outcome.result) {
    case CURLE_OK:
        return;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        throw socketError(ECONNRESET);
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
    ensureCurlGlobal();
    CallGuard call(*this);
    Pacer pacer;
    t = Transfer{};
    t.sink = &sink;
    ensureConnection(url, pacer);

    CurlEasy easy;
    CurlMulti multiHandle;
    if (!easy.handle || !multiHandle.handle)
        throw HttpError("Out of memory");
    CurlList headers;
    CurlList connectTo;
    configure(easy.handle, url, headers, connectTo);
    const Outcome outcome = runTransfer(easy.handle, multiHandle.handle, pacer);

    // How the body read ended is settled here; a Disconnect inside the end notification
    // changes nothing of it.
    const int cutState = cut.load();
    if (t.begun && owner->onWorkEnd)
        notify([&] { owner->onWorkEnd(*owner, 0); });
    raiseOutcome(outcome, cutState);
}

// ---- public operations ------------------------------------------------------------------------

HttpClient::HttpClient() : impl_(std::make_unique<Impl>())
{
    impl_->owner = this;
}

HttpClient::~HttpClient()
{
    std::lock_guard lock(impl_->mutex);
    impl_->closeLocked();
}

void HttpClient::Connect()
{
    Impl::CallGuard call(*impl_);
    Pacer pacer;
    impl_->openConnection(host, port, pacer);
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
    if (impl.fd >= 0)
        ::shutdown(impl.fd, SHUT_RDWR); // the running call closes it
    if (impl.multi)
        curl_multi_wakeup(impl.multi);
}

bool HttpClient::Connected() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->fd >= 0 && impl_->cut.load() == Impl::None;
}

std::string HttpClient::Get(const std::string& url)
{
    std::string body;
    Get(url, [&body](std::string_view chunk) { body.append(chunk); });
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
    for (const auto& [field, value] : impl_->t.head.fields)
        if (field.size() == name.size() &&
            std::equal(field.begin(), field.end(), name.begin(), [](char a, char b) {
                return a == std::tolower(static_cast<unsigned char>(b));
            }))
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

void HttpClient::setMessagePump(std::function<void()> pump)
{
    installMessagePump(std::move(pump));
}

} // namespace http
