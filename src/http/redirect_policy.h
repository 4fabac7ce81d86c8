#pragma once
// The program's one redirect policy, for downloads, the archive and playback alike: a 3xx
// answer (304 excepted) that names a Location is followed to the address it names, at most
// kMaxRedirects times in one request, and only to http and https addresses.
#include "http/http_client.h"

#include <string>

namespace http {

inline constexpr int kMaxRedirects = 5;

struct Redirect {
    enum class Kind {
        None,        // not a redirect: the answer stands
        Follow,      // ask address next
        TooMany,     // kMaxRedirects were followed already
        Unsupported, // address is neither http nor https
    };
    Kind kind = Kind::None;
    std::string address;
};

// What the answer head (to a request for address, after `followed` redirects) asks for.
Redirect nextRedirect(const std::string& address, const ResponseHead& head, int followed);
// The line (GBK) that tells why a redirect was not followed: "重定向超过5次" or
// "不支持的地址：" + address; empty for None and Follow.
std::string redirectFailureLine(const Redirect& redirect);

} // namespace http
