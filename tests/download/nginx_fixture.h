#pragma once
// A real nginx (Debian's package) on a loopback ephemeral port, with its own temporary prefix
// and configuration. Files under /slow/ are sent at a limited rate; /busy answers 503 with a
// Retry-After header. Optionally it speaks https with a given certificate (then a second,
// plain-http server answers every request with a redirect to it), and logs each request with its
// connection's number, the request's number on that connection and its TLS session and cipher.
#include "../support/local_ports.h"
#include "../support/test_certificates.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace enginetest {

class Nginx {
public:
    struct Options {
        std::string slowRate = "200k";
        std::filesystem::path tlsCert, tlsKey; // both set: https
        bool logConnections = false;
    };
    explicit Nginx(const std::string& slowRate = "200k") : Nginx(Options{slowRate, {}, {}, false})
    {
    }
    explicit Nginx(const Options& options) : tls_(!options.tlsCert.empty())
    {
        char pattern[] = "/tmp/corvale-nginx-XXXXXX";
        prefix_ = ::mkdtemp(pattern);
        std::filesystem::create_directories(prefix_ / "www" / "slow");
        std::filesystem::create_directories(prefix_ / "tmp");
        std::filesystem::permissions(prefix_, std::filesystem::perms::all,
                                     std::filesystem::perm_options::add);
        port_ = testsupport::freeLoopbackPort();
        redirectPort_ = tls_ ? testsupport::freeLoopbackPort() : 0;
        const std::string p = prefix_.string();
        std::ofstream conf(prefix_ / "nginx.conf");
        conf << (::geteuid() == 0 ? "user root;\n" : "") << "daemon off;\n"
             << "worker_processes 2;\n"
             << "error_log " << p << "/error.log;\n"
             << "pid " << p << "/nginx.pid;\n"
             << "events { worker_connections 512; }\n"
             << "http {\n";
        if (options.logConnections)
            conf << "  log_format conn '$connection $connection_requests $status "
                    "$ssl_session_reused $ssl_cipher $request';\n"
                 << "  access_log " << p << "/access.log conn;\n";
        else
            conf << "  access_log off;\n";
        conf << "  client_body_temp_path " << p << "/tmp/body;\n"
             << "  proxy_temp_path " << p << "/tmp/proxy;\n"
             << "  fastcgi_temp_path " << p << "/tmp/fastcgi;\n"
             << "  uwsgi_temp_path " << p << "/tmp/uwsgi;\n"
             << "  scgi_temp_path " << p << "/tmp/scgi;\n"
             << "  sendfile on;\n"
             << "  server {\n    listen 127.0.0.1:" << port_ << (tls_ ? " ssl" : "") << ";\n";
        if (tls_)
            conf << "    ssl_certificate " << options.tlsCert.string() << ";\n"
                 << "    ssl_certificate_key " << options.tlsKey.string() << ";\n";
        conf << "    root " << p << "/www;\n"
             << "    location = /busy { add_header Retry-After 7 always; return 503; }\n"
             << "    location /slow/ { limit_rate " << options.slowRate << "; }\n  }\n";
        if (tls_)
            conf << "  server {\n    listen 127.0.0.1:" << redirectPort_ << ";\n"
                 << "    return 301 https://127.0.0.1:" << port_ << "$request_uri;\n  }\n";
        conf << "}\n";
        conf.close();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl("/usr/sbin/nginx", "nginx", "-p", p.c_str(), "-c", (p + "/nginx.conf").c_str(),
                    "-e", (p + "/error.log").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (testsupport::waitUntilListening({port_, tls_ ? redirectPort_ : port_}))
            return;
        testsupport::endChild(pid_);
        throw std::runtime_error("nginx did not start");
    }
    ~Nginx()
    {
        testsupport::endChild(pid_);
        std::filesystem::remove_all(prefix_);
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    int port() const { return port_; }
    std::filesystem::path root() const { return prefix_ / "www"; }
    std::string url(const std::string& path) const
    {
        return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
    }
    // The plain-http address that redirects to url(path) (https servers only).
    std::string redirectingUrl(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(redirectPort_) + path;
    }
    // The access log so far (with logConnections): "connection request-number status reused
    // cipher request"; over https reused is "r" for a resumed TLS session and "." for a full
    // handshake, cipher the suite's OpenSSL name; over http both are "-".
    std::string accessLog() const
    {
        std::ifstream in(prefix_ / "access.log");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path prefix_;
    bool tls_ = false;
    int port_ = 0;
    int redirectPort_ = 0;
    pid_t pid_ = -1;
};

// An https server with the test CA's certificate for 127.0.0.1 (or, with rightHost false, its
// certificate for another host name).
inline Nginx::Options tlsOptions(bool rightHost = true)
{
    const auto& certs = testsupport::testCertificates();
    Nginx::Options options;
    options.tlsCert = rightHost ? certs.serverCert : certs.wrongHostCert;
    options.tlsKey = rightHost ? certs.serverKey : certs.wrongHostKey;
    return options;
}

// A file's bytes.
inline std::string fileContent(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes a file of `size` bytes whose content at each position is a function of that position.
inline void writePatternFile(const std::filesystem::path& path, std::int64_t size)
{
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::int64_t at = 0; at < size; at += static_cast<std::int64_t>(block.size())) {
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), size - at));
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t x = static_cast<std::uint64_t>(at) + i;
            block[i] = static_cast<char>((x * 2654435761u) >> 13 ^ (x >> 20));
        }
        out.write(block.data(), static_cast<std::streamsize>(n));
    }
}

} // namespace enginetest
