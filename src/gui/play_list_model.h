#pragma once
// The play list as a table: one row per play-list row, in the order it plays (the caption with
// its type icon, name, address, size, type). Views sort through a proxy; the list keeps its
// order. Every change goes through the model, so views follow.
#include "core/song_entry.h"
#include "player/play_list.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

namespace gui {

class PlayListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Caption, Name, Address, Size, Type, ColumnCount };
    // What a sorting view compares: sizes by their value, other columns by their text.
    static constexpr int SortRole = Qt::UserRole;

    explicit PlayListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const player::PlayList& list() const { return list_; }
    const std::vector<core::SongEntry>& rows() const { return list_.rows(); }
    // Appends under the type rule; the outcome says whether it did.
    player::AppendOutcome append(const std::vector<core::SongEntry>& chosen);
    void assign(std::vector<core::SongEntry> rows);
    void removeAt(int row);
    void clear();

    // The row icons, by a row's image index.
    void setIcons(const QList<QIcon>& icons);

private:
    player::PlayList list_;
    QList<QIcon> icons_;
};

} // namespace gui
