#include "gui/song_list_view.h"

#include "core/gbk_qt.h"
#include "core/size_text.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QPalette>
#include <QResizeEvent>
#include <algorithm>

namespace ui {
namespace {
constexpr int kBytesRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kSubCountRole = Qt::UserRole + 3;
constexpr int kMd5Role = Qt::UserRole + 4;
constexpr int kSizeBytesRole = Qt::UserRole + 5;
constexpr int kSecondsRole = Qt::UserRole + 6;
constexpr int kNameColumn = 1;    // sub-item 0
constexpr int kAddressColumn = 2; // sub-item 1

void setCell(QTreeWidgetItem* item, int column, const std::string& gbk)
{
    item->setText(column, core::fromGbk(gbk));
    item->setData(column, kBytesRole, QByteArray(gbk.data(), static_cast<qsizetype>(gbk.size())));
}

std::string cell(const QTreeWidgetItem* item, int column)
{
    QByteArray bytes = item->data(column, kBytesRole).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

constexpr int kSizeColumn = static_cast<int>(core::SubItem::SizeText) + 1;

// A row that sorts its size column by value and numbers by number.
class SongItem : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == kSizeColumn) {
            const std::optional<double> mine = core::sizeTextBytes(cell(this, column));
            const std::optional<double> theirs = core::sizeTextBytes(cell(&other, column));
            if (mine || theirs) // a row without a size comes first
                return mine.value_or(-1) < theirs.value_or(-1);
        }
        bool mineIsNumber = false;
        bool theirsIsNumber = false;
        const double mine = text(column).toDouble(&mineIsNumber);
        const double theirs = other.text(column).toDouble(&theirsIsNumber);
        if (mineIsNumber && theirsIsNumber)
            return mine < theirs;
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};
} // namespace

void setUpReportList(QTreeView* list)
{
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(true);
    // The selection stays visible when the list loses the focus.
    QPalette colours = list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    list->setPalette(colours);
}

void showGridLines(QTreeView* list, bool on)
{
    // A style on the items replaces the selection's look too, so it is restated here.
    list->setStyleSheet(on ? "QTreeView::item { border-right: 1px solid #c8d0dc; border-bottom: "
                             "1px solid #c8d0dc; }"
                             "QTreeView::item:selected { background: #3d6fb3; color: white; }"
                           : QString());
}

int cellWidth(const QTreeView* list, const QString& text)
{
    // The text and the cell's margins, as the contents-sized columns measure them.
    constexpr int kCellMargins = 16;
    return list->fontMetrics().horizontalAdvance(text) + kCellMargins;
}

void fitNameAndAddress(QTreeView* list, int widestName, int widestAddress)
{
    QHeaderView* header = list->header();
    const int columns = header->count();
    const auto sized = [&](int column) {
        return columns > column + 1 &&
               header->sectionResizeMode(column) == QHeaderView::Interactive;
    };
    const int width = list->viewport()->width();
    if (sized(kNameColumn)) {
        const int wanted = std::max(widestName, header->sectionSizeHint(kNameColumn));
        list->setColumnWidth(kNameColumn, std::min(wanted, width / 2));
    }
    if (sized(kAddressColumn)) {
        // The address takes what the other columns leave, so size and type stay in view.
        int others = 0;
        for (int column = 0; column < columns; ++column)
            if (column != kAddressColumn)
                others += column + 1 == columns ? header->sectionSizeHint(column)
                                                : header->sectionSize(column);
        const int wanted = std::max(widestAddress, header->sectionSizeHint(kAddressColumn));
        list->setColumnWidth(kAddressColumn, std::min(wanted, std::max(width - others, width / 4)));
    }
}

bool WidestTexts::note(const QTreeView* list, const QAbstractItemModel* model, int first, int last,
                       int nameColumn, int addressColumn)
{
    const int before = name + address;
    const auto text = [model](int row, int column) {
        return model->index(row, column).data().toString();
    };
    for (int row = first; row <= last && row < model->rowCount(); ++row) {
        name = std::max(name, cellWidth(list, text(row, nameColumn)));
        address = std::max(address, cellWidth(list, text(row, addressColumn)));
    }
    return name + address != before;
}

SongListView::SongListView(QWidget* parent) : QTreeWidget(parent)
{
    setUpReportList(this);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        std::vector<bool> now(static_cast<size_t>(rowCount()));
        for (int i = 0; i < rowCount(); ++i)
            now[static_cast<size_t>(i)] = topLevelItem(i)->isSelected();
        std::vector<bool> before = lastSelection_;
        before.resize(now.size(), false);
        lastSelection_ = now;
        for (size_t i = 0; i < now.size(); ++i)
            if (now[i] != before[i])
                emit rowSelectionChanged(static_cast<int>(i), now[i]);
    });
}

void SongListView::setSortable(bool sortable)
{
    header()->setSectionsClickable(sortable);
    if (!sortable) {
        setSortingEnabled(false);
        header()->setSortIndicatorShown(false);
        return;
    }
    // The rows keep the order they came in until the user asks for another.
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (isSortingEnabled())
            return; // the header turns the order round itself
        header()->setSortIndicator(column, Qt::AscendingOrder);
        header()->setSortIndicatorShown(true);
        setSortingEnabled(true);
    });
    // A sort moves the selected rows: what each index had selected is taken anew, without
    // reporting it as a change of selection.
    connect(model(), &QAbstractItemModel::layoutChanged, this, [this] { noteSelection(); });
}

void SongListView::noteSelection()
{
    lastSelection_.assign(static_cast<size_t>(rowCount()), false);
    for (int i = 0; i < rowCount(); ++i)
        lastSelection_[static_cast<size_t>(i)] = topLevelItem(i)->isSelected();
}

