#pragma once
// Where the main window shows: on a screen smaller than its design every control and font shrinks
// by the smaller ratio, and the window is centred in the screen's available area, once more when
// the window system has given it its frame.
#include "gui/screen_adaptation.h"

class QMainWindow;

namespace ui {

// Scales the client area and its controls to the screen the window is on (when it is smaller
// than the design) and centres the window. Returns what was decided.
ScreenAdaptation fitToScreen(QMainWindow* window, const DesignSizes& design);
// Centres the window, its frame counted, in the available area of its screen.
void centreOnScreen(QMainWindow* window);
// Centres the window again when it first shows and when it is first exposed with its frame.
void centreWhenShown(QMainWindow* window);

} // namespace ui
