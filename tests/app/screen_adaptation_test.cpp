#include "app/screen_adaptation.h"

#include <gtest/gtest.h>

namespace {

// The window's design: client 696 x 604, left column 121 wide, result list 575 x 311,
// play panel 201 high, play list 137 high.
const app::DesignSizes kDesign{696, 604, 121, 575, 311, 201, 137};

TEST(ScreenAdaptation, A1024WideScreenKeepsTheDesignWhateverItsHeight)
{
    for (int height : {600, 768, 1024, 2000}) {
        const app::ScreenAdaptation a = app::adaptToScreen(1024, height, kDesign);
        EXPECT_FALSE(a.scale) << height;
        EXPECT_EQ(a.windowWidth, 696);
        EXPECT_EQ(a.windowHeight, 604);
    }
}

TEST(ScreenAdaptation, A1280By1024ScreenScalesThenSizesFromTheScaledRegions)
{
    const app::ScreenAdaptation a = app::adaptToScreen(1280, 1024, kDesign);
    ASSERT_TRUE(a.scale);
    EXPECT_EQ(app::scaled(1024, a), 1280);
    // 121 * 1.25 = 151 (truncated), 575 * 1.25 = 718 (truncated), plus 10.
    EXPECT_EQ(a.windowWidth, 151 + 718 + 10);
    // 311 * 1.25 = 388, 201 * 1.25 = 251, 137 * 1.25 = 171.
    EXPECT_EQ(a.windowHeight, 388 + 251 + 171);
}

TEST(ScreenAdaptation, NarrowerScreensShrinkWithTruncation)
{
    const app::ScreenAdaptation a = app::adaptToScreen(800, 600, kDesign);
    ASSERT_TRUE(a.scale);
    EXPECT_EQ(app::scaled(121, a), 94); // 96800 / 1024 = 94.53
    EXPECT_EQ(a.windowWidth, 94 + 449 + 10);
    EXPECT_EQ(a.windowHeight, 242 + 157 + 107);
}

} // namespace
