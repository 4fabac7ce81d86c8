#pragma once
// A report-style list whose rows are SongEntry records. The exact bytes of every cell are kept
// beside the shown text, so a row read back is byte for byte the row put in. The name column
// fits its widest name but never takes more than half the list's width; a name cut short there
// is whole in its tool tip. The address column takes what the other columns leave (at least a
// quarter of the list), so the columns after it stay in view.
#include "core/song_entry.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <type_traits>
#include <vector>

class QAbstractItemModel;
class QTreeView;

namespace ui {

// What every report-style list of the window shares: whole rows selected one at a time (lists
// that take more say so), no tree decoration, columns sized to their contents, the selection
// drawn the same with or without the focus.
void setUpReportList(QTreeView* list);
// Lines between the cells.
void showGridLines(QTreeView* list, bool on);
// Pixels a cell needs for this text, margins included.
int cellWidth(const QTreeView* list, const QString& text);
// The name column (1) fits `widestName` but takes at most half the list; the address column (2)
// takes what the others leave, at least a quarter of the list. Each only while sized by hand.
void fitNameAndAddress(QTreeView* list, int widestName, int widestAddress);
// The widest name and address among the rows of a list over a model, for fitNameAndAddress.
struct WidestTexts {
    int name = 0;
    int address = 0;
    // Takes in the model's rows first..last; true when either width grew.
    bool note(const QTreeView* list, const QAbstractItemModel* model, int first, int last,
              int nameColumn, int addressColumn);
};

class SongListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit SongListView(QWidget* parent = nullptr);

    void setColumnCaptions(const QStringList& captions);
    void setImageList(const QList<QIcon>* icons);
    void setMultiSelect(bool multi);
    void setGridLines(bool on);
    // A click on a column header sorts the rows by that column (sizes by their value, numbers by
    // number, other texts as the locale orders them); a second click turns the order round.
    // Rows added later are sorted in. Row indices then count in the order shown.
    void setSortable(bool sortable);

    int rowCount() const;
    void appendRow(const core::SongEntry& row);
    core::SongEntry rowAt(int index) const;
    void removeRowAt(int index);
    void clearRows();

    // Sub-item i is column i + 1; the caption is column 0.
    void setSubItem(int row, size_t sub, const std::string& gbk);
    template <typename Column>
    requires std::is_enum_v<Column>
    void setSubItem(int row, Column column, const std::string& gbk)
    {
        setSubItem(row, static_cast<size_t>(column), gbk);
    }
    void setCaption(int row, const std::string& gbk);

    bool isRowSelected(int index) const;
    void setRowSelected(int index, bool selected);
    std::vector<int> selectedRows() const; // in list order
    int firstSelectedRow() const;          // -1 when none

    QTreeWidgetItem* itemAtRow(int index) const { return topLevelItem(index); }

signals:
    // A row's selection changed (the list's SelectItem event).
    void rowSelectionChanged(int row, bool selected);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshIcon(QTreeWidgetItem* item);
    void noteSelection();
    void noteWidths(QTreeWidgetItem* item);
    void fitColumns();
    int widestName_ = 0;    // pixels the widest name of the rows needs
    int widestAddress_ = 0; // and the widest address
    const QList<QIcon>* icons_ = nullptr;
    std::vector<bool> lastSelection_;
};

} // namespace ui
