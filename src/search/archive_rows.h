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
// One segment of an address's path: percentEncode, and the dots of a segment that is "." or
// ".." too, so that no one on the way reads them as "this folder" or "the folder above".
std::string pathSegment(std::string_view text);

// base is the service's address without a trailing slash ("https://archive.org"). words are
// UTF-8, as typed; page counts from 1.
std::string searchAddress(const std::string& base, const std::string& words, int page,
                          int rows = kItemsPerPage);
std::string itemAddress(const std::string& base, const std::string& identifier);
// Each '/'-separated segment of the file's path is encoded on its own (pathSegment).
std::string fileAddress(const std::string& base, const std::string& identifier,
                        const std::string& fileName);

// Whether a file name has an extension of the media type (0 MP3 .mp3, 1 RM .rm or .ra,
// 2 WMA .wma, 3 ASF .asf, 4 RAM .ram), case-insensitive. No type matches nothing.
bool matchesType(const std::string& fileName, int mediaType);

// The size column for a size in bytes: the size in the largest unit of 1024 (K, M, G, T) that
// keeps it below 1000, rounded to the nearest, with one decimal below 10 ("2.3M", "10K",
// "123K", "1.2G"); empty when unknown.
std::string sizeText(std::int64_t bytes);

// The service's texts as a person reads them: HTML entities (&amp; &lt; &gt; &quot; &#39;
// &#NNN; &#xHH;) decoded; an unknown or malformed entity stays as written. UTF-8 in and out.
std::string decodeEntities(std::string_view text);
// Creators joined one way: the parts of a ';'-joined field, trimmed, joined with ", ".
std::string joinedCreators(std::string_view creators);

// One row per recording of the media type in the item. A file's recording is the root it was
// made from (following "original" to the file that has none); of the files of the type that
// share a root, the row takes the root itself when it is of the type, else the "VBR MP3" one,
// else the one with the highest bitrate (missing counts lowest, ties go to the first listed).
// Rows come in the item's file order. The name is "CREATOR - TITLE" from the chosen file, else
// its root, else the item (its search document last); a file without a title of its own is
// "CREATOR - ITEM TITLE (TRACK)", or "... [STEM]" with its file name's stem when it has no
// track; a file in a folder adds " [FOLDER]" after the title. Two rows of the item with one
// name become "NAME", "NAME (2)", "NAME (3)" in file order. The row also holds the file's
// download address, size and type text (the extension, lower-case), MD5 and size in bytes.
// Texts are GB18030; the caption is left empty for the list to number.
std::vector<core::SongEntry> rowsForItem(const std::string& base, const FoundItem& found,
                                         const ItemAnswer& item, int mediaType);

// Whether to ask for the next search page once the current one has been listed: while the
// service has more, and the list holds fewer than kRowsBeforeScrolling rows or the user has
// scrolled to its end.
bool wantNextPage(std::int64_t itemsAsked, std::int64_t numFound, int rowsListed,
                  bool scrolledToEnd);

} // namespace search::archive
