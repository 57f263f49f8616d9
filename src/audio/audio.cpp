#include "audio/audio.h"

#include "audio/quiet_stderr.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRate = 44100;  // the buffers' own rate; OpenAL resamples to the device's

// A smaller rock breaks higher: its sound played faster, by the ratio of a new rock's diameter.
float break_pitch(float diameter) {
    return diameter > 0 ? std::clamp(0.2f / diameter, 0.5f, 4.0f) : 1.0f;
}

// Mono sources are panned by where they stand around the listener: x across the field, on the
// unit circle in front.
void place(ALuint source, float x) {
    const float across = std::clamp(x, -1.0f, 1.0f);
    alSource3f(source, AL_POSITION, across, 0, -std::sqrt(1 - across * across));
}

bool playing(ALuint source) {
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

}  // namespace

std::unique_ptr<Audio> Audio::open(int volume, std::FILE* err) {
    ALCdevice* device = nullptr;
    {
        QuietStderr quiet;
        device = alcOpenDevice(nullptr);
    }
    ALCcontext* context = device != nullptr ? alcCreateContext(device, nullptr) : nullptr;
    if (context == nullptr) {
        std::fprintf(err,
                     "velmora: no sound: no audio device could be opened; the game plays "
                     "silently\n");
        if (device != nullptr) {
            alcCloseDevice(device);
        }
        return std::unique_ptr<Audio>(new Audio());
    }
    return std::make_unique<Audio>(device, context, volume, kRate);
}

Audio::Audio(ALCdevice* device_, ALCcontext* context_, int volume, int rate)
    : device(device_), context(context_) {
    alcMakeContextCurrent(context);
    alListenerf(AL_GAIN, std::clamp(volume, 0, 100) / 100.0f);
    make_sounds(rate);
    alGenSources(static_cast<ALsizei>(voices.size()), voices.data());
    alGenSources(static_cast<ALsizei>(hums.size()), hums.data());
    for (const ALuint source : voices) {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    }
    for (size_t i = 0; i < hums.size(); ++i) {
        alSourcei(hums[i], AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcei(hums[i], AL_LOOPING, AL_TRUE);
        alSourcei(hums[i], AL_BUFFER,
                  static_cast<ALint>(
                      buffers[static_cast<int>(i == 0 ? Sound::kPlainHum : Sound::kAimedHum)]));
    }
}

Audio::~Audio() {
    if (device == nullptr) {
        return;
    }
    alDeleteSources(static_cast<ALsizei>(voices.size()), voices.data());
    alDeleteSources(static_cast<ALsizei>(hums.size()), hums.data());
    alDeleteBuffers(static_cast<ALsizei>(buffers.size()), buffers.data());
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
}

void Audio::make_sounds(int rate) {
    alGenBuffers(static_cast<ALsizei>(buffers.size()), buffers.data());
    for (int i = 0; i < kSoundCount; ++i) {
        const std::vector<int16_t> samples = synthesize(recipe_of(static_cast<Sound>(i)), rate);
        alBufferData(buffers[i], AL_FORMAT_MONO16, samples.data(),
                     static_cast<ALsizei>(samples.size() * sizeof(int16_t)), rate);
    }
}

void Audio::after_tick(const Game& game, bool paused, bool muted) {
    if (device == nullptr) {
        return;
    }
    if (paused || muted || !started) {
        silence();
    } else {
        play_events(game);
        hum(game);
    }
    events_seen = game.get_world().get_events().next();
    level_seen = game.get_level();
    over_seen = game.get_game_over();
}

void Audio::play_events(const Game& game) {
    game.get_world().get_events().since(events_seen, [this](const WorldEvent& e) {
        switch (e.kind) {
            case WorldEvent::kShipFired:
                play(Sound::kShipFire, e.x);
                break;
            case WorldEvent::kShipThrust:
                play(Sound::kThrust, e.x);
                break;
            case WorldEvent::kInvaderFired:
                play(e.size > 0 ? Sound::kAimedFire : Sound::kPlainFire, e.x);
                break;
            case WorldEvent::kAsteroidBroke:
                play(Sound::kRockBreak, e.x, break_pitch(e.size));
                break;
            case WorldEvent::kAsteroidDestroyed:
                play(Sound::kRockDestroyed, e.x);
                break;
            case WorldEvent::kInvaderDestroyed:
                play(Sound::kInvaderDestroyed, e.x);
                break;
            case WorldEvent::kShipHit:
                play(Sound::kShipHit, e.x);
                break;
        }
    });
    if (game.get_game_over() && !over_seen) {
        play(Sound::kGameOver);
    } else if (!game.get_game_over() && game.get_level() > level_seen) {
        play(Sound::kLevelCleared);
    }
}

void Audio::hum(const Game& game) {
    // The first invader of each kind on the field hums where it is; one that has left the
    // field is not heard, though it is still in play.
    std::array<const Invader*, 2> heard{};
    for (const Invader* invader : game.get_world().get_invaders()) {
        const Vector at = invader->get_position();
        const size_t kind = invader->target != nullptr ? 1 : 0;
        if (heard[kind] == nullptr && std::fabs(at.x) <= 1 && std::fabs(at.y) <= 1) {
            heard[kind] = invader;
        }
    }
    for (size_t kind = 0; kind < hums.size(); ++kind) {
        if (heard[kind] == nullptr) {
            alSourceStop(hums[kind]);
            continue;
        }
        place(hums[kind], heard[kind]->get_position().x);
        if (!playing(hums[kind])) {
            alSourcePlay(hums[kind]);
        }
    }
}

void Audio::play(Sound id, float x, float pitch) {
    if (device == nullptr) {
        return;
    }
    const ALuint voice = free_voice();
    alSourceStop(voice);
    alSourcei(voice, AL_BUFFER, static_cast<ALint>(buffers[static_cast<int>(id)]));
    alSourcef(voice, AL_PITCH, pitch);
    place(voice, x);
    alSourcePlay(voice);
}

ALuint Audio::free_voice() {
    for (size_t i = 0; i < voices.size(); ++i) {
        const ALuint voice = voices[(next_voice + i) % voices.size()];
        if (!playing(voice)) {
            next_voice = (next_voice + i + 1) % voices.size();
            return voice;
        }
    }
    // All sounding: the oldest gives way.
    const ALuint voice = voices[next_voice];
    next_voice = (next_voice + 1) % voices.size();
    return voice;
}

void Audio::silence() {
    // One at a time: the browser's alSourceStopv (Emscripten 3.1.6) takes source names for
    // sources and fails.
    for (const ALuint source : voices) {
        alSourceStop(source);
    }
    for (const ALuint source : hums) {
        alSourceStop(source);
    }
}

void Audio::set_volume(int volume) {
    if (context != nullptr) {
        alListenerf(AL_GAIN, std::clamp(volume, 0, 100) / 100.0f);
    }
}
