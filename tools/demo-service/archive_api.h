#pragma once
// The demo service's stand-in for the archive's public API, over the same catalogue:
//   /advancedsearch.php?q=(WORDS) AND mediatype:(audio)&rows=N&page=P&output=json
//   /metadata/IDENTIFIER            the item's metadata and file list ({} when unknown)
//   /download/IDENTIFIER/NAME       redirects to /archive-data/IDENTIFIER/NAME
//   /archive-data/IDENTIFIER/NAME   the file, with byte ranges and its MD5 as ETag
// Every search result is an item: its song as MP3 (and in its own type when that is another),
// an Ogg Vorbis copy and the item's file list, named "SINGER - TITLE.ext" as the service shows
// them. Some items name their creators as a list, some carry titles only on the item.
// Words that ask for a bad answer: archive-500 (an error status), archive-notjson (an HTML
// page), archive-empty (nothing found), archive-busy (429 with Retry-After: 1, once per query),
// archive-badmd5 (file lists whose MD5s do not match the files).
#include <httplib.h>

#include <functional>
#include <memory>
#include <string>

namespace demo {

// content(mediaFileName, host) gives a media file's bytes (shared with /media/).
using ContentSource =
    std::function<std::shared_ptr<const std::string>(const std::string&, const std::string&)>;

// Adds the routes; hostOf names the host:port a request came to; scheme is "http" or "https".
void addArchiveRoutes(httplib::Server& server,
                      const std::function<std::string(const httplib::Request&)>& hostOf,
                      const ContentSource& content, const std::string& scheme);

} // namespace demo
