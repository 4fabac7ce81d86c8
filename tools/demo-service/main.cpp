// corvale-demo-service: a local stand-in for the MP3 search, chart and media services, and for
// the archive's public API (archive_api.h).
//   corvale-demo-service [--port N] [--delay-ms N] [--log] [--until-stdin-closes]
//                        [--tls-cert FILE --tls-key FILE]
// Prints "listening on 127.0.0.1:PORT" as its first line. With a certificate and its key it
// speaks https only. --delay-ms holds every result page
// back that long (to watch paging and stopping); --log prints one line per request, with the
// milliseconds since the start. --until-stdin-closes ends the service when its standard input
// reaches its end (a test that starts it holds the other end, so a crashed test leaves nothing).
#include "archive_api.h"
#include "catalogue.h"
#include "core/gbk.h"
#include "media.h"
#include "pages.h"
#include "tone.h"

#include <httplib.h>

#include <csignal>
#include <sys/prctl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace {

struct Options {
    int port = 0;
    int delayMs = 0;
    bool log = false;
    bool untilStdinCloses = false;
    std::string tlsCert;
    std::string tlsKey;
};

bool parseInt(const char* text, int low, int high, int& out)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!text[0] || *end || value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool validUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

// Words arrive percent-encoded as UTF-8 from the browser; words taken from the service's own
// links are GBK.
std::string wordsOf(const httplib::Request& req)
{
    const std::string raw = req.get_param_value("word");
    return validUtf8(raw) ? raw : core::gbkToUtf8(raw);
}

class RequestLog {
public:
    void add(std::string line)
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
        if (lines_.size() > 20000)
            lines_.pop_front();
    }
    std::string text()
    {
        std::lock_guard lock(mutex_);
        std::string out;
        for (const std::string& line : lines_)
            out += line + "\n";
        return out;
    }

private:
    std::mutex mutex_;
    std::deque<std::string> lines_;
};

// The last few media files made, so that the ranged requests of one download share one copy.
class MediaCache {
public:
    std::shared_ptr<const std::string> get(const std::string& name, const std::string& host)
    {
        const std::string key = host + "/" + name;
        {
            std::lock_guard lock(mutex_);
            for (auto it = entries_.begin(); it != entries_.end(); ++it)
                if (it->first == key) {
                    entries_.splice(entries_.begin(), entries_, it);
                    return it->second;
                }
        }
        auto content = std::make_shared<const std::string>(demo::mediaContent(name, host));
        std::lock_guard lock(mutex_);
        entries_.emplace_front(key, content);
        if (entries_.size() > 8)
            entries_.pop_back();
        return content;
    }

private:
    std::mutex mutex_;
    std::list<std::pair<std::string, std::shared_ptr<const std::string>>> entries_;
};

