// What the board's typed results become as answers: the status each kind of refusal is, and the
// board's records as the API's JSON.
#pragma once

#include <string>

#include "replay/replay_file.h"
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
std::string outcome_json(const Outcome& o);
