#include "gui/screen_adaptation.h"

#include <gtest/gtest.h>

namespace {

// The window's design: client 696 x 604, left column 121 wide, result list 575 x 311,
// play panel 201 high, play list 137 high.
const ui::DesignSizes kDesign{696, 604, 121, 575, 311, 201, 137};

TEST(ScreenAdaptation, TheSmallerRatioScalesSoTheWindowFitsEveryScreen)
{
    struct Case {
        const char* screen;
        int width, height; // available area, logical pixels
        bool scale;
        int scaledDesignWidth; // what 1024 design pixels become
        int windowWidth, windowHeight;
    };
    const Case cases[] = {
        {"1024 x 768 keeps the design", 1024, 768, false, 1024, 696, 604},
        {"1024 x 1000: the width decides, ratio 1", 1024, 1000, false, 1024, 696, 604},
        {"1366 x 768: the height decides, ratio 1", 1366, 768, false, 1024, 696, 604},
        // 1080 / 768: 121 -> 170, 575 -> 808; 311 -> 437, 201 -> 282, 137 -> 192.
        {"1920 x 1080", 1920, 1080, true, 1440, 170 + 808 + 10, 437 + 282 + 192},
        // 1440 / 768: 121 -> 226, 575 -> 1078; 311 -> 583, 201 -> 376, 137 -> 256.
        {"2560 x 1440", 2560, 1440, true, 1920, 226 + 1078 + 10, 583 + 376 + 256},
        // 600 / 768: 121 -> 94, 575 -> 449; 311 -> 242, 201 -> 157, 137 -> 107.
        {"1024 x 600 scales down", 1024, 600, true, 800, 94 + 449 + 10, 242 + 157 + 107},
        {"800 x 600: both ratios 600 / 768", 800, 600, true, 800, 553, 506},
        // The desktop of a 3840 x 2160 screen at 200 % is 1920 x 1080 logical pixels.
        {"3840 x 2160 at 200 %", 3840 / 2, 2160 / 2, true, 1440, 988, 911},
        // The width decides: 1280 / 1024.
        {"1280 x 1024", 1280, 1024, true, 1280, 151 + 718 + 10, 388 + 251 + 171},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        const ui::ScreenAdaptation a = ui::adaptToScreen(c.width, c.height, kDesign);
        EXPECT_EQ(a.scale, c.scale);
        EXPECT_EQ(ui::scaled(1024, a), c.scaledDesignWidth);
        EXPECT_EQ(a.windowWidth, c.windowWidth);
        EXPECT_EQ(a.windowHeight, c.windowHeight);
        // The window leaves room for a frame of 40 pixels each way.
        EXPECT_LE(a.windowWidth + 40, c.width);
        EXPECT_LE(a.windowHeight + 40, c.height);
    }
}

TEST(ScreenAdaptation, FontsShrinkWithTheControlsButNeverVanish)
{
    const ui::ScreenAdaptation small = ui::adaptToScreen(800, 600, kDesign);
    EXPECT_EQ(ui::scaledFontSize(9, small), 7);  // 9 x 600 / 768 = 7.03
    EXPECT_EQ(ui::scaledFontSize(12, small), 9); // 12 x 600 / 768 = 9.375
    const ui::ScreenAdaptation large = ui::adaptToScreen(2560, 1440, kDesign);
    EXPECT_EQ(ui::scaledFontSize(9, large), 16); // 9 x 1440 / 768 = 16.875
    const ui::ScreenAdaptation tiny = ui::adaptToScreen(80, 60, kDesign);
    EXPECT_EQ(ui::scaledFontSize(9, tiny), 1);
    // No screen to measure (an empty area): the design stays.
    EXPECT_FALSE(ui::adaptToScreen(0, 0, kDesign).scale);
}

} // namespace
