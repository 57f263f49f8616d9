// velmora --ranked on the desktop: each game dealt by the leaderboard and streamed to it as it
// is played (desktop/ranked_client.h), its standing shown at the top of the field and its rank
// printed at the end. (The page plays its ranked games with buttons and script of its own.)
#pragma once

#include <cstdio>
#include <optional>

#include "app/options.h"
#include "app/pacer.h"
#include "app/session.h"

// Sets the session up for ranked games when the options ask for them: each game recorded for
// the server, each new game dealt, the standing shown, and a tick schedule that catches up
// after a stall (a ranked game's time is real time).
void set_up_ranked(const Options& options, Session& session, Pacer& pacer);
// The first game's seed, dealt now that the window is open; nothing if no game is ranked (a
// line on `err` says why when the server dealt none: that game then plays unranked).
std::optional<unsigned> first_ranked_seed(std::FILE* err);
// After each tick: the recording's new lines go to the server.
void ranked_tick(Session& session);
// The program ends: a game left before its end says so to the server; the rank (or why none)
// goes to `out`.
void end_ranked(Session& session, const Game& game, std::FILE* out);
