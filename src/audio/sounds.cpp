#include "audio/sounds.h"

#include <algorithm>
#include <cmath>

namespace {

// Each a line: the wave, the slide in Hz, the length in seconds, the level, the fade, the repeat.
// The shots are short and bright, a breaking rock a low slide, losing a life and the end of the
// game long falls; the invaders' presence a quiet blip, one pitch and pace for each kind.
const SoundRecipe kRecipes[kSoundCount] = {
    {Sound::kShipFire, Wave::kSquare, 1200, 600, 0.10f, 0.30f, 1, 0},
    {Sound::kPlainFire, Wave::kTriangle, 700, 500, 0.12f, 0.40f, 1, 0},
    {Sound::kAimedFire, Wave::kSquare, 400, 800, 0.12f, 0.25f, 1, 0},
    {Sound::kRockBreak, Wave::kTriangle, 220, 110, 0.30f, 0.60f, 1, 0},
    {Sound::kRockDestroyed, Wave::kTriangle, 900, 300, 0.12f, 0.50f, 1, 0},
    {Sound::kInvaderDestroyed, Wave::kSquare, 1000, 150, 0.40f, 0.30f, 1, 0},
    {Sound::kShipHit, Wave::kTriangle, 330, 60, 0.70f, 0.60f, 1, 0},
    {Sound::kLevelCleared, Wave::kSquare, 440, 880, 0.50f, 0.25f, 0.3f, 0},
    {Sound::kGameOver, Wave::kTriangle, 220, 55, 1.20f, 0.60f, 0.6f, 0},
    {Sound::kThrust, Wave::kTriangle, 70, 50, 0.09f, 0.50f, 1, 0},
    {Sound::kPlainHum, Wave::kSine, 520, 520, 0.08f, 0.15f, 0, 0.50f},
    {Sound::kAimedHum, Wave::kSine, 780, 780, 0.08f, 0.15f, 0, 0.35f},
};

constexpr double kTwoPi = 6.283185307179586;
constexpr double kEdge = 0.005;  // seconds of ramp at each end, so no sound starts with a click

double wave_at(Wave wave, double phase) {
    const double turn = phase - std::floor(phase);
    switch (wave) {
        case Wave::kSquare:
            return turn < 0.5 ? 1 : -1;
        case Wave::kTriangle:
            return turn < 0.5 ? 4 * turn - 1 : 3 - 4 * turn;
        default:
            return std::sin(kTwoPi * turn);
    }
}

}  // namespace

const SoundRecipe& recipe_of(Sound id) {
    return kRecipes[static_cast<int>(id)];
}

std::vector<int16_t> synthesize(const SoundRecipe& recipe, int rate) {
    const int sounding = static_cast<int>(recipe.seconds * rate);
    const int total = std::max(sounding, static_cast<int>(recipe.repeat * rate));
    std::vector<int16_t> samples(total, 0);
    double phase = 0;
    for (int i = 0; i < sounding; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double along = t / recipe.seconds;
        phase += (recipe.start_hz + (recipe.end_hz - recipe.start_hz) * along) / rate;
        const double edge = std::min({1.0, t / kEdge, (recipe.seconds - t) / kEdge});
        const double level = recipe.volume * (1 - recipe.fade * along) * edge;
        samples[i] = static_cast<int16_t>(std::lround(32767 * level * wave_at(recipe.wave, phase)));
    }
    return samples;
}
