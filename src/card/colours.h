#pragma once
// The font colour list of the card editor: 49 entries in a fixed order, each giving the colour
// digits of the <font color=#...> tag. Twenty are fixed colours, 27 stand for system display
// colours (their value is read when the tag is made), and two (clNone, clDefault) are not
// colours at all and give eight digits.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace card {

enum class ColourKind { Fixed, System, Special };

struct ColourEntry {
    std::string_view name;
    ColourKind kind;
    std::uint32_t value; // Fixed: 0xRRGGBB; System: the system colour index; Special: the digits
};

inline constexpr size_t kColourCount = 49;
inline constexpr size_t kBlackEntry = 0; // the entry current at start

const std::array<ColourEntry, kColourCount>& colourEntries();

// The system display colours by their index (0 to 28), each 0xRRGGBB. Indexes 25 and 26 are
// not used by the list.
using SystemColours = std::array<std::uint32_t, 29>;

// 0xRRGGBB of an entry; for the two special entries the colour shown as their swatch.
std::uint32_t entryRgb(size_t entry, const SystemColours& system);

// The colour digits H of an entry: six upper-case hexadecimal digits RRGGBB, or the eight
// digits "1FFFFFFF" (clNone) and "20000000" (clDefault). An index past the list gives the
// digits of clBlack.
std::string colourDigits(size_t entry, const SystemColours& system);

} // namespace card
