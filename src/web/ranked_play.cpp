// The page plays its ranked games with its own buttons and script (web/ranked.js): the desktop's
// ranked games have nothing to do here.
#include "app/ranked_play.h"

void set_up_ranked(const Options&, Session&, Pacer&) {}

std::optional<unsigned> first_ranked_seed(std::FILE*) {
    return std::nullopt;
}

void ranked_tick(const Session&) {}

void end_ranked(const Session&, const Game&, std::FILE*) {}
