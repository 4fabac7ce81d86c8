#include "http/name_lookup.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>

namespace http {

void runLookup(Lookup& out, const std::string& host, int port, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | flags;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    const int err = errno;
    std::vector<Address> addresses;
    if (rc == 0) {
        for (addrinfo* ai = list; ai; ai = ai->ai_next) {
            Address a;
            std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
            a.length = ai->ai_addrlen;
            a.family = ai->ai_family;
            addresses.push_back(a);
        }
        ::freeaddrinfo(list);
    }
    std::lock_guard lock(out.mutex);
    out.rc = rc;
    out.err = err;
    out.addresses = std::move(addresses);
    out.done = true;
    out.cv.notify_all();
}

std::string numericAddress(const Address& a)
{
    char text[NI_MAXHOST] = {};
    ::getnameinfo(reinterpret_cast<const sockaddr*>(&a.storage), a.length, text, sizeof text,
                  nullptr, 0, NI_NUMERICHOST);
    return a.family == AF_INET6 ? "[" + std::string(text) + "]" : std::string(text);
}

} // namespace http
