// Why the board turns something away, by kind. The board says what and why in words; the HTTP
// layer alone turns each kind into a status (http/routes.cpp).
#pragma once

#include <string>

enum class Refusal {
    kNone,
    kMalformed,   // it cannot be read as asked: a bad body, name, number or day
    kWrongToken,  // the attempt's token is not the one shown
    kNameTaken,   // the name belongs to another player's key, or is banned
    kNotFound,    // no such game or attempt
    kOutOfTurn,   // an attempt that has ended, a batch out of order or taken meanwhile
    kUnrankable,  // a recording or a live game that cannot be ranked, a day not dealt yet
    kTooMany,     // more live attempts or watchers from one address (or in all) than it may have
    kBusy,        // the server holds as much as it can: the same, sent again shortly, may pass
};

// A refusal and its reason, or none.
struct Refused {
    Refusal kind = Refusal::kNone;
    std::string reason;
    explicit operator bool() const { return kind != Refusal::kNone; }
};
