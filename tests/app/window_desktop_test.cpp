// The window on the desktop: Qt's own texts in Chinese, a name in words for every control a
// screen reader reaches, and the keyboard shortcuts.
#include "app/application.h"
#include "browser/player_test_support.h"
#include "gui/download_list_view.h"
#include "gui/download_panel.h"
#include "gui/form1.h"
#include "gui/play_list_view.h"
#include "gui/play_panel.h"
#include "gui/search_panel.h"
#include "gui/song_list_view.h"
#include "player/playback/application_player.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <gtest/gtest.h>

namespace {

TEST(QtTexts, DialogButtonsSpeakChinese)
{
    ASSERT_TRUE(app::loadQtTranslations(*QCoreApplication::instance()));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                         QDialogButtonBox::No);
    EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text().toStdString(), "确定");
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().toStdString(), "取消");
    EXPECT_TRUE(box.button(QDialogButtonBox::Yes)->text().startsWith("是"));
    EXPECT_TRUE(box.button(QDialogButtonBox::No)->text().startsWith("否"));
}

class DesktopWindowTest : public ::testing::Test {
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
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
};

bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QProgressBar*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           w->inherits("QWebEngineView");
}

// The controls the user sees now, without the parts that make up another control (a combo
// box's edit field, a list's header).
QStringList unnamedVisibleControls(QWidget* window, int& controls)
{
    QStringList unnamed;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || !isControl(w))
            continue;
        bool part = false;
        for (QWidget* up = w->parentWidget(); up && up != window; up = up->parentWidget())
            part = part || isControl(up);
        if (part)
            continue;
        ++controls;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const QString name = a ? a->text(QAccessible::Name) : QString();
        // One glyph is not a name a listener can follow.
        if (name.trimmed().size() < 2)
            unnamed << w->metaObject()->className() + QString(" ") + w->objectName() + " '" + name +
                           "'";
    }
    return unnamed;
}

TEST_F(DesktopWindowTest, EveryVisibleControlOfEveryViewHasANameInWords)
{
    for (QPushButton* view : {form->Button3, form->Button4, form->Button5}) {
        view->click();
        int controls = 0;
        const QStringList unnamed = unnamedVisibleControls(form.get(), controls);
        EXPECT_GT(controls, 10) << view->text().toStdString();
        EXPECT_TRUE(unnamed.isEmpty())
            << view->text().toStdString() << ": " << unnamed.join(", ").toStdString();
    }
    // A tool button's hint says what its name says, and the Tab key reaches it.
    EXPECT_EQ(form->searchPanel()->stopbtn->accessibleName().toStdString(), "停止搜索");
    EXPECT_EQ(form->searchPanel()->stopbtn->toolTip(),
              form->searchPanel()->stopbtn->accessibleName());
    EXPECT_EQ(form->searchPanel()->manlistbtn->accessibleName().toStdString(), "男歌手榜");
    EXPECT_TRUE(form->searchPanel()->manlistbtn->focusPolicy() & Qt::TabFocus);
}

TEST_F(DesktopWindowTest, ShortcutsReachTheSearchBoxStopTheSearchAndDeleteInTheListInFocus)
{
    form->Button3->click();
    form->playPanel()->playListView->setFocus();
    QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(form->searchPanel()->Edit1->hasFocus());
    form->playPanel()->playListView->setFocus();
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form->searchPanel()->Edit1->hasFocus());

    QSignalSpy stopped(form->searchPanel()->stopbtn, &QAbstractButton::clicked);
    QTest::keyClick(form->searchPanel()->Edit1, Qt::Key_Escape);
    EXPECT_EQ(stopped.count(), 1);

    // Delete acts on the list that has the focus only.
    QSignalSpy playDeleted(form->playPanel()->playdelbtn, &QAbstractButton::clicked);
    QTest::keyClick(form->searchPanel()->Edit1, Qt::Key_Delete);
    EXPECT_EQ(playDeleted.count(), 0);
    form->playPanel()->playListView->setFocus();
    QTest::keyClick(form->playPanel()->playListView, Qt::Key_Delete);
    EXPECT_EQ(playDeleted.count(), 1);

    form->Button4->click();
    QSignalSpy downloadDeleted(form->downloadPanel()->delbtn, &QAbstractButton::clicked);
    form->downloadPanel()->downloadlistview->setFocus();
    QTest::keyClick(form->downloadPanel()->downloadlistview, Qt::Key_Delete);
    EXPECT_EQ(downloadDeleted.count(), 1);
    EXPECT_EQ(playDeleted.count(), 1);
}

TEST_F(DesktopWindowTest, SpaceInThePlayPanelPausesAndResumesTheProgramPlayer)
{
    const QString song = dir.path() + "/song.mp3";
    QFile file(song);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(playertest::silentMp3(2000));
    file.close();
    playback::ApplicationPlayer& player = playback::ApplicationPlayer::instance();
    const auto view = player.newView();
    player.take(view, {{QUrl::fromLocalFile(song).toString(), {}, {}}});
    player.engine().play();
    using State = playback::PlaybackEngine::State;
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.engine().state() == State::Playing; }, 20000));

    form->Button3->click();
    form->playPanel()->playListView->setFocus();
    QTest::keyClick(form->playPanel()->playListView, Qt::Key_Space);
    EXPECT_EQ(player.engine().state(), State::Paused);
    QTest::keyClick(form->playPanel()->playListView, Qt::Key_Space);
    EXPECT_NE(player.engine().state(), State::Paused);
    // A focused button of the panel is pressed by Space, as ever; the player goes on.
    QSignalSpy cleared(form->playPanel()->playclear, &QAbstractButton::clicked);
    form->playPanel()->playclear->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->playPanel()->playclear, Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return cleared.count() == 1; }, 5000));
    EXPECT_NE(player.engine().state(), State::Paused);
    // Outside the play panel Space is the search box's.
    form->searchPanel()->Edit1->setFocus();
    QTest::keyClick(form->searchPanel()->Edit1, Qt::Key_Space);
    EXPECT_NE(player.engine().state(), State::Paused);
    player.release(view);
}

} // namespace
