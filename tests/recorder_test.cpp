// What the recorder leaves in its file, and what a replay makes of a file of two games altered
// after it was written: every recorded number is compared, where it first differs is said to
// the tick, and the summary is the recording's last.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/session.h"
#include "gl_recorder.h"
#include "replay/reader.h"
#include "replay/recorder.h"
#include "replay/replay.h"

namespace {

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RecorderFile : public ::testing::Test {
  protected:
    void SetUp() override { gl::keep_everything(false); }
    void TearDown() override {
        gl::keep_everything(true);
        std::remove(path.c_str());
    }

    void start(unsigned seed) {
        std::string error;
        std::unique_ptr<Recorder> recorder = Recorder::open(path, error);
        ASSERT_NE(recorder, nullptr) << error;
        session.recordings().to_file(std::move(recorder));
        session.start(seed);
    }
    void play(int ticks) {
        for (int t = 0; t < ticks; ++t) {
            session.tick();
            session.display();
        }
    }

    const std::string path = ::testing::TempDir() + "velmora_recorder_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                             std::to_string(getpid()) + ".replay";
    Game game;
    Session session{game, 7};
};

TEST_F(RecorderFile, ReplacesAnOlderFileAndWritesEachGamesSeedAtOnce) {
    std::ofstream(path) << std::string(3000, 'x') << "\n";
    start(7);
    // Killed now, the file would still hold the game's start.
    const std::string started = read_text(path);
    EXPECT_EQ(started.rfind("velmora-replay 2\nrand ", 0), 0u) << started;
    EXPECT_NE(started.find("\nseed 7 "), std::string::npos) << started;
    EXPECT_EQ(started.find('x'), std::string::npos) << "the older file's tail is left";
    play(3);
    session.finish();
    const std::string text = read_text(path);
    EXPECT_EQ(text.find('x'), std::string::npos);
    const std::string ending = "\nd\nend ticks=3 level=0 score=0 lives=3\n";
    ASSERT_GT(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + kFramesBeforeFirstTick + 3 * 2 + 1);
}

// Seed 7 with no keys: GAME OVER at tick 344; then Enter and ten ticks of the next game.
class TwoGames : public RecorderFile {
  protected:
    void SetUp() override {
        RecorderFile::SetUp();
        start(7);
        play(344);
        ASSERT_TRUE(game.get_game_over());
        session.key(13);
        play(10);
        session.finish();
        text = read_text(path);
    }

    // Replays `recording`; its summary's outcome goes to `summary`.
    Replay replayed(const std::string& recording, std::string* summary = nullptr) {
        ReplayFile file;
        std::string error;
        EXPECT_TRUE(read_replay_text(recording, rand_probe(), file, error)) << error;
        Replay replay(std::move(file));
        Game again;
        replay.start(again);
        while (!replay.finished()) {
            replay.step(again);
        }
        if (summary != nullptr && replay.summary() != nullptr) {
            *summary = to_string(*replay.summary());
        }
        return replay;
    }

    std::string text;
};

TEST_F(TwoGames, ReplayAsRecordedAndAreSummedUpByTheLast) {
    std::string summary;
    const Replay replay = replayed(text, &summary);
    EXPECT_EQ(replay.divergence(), "");
    EXPECT_EQ(replay.ticks(), 354);
    EXPECT_EQ(summary, "ticks=354 level=0 score=0 lives=3");
}

TEST_F(TwoGames, AnyRecordedNumberAlteredIsFoundWhereItIs) {
    // The second game's seed record, and the same with its check value's last digit changed.
    const std::string seed = text.substr(text.find("\nseed 7 ", text.find("\nover ")), 16);
    const std::string other_seed = seed.substr(0, 15) + (seed.back() == '0' ? "1" : "0");
    const struct {
        const char* what;
        std::string from, to;  // the first `from` after "\nover " becomes `to`
        const char* divergence;
        long tick;
    } cases[] = {
        {"the second game's check value", seed, other_seed, "at tick 344, new game", 344},
        {"the lives at GAME OVER", " lives=0\n", " lives=1\n", "at tick 344: the recording has",
         344},
        {"the level at GAME OVER", " level=0 ", " level=1 ", "at tick 344: the recording has", 344},
        {"the score at the end", "\nend ticks=354 level=0 score=0",
         "\nend ticks=354 level=0 score=5", "at tick 354: the recording has", 354},
    };
    for (const auto& c : cases) {
        std::string altered = text;
        const size_t at = altered.find(c.from, altered.find("\nover "));
        ASSERT_NE(at, std::string::npos) << c.what;
        altered.replace(at, c.from.size(), c.to);
        const Replay replay = replayed(altered);
        EXPECT_EQ(replay.divergence().rfind(c.divergence, 0), 0u)
            << c.what << ": " << replay.divergence();
        EXPECT_EQ(replay.divergence_tick(), c.tick) << c.what;
    }
}

}  // namespace
