// Recorded games: a game played through a session is written as it goes, read back and replayed
// exactly; the file keeps whether a key came before or after a tick's frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/session.h"
#include "gl_recorder.h"
#include "pilot.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

// The pilot's commands as keys pressed on a session.
struct Keys {
    Session& session;
    void ship_left() { session.key('a'); }
    void ship_right() { session.key('d'); }
    void ship_shot() { session.key('q'); }
};

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// Replays `path` headless; the divergence, or "" when it went the recorded way.
std::string replayed(const std::string& path, Outcome* outcome = nullptr,
                     bool* has_summary = nullptr) {
    ReplayFile file;
    std::string error;
    if (!load_replay(path, file, error)) {
        return "unreadable: " + error;
    }
    Game game;
    Replay replay(std::move(file));
    replay.start(game);
    while (!replay.finished()) {
        replay.step(game);
    }
    if (outcome != nullptr) {
        *outcome = outcome_of(game, replay.ticks());
    }
    if (has_summary != nullptr) {
        *has_summary = replay.summary() != nullptr;
    }
    return replay.divergence();
}

class Recording : public ::testing::Test {
  protected:
    void SetUp() override {
        gl::keep_everything(false);
        std::string error;
        recorder = Recorder::open(path, error);
        ASSERT_NE(recorder, nullptr) << error;
        game.new_game(31);
        recorder->new_game(31, game);
    }
    void TearDown() override {
        gl::keep_everything(true);
        std::remove(path.c_str());
    }

    // The pilot plays: on even ticks its keys come before the tick, on odd ones between the
    // tick and its frame. A pause in the middle, which the game must not notice.
    void play(int ticks) {
        Session session(game, 31, recorder.get());
        Keys keys{session};
        for (int t = 0; t < ticks; ++t) {
            if (t % 2 == 0) {
                pilot.act(keys, game.get_world());
            }
            session.tick();
            if (t % 2 == 1) {
                pilot.act(keys, game.get_world());
            }
            session.display();
            if (t == ticks / 2) {
                session.key('p');
                session.tick();
                session.key('q');
                session.display();
                session.key('p');
            }
        }
    }

    // CTest runs the tests side by side: a file of each test's own.
    const std::string path = ::testing::TempDir() + "velmora_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                             std::to_string(getpid()) + ".replay";
    std::unique_ptr<Recorder> recorder;
    Game game;
    Pilot pilot;
};

TEST_F(Recording, ReplaysExactlyAndACutShortFileReplaysToItsLastTick) {
    play(900);
    Outcome cut;
    bool summary = true;
    EXPECT_EQ(replayed(path, &cut, &summary), "");
    EXPECT_FALSE(summary);
    EXPECT_EQ(cut.ticks, 900);

    recorder->end(game);
    Outcome outcome;
    EXPECT_EQ(replayed(path, &outcome, &summary), "");
    EXPECT_TRUE(summary);
    EXPECT_EQ(to_string(outcome), to_string(outcome_of(game, 900)));
    EXPECT_GT(outcome.score, 10);  // the pilot hit things: the game was not trivial
}

TEST_F(Recording, AKeyBeforeOrAfterTheFrameIsNotTheSameGame) {
    // Seed 7 sends a rock over the ship at the centre around tick 130. One shot fired between
    // that tick and its frame is drawn inside the rock's outline and hits it point-blank in the
    // next tick; fired after the frame, it sits that tick out and flies past.
    game.new_game(7);
    recorder->new_game(7, game);
    Session session(game, 7, recorder.get());
    for (int t = 0; t < 200; ++t) {
        session.tick();
        if (t == 130) {
            session.key('q');
        }
        session.display();
    }
    recorder->end(game);
    EXPECT_EQ(replayed(path), "");

    std::string text = read_text(path);
    const size_t at = text.find("\nk q\nd\n");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 7, "\nd\nk q\n");
    write_text(path, text);
    EXPECT_NE(replayed(path).find("at tick 132: check value"), std::string::npos);
}

TEST_F(Recording, AnAlteredSummaryIsADivergence) {
    play(60);
    recorder->end(game);
    std::string text = read_text(path);
    const size_t score = text.find("score=", text.rfind("end "));
    ASSERT_NE(score, std::string::npos);
    text.insert(score + 6, "9");
    write_text(path, text);
    EXPECT_NE(replayed(path).find("at tick 60: the recording has"), std::string::npos);
}

}  // namespace

// Games recorded by playing the real program (tests/e2e/record_replays.py): any change to how
// the game plays makes them go another way.
TEST(GoldenReplays, PlayAsRecorded) {
    for (const char* name : {"levels", "game-over", "key-before-frame"}) {
        const std::string path = std::string(VELMORA_REPLAY_DIR) + "/" + name + ".replay";
        Outcome outcome;
        bool summary = false;
        EXPECT_EQ(replayed(path, &outcome, &summary), "") << name;
        EXPECT_TRUE(summary) << name;
    }
}
