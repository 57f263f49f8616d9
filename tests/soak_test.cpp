// Long games with two players, checking every tick that nothing the game draws or counts goes
// wrong. VELMORA_SOAK_TICKS (default 100000) and VELMORA_SOAK_SEEDS (default 2) set the length;
// `make soak` runs it longer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <numeric>
#include <string>

#include "gl_recorder.h"
#include "pilot.h"
#include "world_builder.h"

namespace {

long setting(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::strtol(value, nullptr, 10) : fallback;
}

// Presses random keys, the four commands and a few that must do nothing, several a tick.
class RandomKeys {
  public:
    explicit RandomKeys(unsigned seed) : state(seed * 2654435761u + 1) {}

    // Returns how many shots it asked for.
    int act(Game& game) {
        int shots = 0;
        const int presses = next() % 4;
        for (int i = 0; i < presses; ++i) {
            switch (next() % 6) {
                case 0:
                    game.ship_left();
                    break;
                case 1:
                    game.ship_right();
                    break;
                case 2:
                    game.ship_up();
                    break;
                case 3:
                    game.ship_shot();
                    ++shots;
                    break;
                default:  // a key the game ignores
                    break;
            }
        }
        return shots;
    }

  private:
    // Its own generator, so the keys do not disturb the game's rand() sequence.
    unsigned next() {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    }
    unsigned state;
};

struct Soak {
    long ticks = 0;
    long games = 0;
    long levels_cleared = 0;
    long max_bullets = 0;
};

// Plays games back to back for `ticks` ticks, checking the invariants after every tick.
template <typename Player>
void soak(unsigned seed, long ticks, Player&& play, Soak& out) {
    gl::keep_everything(false);
    std::unique_ptr<Game> game;
    int score = 0, lives = 0, level = 0;
    std::deque<long> made;  // upper bound of bullets made in each of the last 50 ticks
    while (out.ticks < ticks) {
        if (game == nullptr || GameProbe::game_over(*game) == 1) {
            if (game != nullptr) {
                out.levels_cleared += GameProbe::level(*game);
            }
            game = std::make_unique<Game>();
            replay_level_zero(GameProbe::world(*game), seed * 7919u + out.games);
            ++out.games;
            score = 0;
            lives = 3;
            level = 0;
            made.clear();
        }
        UniverseG& world = GameProbe::world(*game);
        const long invaders = static_cast<long>(WorldProbe::invaders(world).size());
        const int shots = play(*game, world);
        game->update();
        gl::reset();
        game->draw();
        ++out.ticks;

        ASSERT_GT(gl::recording().vertices, 0);
        ASSERT_EQ(gl::recording().non_finite, 0) << "seed " << seed << " tick " << out.ticks;
        ASSERT_GE(world.get_total_score(), score) << "tick " << out.ticks;
        ASSERT_LE(world.get_lifes(), lives) << "tick " << out.ticks;
        ASSERT_GE(world.get_lifes(), 0);
        ASSERT_GE(GameProbe::level(*game), level);
        ASSERT_LE(GameProbe::level(*game), 10);
        score = world.get_total_score();
        lives = world.get_lifes();
        level = GameProbe::level(*game);

        // The work of a tick stays bounded: the stars are a fixed 200, and each of the level's
        // rocks breaks into at most four pieces alive at once (0.2 -> 0.12 + 0.08 or 0.1 + 0.1,
        // and only pieces above 0.08 break again).
        ASSERT_EQ(WorldProbe::particles(world).size(), 200u) << "tick " << out.ticks;
        ASSERT_LE(WorldProbe::asteroids(world).size(), 4u * (level + 2)) << "tick " << out.ticks;

        // A bullet lives for 50 frames: every one in play was made within the last 50 ticks,
        // by a shot of the ship or by an invader (at most one each a tick, two of them new).
        made.push_back(shots + invaders + 2);
        if (made.size() > 50) {
            made.pop_front();
        }
        const long bound = std::accumulate(made.begin(), made.end(), 0L);
        const long bullets = static_cast<long>(WorldProbe::bullets(world).size());
        ASSERT_LE(bullets, bound) << "tick " << out.ticks;
        out.max_bullets = std::max(out.max_bullets, bullets);
    }
    gl::keep_everything(true);
}

class SoakTest : public ::testing::TestWithParam<int> {
  protected:
    void report(const Soak& s) {
        RecordProperty("ticks", std::to_string(s.ticks));
        RecordProperty("games", std::to_string(s.games));
        std::printf("seed %d: %ld ticks, %ld games, %ld levels cleared, at most %ld bullets\n",
                    GetParam(), s.ticks, s.games, s.levels_cleared, s.max_bullets);
    }
    const long ticks = setting("VELMORA_SOAK_TICKS", 100000);
};

TEST_P(SoakTest, RandomKeys) {
    RandomKeys keys(GetParam());
    Soak s;
    soak(
        GetParam(), ticks, [&keys](Game& game, UniverseG&) { return keys.act(game); }, s);
    report(s);
    EXPECT_GT(s.games, 1);
}

TEST_P(SoakTest, AimingPilot) {
    Pilot pilot;
    Soak s;
    auto play = [&pilot](Game& game, UniverseG& world) {
        const size_t before = WorldProbe::bullets(world).size();
        pilot.act(game, world);
        return static_cast<int>(WorldProbe::bullets(world).size() - before);
    };
    soak(GetParam(), ticks, play, s);
    report(s);
    EXPECT_GT(s.levels_cleared, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SoakTest,
                         ::testing::Range(1,
                                          1 + static_cast<int>(setting("VELMORA_SOAK_SEEDS", 2))));

}  // namespace
