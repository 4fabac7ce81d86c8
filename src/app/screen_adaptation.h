#pragma once
// How the window adapts to a screen other than the 1024-pixel-wide one it was designed for.

namespace app {

struct DesignSizes {
    int windowWidth, windowHeight;
    int panel2Width, listView1Width;                          // after scaling, for the width
    int listView1Height, playPanelHeight, playListViewHeight; // after scaling, for the height
};

struct ScreenAdaptation {
    bool scale = false;     // false: the window keeps its design size and layout
    int scaleNumerator = 1; // controls are scaled by numerator / denominator
    int scaleDenominator = 1;
    int windowWidth = 0;
    int windowHeight = 0;
};

// Integer arithmetic that truncates. Scaled sizes are computed here from the design sizes with
// the same ratio the controls are scaled by, so the result is the final window size.
ScreenAdaptation adaptToScreen(int screenWidth, int screenHeight, const DesignSizes& design);
// A length scaled as a control's position or size is.
int scaled(int length, const ScreenAdaptation& a);

} // namespace app
