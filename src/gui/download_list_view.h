#pragma once
// The download list's view: the download table model shown as a report-style list with grid
// lines, whose rows are selected several at a time. A click on a column's header sorts what the
// view shows (sizes by their value, the number column by its number, the rest as text); the
// model, like the queue under it, keeps its order. It reads its rows from the model only; rows
// come and go through the download queue. Row numbers given to and returned by the view are
// the rows as shown, unless named otherwise.
#include "core/song_entry.h"
#include "download/download_queue.h"

#include "gui/song_list_view.h"

#include <QIcon>
#include <QList>
#include <QTreeView>
#include <vector>

class QSortFilterProxyModel;

namespace gui {

class DownloadTableModel;

class DownloadListView : public QTreeView {
    Q_OBJECT
public:
    explicit DownloadListView(QWidget* parent = nullptr);

    // Shows this model (owned by the caller); the columns are laid out for it.
    void setDownloadModel(DownloadTableModel* model);
    DownloadTableModel* downloadModel() const { return model_; }
    // The row icons, by a row's image index (copied; kept for a model set later).
    void setImageList(const QList<QIcon>* icons);

    int rowCount() const;
    // The row's own columns as shown (not the state columns).
    core::SongEntry rowAt(int index) const;
    // The queue's row as shown; `index` must be below rowCount().
    const download::QueueRow& queueRowAt(int index) const;
    // Where the row shown at `index` stands in the model (and so in the queue, once the model
    // shows its latest change); -1 when no row is shown there.
    int queueIndexAt(int index) const;
    // Selects the row that stands at queueIndex in the model, wherever it is shown.
    void setQueueRowSelected(int queueIndex, bool selected);
    // A cell's text as shown.
    QString cellText(int row, int column) const;
    // Where the whole row is drawn, in the viewport.
    QRect rowRect(int index) const;

    void setRowSelected(int index, bool selected);
    std::vector<int> selectedRows() const; // in list order
    int firstSelectedRow() const;          // -1 when none

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void noteWidths(int first, int last);
    void fitColumns();
    DownloadTableModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr; // what the view shows
    QList<QIcon> icons_;
    ui::WidestTexts widest_; // of the rows' names and addresses
};

} // namespace gui
