// The window grows: at its design size every control keeps its place, and a larger or maximised
// window gives the room beyond it to the lists and the shown browsers while buttons keep their
// size and everything stays inside the window.
#include "gui/anchor_layout.h"
#include "gui/card_panel.h"
#include "gui/download_list_view.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "gui/status_bar.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

class WindowLayoutTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TForm1> form;

    void SetUp() override
    {
        Form1Options options;
        options.hosts.pointAllAt("127.0.0.1:9"); // never reached: nothing is searched
        options.programFolder = dir.path().toStdString() + "/";
        form = std::make_unique<TForm1>(options);
        form->endProcess = [](int) {};
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QWidget* client() const { return form->centralWidget(); }
    // Every control the panels and the window place, with its place in the client area (the
    // parts a control places inside itself, such as a list's scroll bars, are the control's).
    std::map<QWidget*, QRect> places() const
    {
        std::map<QWidget*, QRect> all;
        for (QWidget* w : client()->findChildren<QWidget*>())
            if (dynamic_cast<gui::AnchorLayout*>(w->parentWidget()->layout()))
                all[w] = QRect(w->mapTo(client(), QPoint(0, 0)), w->size());
        return all;
    }
    // Waits until the client area has the size the window was given, and its layouts ran.
    void settle(const std::function<bool()>& done) const
    {
        ASSERT_TRUE(QTest::qWaitFor(done));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
};

TEST_F(WindowLayoutTest, TheDesignHoldsAtItsSizeAndALargerOrMaximisedWindowGivesTheListsTheRoom)
{
    const QSize design = client()->size();
    const std::map<QWidget*, QRect> atDesign = places();
    // At the design size each panel's own controls are where the panel's design puts them
    // (scaled as the window is to the screen): the room a layout gives is nothing yet.
    for (QWidget* panel :
         {static_cast<QWidget*>(form->playPanel()), static_cast<QWidget*>(form->downloadPanel()),
          static_cast<QWidget*>(form->cardPanel())}) {
        auto* layout = dynamic_cast<gui::AnchorLayout*>(panel->layout());
        ASSERT_NE(layout, nullptr) << panel->objectName().toStdString();
        EXPECT_EQ(layout->designSize(), panel->size()) << panel->objectName().toStdString();
    }
    gui::PlayPanel* play = form->playPanel();

    const struct {
        const char* name;
        std::function<void()> apply;
    } sizes[] = {
        {"larger", [&] { form->resize(form->size() + QSize(300, 200)); }},
        {"maximised", [&] { form->showMaximized(); }},
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.name);
        size.apply();
        settle([&] { return client()->width() > design.width(); });
        const QSize extra = client()->size() - design;
        ASSERT_GT(extra.width(), 0);
        ASSERT_GE(extra.height(), 0);
        const std::map<QWidget*, QRect> now = places();
        const auto grew = [&](QWidget* w) { return now.at(w).size() - atDesign.at(w).size(); };
        const auto moved = [&](QWidget* w) {
            return now.at(w).topLeft() - atDesign.at(w).topLeft();
        };

        // The lists and the panels that hold them take the room; the result list and the play
        // panel share the extra height.
        EXPECT_EQ(grew(form->searchPanel()->ListView1),
                  QSize(extra.width(), (extra.height() + 1) / 2));
        EXPECT_EQ(grew(play), QSize(extra.width(), extra.height() - (extra.height() + 1) / 2));
        EXPECT_EQ(grew(play->playListView).width(), extra.width());
        EXPECT_EQ(grew(form->Panel2), QSize(0, extra.height()));
        EXPECT_EQ(grew(form->searchPanel()->Edit1).width(), extra.width());
        // Buttons keep their size and follow the edge they stand at.
        for (QWidget* button : {static_cast<QWidget*>(form->searchPanel()->Button1),
                                static_cast<QWidget*>(form->downloadPanel()->SeSkinButton1)}) {
            EXPECT_EQ(grew(button), QSize(0, 0));
            EXPECT_EQ(moved(button), QPoint(extra.width(), 0));
        }
        EXPECT_EQ(moved(form->SeSkinStatusBar1), QPoint(0, extra.height()));
        EXPECT_EQ(grew(form->SeSkinStatusBar1), QSize(extra.width(), 0));
        // Whatever shows lies inside the window.
        for (const auto& [widget, place] : now) {
            if (widget->isVisibleTo(form.get())) {
                EXPECT_TRUE(QRect(QPoint(0, 0), client()->size()).contains(place))
                    << widget->objectName().toStdString() << " at " << place.x() << "," << place.y()
                    << " " << place.width() << "x" << place.height();
            }
        }

        // The download view: its two lists share the extra height, its memo keeps its own.
        form->Button4Click();
        QCoreApplication::processEvents();
        gui::DownloadPanel* downloads = form->downloadPanel();
        const std::map<QWidget*, QRect> view = places();
        EXPECT_EQ(view.at(downloads->downloadlistview).height() -
                      atDesign.at(downloads->downloadlistview).height(),
                  (extra.height() + 1) / 2);
        EXPECT_EQ(view.at(downloads->downinimemo).size() -
                      atDesign.at(downloads->downinimemo).size(),
                  QSize(extra.width(), 0));
        form->Button3Click();
        form->showNormal();
        form->resize(form->size() - extra);
        settle([&] { return client()->size() == design; });
        // (A hidden view is placed again when it shows.)
        for (const auto& [widget, place] : places()) {
            if (widget->isVisibleTo(form.get())) {
                EXPECT_EQ(place, atDesign.at(widget))
                    << widget->objectName().toStdString() << " ("
                    << widget->metaObject()->className()
                    << "): back at the design size, every control is where it was";
            }
        }
    }
}

} // namespace
