#pragma once
// Loopback ports for servers that tests start as processes, and those processes' end.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

// A port on 127.0.0.1 that was free a moment ago.
inline int freeLoopbackPort()
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

// Something listens on 127.0.0.1:port.
inline bool loopbackListens(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// Waits until something listens on every port, for up to five seconds.
inline bool waitUntilListening(std::initializer_list<int> ports)
{
    for (int i = 0; i < 500; ++i) {
        bool all = true;
        for (int port : ports)
            all = all && loopbackListens(port);
        if (all)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Ends a server process the test started, and reaps it.
inline void endChild(pid_t& pid)
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
    }
}

} // namespace testsupport
