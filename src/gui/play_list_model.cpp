#include "gui/play_list_model.h"

#include "core/gbk_qt.h"

namespace gui {

PlayListModel::PlayListModel(QObject* parent) : QAbstractTableModel(parent) {}

int PlayListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

int PlayListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlayListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const core::SongEntry& row = list_.rows()[static_cast<size_t>(index.row())];
    const std::string& text =
        index.column() == Caption ? row.caption : row.sub(static_cast<size_t>(index.column() - 1));
    switch (role) {
    case Qt::DisplayRole:
        return core::fromGbk(text);
    case Qt::ToolTipRole:
        return index.column() == Name ? QVariant(core::fromGbk(text)) : QVariant();
    case Qt::DecorationRole:
        if (index.column() == Caption && row.imageIndex >= 0 && row.imageIndex < icons_.size())
            return icons_[row.imageIndex];
        return {};
    case SortRole:
        if (index.column() == Size)
            return player::sizeValue(text);
        return core::fromGbk(text);
    default:
        return {};
    }
}

QVariant PlayListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[ColumnCount] = {"", "歌手名", "下载地址", "大小", "类型"};
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::InitialSortOrderRole) // the first click on a header sorts ascending
        return static_cast<int>(Qt::AscendingOrder);
    return role == Qt::DisplayRole ? QVariant(QString::fromUtf8(captions[section])) : QVariant();
}

player::AppendOutcome PlayListModel::append(const std::vector<core::SongEntry>& chosen)
{
    const player::AppendOutcome outcome = list_.planFor(chosen);
    if (outcome != player::AppendOutcome::Append)
        return outcome;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(chosen.size()) - 1);
    list_.append(chosen);
    endInsertRows();
    return outcome;
}

void PlayListModel::assign(std::vector<core::SongEntry> rows)
{
    beginResetModel();
    list_.assign(std::move(rows));
    endResetModel();
}

void PlayListModel::removeAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    list_.removeAt(static_cast<size_t>(row));
    endRemoveRows();
}

void PlayListModel::clear()
{
    beginResetModel();
    list_.clear();
    endResetModel();
}

void PlayListModel::setIcons(const QList<QIcon>& icons)
{
    icons_ = icons;
    if (rowCount() > 0)
        emit dataChanged(index(0, Caption), index(rowCount() - 1, Caption), {Qt::DecorationRole});
}

} // namespace gui
