// libFuzzer target: the input is a game. Its first two bytes seed the level-0 layout; each byte
// after that is either a run of ticks with keys held (high bit clear: low four bits are left,
// right, thrust and fire, the next three the number of ticks less one) or a run of ticks flown by
// the aiming pilot (high bit set: the low seven bits are the number of ticks less one), which is
// how an input reaches the later levels. Every tick is drawn, and the run aborts on a drawn
// vertex that is not finite or on a counter moving the wrong way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "gl_recorder.h"
#include "pilot.h"
#include "world_builder.h"

namespace {

// Enough for the pilot to clear a few levels, few enough to keep runs quick.
constexpr long kMaxTicks = 2000;

struct Watch {
    int score = 0;
    int lives = 3;
    int level = 0;

    void check(Game& game) {
        const UniverseG& world = GameProbe::world(game);
        const int level_now = GameProbe::level(game);
        const bool sound = gl::recording().non_finite == 0 && gl::recording().vertices > 0 &&
                           world.get_total_score() >= score && world.get_lifes() <= lives &&
                           world.get_lifes() >= 0 && level_now >= level && level_now <= 10;
        if (!sound) {
            std::abort();
        }
        score = world.get_total_score();
        lives = world.get_lifes();
        level = level_now;
    }
};

// The low four bits: left, right, thrust, fire.
void press(Game& game, uint8_t keys) {
    if (keys & 0x01) {
        game.ship_left();
    }
    if (keys & 0x02) {
        game.ship_right();
    }
    if (keys & 0x04) {
        game.ship_up();
    }
    if (keys & 0x08) {
        game.ship_shot();
    }
}

void tick(Game& game, Watch& watch) {
    game.update();
    gl::reset();
    game.draw();
    watch.check(game);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gl::keep_everything(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    auto game = std::make_unique<Game>();
    replay_level_zero(GameProbe::world(*game), data[0] | data[1] << 8);
    Watch watch;
    Pilot pilot;
    long ticks = 0;
    for (size_t i = 2; i < size && ticks < kMaxTicks; ++i) {
        const uint8_t b = data[i];
        const bool flown = (b & 0x80) != 0;
        const int run = flown ? (b & 0x7f) + 1 : ((b >> 4) & 0x07) + 1;
        for (int t = 0; t < run; ++t, ++ticks) {
            if (flown) {
                pilot.act(*game, GameProbe::world(*game));
            } else {
                press(*game, b);
            }
            tick(*game, watch);
        }
    }
    return 0;
}
