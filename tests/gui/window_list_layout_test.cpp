// What the lists and panels do that the original window did not: result, play and card lists sort
// by a click on a column header, and a panel's controls keep their design place at the design
// size while the lists take the room a larger window gives.
#include "core/gbk.h"
#include "gui/anchor_layout.h"
#include "gui/song_list_view.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QtTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kSizeColumn = 3;

class SortedListTest : public ::testing::Test {
protected:
    ui::SongListView list;

    void SetUp() override
    {
        list.setColumnCaptions({"", "歌手名", "下载地址", "大小", "类型"});
        list.setMultiSelect(true);
        list.setSortable(true);
        list.resize(500, 300);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }
    void add(const std::string& name, const std::string& size)
    {
        list.appendRow({"", 0, {name, "http://h/" + name + ".mp3", size, "mp3"}});
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> all;
        for (int i = 0; i < list.rowCount(); ++i)
            all.push_back(list.rowAt(i).sub(core::SubItem::Name));
        return all;
    }
    void clickHeader(int column)
    {
        QHeaderView* header = list.header();
        const QPoint middle(header->sectionViewportPosition(column) +
                                header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    }
    using Names = std::vector<std::string>;
};

TEST_F(SortedListTest, SizesSortByTheirValueAndRowsAddedLaterAreSortedIn)
{
    for (const auto& [name, size] :
         {std::pair{"a", "1.5M"}, {"b", "900K"}, {"c", "12M"}, {"d", ""}})
        add(name, size);
    EXPECT_EQ(names(), (Names{"a", "b", "c", "d"})) << "the order they came in, until a click";

    clickHeader(kSizeColumn);
    EXPECT_EQ(names(), (Names{"d", "b", "a", "c"})) << "900K before 1.5M before 12M";
    add("e", "2.0M");
    EXPECT_EQ(names(), (Names{"d", "b", "a", "e", "c"}));
    EXPECT_EQ(list.rowAt(3).sub(core::SubItem::SizeText), "2.0M") << "indices count as shown";

    clickHeader(kSizeColumn);
    EXPECT_EQ(names(), (Names{"c", "e", "a", "b", "d"}));
}

TEST_F(SortedListTest, ASortMovesTheChosenRowsWithoutReportingAChangeOfSelection)
{
    for (const auto& [name, size] : {std::pair{"x", "3M"}, {"y", "1M"}, {"z", "2M"}})
        add(name, size);
    list.setRowSelected(0, true); // x
    QSignalSpy changes(&list, &ui::SongListView::rowSelectionChanged);
    clickHeader(kSizeColumn);
    EXPECT_EQ(changes.count(), 0);
    ASSERT_EQ(list.selectedRows(), std::vector<int>{2});
    EXPECT_EQ(list.rowAt(2).sub(core::SubItem::Name), "x");
    // A later choice is reported for the row the user sees.
    list.setRowSelected(0, true); // y
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(changes.at(0).at(1).toBool());
}

TEST(AnchorLayout, TheDesignHoldsAtItsSizeAndTheExtraRoomGoesWhereEachControlTakesIt)
{
    QWidget panel;
    panel.resize(300, 200);
    auto* list = new QWidget(&panel);
    list->setGeometry(10, 10, 200, 100);
    auto* button = new QWidget(&panel);
    button->setGeometry(220, 10, 60, 25);
    auto* lower = new QWidget(&panel);
    lower->setGeometry(10, 120, 200, 70);
    auto* besideLower = new QWidget(&panel); // follows the lower list's right edge
    besideLower->setGeometry(220, 170, 60, 25);
    auto* caption = new QWidget(&panel); // between the lists: follows the upper one's bottom
    caption->setGeometry(10, 112, 100, 6);
    auto* corner = new QWidget(&panel); // left of and above everything that grows
    corner->setGeometry(0, 0, 8, 8);
    gui::anchorChildren(
        &panel, {{list, {0, 1, 0, 0.5}}, {button, {1, 0, 0, 0}}, {lower, {0, 1, 0.5, 0.5}}});
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(list->geometry(), QRect(10, 10, 200, 100));
    EXPECT_EQ(lower->geometry(), QRect(10, 120, 200, 70));
    EXPECT_EQ(panel.minimumSizeHint(), QSize(300, 200));

    panel.resize(400, 300);
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(list->geometry(), QRect(10, 10, 300, 150));
    EXPECT_EQ(button->geometry(), QRect(320, 10, 60, 25));
    EXPECT_EQ(lower->geometry(), QRect(10, 170, 300, 120));
    EXPECT_EQ(besideLower->geometry(), QRect(320, 170, 60, 25));
    EXPECT_EQ(caption->geometry(), QRect(10, 162, 100, 6));
    EXPECT_EQ(corner->geometry(), QRect(0, 0, 8, 8));
}

} // namespace
