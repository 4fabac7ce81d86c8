#include "gui/play_list_view.h"

#include "gui/play_list_model.h"
#include "gui/song_list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>

#include <algorithm>

namespace gui {

using Column = PlayListModel::Column;

PlayListView::PlayListView(PlayListModel* model, QWidget* parent)
    : QTreeView(parent), model_(model), proxy_(new QSortFilterProxyModel(this))
{
    ui::setUpReportList(this);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    proxy_->setSourceModel(model);
    proxy_->setSortRole(PlayListModel::SortRole);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setDynamicSortFilter(true); // rows added later are sorted in
    setModel(proxy_);
    // Unsorted until the user clicks a header: the rows stand in the list's order.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    for (int column : {Column::Name, Column::Address})
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { noteWidths(first, last); });
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
}

void PlayListView::setImageList(const QList<QIcon>* icons)
{
    model_->setIcons(icons ? *icons : QList<QIcon>());
}

int PlayListView::rowCount() const
{
    return proxy_->rowCount();
}

int PlayListView::listRow(int viewRow) const
{
    return proxy_->mapToSource(proxy_->index(viewRow, 0)).row();
}

core::SongEntry PlayListView::rowAt(int viewRow) const
{
    const int row = listRow(viewRow);
    return row >= 0 ? model_->rows()[static_cast<size_t>(row)] : core::SongEntry();
}

void PlayListView::setRowSelected(int viewRow, bool selected)
{
    const QModelIndex index = proxy_->index(viewRow, 0);
    if (!index.isValid())
        return;
    selectionModel()->select(
        index, (selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Deselect) |
                   QItemSelectionModel::Rows);
}

std::vector<int> PlayListView::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int PlayListView::firstSelectedRow() const
{
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? -1 : rows.front();
}

void PlayListView::noteWidths(int first, int last)
{
    if (widest_.note(this, model_, first, last, Column::Name, Column::Address))
        fitColumns();
}

void PlayListView::fitColumns()
{
    ui::fitNameAndAddress(this, widest_.name, widest_.address);
}

void PlayListView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    fitColumns();
}

} // namespace gui
