// What a player hears, rendered into memory by OpenAL Soft's loopback device (no sound card
// needed): each sound as long and as high as its parameters say, and in a scripted game the
// shot's sound in the tick of the shot, the breaking rock's in the tick of the hit, silence while
// paused and while muted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/session.h"
#include "audio/loopback.h"
#include "gl_recorder.h"

namespace {

constexpr int kRate = 44100;
constexpr int kTickSamples = kRate / 20;  // 50 ms
constexpr int kSilence = 2;  // the mixer's dither: silence, 84 dB below the loudest sample

std::unique_ptr<Audio> loopback() {
    std::unique_ptr<Audio> audio = open_loopback(kRate, 100);
    EXPECT_NE(audio, nullptr) << "OpenAL Soft's loopback device is missing";
    return audio;
}

// How much of `reference` sounds from `at` in `heard`: their normalised correlation over the
// reference's length, 1 for the sound alone at any level, near 0 for other sounds.
double correlation(const std::vector<int16_t>& heard, const std::vector<int16_t>& reference,
                   size_t at) {
    double both = 0, ref = 0, got = 0;
    for (size_t i = 0; i < reference.size() && at + i < heard.size(); ++i) {
        both += static_cast<double>(heard[at + i]) * reference[i];
        ref += static_cast<double>(reference[i]) * reference[i];
        got += static_cast<double>(heard[at + i]) * heard[at + i];
    }
    return ref > 0 && got > 0 ? both / std::sqrt(ref * got) : 0;
}

// Whether `reference` starts in the first few milliseconds of `heard` (the mixer starts a sound
// a few samples into its next block): the best correlation there.
double sounds_like(const std::vector<int16_t>& heard, const std::vector<int16_t>& reference) {
    double best = 0;
    for (size_t at = 0; at < 256; ++at) {
        best = std::max(best, correlation(heard, reference, at));
    }
    return best;
}

int loudest(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (const int16_t s : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    return peak;
}

TEST(Sounds, EachIsAsLongAndAsHighAsItsParametersSay) {
    gl::keep_everything(false);
    for (int i = 0; i < kSoundCount; ++i) {
        const std::unique_ptr<Audio> audio = loopback();
        ASSERT_NE(audio, nullptr);
        const SoundRecipe& recipe = recipe_of(static_cast<Sound>(i));
        audio->play(recipe.id);
        const std::vector<int16_t> heard =
            render(*audio, static_cast<int>(kRate * (recipe.seconds + 0.2)));
        // Where it sounds: from the first to the last sample above a twentieth of its peak.
        const int peak = loudest(heard);
        ASSERT_GT(peak, 1000) << "sound " << i << " is silent";
        size_t first = 0, last = heard.size() - 1;
        while (std::abs(heard[first]) < peak / 20) {
            ++first;
        }
        while (std::abs(heard[last]) < peak / 20) {
            --last;
        }
        const double seconds = static_cast<double>(last - first) / kRate;
        // One fading to nothing drops below a twentieth at 19/20 of its length.
        const double audible =
            recipe.fade > 0.95f ? recipe.seconds * 0.95 / recipe.fade : recipe.seconds;
        EXPECT_NEAR(seconds, audible, 0.01) << "sound " << i;
        // Its pitch: a slide from start_hz to end_hz crosses zero twice a cycle, on average at
        // their mean.
        int crossings = 0;
        for (size_t k = first + 1; k <= last; ++k) {
            crossings += (heard[k - 1] < 0) != (heard[k] < 0);
        }
        const double hz = crossings / 2.0 / seconds;
        const double want = (recipe.start_hz + recipe.end_hz) / 2;
        EXPECT_NEAR(hz, want, want * 0.06) << "sound " << i;
    }
    gl::keep_everything(true);
}

// Seed 7: a shot fired before tick 20 flies round the field and breaks a rock in tick 50.
TEST(GameSound, TheShotSoundsInItsTickTheRockInTheTickItBreaksAndPausedOrMutedNothing) {
    gl::keep_everything(false);
    const std::unique_ptr<Audio> audio = loopback();
    ASSERT_NE(audio, nullptr);
    const std::vector<int16_t> fire = synthesize(recipe_of(Sound::kShipFire), kRate);
    const std::vector<int16_t> rock = synthesize(recipe_of(Sound::kRockBreak), kRate);
    Game game;
    game.new_game(7);
    Session session(game, 7);
    std::vector<std::vector<int16_t>> ticks;  // the sound of each tick
    const auto tick = [&] {
        session.tick();
        audio->after_tick(game, session.paused(), session.muted());
        ticks.push_back(render(*audio, kTickSamples));
        session.display();
    };
    for (int t = 1; t <= 60; ++t) {
        if (t == 20) {
            session.key('q');
        }
        tick();
    }
    ASSERT_EQ(game.get_world().get_total_score(), 1) << "the rock was not hit";
    for (int t = 1; t <= 60; ++t) {
        const double shot = sounds_like(ticks[t - 1], fire);
        const double broke = sounds_like(ticks[t - 1], rock);
        if (t == 20) {
            EXPECT_GT(shot, 0.7) << "the shot unheard in its tick";
        } else {
            EXPECT_LT(shot, 0.3) << "a shot heard in tick " << t;
        }
        if (t == 50) {
            EXPECT_GT(broke, 0.7) << "the rock unheard in the tick it broke";
        } else {
            EXPECT_LT(broke, 0.3) << "a rock heard in tick " << t;
        }
    }

    session.key('p');
    tick();  // whatever sounded stops
    for (int t = 0; t < 10; ++t) {
        session.key('q');  // no shot while paused, and nothing heard
        tick();
        EXPECT_LE(loudest(ticks.back()), kSilence) << "paused, tick " << t;
    }
    session.key('p');
    session.key('m');
    tick();
    for (int t = 0; t < 10; ++t) {
        session.key('q');
        tick();
        EXPECT_LE(loudest(ticks.back()), kSilence) << "muted, tick " << t;
    }
    session.key('m');
    session.key('q');
    tick();
    EXPECT_GT(sounds_like(ticks.back(), fire), 0.7) << "unmuted, the shot sounds again";
    gl::keep_everything(true);
}

}  // namespace
