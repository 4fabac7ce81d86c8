#pragma once
// RealAudio metafiles (.ram): a text file of media addresses, one a line; empty lines and lines
// starting with "#" are skipped. A .ram may name further .ram files; they are opened in place,
// a few levels deep at most, and a list that names itself (or one of the lists that led to it)
// is refused instead of being followed round and round.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace player {

// How an address is reached.
enum class AddressKind {
    Http,      // http:// or https://
    LocalFile, // file:// or an absolute local path
    Streaming, // rtsp://, pnm://, mms:// and their kin: streaming protocols not served here
    Unknown,   // any other scheme, or no address at all
};
AddressKind addressKind(std::string_view address);

// Whether an address names a RealAudio metafile: its path ends in ".ram" (any letter case),
// before any query or fragment.
bool namesRamList(std::string_view address);

// The addresses of a .ram text, in order: each line trimmed of blanks and control characters,
// empty lines and "#" comment lines left out. A relative address is taken from the folder of
// listAddress.
std::vector<std::string> parseRamText(std::string_view text, std::string_view listAddress = {});

// One thing to play after the lists are opened, or why it cannot be.
struct RamItem {
    std::string address;
    std::string failure;     // empty when the address is to be played; otherwise the reason
    std::string userFailure; // the reason as the player tells the user (UTF-8)
    bool operator==(const RamItem&) const = default;
};

// What reading a list address gave: its text, or nothing when the content is not a list
// after all (binary media under a .ram name); a reading failure is thrown as RamFetchError.
using RamFetch = std::function<std::optional<std::string>(const std::string& address)>;
struct RamFetchError {
    std::string reason;
    std::string userText; // UTF-8
};

inline constexpr int kMaxRamDepth = 4;    // a list inside a list inside ... four levels
inline constexpr int kMaxRamItems = 1000; // entries gathered from one list at most
inline constexpr int kMaxRamFetches = 64; // lists read for one list at most

// The entries a .ram address stands for, with nested lists opened in place. Lists that cannot
// be read, that name themselves or an enclosing list, that nest too deep or hold no entry come
// back as items with a failure, so that the player can say why and go on.
std::vector<RamItem> expandRamList(const std::string& address, const RamFetch& fetch);

} // namespace player
