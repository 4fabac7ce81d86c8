#pragma once
// How the window adapts to a screen other than the 1024 x 768 one it was designed for.

namespace ui {

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

// The screen is measured by its available area (without panels and docks) in logical pixels, so a
// high-density screen counts as the size its desktop shows. The ratio is the smaller of
// width / 1024 and height / 768, so the scaled window fits both ways; at a ratio of exactly 1 the
// window keeps its design. Integer arithmetic that truncates. Scaled sizes are computed here from
// the design sizes with the same ratio the controls are scaled by, so the result is the final
// window size.
ScreenAdaptation adaptToScreen(int availableWidth, int availableHeight, const DesignSizes& design);
// A length scaled as a control's position or size is.
int scaled(int length, const ScreenAdaptation& a);
// A font size (points or pixels) scaled as the controls are; never below 1, so text stays drawn.
int scaledFontSize(int size, const ScreenAdaptation& a);

} // namespace ui
