// A game saved and restored plays on exactly as the one saved: the same check value at every
// tick after, rocks splitting by the same numbers, invaders firing on the same schedule. Bytes
// that are not a whole snapshot are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/snapshot.h"
#include "gl_recorder.h"
#include "pilot.h"
#include "replay/check_value.h"

namespace {

// Plays `ticks` ticks of `game` with the pilot firing and thrusting now and then, drawn as in a
// window; the check value after each tick.
std::vector<uint32_t> play(Game& game, int from, int ticks) {
    Pilot pilot;
    std::vector<uint32_t> checks;
    for (int t = from; t < from + ticks; ++t) {
        pilot.act(game, game.get_world());
        if (t % 9 == 0) {
            game.ship_up();
        }
        game.update();
        if (t % 7 != 3) {  // now and then a frame is missed
            game.draw_frame();
        }
        checks.push_back(check_value(game));
    }
    return checks;
}

TEST(GameSnapshot, ARestoredGamePlaysOnAsTheSavedOne) {
    gl::keep_everything(false);
    struct Case {
        unsigned seed;
        int saved_at;  // ticks played before the snapshot
    };
    for (const Case c : {Case{7, 0}, Case{7, 333}, Case{58, 120}, Case{167, 500}, Case{9, 1400}}) {
        Game played;
        played.new_game(c.seed);
        play(played, 0, c.saved_at);
        const std::string saved = GameSnapshot::save(played);
        const uint32_t check_then = check_value(played);
        const std::vector<uint32_t> went_on = play(played, c.saved_at, 600);

        Game restored;
        restored.new_game(c.seed + 1);  // another game altogether, replaced whole
        ASSERT_TRUE(GameSnapshot::restore(restored, saved)) << "seed " << c.seed;
        EXPECT_EQ(check_value(restored), check_then) << "seed " << c.seed;
        EXPECT_EQ(play(restored, c.saved_at, 600), went_on)
            << "seed " << c.seed << " saved at tick " << c.saved_at;
        EXPECT_LT(saved.size(), 28000u) << "a snapshot is a third of the memory of the game";
    }
    gl::keep_everything(true);
}

// Refused, they change nothing: the game and the random sequence stay as they were.
TEST(GameSnapshot, RefusesBytesThatAreNotAWholeSnapshotAndChangesNothing) {
    Game game;
    game.new_game(7);
    const std::string saved = GameSnapshot::save(game);
    std::string wrong_magic = saved;
    wrong_magic[0] ^= 1;
    Game other;
    other.new_game(58);
    play(other, 0, 40);
    const std::string before = GameSnapshot::save(other);
    for (const std::string& bytes :
         {std::string(), saved.substr(0, saved.size() / 2), saved + "x", wrong_magic}) {
        EXPECT_FALSE(GameSnapshot::restore(other, bytes)) << bytes.size() << " bytes";
        EXPECT_EQ(GameSnapshot::save(other), before) << bytes.size() << " bytes";
    }
}

}  // namespace
