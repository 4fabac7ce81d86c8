#pragma once
// The play list's view: the play list model shown through a sorting proxy, one row selected at
// a time. A click on a column header sorts what the view shows (sizes by their value); the
// list keeps its order for playing. Row numbers here count rows as the view shows them.
#include "core/song_entry.h"

#include "gui/song_list_view.h"

#include <QIcon>
#include <QList>
#include <QTreeView>
#include <vector>

class QSortFilterProxyModel;

namespace gui {

class PlayListModel;

class PlayListView : public QTreeView {
    Q_OBJECT
public:
    // Shows the model (owned by the caller).
    explicit PlayListView(PlayListModel* model, QWidget* parent = nullptr);

    PlayListModel* playListModel() const { return model_; }
    // The row icons, by a row's image index (copied).
    void setImageList(const QList<QIcon>* icons);

    int rowCount() const;
    core::SongEntry rowAt(int viewRow) const;
    // The list's row shown as viewRow; -1 when there is none.
    int listRow(int viewRow) const;

    void setRowSelected(int viewRow, bool selected);
    std::vector<int> selectedRows() const; // in view order
    int firstSelectedRow() const;          // -1 when none

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void noteWidths(int first, int last);
    void fitColumns();
    PlayListModel* model_;
    QSortFilterProxyModel* proxy_;
    ui::WidestTexts widest_; // of the rows' names and addresses
};

} // namespace gui
