#include "desktop/ranked_play.h"

#include <ctime>
#include <memory>
#include <string>

#include "desktop/leaderboard_client.h"
#include "desktop/player_key.h"
#include "desktop/ranked_client.h"
#include "desktop/score_file.h"

namespace {

// A ranked game catches up after a stall of up to five seconds, rather than starting its
// schedule again: the server counts real time, and ticks lost to a stall would count as lag.
constexpr int kRankedCatchUpTicks = 100;

bool wanted = false;
bool daily = false;
std::string server;
std::string name;
std::string key;                       // the player's, if the score folder keeps one
std::unique_ptr<RankedClient> client;  // the game in play's, if it is ranked

// A new attempt; nothing, said on `err`, if none is dealt.
std::optional<unsigned> deal(std::FILE* err) {
    if (client) {
        client->close();
        client.reset();
    }
    std::string error;
    client = RankedClient::deal(server, daily, name, key, error);
    if (!client) {
        std::fprintf(err, "velmora: no ranked game: %s; this game is not ranked\n", error.c_str());
        return std::nullopt;
    }
    return client->seed();
}

// The name a ranked game goes by: --name, else the player's (player_key.h).
std::string player_name(const Options& options) {
    if (!options.name.empty()) {
        return options.name;
    }
    std::string error;
    const std::optional<ScoreFolder> folder = ScoreFolder::open(error);
    return folder ? player_name(*folder) : "Player";
}

}  // namespace

void set_up_ranked(const Options& options, Session& session, Pacer& pacer) {
    if (!options.ranked) {
        return;
    }
    wanted = true;
    daily = options.daily;
    server = leaderboard_server(options.server);
    name = player_name(options);
    std::string error;
    if (const std::optional<ScoreFolder> folder = ScoreFolder::open(error)) {
        key = player_key(*folder, error).value_or("");
    }
    pacer = Pacer(kTickMs, kRankedCatchUpTicks);
    session.recordings().live();
    const Session* shown = &session;
    session.show_banner(
        [shown] { return client ? client->status(shown->paused()) : std::string(); });
    session.deal_seeds(
        [] { return deal(stderr).value_or(static_cast<unsigned>(std::time(nullptr))); });
}

std::optional<unsigned> first_ranked_seed(std::FILE* err) {
    return wanted ? deal(err) : std::nullopt;
}

void ranked_tick(Session& session) {
    if (client) {
        client->update(session.recordings().live_text());
    }
}

void end_ranked(Session& session, const Game& game, std::FILE* out) {
    if (!client) {
        return;
    }
    // A game left before its end ends its recording as the recorder ends a file's.
    const Recordings& kept = session.recordings();
    client->update(kept.live_text() + (game.get_game_over() ? "" : kept.live_ending(game)));
    client->close();
    std::fprintf(out, "%s\n", client->summary().c_str());
    client.reset();
}
