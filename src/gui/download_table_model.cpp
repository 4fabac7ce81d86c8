#include "gui/download_table_model.h"

#include "core/size_text.h"

#include "core/gbk_qt.h"
#include "download/tick_report.h"

#include <QThread>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>

#include <mutex>
#include <optional>
#include <unordered_set>

namespace gui {

using download::QueueRow;

// Where the queue's listener leaves the rows for the model. Shared, so that a listener called
// after the model has gone finds it gone.
struct DownloadTableModel::Mailbox {
    std::mutex mutex;
    DownloadTableModel* model = nullptr;       // cleared when the model goes
    std::optional<std::vector<QueueRow>> rows; // the newest rows not applied yet
    std::uint64_t version = 0;                 // of the newest rows received
};

namespace {

bool sameRow(const QueueRow& a, const QueueRow& b)
{
    return a.id == b.id && a.status == b.status && a.failure == b.failure && a.entry == b.entry;
}

std::unordered_set<std::uint64_t> idsOf(const std::vector<QueueRow>& rows)
{
    std::unordered_set<std::uint64_t> ids;
    ids.reserve(rows.size());
    for (const QueueRow& row : rows)
        ids.insert(row.id);
    return ids;
}

} // namespace

DownloadTableModel::DownloadTableModel(download::DownloadQueue& queue, QObject* parent)
    : QAbstractTableModel(parent), mailbox_(std::make_shared<Mailbox>())
{
    mailbox_->model = this;
    queue.onChanged = [mailbox = mailbox_, before = queue.onChanged](
                          const std::vector<QueueRow>& rows, std::uint64_t version) {
        if (before)
            before(rows, version);
        std::lock_guard lock(mailbox->mutex);
        // Listeners on two threads may report out of order: the newest rows win.
        if (!mailbox->model || version < mailbox->version)
            return;
        mailbox->version = version;
        const bool posted = mailbox->rows.has_value();
        mailbox->rows = rows;
        if (!posted)
            QMetaObject::invokeMethod(
                mailbox->model, [model = mailbox->model] { model->sync(); }, Qt::QueuedConnection);
    };
    rows_ = queue.rows();
    reindex();
}

DownloadTableModel::~DownloadTableModel()
{
    // A listener running now finishes its post first; later ones find no model.
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->model = nullptr;
    mailbox_->rows.reset();
}

bool DownloadTableModel::pending() const
{
    std::lock_guard lock(mailbox_->mutex);
    return mailbox_->rows.has_value();
}

void DownloadTableModel::sync()
{
    Q_ASSERT(QThread::currentThread() == thread());
    std::optional<std::vector<QueueRow>> next;
    {
        std::lock_guard lock(mailbox_->mutex);
        next.swap(mailbox_->rows);
    }
    if (next)
        apply(std::move(*next));
}

void DownloadTableModel::apply(std::vector<QueueRow> next)
{
    removeGone(next);
    if (!insertNew(next)) {
        // The queue never reorders its rows; should it ever, the list is shown anew.
        beginResetModel();
        rows_ = std::move(next);
        reindex();
        endResetModel();
        return;
    }
    reindex();
    updateChanged(next);
}

void DownloadTableModel::removeGone(const std::vector<QueueRow>& next)
{
    const std::unordered_set<std::uint64_t> kept = idsOf(next);
    const auto gone = [&](int i) { return !kept.contains(rows_[static_cast<size_t>(i)].id); };
    // Runs of rows gone, from the end, so the rows before a run keep their places.
    for (int last = static_cast<int>(rows_.size()) - 1; last >= 0;) {
        if (!gone(last)) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && gone(first - 1))
            --first;
        beginRemoveRows({}, first, last);
        rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }
}

bool DownloadTableModel::insertNew(const std::vector<QueueRow>& next)
{
    const std::unordered_set<std::uint64_t> shown = idsOf(rows_);
    size_t kept = 0;
    for (const QueueRow& row : next)
        if (shown.contains(row.id) && rows_[kept++].id != row.id)
            return false;
    // Runs of new rows, inserted where they stand in the queue.
    size_t at = 0;
    for (size_t j = 0; j < next.size();) {
        if (shown.contains(next[j].id)) {
            ++at;
            ++j;
            continue;
        }
        size_t end = j;
        while (end < next.size() && !shown.contains(next[end].id))
            ++end;
        const auto first = static_cast<int>(at);
        beginInsertRows({}, first, first + static_cast<int>(end - j) - 1);
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at),
                     next.begin() + static_cast<std::ptrdiff_t>(j),
                     next.begin() + static_cast<std::ptrdiff_t>(end));
        endInsertRows();
        at += end - j;
        j = end;
    }
    return true;
}