const char* const kHtml = "text/html; charset=gbk";

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        bool ok = true;
        if (arg == "--port" && i + 1 < argc)
            ok = parseInt(argv[++i], 0, 65535, options.port);
        else if (arg == "--delay-ms" && i + 1 < argc)
            ok = parseInt(argv[++i], 0, 60000, options.delayMs);
        else if (arg == "--log")
            options.log = true;
        else if (arg == "--until-stdin-closes")
            options.untilStdinCloses = true;
        else if (arg == "--tls-cert" && i + 1 < argc)
            options.tlsCert = argv[++i];
        else if (arg == "--tls-key" && i + 1 < argc)
            options.tlsKey = argv[++i];
        else
            ok = false;
        if (!ok) {
            std::cerr << "usage: corvale-demo-service [--port N] [--delay-ms N] [--log] "
                         "[--until-stdin-closes] [--tls-cert FILE --tls-key FILE]\n";
            return 2;
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        std::cerr << "corvale-demo-service: --tls-cert and --tls-key go together\n";
        return 2;
    }

    std::signal(SIGPIPE, SIG_IGN); // a reader that went away must not end the service
    demo::toneMp3(0);              // encode the sample songs before the first request
    demo::prepareMp3Sums();
    std::unique_ptr<httplib::Server> served;
    if (options.tlsCert.empty())
        served = std::make_unique<httplib::Server>();
    else
        served =
            std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(), options.tlsKey.c_str());
    if (!served->is_valid()) {
        std::cerr << "corvale-demo-service: cannot use the certificate " << options.tlsCert << "\n";
        return 1;
    }
    httplib::Server& server = *served;
    RequestLog log;
    MediaCache cache;
    const auto started = std::chrono::steady_clock::now();
    int port = 0;
    auto hostOf = [&](const httplib::Request& req) {
        std::string host = req.get_header_value("Host");
        return host.empty() ? "127.0.0.1:" + std::to_string(port) : host;
    };

    server.set_logger([&](const httplib::Request& req, const httplib::Response& res) {
        const std::string line = req.method + " " + req.target + " " + std::to_string(res.status);
        log.add(line);
        if (options.log) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - started)
                                .count();
            std::printf("%8lld ms  %s\n", static_cast<long long>(ms), line.c_str());
            std::fflush(stdout);
        }
    });

    server.Get("/m", [&](const httplib::Request& req, httplib::Response& res) {
        if (options.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
        demo::PageRequest page;
        page.host = hostOf(req);
        page.clientIp = req.remote_addr;
        page.words = wordsOf(req);
        int lm = -1;
        if (req.has_param("lm") && !parseInt(req.get_param_value("lm").c_str(), -1, 4, lm))
            lm = -1;
        page.lm = lm;
        int pn = 0;
        if (req.has_param("pn") && !parseInt(req.get_param_value("pn").c_str(), 0, 1000000, pn))
            pn = 0;
        page.offset = pn;
        res.set_content(demo::resultPage(page), kHtml);
    });

    server.Get("/r", [](const httplib::Request& req, httplib::Response& res) {
        const std::string url = req.get_param_value("url");
        if (url.rfind("http://", 0) != 0) {
            res.status = 404;
            return;
        }
        res.set_redirect(url);
    });

    server.Get("/ngeshou.html", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(demo::chartPage(demo::ChartKind::Male, hostOf(req)), kHtml);
    });
    server.Get("/ygeshou.html", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(demo::chartPage(demo::ChartKind::Female, hostOf(req)), kHtml);
    });
    server.Get("/mp3.html", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(demo::chartPage(demo::ChartKind::Songs, hostOf(req)), kHtml);
    });
    server.Get("/", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(demo::indexPage(hostOf(req)), kHtml);
    });
    server.Get("/log", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(log.text(), "text/plain; charset=utf-8");
    });

    server.Get(R"(/media/([^/]+))", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1];
        const std::optional<int> type = demo::mediaType(name);
        if (!type) {
            res.status = 404;
            return;
        }
        static const char* const mime[] = {"audio/mpeg", "application/vnd.rn-realmedia",
                                           "audio/x-ms-wma", "video/x-ms-asf",
                                           "audio/x-pn-realaudio"};
        const auto content = cache.get(name, hostOf(req));
        res.set_header("Accept-Ranges", "bytes");
        res.set_content(*content, mime[*type]);
    });

    demo::addArchiveRoutes(
        server, hostOf,
        [&cache](const std::string& name, const std::string& host) {
            return cache.get(name, host);
        },
        options.tlsCert.empty() ? "http" : "https");

    port = options.port == 0 ? server.bind_to_any_port("127.0.0.1")
                             : (server.bind_to_port("127.0.0.1", options.port) ? options.port : -1);
    if (port <= 0) {
        std::cerr << "corvale-demo-service: cannot listen on 127.0.0.1:" << options.port << "\n";
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", port);
    std::fflush(stdout);
    if (options.untilStdinCloses) {
        // Started by a test: end with it, however it ends. A graceful stop could wait on a
        // connection its browser left open, so the service leaves at once.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::thread([] {
            char buffer[256];
            while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
            }
            std::_Exit(0);
        }).detach();
    }
    return server.listen_after_bind() ? 0 : 1;
}
