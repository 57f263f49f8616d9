// The game's sounds, made by the game itself: each is a few numbers (a waveform, a pitch that
// slides from one frequency to another, a length, a loudness and how it fades), synthesized into
// samples at start-up. No sample files.
#pragma once

#include <cstdint>
#include <vector>

enum class Sound : unsigned char {
    kShipFire,
    kPlainFire,
    kAimedFire,
    kRockBreak,      // played faster (higher) for smaller rocks
    kRockDestroyed,  // the smallest, gone whole
    kInvaderDestroyed,
    kShipHit,
    kLevelCleared,
    kGameOver,
    kThrust,
    kPlainHum,  // repeats while a plain invader is on the field
    kAimedHum,  // likewise for the aimed kind
};
constexpr int kSoundCount = 12;

enum class Wave : unsigned char { kSine, kSquare, kTriangle };

struct SoundRecipe {
    Sound id;
    Wave wave;
    float start_hz;  // the pitch slides linearly from start_hz to end_hz over the sound
    float end_hz;
    float seconds;  // how long it sounds
    float volume;   // peak level, 0 to 1
    float fade;     // 0 keeps the level to the end, 1 fades it linearly to nothing
    float repeat;   // for a repeating tone, the length of one repeat (silence after the sound);
                    // 0 for a sound played once
};

// The parameters of each sound, in the order of Sound.
const SoundRecipe& recipe_of(Sound id);

// The sound as 16-bit mono samples at `rate` samples a second: the whole sound, or one repeat.
std::vector<int16_t> synthesize(const SoundRecipe& recipe, int rate);