void DownloadTableModel::updateChanged(std::vector<QueueRow>& next)
{
    // Runs of changed rows, one signal each.
    const int count = static_cast<int>(rows_.size());
    for (int i = 0; i < count;) {
        const auto changed = [&](int k) {
            return !sameRow(rows_[static_cast<size_t>(k)], next[static_cast<size_t>(k)]);
        };
        if (!changed(i)) {
            ++i;
            continue;
        }
        const int first = i;
        for (; i < count && changed(i); ++i)
            rows_[static_cast<size_t>(i)] = std::move(next[static_cast<size_t>(i)]);
        emit dataChanged(index(first, 0), index(i - 1, ColumnCount - 1));
    }
}

void DownloadTableModel::reindex()
{
    index_.clear();
    index_.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        index_[rows_[i].id] = static_cast<int>(i);
}

int DownloadTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DownloadTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const QueueRow& DownloadTableModel::row(int index) const
{
    return rows_.at(static_cast<size_t>(index));
}

int DownloadTableModel::indexOf(std::uint64_t id) const
{
    const auto it = index_.find(id);
    return it == index_.end() ? -1 : it->second;
}

void DownloadTableModel::setIcons(const QList<QIcon>& icons)
{
    icons_ = icons;
    if (!rows_.empty())
        emit dataChanged(index(0, Caption), index(rowCount() - 1, Caption), {Qt::DecorationRole});
}

void DownloadTableModel::showProgress(const std::vector<download::RowProgress>& running,
                                      std::map<std::uint64_t, std::int64_t> speeds)
{
    // Only rows that ran before or run now can show other state texts than their status's.
    std::unordered_set<std::uint64_t> touched;
    for (const auto& [id, progress] : running_)
        touched.insert(id);
    running_.clear();
    for (const download::RowProgress& p : running) {
        running_[p.rowId] = p;
        touched.insert(p.rowId);
    }
    speeds_ = std::move(speeds);
    for (std::uint64_t id : touched)
        if (const int i = indexOf(id); i >= 0)
            emit dataChanged(index(i, State), index(i, Left), {Qt::DisplayRole});
}

QString DownloadTableModel::stateColumn(const QueueRow& row, int column) const
{
    const auto p = running_.find(row.id);
    const download::RowProgress* progress = p == running_.end() ? nullptr : &p->second;
    if (column == State)
        return core::fromGbk(download::stateText(row, progress));
    const auto speed = speeds_.find(row.id);
    if (!progress || row.status != download::RowStatus::Running || speed == speeds_.end())
        return {};
    if (column == Speed)
        return core::fromGbk(download::speedText(speed->second));
    return progress->size >= 0 ? core::fromGbk(download::remainingText(
                                     progress->size - progress->done, speed->second))
                               : QString();
}

QVariant DownloadTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const QueueRow& shown = rows_[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == Caption)
            return core::fromGbk(shown.entry.caption);
        if (column <= SavePath)
            return core::fromGbk(shown.entry.sub(static_cast<size_t>(column - 1)));
        return stateColumn(shown, column);
    case Qt::DecorationRole:
        if (column == Caption && shown.entry.imageIndex >= 0 &&
            shown.entry.imageIndex < icons_.size())
            return icons_.at(shown.entry.imageIndex);
        return {};
    case SortRole:
        return sortKey(index);
    case Qt::ToolTipRole:
        // A name cut short by its column is whole in its tool tip.
        if (column == Name)
            return core::fromGbk(shown.entry.sub(core::SubItem::Name));
        return {};
    default:
        return {};
    }
}

QVariant DownloadTableModel::sortKey(const QModelIndex& index) const
{
    const core::SongEntry& entry = rows_[static_cast<size_t>(index.row())].entry;
    if (index.column() == Size)
        return static_cast<qlonglong>(
            entry.sizeBytes >= 0
                ? entry.sizeBytes
                : static_cast<std::int64_t>(
                      core::sizeTextBytes(entry.sub(core::SubItem::SizeText)).value_or(-1)));
    if (index.column() == Caption) {
        // Rows without a number come after those with one.
        char* end = nullptr;
        const long long number = std::strtoll(entry.caption.c_str(), &end, 10);
        return static_cast<qlonglong>(end == entry.caption.c_str() ? LLONG_MAX : number);
    }
    return data(index, Qt::DisplayRole);
}

QVariant DownloadTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[ColumnCount] = {
        "", "歌曲名", "下载地址", "大小", "类型", "保存地址", "状态", "速度", "剩余"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromUtf8(captions[section]);
}

} // namespace gui
