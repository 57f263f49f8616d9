// The game's sound rendered into memory instead of a device, synchronously (OpenAL Soft's
// ALC_SOFT_loopback): what the tests listen to, on machines without a sound card. Desktop only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio.h"

// Audio mixing 16-bit mono at `rate` samples a second into memory; null if this OpenAL cannot.
std::unique_ptr<Audio> open_loopback(int rate, int volume);

// The next `count` samples of what `audio` plays.
std::vector<int16_t> render(Audio& audio, int count);
