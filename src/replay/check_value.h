// Check values: a game's state summed up in 32 bits, written after every tick of a recording so
// that a replay finds the first tick at which it goes its own way.
#pragma once

#include <cstdint>

#include "game/game.h"

// Version 2: everything a later tick can depend on (Game::visit_state): level and game over,
// score, lives, the invader schedules, and every body of the world with its motion, forces,
// timers and last drawn outline. NaNs all count as one value, so the check is the same on
// every platform.
uint32_t check_value(const Game& game);

// What version-1 recordings hold: level, game over, score, lives, the ship's position,
// velocity, angle and state, and every asteroid's position, velocity and diameter.
uint32_t check_value_v1(const Game& game);

// The check value of a recording of format `version` (1 or 2).
uint32_t check_value(const Game& game, int version);
