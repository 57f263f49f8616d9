// Recordings that replay whatever the machine's timing: the toolkit may hand the game its ticks,
// frames, keys and pauses in any order (a slow frame lets two ticks run back to back, a key can
// fall between a tick and its frame, an expose draws an extra frame), and other code in the
// process may draw from the C library's random numbers at any moment. Every such game must
// replay to the check value of every tick it recorded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/session.h"
#include "gl_recorder.h"
#include "replay/reader.h"
#include "replay/replay.h"

namespace {

// The recording of `events` played through a session from seed 7 (t a tick, d a frame, q and a
// keys, p the pause key, r a library taking numbers from the C library), then three ordinary
// ticks so that the last events reach a tick.
std::string recording_of(const std::string& events, unsigned seed = 7) {
    Game game;
    Session session(game, seed);
    session.recordings().each_game_in_memory();
    session.start(seed);
    for (const char e : events) {
        switch (e) {
            case 't':
                session.tick();
                break;
            case 'd':
                session.display();
                break;
            case 'r':
                std::srand(static_cast<unsigned>(std::rand()));
                break;
            default:
                session.key(static_cast<unsigned char>(e));
                break;
        }
    }
    if (session.paused()) {
        session.key('p');
    }
    for (int i = 0; i < 3; ++i) {
        session.tick();
        session.display();
    }
    return session.recording();
}

// "" when the recording replays, drawn and unseen, to every check value; else what went wrong.
std::string replay_problem(const std::string& text) {
    ReplayFile file;
    std::string error;
    if (!read_replay_text(text, rand_probe(), file, error)) {
        return "unreadable: " + error;
    }
    for (const Replay::Frames frames : {Replay::Frames::kDrawn, Replay::Frames::kUnseen}) {
        Game game;
        Replay replay(file, frames);
        replay.start(game);
        while (!replay.finished()) {
            replay.step(game);
        }
        if (!replay.divergence().empty()) {
            return replay.divergence();
        }
    }
    return "";
}

class Interleaving : public ::testing::Test {
  protected:
    void SetUp() override { gl::keep_everything(false); }
    void TearDown() override { gl::keep_everything(true); }
};

TEST_F(Interleaving, EveryOrderOfTicksFramesKeysAndPausesReplays) {
    // Every sequence of four events from the start of a game: 625 of them.
    const std::string alphabet = "tdqap";
    std::string events(4, ' ');
    for (int n = 0; n < 625; ++n) {
        for (int i = 0, k = n; i < 4; ++i, k /= 5) {
            events[i] = alphabet[k % 5];
        }
        ASSERT_EQ(replay_problem(recording_of(events)), "") << "events " << events;
    }
}

TEST_F(Interleaving, AGameWhoseFramesComeLateOrNotAtAllReplays) {
    // A whole game of seed 167 to GAME OVER: rocks split, lives are lost. Frames are dropped,
    // doubled and held back, keys fall on both sides of a frame, and a library takes numbers
    // from the C library between nearly every two events.
    std::string events;
    for (int tick = 0; tick < 1500; ++tick) {
        events += tick % 7 == 3 ? "" : "d";
        events += tick % 11 == 5 ? "d" : "";
        events += tick % 9 == 0 ? "q" : "";
        events += tick % 13 == 0 ? "tr" : "";
        events += "t";
        events += tick % 17 == 2 ? "a" : "r";
    }
    const std::string text = recording_of(events, 167);
    ASSERT_NE(text.find("\nover "), std::string::npos) << text.substr(text.size() - 200);
    EXPECT_EQ(replay_problem(text), "");
}

}  // namespace
