// A recording sent whole (POST /api/v1/games): its name checked (players.h), the recording
// verified (verify.h), refused if the uploaded board holds the same game (its seed and keys,
// tick by tick) under another recording, the name then held by the player's key, and the game
// kept once per recording and ranked on the uploaded board.
#pragma once

#include <string>

#include "server/board/players.h"
#include "server/board/refusal.h"
#include "server/board/verify.h"
#include "server/store/store.h"

struct Upload {
    Refused refused;
    Verdict verdict;     // the recording's verification, once it was verified
    Entry entry;         // as kept (or the game it copies)
    bool added = false;  // kept by this upload (not by an earlier one of the same recording)
};

Upload upload_game(const std::string& raw_name, const std::string& key, const std::string& body,
                   const std::string& client, Store& store, Players& players);
