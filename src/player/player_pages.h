#pragma once
// The player pages: 1.html embeds the RealPlayer control, 2.html the Windows Media Player
// control, each pointed at a list file through "file:///" + the list path. Paths and addresses
// go in unchanged.
#include <string>
#include <string_view>
#include <vector>

namespace player {

inline constexpr const char* kRealListFile = "1.rpm";
inline constexpr const char* kRealPageFile = "1.html";
inline constexpr const char* kMediaListFile = "winmedia.asx";
inline constexpr const char* kMediaPageFile = "2.html";
inline constexpr const char* kOwnListTitle = "demo";
inline constexpr const char* kSavedListTitle = "playlist";

inline constexpr int kRealShrink = 70;
inline constexpr int kMediaShrink = 75;
inline constexpr int kChosenShrink = 70;
inline constexpr int kOwnMediaHeight = 68;
inline constexpr int kChosenMediaHeight = 65;

// 24 lines.
std::vector<std::string> realPageLines(std::string_view listPath);
// 16 lines; playerDownloadHost is where a browser without the control could fetch it.
std::vector<std::string> mediaPageLines(std::string_view listPath, int objectHeight,
                                        std::string_view playerDownloadHost);

} // namespace player
