#include "gui/skin.h"

#include <QApplication>
#include <QFont>

namespace ui {
namespace {
const char* const kStyleSheet = R"QSS(
QMainWindow, QWidget#client { background: #eef3fa; }
QWidget#Panel1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4f7fbf, stop:1 #2f5f9f); }
QWidget#Panel1 QLabel { color: white; }
QWidget#SeSkinToolBar1, QWidget#SeSkinToolBar2, QWidget#SeSkinToolBar3 {
  background: #dbe6f4; border: 1px solid #a9bdd9; border-radius: 3px; }
QWidget#SeSkinToolBar1 { background: transparent; border: none; }
QGroupBox { background: #f6f9fd; border: 1px solid #a9bdd9; border-radius: 4px; margin-top: 16px;
  font-weight: bold; color: #2f5f9f; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; }
QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d6e2f2);
  border: 1px solid #7f9cc6; border-radius: 3px; padding: 2px 8px; color: #1d3557; }
QPushButton:hover { background: #e8f0fb; }
QPushButton:pressed { background: #c3d5ee; }
QPushButton:disabled { color: #9aa8ba; border-color: #c2cfdf; }
QPushButton:default { border: 2px solid #2f5f9f; }
QToolButton { background: transparent; border: 1px solid transparent; border-radius: 3px; color: #1d3557; }
QWidget#Panel1 QToolButton { color: white; }
QToolButton:hover { background: #c9daf1; border-color: #7f9cc6; color: #1d3557; }
QLineEdit, QPlainTextEdit, QComboBox { background: white; border: 1px solid #7f9cc6; border-radius: 2px; }
QTreeView { background: white; alternate-background-color: #f3f7fc; border: 1px solid #a9bdd9;
  selection-background-color: #3d6fb3; selection-color: white; }
QHeaderView::section { background: #dbe6f4; border: none; border-right: 1px solid #a9bdd9;
  border-bottom: 1px solid #a9bdd9; padding: 2px 4px; color: #1d3557; }
QProgressBar { background: white; border: 1px solid #7f9cc6; border-radius: 2px; text-align: center; }
QProgressBar::chunk { background: #4f9f5f; }
QWidget#statusBar { background: #dbe6f4; border-top: 1px solid #a9bdd9; }
QLabel#statusPanel { border-right: 1px solid #a9bdd9; padding-left: 3px; color: #1d3557; }
QToolTip { background: #ffffe1; color: black; border: 1px solid #7f7f7f; }
)QSS";
} // namespace

void applySkin(QApplication& application)
{
    application.setStyle("Fusion");
    application.setStyleSheet(QString::fromUtf8(kStyleSheet));
}

} // namespace ui
