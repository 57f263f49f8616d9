// A whole game from a fixed seed, played by the scripted pilot through the game's own tick and
// frame, checking score and lives as it goes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gl_recorder.h"
#include "pilot.h"
#include "world_builder.h"

namespace {

TEST(Pilot, ClearsTwoLevelsFromAFixedSeed) {
    Game game;
    UniverseG& world = GameProbe::world(game);
    replay_level_zero(world, 5);
    Pilot pilot;
    int score = world.get_total_score();
    int lives = world.get_lifes();
    int tick = 0;
    for (; tick < 20000 && GameProbe::level(game) < 2; ++tick) {
        pilot.act(game, world);
        game.update();
        gl::reset();  // keep the recording small: only the last frame is kept
        game.draw();
        ASSERT_GE(world.get_total_score(), score) << "tick " << tick;
        ASSERT_LE(world.get_lifes(), lives) << "tick " << tick;
        ASSERT_GE(world.get_lifes(), lives - 1) << "at most one life a tick";
        score = world.get_total_score();
        lives = world.get_lifes();
        ASSERT_EQ(GameProbe::game_over(game), 0) << "lost at tick " << tick;
    }
    EXPECT_EQ(GameProbe::level(game), 2) << "after " << tick << " ticks";
    // Levels 0 and 1 hold 2 + 3 asteroids of score 1; each splits into pieces worth more.
    EXPECT_GE(score, 5 * 3);
    EXPECT_EQ(world.get_asteroids().size(), 4u);  // level 2 just set up
    RecordProperty("ticks", tick);
    RecordProperty("score", score);
}

}  // namespace
