#pragma once
// The folder chooser: a tree of the file system's folders, the chosen path and "确定". Confirming
// either sets the download panel's save folder or, in rewrite mode, re-points the selected rows
// of the download list.
#include <QModelIndex>
#include <QWidget>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTreeView;
namespace gui {
class DownloadPanel;
}

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(gui::DownloadPanel* downloads, QWidget* parent = nullptr);

    QTreeView* ShellTreeView1 = nullptr;
    QLineEdit* pathedit = nullptr;
    QPushButton* pathbtn = nullptr;

    void ShellTreeView1Click();
    void pathbtnClick();

    // The tree's entry for a folder path (invalid when the path is not a folder).
    QModelIndex folderIndex(const QString& path) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    gui::DownloadPanel* downloads_;
    QFileSystemModel* folders_ = nullptr;
    bool shownBefore_ = false;
    QMetaObject::Connection followLoading_; // keeps the save folder in view while loading
};
