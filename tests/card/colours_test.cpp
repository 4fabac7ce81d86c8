#include "card/colours.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// Distinct made-up system colours: index i is 0x0i0i0i + 0x100000 * i.
card::SystemColours sampleSystem()
{
    card::SystemColours s{};
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::uint32_t>(0x010101 * i + 0x100000 * i) & 0xFFFFFF;
    return s;
}

size_t indexOf(const char* name)
{
    const auto& e = card::colourEntries();
    for (size_t i = 0; i < e.size(); ++i)
        if (e[i].name == name)
            return i;
    ADD_FAILURE() << "no colour " << name;
    return 0;
}

TEST(ColourList, FixedColoursInOrderWithTheirDigits)
{
    const char* expected[][2] = {
        {"clBlack", "000000"}, {"clMaroon", "800000"},     {"clGreen", "008000"},
        {"clOlive", "808000"}, {"clNavy", "000080"},       {"clPurple", "800080"},
        {"clTeal", "008080"},  {"clGray", "808080"},       {"clSilver", "C0C0C0"},
        {"clRed", "FF0000"},   {"clLime", "00FF00"},       {"clYellow", "FFFF00"},
        {"clBlue", "0000FF"},  {"clFuchsia", "FF00FF"},    {"clAqua", "00FFFF"},
        {"clWhite", "FFFFFF"}, {"clMoneyGreen", "C0DCC0"}, {"clSkyBlue", "A6CAF0"},
        {"clCream", "FFFBF0"}, {"clMedGray", "A0A0A4"},
    };
    const card::SystemColours system = sampleSystem();
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(card::colourEntries()[i].name, expected[i][0]);
        EXPECT_EQ(card::colourDigits(i, system), expected[i][1]) << expected[i][0];
    }
    EXPECT_EQ(card::kBlackEntry, 0u);
}

TEST(ColourList, SystemEntriesInOrderReadTheirSystemColour)
{
    const char* order[] = {"clActiveBorder",
                           "clActiveCaption",
                           "clAppWorkSpace",
                           "clBackground",
                           "clBtnFace",
                           "clBtnHighlight",
                           "clBtnShadow",
                           "clBtnText",
                           "clCaptionText",
                           "clDefault",
                           "clGradientActiveCaption",
                           "clGradientInactiveCaption",
                           "clGrayText",
                           "clHighlight",
                           "clHighlightText",
                           "clInactiveBorder",
                           "clInactiveCaption",
                           "clInactiveCaptionText",
                           "clInfoBk",
                           "clInfoText",
                           "clMenu",
                           "clMenuText",
                           "clNone",
                           "clScrollBar",
                           "cl3DDkShadow",
                           "cl3DLight",
                           "clWindow",
                           "clWindowFrame",
                           "clWindowText"};
    ASSERT_EQ(std::size(order), 29u);
    for (size_t i = 0; i < 29; ++i)
        EXPECT_EQ(card::colourEntries()[20 + i].name, order[i]);

    const std::pair<const char*, int> indexes[] = {
        {"clScrollBar", 0},
        {"clBackground", 1},
        {"clActiveCaption", 2},
        {"clInactiveCaption", 3},
        {"clMenu", 4},
        {"clWindow", 5},
        {"clWindowFrame", 6},
        {"clMenuText", 7},
        {"clWindowText", 8},
        {"clCaptionText", 9},
        {"clActiveBorder", 10},
        {"clInactiveBorder", 11},
        {"clAppWorkSpace", 12},
        {"clHighlight", 13},
        {"clHighlightText", 14},
        {"clBtnFace", 15},
        {"clBtnShadow", 16},
        {"clGrayText", 17},
        {"clBtnText", 18},
        {"clInactiveCaptionText", 19},
        {"clBtnHighlight", 20},
        {"cl3DDkShadow", 21},
        {"cl3DLight", 22},
        {"clInfoText", 23},
        {"clInfoBk", 24},
        {"clGradientActiveCaption", 27},
        {"clGradientInactiveCaption", 28},
    };
    card::SystemColours system = sampleSystem();
    std::set<size_t> seen;
    for (const auto& [name, sys] : indexes) {
        const size_t entry = indexOf(name);
        seen.insert(entry);
        char want[8];
        std::snprintf(want, sizeof want, "%06X", static_cast<unsigned>(system[sys]));
        EXPECT_EQ(card::colourDigits(entry, system), want) << name;
    }
    EXPECT_EQ(seen.size(), 27u);

    // The value is read when the digits are made: a changed system colour shows at once.
    system[13] = 0x3399FF;
    EXPECT_EQ(card::colourDigits(indexOf("clHighlight"), system), "3399FF");
    system[13] = 0xabcdef;
    EXPECT_EQ(card::colourDigits(indexOf("clHighlight"), system), "ABCDEF");
}

TEST(ColourList, NoneAndDefaultGiveEightDigits)
{
    const card::SystemColours system = sampleSystem();
    EXPECT_EQ(card::colourDigits(indexOf("clNone"), system), "1FFFFFFF");
    EXPECT_EQ(card::colourDigits(indexOf("clDefault"), system), "20000000");
}

TEST(ColourList, DigitsAreUpperCaseAndOutOfRangeIsBlack)
{
    card::SystemColours system{};
    system.fill(0x0a0b0c);
    EXPECT_EQ(card::colourDigits(indexOf("clWindow"), system), "0A0B0C");
    system.fill(0xFF123456); // bits above the colour are not digits
    EXPECT_EQ(card::colourDigits(indexOf("clWindow"), system), "123456");
    EXPECT_EQ(card::colourDigits(49, system), "000000");
    EXPECT_EQ(card::entryRgb(indexOf("clTeal"), system), 0x008080u);
}

} // namespace
