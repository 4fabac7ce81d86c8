#include "gui/form2.h"

#include "core/gbk_qt.h"
#include "gui/download_panel.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTreeView>
#include <QVBoxLayout>

TForm2::TForm2(gui::DownloadPanel* downloads, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      downloads_(downloads)
{
    setObjectName("TForm2");
    setWindowTitle("选择保存目录");
    // Closing the main window ends the program whether or not the chooser is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setOption(QFileSystemModel::DontWatchForChanges, true);
    folders_->setReadOnly(true);
    folders_->setRootPath("/");

    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName("ShellTreeView1");
    ShellTreeView1->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column)
        ShellTreeView1->hideColumn(column);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShellTreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ShellTreeView1->expand(folders_->index("/"));

    pathedit = new QLineEdit(this);
    pathedit->setObjectName("pathedit");
    pathbtn = new QPushButton("确定", this);
    pathbtn->setObjectName("pathbtn");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(ShellTreeView1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pathedit, 1);
    bottom->addWidget(pathbtn);
    layout->addLayout(bottom);
    resize(340, 440);

    connect(ShellTreeView1, &QTreeView::clicked, this, &TForm2::ShellTreeView1Click);
    // A right click selects the folder under the pointer, as a left click does.
    connect(ShellTreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = ShellTreeView1->indexAt(at);
        if (!index.isValid())
            return;
        ShellTreeView1->setCurrentIndex(index);
        ShellTreeView1Click();
    });
    connect(pathbtn, &QPushButton::clicked, this, &TForm2::pathbtnClick);
}

QModelIndex TForm2::folderIndex(const QString& path) const
{
    const QModelIndex index = folders_->index(QDir::cleanPath(path));
    return index.isValid() && folders_->isDir(index) ? index : QModelIndex();
}

void TForm2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // Open the tree at the current save folder; its parents' entries arrive one folder at a
    // time, so the view follows each folder that finishes loading.
    if (!downloads_)
        return;
    const QString saveFolder = QDir::cleanPath(core::fromGbk(downloads_->SaveFolder));
    const QModelIndex current = folderIndex(saveFolder);
    if (!current.isValid())
        return;
    for (QModelIndex up = current.parent(); up.isValid(); up = up.parent())
        ShellTreeView1->expand(up);
    ShellTreeView1->scrollTo(current, QAbstractItemView::PositionAtCenter);
    const QString parentFolder = QFileInfo(saveFolder).path();
    followLoading_ =
        connect(folders_, &QFileSystemModel::directoryLoaded, this,
                [this, saveFolder, parentFolder](const QString& loaded) {
                    if (!parentFolder.startsWith(loaded))
                        return;
                    const QModelIndex index = folderIndex(saveFolder);
                    if (index.isValid())
                        ShellTreeView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
                    if (loaded == parentFolder)
                        disconnect(followLoading_);
                });
}

void TForm2::ShellTreeView1Click()
{
    const QModelIndexList chosen = ShellTreeView1->selectionModel()->selectedRows();
    pathedit->setText(chosen.isEmpty() ? QString() : folders_->filePath(chosen.first()));
}

void TForm2::pathbtnClick()
{
    if (downloads_)
        downloads_->folderChosen(core::toGbk(pathedit->text()));
    hide();
}
