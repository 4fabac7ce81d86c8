#pragma once
// A real forwarding proxy (Debian's tinyproxy) on a loopback ephemeral port with its own
// configuration and log, optionally asking for credentials. It forwards plain requests and
// tunnels CONNECT to any port.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "local_ports.h"

namespace testsupport {

class Tinyproxy {
public:
    // With a user name, every request must carry it (and "secret") or gets 407.
    explicit Tinyproxy(const std::string& user = {})
    {
        char pattern[] = "/tmp/corvale-proxy-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        std::filesystem::permissions(dir_, std::filesystem::perms::all,
                                     std::filesystem::perm_options::add);
        port_ = freeLoopbackPort();
        std::ofstream conf(dir_ / "tinyproxy.conf");
        conf << "Port " << port_ << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
             << "LogFile \"" << (dir_ / "proxy.log").string() << "\"\nLogLevel Info\n"
             << "MaxClients 64\nDisableViaHeader Yes\n";
        if (::geteuid() == 0)
            conf << "User root\nGroup root\n";
        if (!user.empty())
            conf << "BasicAuth " << user << " secret\n";
        conf.close();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl("/usr/bin/tinyproxy", "tinyproxy", "-d", "-c",
                    (dir_ / "tinyproxy.conf").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (waitUntilListening({port_}))
            return;
        endChild(pid_);
        throw std::runtime_error("tinyproxy did not start");
    }
    ~Tinyproxy()
    {
        endChild(pid_);
        std::filesystem::remove_all(dir_);
    }
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // The proxy's log so far.
    std::string log() const
    {
        std::ifstream in(dir_ / "proxy.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace testsupport
