#pragma once
// The archive engine's rules: the request addresses of its API, which files of an item become
// result rows for a media type, what such a row holds, and when to ask for the next page.
#include "core/song_entry.h"
#include "search/archive_answers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace search::archive {

// Items asked per search page, and how many rows the engine gathers before it waits for the
// user to scroll to the end of the list.
inline constexpr int kItemsPerPage = 50;
inline constexpr int kRowsBeforeScrolling = 200;

// Percent-encodes everything but the unreserved characters (letters, digits, - . _ ~).
std::string percentEncode(std::string_view text);

// base is the service's address without a trailing slash ("https://archive.org"). words are
// UTF-8, as typed; page counts from 1.
std::string searchAddress(const std::string& base, const std::string& words, int page,
                          int rows = kItemsPerPage);
std::string itemAddress(const std::string& base, const std::string& identifier);
// Each '/'-separated segment of the file's path is encoded on its own.
std::string fileAddress(const std::string& base, const std::string& identifier,
                        const std::string& fileName);

// Whether a file name has an extension of the media type (0 MP3 .mp3, 1 RM .rm or .ra,
// 2 WMA .wma, 3 ASF .asf, 4 RAM .ram), case-insensitive. No type matches nothing.
bool matchesType(const std::string& fileName, int mediaType);

// The size column for a size in bytes, as the result pages write it: three characters of the
// number and the unit, "2.3M", "123K"; empty when unknown.
std::string sizeText(std::int64_t bytes);

// One row per file of the item that matches the media type, in the item's file order: name
// "CREATOR - TITLE" (the file's own fields, else the item's; the title else the file's name),
// the file's download address, size and type text (the extension, lower-case), the file's MD5
// and size. Texts are GBK; the caption is left empty for the list to number.
std::vector<core::SongEntry> rowsForItem(const std::string& base, const FoundItem& found,
                                         const ItemAnswer& item, int mediaType);

// Whether to ask for the next search page once the current one has been listed: while the
// service has more, and the list holds fewer than kRowsBeforeScrolling rows or the user has
// scrolled to its end.
bool wantNextPage(std::int64_t itemsAsked, std::int64_t numFound, int rowsListed,
                  bool scrolledToEnd);

} // namespace search::archive
