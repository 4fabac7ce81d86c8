#include "search/search_request.h"

namespace search {

namespace {
bool isKnownType(int mediaType)
{
    return mediaType >= 0 && mediaType <= 4;
}
} // namespace

std::string typeSuffix(int mediaType)
{
    return "&lm=" + std::to_string(isKnownType(mediaType) ? mediaType : -1);
}

int headerImage(int mediaType)
{
    return isKnownType(mediaType) ? mediaType : 5;
}

std::string firstRequestAddress(const ServiceHosts& hosts, const std::string& words, int mediaType)
{
    return "http://" + hosts.search + "/m?tn=baidump3&ct=134217728&rn=&word=" + words +
           typeSuffix(mediaType);
}

} // namespace search
