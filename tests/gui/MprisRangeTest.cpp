// Numbers from the bus may be anything a client sends: the media controls
// hold them in range instead of overflowing.
#include <limits>
#include <optional>

#include <gtest/gtest.h>

#include "MprisOnPrivateBus.h"
#include "Umain/MainMpris.h"
#include "Umain/frmMain.h"
#include "WindowTest.h"

namespace {

constexpr qlonglong kMax = std::numeric_limits<qlonglong>::max();
constexpr qlonglong kMin = std::numeric_limits<qlonglong>::min();

// The real window, device and service on a bus of the test's own, with the
// tone open and stopped one second in.
class MprisRange : public WindowTest {
protected:
    void SetUp() override {
        WriteIni("[TOV]\nRSS=http://127.0.0.1:9/none\n");
        player_ = std::make_unique<TMainWindowMpris>(Main(), AppServices());
        mpris_.emplace(*player_);
        ASSERT_TRUE(mpris_->Ready());
        Main().PlayFile(TestDataFile("tone-3s.mp3"));
        Main().sbtnStopClick();
        Media().Seek(1000, false);
        ASSERT_EQ(Media().Position(), 1000);
    }
    void TearDown() override {
        mpris_.reset();
        player_.reset();
        WindowTest::TearDown();
    }

    QDBusMessage Player(const char* method, const QVariantList& args) {
        return mpris_->Client().CallPlayer(method, args);
    }

    std::unique_ptr<TMainWindowMpris> player_;
    std::optional<MprisOnPrivateBus> mpris_;
};

}  // namespace

// Seek: an offset past the end has no effect (there is no next track), one
// before the start goes to the start, at the very ends of the 64-bit range too.
TEST_F(MprisRange, SeekOffsetsAtTheEndsOfTheRangeSaturate) {
    for (const qlonglong offset : {kMax, kMax - 500000, qlonglong{2000001} * 1000}) {
        ASSERT_EQ(Player("Seek", {QVariant::fromValue(offset)}).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(Media().Position(), 1000) << offset;
    }
    Player("Seek", {QVariant::fromValue(kMin)});
    EXPECT_EQ(Media().Position(), 0);
    Player("Seek", {QVariant::fromValue(qlonglong{1500000})});
    EXPECT_EQ(Media().Position(), 1500);
    Player("Seek", {QVariant::fromValue(kMin + 1)});
    EXPECT_EQ(Media().Position(), 0);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// SetPosition outside the medium is ignored; the player itself holds a
// position beyond the device's int range at the end instead of wrapping.
TEST_F(MprisRange, SetPositionOutsideTheMediumIsIgnored) {
    const QVariant track = mpris_->Client().Metadata().value(QStringLiteral("mpris:trackid"));
    ASSERT_TRUE(track.isValid());
    for (const qlonglong position : {kMin, qlonglong{-1}, kMax, qlonglong{4000000000}}) {
        Player("SetPosition", {track, QVariant::fromValue(position)});
        EXPECT_EQ(Media().Position(), 1000) << position;
    }
    player_->SetPosition(kMax);
    EXPECT_EQ(Media().Position(), Media().Length());
    player_->SetPosition(kMin);
    EXPECT_EQ(Media().Position(), 0);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
