#include "gui/screen_adaptation.h"

#include <algorithm>

namespace ui {

namespace {
constexpr int kDesignScreenWidth = 1024;
constexpr int kDesignScreenHeight = 768;
} // namespace

int scaled(int length, const ScreenAdaptation& a)
{
    return static_cast<int>(static_cast<long long>(length) * a.scaleNumerator / a.scaleDenominator);
}

int scaledFontSize(int size, const ScreenAdaptation& a)
{
    return std::max(1, scaled(size, a));
}

ScreenAdaptation adaptToScreen(int availableWidth, int availableHeight, const DesignSizes& d)
{
    ScreenAdaptation a;
    a.windowWidth = d.windowWidth;
    a.windowHeight = d.windowHeight;
    // width / 1024 <= height / 768, compared without division.
    const bool widthDecides = static_cast<long long>(availableWidth) * kDesignScreenHeight <=
                              static_cast<long long>(availableHeight) * kDesignScreenWidth;
    const int numerator = widthDecides ? availableWidth : availableHeight;
    const int denominator = widthDecides ? kDesignScreenWidth : kDesignScreenHeight;
    if (numerator == denominator || numerator <= 0)
        return a;
    a.scale = true;
    a.scaleNumerator = numerator;
    a.scaleDenominator = denominator;
    a.windowWidth = scaled(d.panel2Width, a) + scaled(d.listView1Width, a) + 10;
    a.windowHeight = scaled(d.listView1Height, a) + scaled(d.playPanelHeight, a) +
                     scaled(d.playListViewHeight, a);
    return a;
}

} // namespace ui
