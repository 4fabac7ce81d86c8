#pragma once
// Host name lookups for the client's own connections.
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace http {

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
};

// The result of one lookup, filled by runLookup (possibly on a helper thread).
struct Lookup {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    int rc = 0;
    int err = 0;
    std::vector<Address> addresses;
};

void runLookup(Lookup& out, const std::string& host, int port, int flags);
// The address as libcurl takes it in a URL: dotted IPv4, or IPv6 in brackets.
std::string numericAddress(const Address& a);

} // namespace http
