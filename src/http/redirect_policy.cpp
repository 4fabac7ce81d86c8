#include "http/redirect_policy.h"

#include "core/gbk.h"
#include "core/text_ops.h"
#include "http/curl_setup.h"

namespace http {

Redirect nextRedirect(const std::string& address, const ResponseHead& head, int followed)
{
    const bool redirect = head.status >= 300 && head.status < 400 && head.status != 304;
    const std::string location = core::trim(head.location);
    if (!redirect || location.empty())
        return {};
    if (followed >= kMaxRedirects)
        return {Redirect::Kind::TooMany, {}};
    const std::string next = resolveAddress(address, location);
    const AddressParts parts = splitAddress(next);
    if (next.empty() || !parts.ok || !supportedScheme(parts.scheme))
        return {Redirect::Kind::Unsupported, next.empty() ? location : next};
    return {Redirect::Kind::Follow, next};
}

std::string redirectFailureLine(const Redirect& redirect)
{
    switch (redirect.kind) {
    case Redirect::Kind::TooMany:
        return core::utf8ToGbk("重定向超过" + std::to_string(kMaxRedirects) + "次");
    case Redirect::Kind::Unsupported:
        return core::utf8ToGbk("不支持的地址：") + redirect.address;
    default:
        return {};
    }
}

} // namespace http
