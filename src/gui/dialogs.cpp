#include "gui/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace ui {

DialogHooks& dialogHooks()
{
    static DialogHooks hooks;
    return hooks;
}

void showMessage(QWidget* parent, const QString& text)
{
    if (dialogHooks().message) {
        dialogHooks().message(text);
        return;
    }
    QMessageBox::information(parent, QStringLiteral("Corvale"), text, QMessageBox::Ok);
}

bool askYesNo(QWidget* parent, const QString& text)
{
    if (dialogHooks().question)
        return dialogHooks().question(text);
    return QMessageBox::warning(parent, QStringLiteral("Corvale"), text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void showFatal(QWidget* parent, const QString& text)
{
    if (dialogHooks().fatal) {
        dialogHooks().fatal(text);
        return;
    }
    QMessageBox::critical(parent, QStringLiteral("Corvale"), text, QMessageBox::Ok);
}

namespace {
// "a|*.x;*.y|b|*.z" becomes the Qt filter list "a (*.x *.y)", "b (*.z)".
QStringList qtFilters(const QString& filter)
{
    QStringList parts = filter.split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        result << parts[i] + " (" + patterns + ")";
    }
    return result;
}
} // namespace

bool FileDialog::Execute(QWidget* parent, bool save)
{
    QString chosen;
    if (dialogHooks().file) {
        chosen = dialogHooks().file(*this, save);
        if (save && !chosen.isEmpty() && QFileInfo::exists(chosen) && dialogHooks().replace &&
            !dialogHooks().replace(chosen))
            chosen.clear();
    } else {
        QFileDialog dialog(parent, title);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        const QStringList filters = qtFilters(filter);
        dialog.setNameFilters(filters);
        if (filterIndex >= 1 && filterIndex <= filters.size())
            dialog.selectNameFilter(filters[filterIndex - 1]);
        if (!initialDir.isEmpty())
            dialog.setDirectory(initialDir);
        if (!fileName.isEmpty())
            dialog.selectFile(fileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().first();
            if (const qsizetype chosenFilter = filters.indexOf(dialog.selectedNameFilter());
                chosenFilter >= 0)
                filterIndex = static_cast<int>(chosenFilter) + 1;
        }
    }
    if (chosen.isEmpty())
        return false;
    fileName = chosen;
    return true;
}

} // namespace ui
