// What the board's typed results become as answers: the status each kind of refusal is, and the
// board's records as the API's JSON.
#pragma once

#include <optional>
#include <string>

#include "replay/replay_file.h"
#include "server/board/broadcast.h"
#include "server/board/refusal.h"
#include "server/http/exchange.h"
#include "server/store/store.h"

// The largest id a path may name.
constexpr long long kLargestId = 999999999999999999LL;

int status_of(Refusal kind);
// {"error": reason} with its status, and the headers its kind asks for (Retry-After,
// WWW-Authenticate).
Answer refusal_answer(const Refused& refused);

std::string entry_json(const Entry& e, bool with_submitted);
// How a live game ended: {"state", "reason", "ticks"}, with "score", "level" and "lives" once
// it reached GAME OVER, and "game", "rank", "board", "day" once ranked.
std::string end_json(const WatchedEnd& end);
// The board (and the daily board's day) a request asks for with ?board=B&day=D: "open" when it
// names none, today's daily board when it names no day; `uploaded` whether that board may be
// named. An answer for a request that cannot be read.
std::optional<Answer> board_asked(const Request& request, bool uploaded, Board& board,
                                  std::string& day);
std::string outcome_json(const Outcome& o);
