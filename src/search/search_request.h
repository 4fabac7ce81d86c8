#pragma once
#include "search/service_hosts.h"

#include <chrono>
#include <string>

namespace search {

// How long a result page may take to answer before the search says the server gives none.
inline constexpr std::chrono::milliseconds kAnswerTime{30000};

// Type suffix of a first request for MediaType index (0 MP3 .. 4 RAM); "&lm=-1" for any other.
std::string typeSuffix(int mediaType);
// Image index of the result list's first column header: the type index, 5 (none) otherwise.
int headerImage(int mediaType);
// The first request of a search: words go in exactly as typed.
std::string firstRequestAddress(const ServiceHosts& hosts, const std::string& words, int mediaType);

} // namespace search
