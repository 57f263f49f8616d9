// Audio: the game heard, through OpenAL (OpenAL Soft on the desktop, Emscripten's over WebAudio
// in the page). It watches what the game did in each tick (the world's events, the level, the
// end of the game, the invaders in play) and plays; it never writes to the game, so with sound
// or without, every tick is the same.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "audio/sounds.h"
#include "game/game.h"

class Audio {
  public:
    // The system's default device, `volume` 0 to 100. Without one (no sound card, no sound
    // server) it says so in one line on `err` and plays nothing: the game goes on silently.
    static std::unique_ptr<Audio> open(int volume, std::FILE* err);
    // On a device and context made elsewhere (a loopback device, for the tests); takes them.
    Audio(ALCdevice* device, ALCcontext* context, int volume, int rate);
    ~Audio();
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // After each tick: the sounds of what the game did since the last call. Paused or muted,
    // nothing sounds (what happened meanwhile is let go, not played later).
    void after_tick(const Game& game, bool paused, bool muted);
    // Holds every sound until start (a page may not play before the player has acted).
    void hold_until_started() { started = false; }
    void start() { started = true; }
    // The volume, 0 to 100, from now on.
    void set_volume(int volume);

    // One sound alone, as the game plays it, at the field's x (-1 left, 1 right).
    void play(Sound id, float x = 0, float pitch = 1);
    bool has_device() const { return device != nullptr; }
    ALCdevice* alc_device() const { return device; }

  private:
    Audio() = default;
    void make_sounds(int rate);
    void play_events(const Game& game);
    void hum(const Game& game);
    void silence();
    ALuint free_voice();

    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    std::array<ALuint, kSoundCount> buffers{};
    std::array<ALuint, 16> voices{};  // sources for the sounds played once
    std::array<ALuint, 2> hums{};     // looping sources: plain, aimed
    size_t next_voice = 0;
    bool started = true;
    uint64_t events_seen = 0;
    int level_seen = 0;
    bool over_seen = false;
};
