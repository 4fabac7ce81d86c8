#include "card/colours.h"

#include <cstdio>

namespace card {

const std::array<ColourEntry, kColourCount>& colourEntries()
{
    using K = ColourKind;
    static const std::array<ColourEntry, kColourCount> entries{{
        {"clBlack", K::Fixed, 0x000000},
        {"clMaroon", K::Fixed, 0x800000},
        {"clGreen", K::Fixed, 0x008000},
        {"clOlive", K::Fixed, 0x808000},
        {"clNavy", K::Fixed, 0x000080},
        {"clPurple", K::Fixed, 0x800080},
        {"clTeal", K::Fixed, 0x008080},
        {"clGray", K::Fixed, 0x808080},
        {"clSilver", K::Fixed, 0xC0C0C0},
        {"clRed", K::Fixed, 0xFF0000},
        {"clLime", K::Fixed, 0x00FF00},
        {"clYellow", K::Fixed, 0xFFFF00},
        {"clBlue", K::Fixed, 0x0000FF},
        {"clFuchsia", K::Fixed, 0xFF00FF},
        {"clAqua", K::Fixed, 0x00FFFF},
        {"clWhite", K::Fixed, 0xFFFFFF},
        {"clMoneyGreen", K::Fixed, 0xC0DCC0},
        {"clSkyBlue", K::Fixed, 0xA6CAF0},
        {"clCream", K::Fixed, 0xFFFBF0},
        {"clMedGray", K::Fixed, 0xA0A0A4},
        {"clActiveBorder", K::System, 10},
        {"clActiveCaption", K::System, 2},
        {"clAppWorkSpace", K::System, 12},
        {"clBackground", K::System, 1},
        {"clBtnFace", K::System, 15},
        {"clBtnHighlight", K::System, 20},
        {"clBtnShadow", K::System, 16},
        {"clBtnText", K::System, 18},
        {"clCaptionText", K::System, 9},
        {"clDefault", K::Special, 0x20000000},
        {"clGradientActiveCaption", K::System, 27},
        {"clGradientInactiveCaption", K::System, 28},
        {"clGrayText", K::System, 17},
        {"clHighlight", K::System, 13},
        {"clHighlightText", K::System, 14},
        {"clInactiveBorder", K::System, 11},
        {"clInactiveCaption", K::System, 3},
        {"clInactiveCaptionText", K::System, 19},
        {"clInfoBk", K::System, 24},
        {"clInfoText", K::System, 23},
        {"clMenu", K::System, 4},
        {"clMenuText", K::System, 7},
        {"clNone", K::Special, 0x1FFFFFFF},
        {"clScrollBar", K::System, 0},
        {"cl3DDkShadow", K::System, 21},
        {"cl3DLight", K::System, 22},
        {"clWindow", K::System, 5},
        {"clWindowFrame", K::System, 6},
        {"clWindowText", K::System, 8},
    }};
    return entries;
}

std::uint32_t entryRgb(size_t entry, const SystemColours& system)
{
    if (entry >= kColourCount)
        entry = kBlackEntry;
    const ColourEntry& e = colourEntries()[entry];
    switch (e.kind) {
    case ColourKind::Fixed:
        return e.value;
    case ColourKind::System:
        return e.value < system.size() ? system[e.value] & 0xFFFFFF : 0;
    case ColourKind::Special:
        return e.value & 0xFFFFFF;
    }
    return 0;
}

std::string colourDigits(size_t entry, const SystemColours& system)
{
    if (entry >= kColourCount)
        entry = kBlackEntry;
    const ColourEntry& e = colourEntries()[entry];
    char digits[16];
    if (e.kind == ColourKind::Special)
        std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(e.value));
    else
        std::snprintf(digits, sizeof digits, "%06X",
                      static_cast<unsigned>(entryRgb(entry, system)));
    return digits;
}

} // namespace card
