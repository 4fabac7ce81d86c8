#pragma once
// A real nginx (Debian's package) on a loopback ephemeral port, with its own temporary prefix
// and configuration. Files under /slow/ are sent at a limited rate.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace enginetest {

class Nginx {
public:
    explicit Nginx(const std::string& slowRate = "200k")
    {
        char pattern[] = "/tmp/corvale-nginx-XXXXXX";
        prefix_ = ::mkdtemp(pattern);
        std::filesystem::create_directories(prefix_ / "www" / "slow");
        std::filesystem::create_directories(prefix_ / "tmp");
        std::filesystem::permissions(prefix_, std::filesystem::perms::all,
                                     std::filesystem::perm_options::add);
        port_ = freePort();
        const std::string p = prefix_.string();
        std::ofstream(prefix_ / "nginx.conf")
            << (::geteuid() == 0 ? "user root;\n" : "") << "daemon off;\n"
            << "worker_processes 2;\n"
            << "error_log " << p << "/error.log;\n"
            << "pid " << p << "/nginx.pid;\n"
            << "events { worker_connections 512; }\n"
            << "http {\n  access_log off;\n"
            << "  client_body_temp_path " << p << "/tmp/body;\n"
            << "  proxy_temp_path " << p << "/tmp/proxy;\n"
            << "  fastcgi_temp_path " << p << "/tmp/fastcgi;\n"
            << "  uwsgi_temp_path " << p << "/tmp/uwsgi;\n"
            << "  scgi_temp_path " << p << "/tmp/scgi;\n"
            << "  sendfile on;\n"
            << "  server {\n    listen 127.0.0.1:" << port_ << ";\n"
            << "    root " << p << "/www;\n"
            << "    location /slow/ { limit_rate " << slowRate << "; }\n  }\n}\n";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl("/usr/sbin/nginx", "nginx", "-p", p.c_str(), "-c", (p + "/nginx.conf").c_str(),
                    "-e", (p + "/error.log").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            if (canConnect())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stop();
        throw std::runtime_error("nginx did not start");
    }
    ~Nginx()
    {
        stop();
        std::filesystem::remove_all(prefix_);
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    int port() const { return port_; }
    std::filesystem::path root() const { return prefix_ / "www"; }
    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    static int freePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        ::close(s);
        return ntohs(a.sin_port);
    }
    bool canConnect() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(s);
        return ok;
    }
    void stop()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

    std::filesystem::path prefix_;
    int port_ = 0;
    pid_t pid_ = -1;
};

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
