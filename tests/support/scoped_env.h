#pragma once
// Sets (or clears) environment variables for one scope and puts the old values back after it.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }
    // An empty value removes the variable.
    ScopedEnv& set(const std::string& name, const std::string& value)
    {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value.empty())
            ::unsetenv(name.c_str());
        else
            ::setenv(name.c_str(), value.c_str(), 1);
        return *this;
    }
    // The CA file the program trusts is this one (CURL_CA_BUNDLE, which names it first, is
    // cleared).
    ScopedEnv& trustOnly(const std::string& caFile)
    {
        return set("CURL_CA_BUNDLE", "").set("SSL_CERT_FILE", caFile);
    }
    // No proxy variable of any spelling is set.
    ScopedEnv& withoutProxies()
    {
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy",
                                 "ALL_PROXY", "no_proxy", "NO_PROXY"})
            set(name, "");
        return *this;
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace testsupport
