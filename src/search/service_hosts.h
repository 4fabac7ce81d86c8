#pragma once
#include <string>

namespace search {

// Host names of the services the program talks to. One mirror can stand in for the search,
// web-search and chart hosts (the program's --service-host option).
struct ServiceHosts {
    std::string search = "mp3.baidu.com";
    std::string webSearch = "www.baidu.com";
    std::string chart = "list.mp3.baidu.com";
    std::string playerDownload = "activex.microsoft.com";
    // The archive engine's service: scheme, host and port, no trailing slash (--archive-url).
    std::string archive = "https://archive.org";

    void pointAllAt(const std::string& hostAndPort) { search = webSearch = chart = hostAndPort; }
    // "http://" + search host + "/r?url=": a result link's target starts with it; the service
    // cuts exactly this many characters off the front of a link target.
    std::string redirectPrefix() const { return "http://" + search + "/r?url="; }
};

} // namespace search