void SongListView::setColumnCaptions(const QStringList& captions)
{
    setColumnCount(static_cast<int>(captions.size()));
    setHeaderLabels(captions);
    // The last column stretches as it is.
    for (int column : {kNameColumn, kAddressColumn})
        if (columnCount() > column + 1)
            header()->setSectionResizeMode(column, QHeaderView::Interactive);
    fitColumns();
}

void SongListView::noteWidths(QTreeWidgetItem* item)
{
    const QString name = item->text(kNameColumn);
    item->setToolTip(kNameColumn, name);
    widestName_ = std::max(widestName_, cellWidth(this, name));
    widestAddress_ = std::max(widestAddress_, cellWidth(this, item->text(kAddressColumn)));
}

void SongListView::fitColumns()
{
    fitNameAndAddress(this, widestName_, widestAddress_);
}

void SongListView::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    fitColumns();
}

void SongListView::setImageList(const QList<QIcon>* icons)
{
    icons_ = icons;
}

void SongListView::setMultiSelect(bool multi)
{
    setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                           : QAbstractItemView::SingleSelection);
}

void SongListView::setGridLines(bool on)
{
    showGridLines(this, on);
}

int SongListView::rowCount() const
{
    return topLevelItemCount();
}

void SongListView::appendRow(const core::SongEntry& row)
{
    auto* item = new SongItem;
    setCell(item, 0, row.caption);
    item->setData(0, kImageRole, row.imageIndex);
    item->setData(0, kSubCountRole, static_cast<int>(row.subItems.size()));
    item->setData(0, kMd5Role, QString::fromStdString(row.md5));
    item->setData(0, kSizeBytesRole, static_cast<qlonglong>(row.sizeBytes));
    item->setData(0, kSecondsRole, row.seconds);
    for (size_t i = 0; i < row.subItems.size(); ++i)
        setCell(item, static_cast<int>(i) + 1, row.subItems[i]);
    refreshIcon(item);
    addTopLevelItem(item);
    lastSelection_.resize(static_cast<size_t>(rowCount()), false);
    // Sorted in at once: the list would otherwise sort it when the event loop next runs, and an
    // index taken meanwhile would name another row afterwards.
    if (isSortingEnabled()) {
        sortItems(sortColumn(), header()->sortIndicatorOrder());
        noteSelection();
    }
    if (!row.subItems.empty()) {
        const int before = widestName_ + widestAddress_;
        noteWidths(item);
        if (widestName_ + widestAddress_ != before)
            fitColumns();
    }
}

core::SongEntry SongListView::rowAt(int index) const
{
    core::SongEntry row;
    const QTreeWidgetItem* item = topLevelItem(index);
    if (!item)
        return row;
    row.caption = cell(item, 0);
    row.imageIndex = item->data(0, kImageRole).toInt();
    const int count = item->data(0, kSubCountRole).toInt();
    for (int i = 0; i < count; ++i)
        row.subItems.push_back(cell(item, i + 1));
    row.md5 = item->data(0, kMd5Role).toString().toStdString();
    const QVariant sizeBytes = item->data(0, kSizeBytesRole);
    row.sizeBytes = sizeBytes.isValid() ? sizeBytes.toLongLong() : -1;
    const QVariant seconds = item->data(0, kSecondsRole);
    row.seconds = seconds.isValid() ? seconds.toInt() : -1;
    return row;
}

void SongListView::removeRowAt(int index)
{
    const bool selected = isRowSelected(index);
    delete takeTopLevelItem(index);
    if (index >= 0 && static_cast<size_t>(index) < lastSelection_.size())
        lastSelection_.erase(lastSelection_.begin() + index);
    if (selected)
        emit itemSelectionChanged();
}

void SongListView::clearRows()
{
    clear();
    lastSelection_.clear();
    widestName_ = 0;
    widestAddress_ = 0;
    fitColumns();
}

void SongListView::setSubItem(int row, size_t sub, const std::string& gbk)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    const int count = item->data(0, kSubCountRole).toInt();
    if (static_cast<int>(sub) >= count)
        item->setData(0, kSubCountRole, static_cast<int>(sub) + 1);
    setCell(item, static_cast<int>(sub) + 1, gbk);
    if (static_cast<int>(sub) + 1 == kNameColumn || static_cast<int>(sub) + 1 == kAddressColumn) {
        noteWidths(item);
        fitColumns();
    }
}

void SongListView::setCaption(int row, const std::string& gbk)
{
    if (QTreeWidgetItem* item = topLevelItem(row))
        setCell(item, 0, gbk);
}

bool SongListView::isRowSelected(int index) const
{
    const QTreeWidgetItem* item = topLevelItem(index);
    return item && item->isSelected();
}

void SongListView::setRowSelected(int index, bool selected)
{
    if (QTreeWidgetItem* item = topLevelItem(index))
        item->setSelected(selected);
}

std::vector<int> SongListView::selectedRows() const
{
    std::vector<int> rows;
    for (int i = 0; i < rowCount(); ++i)
        if (topLevelItem(i)->isSelected())
            rows.push_back(i);
    return rows;
}

int SongListView::firstSelectedRow() const
{
    for (int i = 0; i < rowCount(); ++i)
        if (topLevelItem(i)->isSelected())
            return i;
    return -1;
}

void SongListView::refreshIcon(QTreeWidgetItem* item)
{
    const int image = item->data(0, kImageRole).toInt();
    if (icons_ && image >= 0 && image < icons_->size())
        item->setIcon(0, icons_->at(image));
}

} // namespace ui
