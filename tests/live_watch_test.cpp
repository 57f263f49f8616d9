// A game watched while it is played: its recording comes in pieces, and the session follows it,
// catching up with a backlog, waiting for the next piece, and ending the way the whole
// recording ends.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/session.h"
#include "gl_recorder.h"
#include "replay/replay.h"

namespace {

// The golden recording cut after ticks `cuts` (and at its end): the pieces a watcher receives.
std::vector<std::string> pieces(const std::vector<long>& cuts) {
    std::ifstream in(std::string(VELMORA_REPLAY_DIR) + "/key-before-frame.replay");
    std::vector<std::string> out(1);
    size_t next = 0;
    for (std::string line; std::getline(in, line);) {
        out.back() += line + "\n";
        if (line.rfind("t ", 0) == 0 && next < cuts.size() &&
            std::stol(line.substr(2)) == cuts[next]) {
            out.emplace_back();
            ++next;
        }
    }
    return out;
}

class LiveWatch : public ::testing::Test {
  protected:
    void SetUp() override { gl::keep_everything(false); }
    void TearDown() override { gl::keep_everything(true); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            session.tick();
            session.display();
        }
    }
    Game game;
    Session session{game, std::nullopt};
};

// Joins 60 ticks in: plays all but a second's of them at once, then a tick a tick, waits at the
// last one received, and once the rest has come and the game is over, ends as the whole
// recording ends, without a divergence.
TEST_F(LiveWatch, CatchesUpFollowsWaitsAndEndsAsTheWholeRecording) {
    const std::vector<std::string> piece = pieces({60, 80, 150});
    ASSERT_EQ(piece.size(), 4u);
    std::string error;
    session.watch_live();
    ASSERT_TRUE(session.watch_more(piece[0], error)) << error;
    ticks(1);
    EXPECT_EQ(session.replay()->ticks(), 40);
    ticks(5);
    EXPECT_EQ(session.replay()->ticks(), 45);
    ticks(30);
    EXPECT_EQ(session.replay()->ticks(), 60);  // nothing more has come: it waits
    EXPECT_FALSE(session.replay_finished());
    for (size_t i = 1; i < piece.size(); ++i) {
        ASSERT_TRUE(session.watch_more(piece[i], error)) << error;
    }
    ticks(1);
    EXPECT_EQ(session.replay()->ticks(), 191 - 20);  // 131 behind: caught up to a second's
    ticks(40);
    EXPECT_FALSE(session.replay_finished());  // played to its last record, still live
    session.live_ended();
    EXPECT_TRUE(session.replay_finished());
    EXPECT_EQ(session.replay()->divergence(), "");
    EXPECT_EQ(session.replay()->ticks(), 191);
}

// Pieces that are not the recording's next lines are refused, and nothing of them is played.
TEST_F(LiveWatch, RefusesPiecesThatDoNotFollow) {
    const std::vector<std::string> piece = pieces({60, 80});
    std::string error;
    session.watch_live();
    ASSERT_TRUE(session.watch_more(piece[0], error)) << error;
    for (const std::string& wrong :
         {piece[2], piece[1].substr(0, piece[1].size() - 1), std::string("t 61 00000000\nk x\n")}) {
        EXPECT_FALSE(session.watch_more(wrong, error)) << wrong.substr(0, 40);
        EXPECT_FALSE(error.empty());
    }
    ticks(100);
    EXPECT_EQ(session.replay()->ticks(), 60);
}

}  // namespace
