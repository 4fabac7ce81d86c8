#include "gui/download_list_view.h"

#include "gui/download_table_model.h"
#include "gui/song_list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>

#include <algorithm>

namespace gui {

using Column = DownloadTableModel::Column;

DownloadListView::DownloadListView(QWidget* parent)
    : QTreeView(parent), sorted_(new QSortFilterProxyModel(this))
{
    ui::setUpReportList(this);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui::showGridLines(this, true);
    sorted_->setSortRole(DownloadTableModel::SortRole);
    // Unsorted until a header is clicked: the rows show in the queue's order.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    header()->setSortIndicatorShown(true);
    header()->setSectionsClickable(true);
    setSortingEnabled(true);
}

void DownloadListView::setDownloadModel(DownloadTableModel* model)
{
    model_ = model;
    sorted_->setSourceModel(model);
    setModel(model ? sorted_ : nullptr);
    if (!model)
        return;
    model->setIcons(icons_);
    // Name and address fit their texts within the room there is; address and save path start
    // narrow, so a row's state shows without scrolling, and can be widened by hand. The last
    // column is sized to its text rather than to the room left.
    header()->setStretchLastSection(false);
    for (int column : {Column::Name, Column::Address, Column::SavePath})
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
    for (int column : {Column::Address, Column::SavePath})
        header()->resizeSection(column, 140);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { noteWidths(first, last); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                if (from.column() <= Column::Address && to.column() >= Column::Name)
                    noteWidths(from.row(), to.row());
            });
    const auto emptied = [this] {
        if (rowCount() > 0)
            return;
        widest_ = {};
        fitColumns();
    };
    connect(model, &QAbstractItemModel::rowsRemoved, this, emptied);
    connect(model, &QAbstractItemModel::modelReset, this, [this, emptied] {
        emptied();
        noteWidths(0, rowCount() - 1);
    });
    noteWidths(0, rowCount() - 1);
}

void DownloadListView::setImageList(const QList<QIcon>* icons)
{
    icons_ = icons ? *icons : QList<QIcon>();
    if (model_)
        model_->setIcons(icons_);
}

void DownloadListView::noteWidths(int first, int last)
{
    if (widest_.note(this, model_, first, last, Column::Name, Column::Address))
        fitColumns();
}

void DownloadListView::fitColumns()
{
    ui::fitNameAndAddress(this, widest_.name, widest_.address);
}

void DownloadListView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    fitColumns();
}

int DownloadListView::rowCount() const
{
    return model_ ? model_->rowCount() : 0;
}

core::SongEntry DownloadListView::rowAt(int index) const
{
    const int at = queueIndexAt(index);
    return at >= 0 ? model_->row(at).entry : core::SongEntry{};
}

const download::QueueRow& DownloadListView::queueRowAt(int index) const
{
    return model_->row(queueIndexAt(index));
}

int DownloadListView::queueIndexAt(int index) const
{
    if (!model_ || index < 0 || index >= rowCount())
        return -1;
    return sorted_->mapToSource(sorted_->index(index, 0)).row();
}

QString DownloadListView::cellText(int row, int column) const
{
    return model_ ? sorted_->index(row, column).data().toString() : QString();
}

QRect DownloadListView::rowRect(int index) const
{
    if (!model_)
        return {};
    return visualRect(sorted_->index(index, 0))
        .united(visualRect(sorted_->index(index, sorted_->columnCount() - 1)));
}

void DownloadListView::setRowSelected(int index, bool selected)
{
    if (!model_ || index < 0 || index >= rowCount())
        return;
    selectionModel()->select(sorted_->index(index, 0), (selected ? QItemSelectionModel::Select
                                                                 : QItemSelectionModel::Deselect) |
                                                           QItemSelectionModel::Rows);
}

void DownloadListView::setQueueRowSelected(int queueIndex, bool selected)
{
    if (!model_ || queueIndex < 0 || queueIndex >= model_->rowCount())
        return;
    setRowSelected(sorted_->mapFromSource(model_->index(queueIndex, 0)).row(), selected);
}

std::vector<int> DownloadListView::selectedRows() const
{
    std::vector<int> rows;
    if (!model_)
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int DownloadListView::firstSelectedRow() const
{
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? -1 : rows.front();
}

} // namespace gui
