#include "app/screen_adaptation.h"

namespace app {

int scaled(int length, const ScreenAdaptation& a)
{
    return static_cast<int>(static_cast<long long>(length) * a.scaleNumerator / a.scaleDenominator);
}

ScreenAdaptation adaptToScreen(int screenWidth, int screenHeight, const DesignSizes& d)
{
    ScreenAdaptation a;
    a.windowWidth = d.windowWidth;
    a.windowHeight = d.windowHeight;
    if (screenWidth == 1024)
        return a;
    a.scale = true;
    // The first two steps are overridden by the last two, but they are the design's steps.
    a.windowHeight = screenHeight * d.windowHeight / 768;
    a.windowWidth = screenWidth * d.windowWidth / 1024;
    a.scaleNumerator = screenWidth;
    a.scaleDenominator = 1024;
    a.windowWidth = scaled(d.panel2Width, a) + scaled(d.listView1Width, a) + 10;
    a.windowHeight = scaled(d.listView1Height, a) + scaled(d.playPanelHeight, a) +
                     scaled(d.playListViewHeight, a);
    return a;
}

} // namespace app
