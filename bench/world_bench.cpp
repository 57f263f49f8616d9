// Times one tick (UniverseG::update) and one frame (UniverseG::draw, GL calls going nowhere) on
// worlds of a few sizes: a fresh level 0, level 9, and a stress world; and, in the stress world,
// one of the pictures smooth motion draws between the frames.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/picture.h"
#include "game/game.h"
#include "math/random.h"
#include "probes.h"
#include "world_builder.h"

namespace {

float uniform(float lo, float hi) {
    return lo + (hi - lo) * (vmath::rand() % 10001) / 10000.0f;
}

// A world at the start of `level`, laid out from a fixed seed and drawn once.
std::unique_ptr<UniverseG> level_world(int level) {
    auto w = std::make_unique<UniverseG>();
    vmath::srand(1);
    WorldProbe::asteroids(*w).clear();
    w->restart(level);
    w->draw();
    return w;
}

// Rocks in the upper half, invaders across the middle and bullets in the lower half, so that
// every bullet misses and is tested against every invader and rock: the costly case. Everything
// moves slowly enough to stay in its band for 40 ticks, so the load holds between rebuilds.
void crowd(UniverseG* w, int bullets, int rocks, int invaders) {
    vmath::srand(2);
    empty_world(*w);
    w->restart(0);
    WorldProbe::asteroids(*w).clear();
    for (int i = 0; i < rocks; ++i) {
        Asteroid* rock = add_rock(*w, uniform(-0.9f, 0.9f), uniform(0.3f, 0.75f), 0.2f, 1, i);
        rock->set_velocity(uniform(-0.005f, 0.005f), uniform(-0.005f, 0.005f));
    }
    for (int i = 0; i < invaders; ++i) {
        Invader* invader = add_invader(*w, uniform(-0.9f, 0.5f), uniform(-0.3f, -0.1f));
        invader->set_velocity(0.01f, 0);
    }
    for (int i = 0; i < bullets; ++i) {
        // A push of 0.005 at most: under a thousandth of the field a tick.
        const Vector push{uniform(-0.005f, 0.005f), uniform(-0.005f, 0.005f)};
        add_bullet(*w, uniform(-0.95f, 0.95f), uniform(-0.95f, -0.45f), push, i % 2);
    }
    w->get_ship()->set_state(Ship::kInPlay);
    w->draw();
}

std::unique_ptr<UniverseG> crowded_world(int bullets, int rocks, int invaders) {
    auto w = std::make_unique<UniverseG>();
    crowd(w.get(), bullets, rocks, invaders);
    return w;
}

enum class Work { kTick, kFrame, kTickAndFrame };

// Runs `work` on the world, building it anew every 40 iterations (off the clock), before its
// bullets run out of frames, so that the load stays what it was built to be.
template <typename Build>
void run(benchmark::State& state, Work work, Build build) {
    std::unique_ptr<UniverseG> world;
    int since_built = 40;
    for (auto _ : state) {
        if (since_built == 40) {
            state.PauseTiming();
            world = build();
            since_built = 0;
            state.ResumeTiming();
        }
        if (work != Work::kFrame) {
            world->update();
        }
        if (work != Work::kTick) {
            world->draw();
        }
        ++since_built;
    }
    state.counters["bullets"] = static_cast<double>(WorldProbe::bullets(*world).size());
    state.counters["rocks"] = static_cast<double>(WorldProbe::asteroids(*world).size());
}

void BM_Level0(benchmark::State& state, Work work) {
    run(state, work, [] { return level_world(0); });
}
void BM_Level9(benchmark::State& state, Work work) {
    run(state, work, [] { return level_world(9); });
}
void BM_Stress(benchmark::State& state, Work work) {
    run(state, work, [] { return crowded_world(500, 40, 20); });
}

// A picture between two frames of the stress world, half a tick on, in the look of a phone's
// screen (lines three pixels wide, as quads) and the colour-blind palette.
void BM_StressPicture(benchmark::State& state) {
    Game game;
    crowd(&GameProbe::world(game), 500, 40, 20);
    Picture picture;
    picture.framing(game);
    game.frame_unseen();  // the frame the picture starts from, every body outlined
    picture.framed(game);
    Look look;
    look.colour_blind = true;
    look.line_px = 3;
    look.side_px = 1500;
    for (auto _ : state) {
        picture.draw(game, 0.5f, look);
    }
}
BENCHMARK(BM_StressPicture);

BENCHMARK_CAPTURE(BM_Level0, tick, Work::kTick);
BENCHMARK_CAPTURE(BM_Level0, frame, Work::kFrame);
BENCHMARK_CAPTURE(BM_Level0, tick_and_frame, Work::kTickAndFrame);
BENCHMARK_CAPTURE(BM_Level9, tick, Work::kTick);
BENCHMARK_CAPTURE(BM_Level9, frame, Work::kFrame);
BENCHMARK_CAPTURE(BM_Level9, tick_and_frame, Work::kTickAndFrame);
BENCHMARK_CAPTURE(BM_Stress, tick, Work::kTick);
BENCHMARK_CAPTURE(BM_Stress, frame, Work::kFrame);
BENCHMARK_CAPTURE(BM_Stress, tick_and_frame, Work::kTickAndFrame);

// How one tick grows with the bullets and the rocks in play (20 invaders throughout).
void BM_TickBy(benchmark::State& state) {
    const int bullets = static_cast<int>(state.range(0));
    const int rocks = static_cast<int>(state.range(1));
    run(state, Work::kTick, [=] { return crowded_world(bullets, rocks, 20); });
}
BENCHMARK(BM_TickBy)->ArgNames({"bullets", "rocks"})->ArgsProduct({{0, 100, 500, 1000}, {10, 40}});

}  // namespace

BENCHMARK_MAIN();
