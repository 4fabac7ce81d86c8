#pragma once
// The program's only prompts: one-sentence message boxes, the quit question, and the common
// open / save dialogs. Tests replace them through hooks, so that no modal box blocks a run.
#include <QString>
#include <functional>

class QWidget;

namespace ui {

struct DialogHooks {
    std::function<void(const QString& text)> message;  // information box with OK
    std::function<bool(const QString& text)> question; // warning box, Yes returns true
    std::function<void(const QString& text)> fatal;    // error box before the program closes
    // An open or save dialog: returns the chosen path, or an empty text for cancel; it may
    // set the dialog's filterIndex to the filter the user chose.
    std::function<QString(struct FileDialog& dialog, bool save)> file;
    // The question a save dialog asks before it replaces an existing file, after `file` chose
    // it: true for Yes. Unset, the answer is Yes. No ends the dialog as a cancel.
    std::function<bool(const QString& path)> replace;
};

DialogHooks& dialogHooks();

void showMessage(QWidget* parent, const QString& text);
bool askYesNo(QWidget* parent, const QString& text);
void showFatal(QWidget* parent, const QString& text);

// A common file dialog as the window's design keeps it: a filter text of "description|patterns"
// pairs, the selected filter, a file name kept from the last use, an initial folder.
struct FileDialog {
    QString filter;
    int filterIndex = 1; // 1-based, as the filter list counts
    QString fileName;
    QString initialDir;
    QString title;

    // Shows the dialog; true when the user confirmed, with fileName holding the choice and
    // filterIndex the filter chosen. A save dialog asks before it replaces an existing file.
    bool Execute(QWidget* parent, bool save);
};

} // namespace ui
