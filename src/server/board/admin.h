// What an operator does to run the board, from the command line on the server's database
// (velmora-server admin ...: commands.h) or over HTTP for tools (/api/v1/admin/..., only with
// the token given at start-up): the games listed, hidden ones too; a game taken off every board
// (its recording kept) or put back; a name banned (its games hidden) or freed for a new key.
// Each change goes to the log with who made it and why.
#pragma once

#include <string>
#include <vector>

#include "server/store/store.h"

// What an operator's change did, or why it did nothing.
struct Done {
    bool ok;
    std::string said;
};

Done hide_game(Store& store, const std::string& game, bool hidden, const std::string& who,
               const std::string& reason);
Done ban_name(Store& store, const std::string& name, const std::string& who,
              const std::string& reason);
Done release_name(Store& store, const std::string& name, const std::string& who,
                  const std::string& reason);

// The games, newest first, of a board and a name when given, from a day on; and the log.
std::vector<Entry> games_listed(Store& store, const std::string& board, const std::string& name,
                                const std::string& since);
std::vector<LogEntry> operators_log(Store& store);
