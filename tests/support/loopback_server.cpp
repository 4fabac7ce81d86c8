#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>

namespace testsupport {

std::uint8_t generatedByte(std::int64_t position)
{
    // Multiplicative hashing of the position: the top byte of position * golden ratio.
    const std::uint64_t x = static_cast<std::uint64_t>(position) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::uint8_t>((x >> 56) ^ (x >> 29));
}

std::string generatedBytes(std::int64_t position, std::size_t count)
{
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<char>(generatedByte(position + static_cast<std::int64_t>(i)));
    return out;
}

std::int64_t firstGeneratedMismatch(std::int64_t position, const std::string& data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto at = position + static_cast<std::int64_t>(i);
        if (static_cast<std::uint8_t>(data[i]) != generatedByte(at))
            return at;
    }
    return -1;
}

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string usualReason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 416:
        return "Requested Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

struct File {
    bool generated = true;
    std::int64_t size = 0;
    std::string content;
    Behaviour behaviour;
    int requestsUnderBehaviour = 0;
    std::int64_t served = 0;

    char byteAt(std::int64_t pos) const
    {
        return generated ? static_cast<char>(generatedByte(pos))
                         : content[static_cast<std::size_t>(pos)];
    }
};

// Parses "bytes=S-E" or "bytes=S-"; false when the value is not of that form.
bool parseRange(const std::string& value, std::int64_t& start, std::optional<std::int64_t>& end)
{
    const std::string v = trim(value);
    if (lower(v).rfind("bytes=", 0) != 0)
        return false;
    std::string firstRange = v.substr(6);
    firstRange = firstRange.substr(0, firstRange.find(',')); // only the first range is served
    const auto dash = firstRange.find('-');
    if (dash == std::string::npos || dash == 0)
        return false;
    try {
        std::size_t used = 0;
        start = std::stoll(firstRange.substr(0, dash), &used);
        if (used != dash || start < 0)
            return false;
        const std::string rest = trim(firstRange.substr(dash + 1));
        if (rest.empty()) {
            end.reset();
        } else {
            end = std::stoll(rest, &used);
            if (used != rest.size() || *end < start)
                return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const
{
    const std::string wanted = lower(name);
    for (const auto& [n, v] : headers)
        if (lower(n) == wanted)
            return v;
    return std::nullopt;
}

struct LoopbackServer::Impl {
    int listenFd = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread acceptThread;

    mutable std::mutex mutex;
    std::condition_variable stopCv;
    std::map<std::string, File> files;
    std::vector<RecordedRequest> requests;
    std::set<int> openFds;
    int peak = 0;
    int accepted = 0;

    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<Worker> workers; // touched by the accept thread and the destructor only

    void acceptLoop();
    void serve(int fd);
    void reapFinished();

    // Sleeps for d unless the server stops first; false when stopping.
    bool pause(std::chrono::milliseconds d)
    {
        std::unique_lock lock(mutex);
        return !stopCv.wait_for(lock, d, [this] { return stopping.load(); });
    }
};

namespace {

bool sendAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sendAll(int fd, const std::string& s)
{
    return sendAll(fd, s.data(), s.size());
}

// Reads the request head (up to the blank line); false when the peer closed or failed first.
bool readHead(int fd, std::string& head)
{
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > 256 * 1024)
            return false;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        head.append(buf, static_cast<std::size_t>(n));
    }
    head.resize(head.find("\r\n\r\n"));
    return true;
}

RecordedRequest parseHead(const std::string& head)
{
    RecordedRequest r;
    std::size_t pos = head.find("\r\n");
    r.requestLine = head.substr(0, pos);
    const auto sp1 = r.requestLine.find(' ');
    const auto sp2 = r.requestLine.rfind(' ');
    r.method = r.requestLine.substr(0, sp1);
    if (sp1 != std::string::npos && sp2 > sp1)
        r.target = r.requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string path = r.target;
    if (const auto scheme = path.find("://"); scheme != std::string::npos) {
        const auto slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    r.path = path.substr(0, path.find('?'));
    while (pos != std::string::npos) {
        const std::size_t start = pos + 2;
        pos = head.find("\r\n", start);
        const std::string line = head.substr(start, pos == std::string::npos ? pos : pos - start);
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        r.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
    }
    return r;
}

} // namespace

void LoopbackServer::Impl::reapFinished()
{
    for (auto it = workers.begin(); it != workers.end();) {
        if (it->done.load()) {
            it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

void LoopbackServer::Impl::acceptLoop()
{
    while (!stopping.load()) {
        pollfd p{listenFd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 50);
        reapFinished();
        if (ready <= 0)
            continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        {
            std::lock_guard lock(mutex);
            if (stopping.load()) {
                ::close(fd);
                break;
            }
            openFds.insert(fd);
            peak = std::max(peak, static_cast<int>(openFds.size()));
            ++accepted;
        }
        workers.emplace_back();
        Worker& w = workers.back();
        w.thread = std::thread([this, fd, &w] {
            serve(fd);
            {
                std::lock_guard lock(mutex);
                openFds.erase(fd);
                ::close(fd);
            }
            w.done.store(true);
        });
    }
}

void LoopbackServer::Impl::serve(int fd)
{
    std::string head;
    if (!readHead(fd, head))
        return;
    RecordedRequest request = parseHead(head);
    File file;
    bool found = false;
    unsigned requestNumber = 0;
    {
        std::lock_guard lock(mutex);
        requests.push_back(request);
        if (auto it = files.find(request.path); it != files.end()) {
            File& f = it->second;
            // The behaviour's turn is over: the next one in the chain answers from now on.
            while (f.behaviour.next && f.behaviour.requestsBeforeNext >= 0 &&
                   f.requestsUnderBehaviour >= f.behaviour.requestsBeforeNext) {
                const Behaviour next = *f.behaviour.next;
                f.behaviour = next;
                f.requestsUnderBehaviour = 0;
            }
            ++f.requestsUnderBehaviour;
            file = f; // a copy: fixed contents are small, generated ones hold nothing
            found = true;
        }
        requestNumber = static_cast<unsigned>(requests.size());
    }
    Behaviour b = found ? file.behaviour : Behaviour{};
    if (!found)
        b.status = 404;
    if (b.headDelay.count() > 0 && !pause(b.headDelay))
        return;

    const bool isHead = request.method == "HEAD";
    int status = b.status;
    std::int64_t first = 0;
    std::int64_t count = file.size;
    std::string extraHeaders;
    std::string errorBody;

    const std::optional<std::string> ifRange = request.header("If-Range");
    const bool sameFile = !ifRange || (!b.etag.empty() && *ifRange == b.etag) ||
                          (!b.lastModified.empty() && *ifRange == b.lastModified);
    if (status >= 200 && status < 300 && b.ranges == RangeMode::Honour && sameFile) {
        std::int64_t start = 0;
        std::optional<std::int64_t> end;
        if (auto range = request.header("Range"); range && parseRange(*range, start, end)) {
            if (start >= file.size) {
                status = 416;
                extraHeaders += "Content-Range: bytes */" + std::to_string(file.size) + "\r\n";
            } else {
                const std::int64_t last = std::min(end.value_or(file.size - 1), file.size - 1);
                start = std::max<std::int64_t>(0, start - b.rangeShift);
                first = start;
                count = last - start + 1;
                status = 206;
                extraHeaders += "Content-Range: bytes " + std::to_string(start) + "-" +
                                std::to_string(last) + "/" + std::to_string(file.size) + "\r\n";
            }
        }
    }
    std::string reason = status == b.status && !b.reason.empty() ? b.reason : usualReason(status);
    const bool success = status >= 200 && status < 300;
    if (!success) {
        first = 0;
        if (status >= 300 && status < 400 && status != 304)
            extraHeaders += "Location: " + b.location + "\r\n";
        if (status != 304)
            errorBody = !b.errorBody.empty() ? b.errorBody
                                             : "<html><body>" + std::to_string(status) + " " +
                                                   reason + "</body></html>";
        count = static_cast<std::int64_t>(errorBody.size());
    }
    const bool noBody = status == 304 || status == 204;

    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    out += "Server: corvale-loopback\r\nConnection: close\r\n";
    if (success)
        out += "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n";
    else
        out += "Content-Type: text/html\r\n";
    if (success && !b.etag.empty())
        out += "ETag: " + b.etag + "\r\n";
    if (success && !b.lastModified.empty())
        out += "Last-Modified: " + b.lastModified + "\r\n";
    out += extraHeaders;
    if (!noBody) {
        if (b.framing == BodyFraming::ContentLength)
            out += "Content-Length: " +
                   std::to_string(success ? count * std::max(1, b.lengthFactor) : count) + "\r\n";
        else if (b.framing == BodyFraming::Chunked)
            out += "Transfer-Encoding: chunked\r\n";
    }
    out += "\r\n";
    if (!sendAll(fd, out) || isHead || noBody)
        return;

    const bool trickle = b.trickleDelay.count() > 0;
    const std::size_t piece = trickle ? std::max<std::size_t>(1, b.trickleChunk) : 64 * 1024;
    std::int64_t limit =
        success && b.dropAfterBytes >= 0 ? std::min(b.dropAfterBytes, count) : count;
    bool reset = false;
    if (success && b.dropMin >= 0) {
        std::mt19937_64 random(b.seed * 7919u + requestNumber);
        const std::int64_t drop = std::uniform_int_distribution<std::int64_t>(
            b.dropMin, std::max(b.dropMin, b.dropMax))(random);
        reset = drop < limit;
        limit = std::min(limit, drop);
    }
    bool stall = false;
    if (success && b.stallAfterBytes >= 0 && b.stallAfterBytes < limit) {
        limit = b.stallAfterBytes;
        stall = true;
    }
    std::string buf;
    std::int64_t sent = 0;
    while (sent < limit) {
        if (stopping.load())
            return;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(piece, limit - sent));
        if (success) {
            if (file.generated) {
                buf = generatedBytes(first + sent, n);
            } else {
                buf.assign(file.content, static_cast<std::size_t>(first + sent), n);
            }
        } else {
            buf.assign(errorBody, static_cast<std::size_t>(sent), n);
        }
        if (b.framing == BodyFraming::Chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", n);
            buf = size + buf + "\r\n";
        }
        if (!sendAll(fd, buf))
            return;
        sent += static_cast<std::int64_t>(n);
        if (status == 206) {
            std::lock_guard lock(mutex);
            if (auto it = files.find(request.path); it != files.end())
                it->second.served += static_cast<std::int64_t>(n);
        }
        if (trickle && sent < limit && !pause(b.trickleDelay))
            return;
    }
    if (stall) { // silent until the client gives up or the server stops
        char sink[512];
        while (!stopping.load()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && ::recv(fd, sink, sizeof sink, 0) <= 0)
                break;
        }
        return;
    }
    if (reset) { // an abortive close: the client sees a connection reset
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        return;
    }
    if (sent < count) // dropped on purpose: close without finishing the body
        return;
    if (b.framing == BodyFraming::Chunked)
        sendAll(fd, std::string("0\r\n\r\n"));
    ::shutdown(fd, SHUT_WR);
    // Let the client read everything before the close; stop at its close or after a while.
    char sink[512];
    for (int i = 0; i < 40 && !stopping.load(); ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && ::recv(fd, sink, sizeof sink, 0) <= 0)
            break;
    }
}

LoopbackServer::LoopbackServer() : impl_(std::make_unique<Impl>())
{
    impl_->listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl_->listenFd < 0)
        throw std::runtime_error(std::string("loopback server: socket: ") + std::strerror(errno));
    const int one = 1;
    ::setsockopt(impl_->listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(impl_->listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(impl_->listenFd, 128) != 0 ||
        ::getsockname(impl_->listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        const std::string why = std::strerror(errno);
        ::close(impl_->listenFd);
        throw std::runtime_error("loopback server: " + why);
    }
    impl_->port = ntohs(addr.sin_port);
    impl_->acceptThread = std::thread([this] { impl_->acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping.store(true);
        for (int fd : impl_->openFds)
            ::shutdown(fd, SHUT_RDWR);
    }
    impl_->stopCv.notify_all();
    impl_->acceptThread.join();
    for (auto& w : impl_->workers)
        w.thread.join();
    ::close(impl_->listenFd);
}

int LoopbackServer::port() const
{
    return impl_->port;
}

std::string LoopbackServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

void LoopbackServer::addGeneratedFile(const std::string& path, std::int64_t size,
                                      Behaviour behaviour)
{
    File f;
    f.generated = true;
    f.size = size;
    f.behaviour = std::move(behaviour);
    std::lock_guard lock(impl_->mutex);
    impl_->files[path] = std::move(f);
}

void LoopbackServer::addFixedFile(const std::string& path, std::string content, Behaviour behaviour)
{
    File f;
    f.generated = false;
    f.size = static_cast<std::int64_t>(content.size());
    f.content = std::move(content);
    f.behaviour = std::move(behaviour);
    std::lock_guard lock(impl_->mutex);
    impl_->files[path] = std::move(f);
}

void LoopbackServer::setBehaviour(const std::string& path, Behaviour behaviour)
{
    std::lock_guard lock(impl_->mutex);
    if (auto it = impl_->files.find(path); it != impl_->files.end()) {
        it->second.behaviour = std::move(behaviour);
        it->second.requestsUnderBehaviour = 0;
    }
}

std::vector<RecordedRequest> LoopbackServer::requests() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::size_t LoopbackServer::requestCount() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->requests.size();
}

RecordedRequest LoopbackServer::lastRequestFor(const std::string& path) const
{
    std::lock_guard lock(impl_->mutex);
    for (auto it = impl_->requests.rbegin(); it != impl_->requests.rend(); ++it)
        if (it->path == path)
            return *it;
    throw std::runtime_error("loopback server: no request for " + path);
}

void LoopbackServer::clearRequests()
{
    std::lock_guard lock(impl_->mutex);
    impl_->requests.clear();
}

std::int64_t LoopbackServer::bodyBytesServed(const std::string& path) const
{
    std::lock_guard lock(impl_->mutex);
    const auto it = impl_->files.find(path);
    return it == impl_->files.end() ? 0 : it->second.served;
}

int LoopbackServer::openConnections() const
{
    std::lock_guard lock(impl_->mutex);
    return static_cast<int>(impl_->openFds.size());
}

int LoopbackServer::peakConnections() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->peak;
}

int LoopbackServer::acceptedConnections() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->accepted;
}

int refusedPort()
{
    // Bind an ephemeral port without listening, learn its number and keep nothing open: a
    // connect to it is refused. The kernel does not hand the same port out again at once.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("refusedPort: socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        throw std::runtime_error("refusedPort: bind failed");
    }
    const int port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

} // namespace testsupport
