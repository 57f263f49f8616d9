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
#include "replay/reader.h"
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
                     bool* has_summary = nullptr, Replay::Frames frames = Replay::Frames::kDrawn) {
    ReplayFile file;
    std::string error;
    if (!load_replay(path, file, error)) {
        return "unreadable: " + error;
    }
    Game game;
    Replay replay(std::move(file), frames);
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
    void SetUp() override { gl::keep_everything(false); }
    // Records the session's games to the test's file, the first from `seed`.
    void record(unsigned seed) {
        std::string error;
        std::unique_ptr<Recorder> recorder = Recorder::open(path, error);
        ASSERT_NE(recorder, nullptr) << error;
        session.recordings().to_file(std::move(recorder));
        session.start(seed);
    }
    void TearDown() override {
        gl::keep_everything(true);
        std::remove(path.c_str());
    }

    // The pilot plays: on even ticks its keys come before the tick, on odd ones between the
    // tick and its frame. A pause in the middle, which the game must not notice.
    void play(int ticks) {
        record(31);
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
    Game game;
    Session session{game, 31};
    Pilot pilot;
};

TEST_F(Recording, ReplaysExactlyAndACutShortFileReplaysToItsLastTick) {
    play(900);
    Outcome cut;
    bool summary = true;
    EXPECT_EQ(replayed(path, &cut, &summary), "");
    EXPECT_FALSE(summary);
    EXPECT_EQ(cut.ticks, 900);

    session.finish();
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
    record(7);
    for (int t = 0; t < 200; ++t) {
        session.tick();
        if (t == 130) {
            session.key('q');
        }
        session.display();
    }
    session.finish();
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
    session.finish();
    std::string text = read_text(path);
    const size_t score = text.find("score=", text.rfind("end "));
    ASSERT_NE(score, std::string::npos);
    text.insert(score + 6, "9");
    write_text(path, text);
    EXPECT_NE(replayed(path).find("at tick 60: the recording has"), std::string::npos);
}

}  // namespace

// Games recorded by playing the real program (tests/e2e/record_replays.py): any change to how
// the game plays makes them go another way. Replayed with their frames drawn, and unseen (as
// without a window), to the same check values.
TEST(GoldenReplays, PlayAsRecorded) {
    for (const auto frames : {Replay::Frames::kDrawn, Replay::Frames::kUnseen}) {
        for (const char* name : {"levels", "game-over", "key-before-frame"}) {
            const std::string path = std::string(VELMORA_REPLAY_DIR) + "/" + name + ".replay";
            Outcome outcome;
            bool summary = false;
            EXPECT_EQ(replayed(path, &outcome, &summary, frames), "") << name;
            EXPECT_TRUE(summary) << name;
        }
    }
}

// The same games recorded in format version 1, with the C library's math: they are still read
// and replayed. Where that math was not correctly rounded the game's own gives another last
// bit, and the replay says so: 'levels' goes another way in the check value at tick 314 (the
// ship's course, a bit apart) and still ends as it was recorded.
TEST(GoldenReplays, VersionOneRecordingsStillReplay) {
    for (const char* name : {"game-over", "key-before-frame"}) {
        const std::string path = std::string(VELMORA_REPLAY_DIR) + "/v1/" + name + ".replay";
        EXPECT_EQ(replayed(path), "") << name;
    }
    Outcome outcome;
    const std::string levels =
        replayed(std::string(VELMORA_REPLAY_DIR) + "/v1/levels.replay", &outcome);
    EXPECT_EQ(levels.rfind("at tick 314: check value d7a770ab recorded, b9d292db replayed "
                           "(a version-1 recording, made with the C library's math",
                           0),
              0u)
        << levels;
    EXPECT_EQ(to_string(outcome), "ticks=913 level=4 score=408 lives=2");
}

namespace {

// Counts the lines of `text` that start with `prefix`.
int lines_starting(const std::string& text, const std::string& prefix) {
    int n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        n += line.compare(0, prefix.size(), prefix) == 0;
    }
    return n;
}

}  // namespace

// The page keeps each game in memory: one recording a game, closed by its summary, which stops
// where the game ends and replays to the same outcome; Enter starts the next one afresh.
TEST(RecordingInMemory, OneGameEachStoppingWhereItEndsAndReplayingToItsOutcome) {
    gl::keep_everything(false);
    Game game;
    Session session(game, 7);
    session.recordings().each_game_in_memory();
    session.start(7);
    // Seed 7 with no keys loses its last life at tick 344; the frozen game ticks on.
    for (int t = 0; t < 400; ++t) {
        session.tick();
        session.display();
    }
    ASSERT_TRUE(game.get_game_over());
    const std::string text = session.recording();
    const std::string summary =
        "ticks=344 level=0 score=" + std::to_string(game.get_world().get_total_score()) +
        " lives=0";
    EXPECT_EQ(lines_starting(text, "t "), 344);
    // The game's end, then the recording's, last.
    const std::string ending = "\nover " + summary + "\nend " + summary + "\n";
    ASSERT_GT(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);

    ReplayFile file;
    std::string error;
    ASSERT_TRUE(read_replay_text(text, rand_probe(), file, error)) << error;
    Game again;
    Replay replay(std::move(file));
    replay.start(again);
    while (!replay.finished()) {
        replay.step(again);
    }
    EXPECT_EQ(replay.divergence(), "");
    EXPECT_EQ(to_string(outcome_of(again, replay.ticks())), summary);

    session.key(13);  // Enter: a new game, a new recording
    session.tick();
    const std::string next = session.recording();
    EXPECT_EQ(next.rfind("velmora-replay 2\n", 0), 0u);
    EXPECT_EQ(lines_starting(next, "seed 7 "), 1);
    EXPECT_EQ(lines_starting(next, "t "), 1);
    gl::keep_everything(true);
}

// A recording watched in a session plays to its end whatever keys arrive; then Enter plays.
TEST(RecordingInMemory, AWatchedRecordingIgnoresTheKeysUntilItEnds) {
    gl::keep_everything(false);
    ReplayFile file;
    std::string error;
    ASSERT_TRUE(
        load_replay(std::string(VELMORA_REPLAY_DIR) + "/key-before-frame.replay", file, error))
        << error;
    Game game;
    Session session(game, std::nullopt);
    session.watch(std::move(file));
    for (int t = 0; t < 191; ++t) {
        for (const unsigned char k : {'a', 'q', 'w', '\r'}) {
            session.key(k);
        }
        session.tick();
        session.display();
    }
    ASSERT_TRUE(session.replay_finished());
    EXPECT_EQ(session.replay()->divergence(), "");
    session.key(13);
    EXPECT_EQ(session.replay(), nullptr);
    EXPECT_FALSE(game.get_game_over());
    gl::keep_everything(true);
}
