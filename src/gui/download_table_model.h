#pragma once
// The download list as a table over the download queue: one row per queued row, its own
// columns (the caption with its type icon, name, address, size, type, save path) and then what
// the list shows of its state (状态, 速度, 剩余).
//
// The queue may change on any thread; the model changes on its own thread only. Each change of
// the queue leaves the queue's rows for the model and posts one queued call; changes that arrive
// before that call runs are applied together. Rows are matched by id: rows gone and rows new are
// removed and inserted where they stand, changed rows report dataChanged, so a view keeps its
// selection and scroll position.
#include "download/download_queue.h"
#include "download/row_state.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace gui {

class DownloadTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Caption, Name, Address, Size, Type, SavePath, State, Speed, Left, ColumnCount };
    // What a sorted view orders a column by: the size in bytes, the number column's number,
    // the shown text of the others.
    static constexpr int SortRole = Qt::UserRole + 1;

    // Shows the queue's rows and follows its changes (through its change listener, after any
    // listener it had) from now on. The queue may be destroyed before the model.
    explicit DownloadTableModel(download::DownloadQueue& queue, QObject* parent = nullptr);
    ~DownloadTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The row as shown: the queue's row as of the last change applied. `index` must be valid.
    const download::QueueRow& row(int index) const;
    // Where the row with this id is shown; -1 when it is not.
    int indexOf(std::uint64_t id) const;

    // The row icons, by a row's image index.
    void setIcons(const QList<QIcon>& icons);
    // The running rows' progress and the speeds of the last second, from the window's tick.
    void showProgress(const std::vector<download::RowProgress>& running,
                      std::map<std::uint64_t, std::int64_t> speeds);

    // Whether a change of the queue is posted and not applied yet.
    bool pending() const;
    // Applies a posted change now. On the model's thread only.
    void sync();

private:
    struct Mailbox;
    void apply(std::vector<download::QueueRow> next);
    void removeGone(const std::vector<download::QueueRow>& next);
    // False when the rows still shown are not in the queue's order (then nothing is changed).
    bool insertNew(const std::vector<download::QueueRow>& next);
    void updateChanged(std::vector<download::QueueRow>& next);
    void reindex();
    QString stateColumn(const download::QueueRow& row, int column) const;
    QVariant sortKey(const QModelIndex& index) const;

    std::shared_ptr<Mailbox> mailbox_;
    std::vector<download::QueueRow> rows_;
    std::unordered_map<std::uint64_t, int> index_; // id -> row
    std::map<std::uint64_t, download::RowProgress> running_;
    std::map<std::uint64_t, std::int64_t> speeds_;
    QList<QIcon> icons_;
};

} // namespace gui
