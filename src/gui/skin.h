#pragma once
class QApplication;

namespace ui {
// One consistent look for every control of both windows.
void applySkin(QApplication& application);
} // namespace ui
