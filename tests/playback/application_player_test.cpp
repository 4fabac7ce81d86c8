// The program's one player and its views: a view's list plays once the view takes the player,
// another view's list replaces it, a view that goes stops what it plays; and the way back to
// the entry before.
#include "player/playback/application_player.h"
#include "support/encoded_media.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using State = playback::PlaybackEngine::State;

class ApplicationPlayerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<playback::ApplicationPlayer> player;

    void SetUp() override
    {
        playback::EngineOptions options;
        options.forceSilent = true;
        player = std::make_unique<playback::ApplicationPlayer>(options);
    }
    QString song(const QString& name)
    {
        static const std::string mp3 = testsupport::encodedTone(testsupport::Tone::Mp3, 20);
        const QString path = dir.path() + "/" + name;
        std::ofstream(path.toStdString(), std::ios::binary) << mp3;
        return "file://" + path;
    }
    bool playing(int index)
    {
        return QTest::qWaitFor(
            [&] {
                return player->engine().state() == State::Playing &&
                       player->engine().index() == index;
            },
            20000);
    }
};

TEST_F(ApplicationPlayerTest, OneViewPlaysAtATimeAndAViewThatGoesStopsItsSound)
{
    const auto page = player->newView();
    const auto card = player->newView();
    ASSERT_NE(page, card);
    QSignalSpy holders(player.get(), &playback::ApplicationPlayer::holderChanged);

    player->take(page, {{song("a.mp3"), {}, {}}, {song("b.mp3"), {}, {}}});
    player->engine().play();
    ASSERT_TRUE(playing(0));
    // Taking again what the view holds changes nothing.
    player->take(page, {});
    EXPECT_EQ(player->engine().entries().size(), 2u);
    EXPECT_EQ(holders.count(), 1);

    player->take(card, {{song("c.mp3"), {}, {}}});
    EXPECT_EQ(player->holder(), card);
    EXPECT_EQ(player->engine().state(), State::Idle);
    ASSERT_EQ(player->engine().entries().size(), 1u);
    EXPECT_TRUE(player->engine().entries()[0].address.endsWith("c.mp3"));
    ASSERT_EQ(holders.count(), 2);
    EXPECT_EQ(holders.last().at(0).toULongLong(), page);

    // The page goes while the card holds the player: the card plays on.
    player->engine().play();
    ASSERT_TRUE(playing(0));
    player->release(page);
    EXPECT_EQ(player->engine().state(), State::Playing);
    player->release(card);
    EXPECT_EQ(player->holder(), playback::ApplicationPlayer::kNoView);
    EXPECT_EQ(player->engine().state(), State::Idle);
    EXPECT_TRUE(player->engine().entries().empty());
}

TEST_F(ApplicationPlayerTest, PreviousGoesBackOneEntryAndNotBeforeTheFirst)
{
    player->take(player->newView(),
                 {{song("a.mp3"), {}, {}}, {song("b.mp3"), {}, {}}, {song("c.mp3"), {}, {}}});
    playback::PlaybackEngine& engine = player->engine();
    engine.previous(); // nothing plays yet: nothing before
    EXPECT_EQ(engine.state(), State::Idle);
    engine.play();
    ASSERT_TRUE(playing(0));
    engine.previous();
    EXPECT_EQ(engine.index(), 0);
    engine.next();
    engine.next();
    ASSERT_TRUE(playing(2));
    engine.pause();
    engine.previous(); // the song before is to be heard, not waiting paused
    EXPECT_TRUE(playing(1));
    // After the list has ended, the way back leads to its last entry.
    engine.next();
    engine.next();
    ASSERT_EQ(engine.state(), State::Ended);
    engine.previous();
    EXPECT_TRUE(playing(2));
}

} // namespace
