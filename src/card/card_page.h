#pragma once
// The music greeting card page card.html: a background picture, the title, a player object
// that plays the card's song, and the card's text. Made as a list of GBK lines (the caller
// writes them with CR LF endings).
#include <string>
#include <string_view>
#include <vector>

namespace card {

struct CardPageInput {
    std::string picture;                // the background picture's full path (GBK), unchanged
    std::u16string title;               // the title box's text
    std::string address;                // the song's download address (GBK), unchanged
    std::string typeText;               // the song's type text ("MP3", "RM", ...)
    std::vector<std::string> textLines; // the text as the box shows it, one entry per shown line
    std::string playerDownloadHost;     // host of the Windows Media Player download
};

// True when the type text, its letters a-z taken as upper case, is "RM" or "RAM": the page
// then embeds the RealPlayer object, otherwise the Windows Media Player object.
bool usesRealPlayer(std::string_view typeText);

// The line that browsers without the player object show in its place: an audio element for an
// MP3 song (type text "MP3" in any case), a link to the song for any other type, which current
// browsers cannot play. The address is written as the object's source parameter writes it.
std::string fallbackPlayerLine(std::string_view typeText, std::string_view address);

// The page's lines. The title is written in GBK with '?' for characters GBK cannot hold;
// nothing is escaped. An empty last text line writes no line.
std::vector<std::string> cardPageLines(const CardPageInput& input);

} // namespace card
