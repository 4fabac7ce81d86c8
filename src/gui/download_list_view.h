#pragma once
// The download list's view: the download table model shown as a report-style list with grid
// lines, whose rows are selected several at a time. It reads its rows from the model only;
// rows come and go through the download queue.
#include "core/song_entry.h"
#include "download/download_queue.h"

#include <QIcon>
#include <QList>
#include <QTreeView>
#include <vector>

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
    QList<QIcon> icons_;
    int widestName_ = 0;    // pixels the widest name of the rows needs
    int widestAddress_ = 0; // and the widest address
};

} // namespace gui
