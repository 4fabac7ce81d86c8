#pragma once
// The player controls as the generated pages embed them: the RealPlayer OBJECT and the Windows
// Media Player OBJECT, shared by the player pages and the greeting card page.
#include <string>
#include <string_view>
#include <vector>

namespace player {

// From the start tag to "</OBJECT>", 18 lines: the RealPlayer control playing source.
std::vector<std::string> realPlayerObject(int width, std::string_view source, bool centred);
// The start tag of the Windows Media Player control over six lines (its CODEBASE address broken
// after "/en/"), then the fileName parameter naming source.
std::vector<std::string> mediaPlayerObjectHead(int width, int height, std::string_view source,
                                               std::string_view playerDownloadHost);

} // namespace player
