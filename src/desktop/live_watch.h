// velmora --watch ID on the desktop: a game being played, followed in the window as its
// batches come from the leaderboard (desktop/live_stream.h), its player's name and then its
// verified outcome at the top of the field, and that outcome printed at the end.
#pragma once

#include <cstdio>
#include <optional>

#include "app/options.h"
#include "app/session.h"

// Opens the stream when the options ask for one and sets the session to follow it; the exit
// status (1, said on `err`) if the leaderboard cannot be reached or has no such game.
std::optional<int> set_up_watch(const Options& options, Session& session, std::FILE* err);
// After each tick: what came goes to the game.
void watch_tick(Session& session);
// The program ends: the verified outcome (or why there is none) goes to `out`.
void end_watch(std::FILE* out);
