#include "server/board/admin.h"

#include "cli/option_table.h"
#include "server/board/names.h"

namespace {

constexpr int kListed = 100;  // games a list shows
constexpr int kLogged = 100;  // lines of the log shown

}  // namespace

Done hide_game(Store& store, const std::string& game, bool hidden, const std::string& who,
               const std::string& reason) {
    const std::optional<long long> id = whole_number(game, 1, 999999999999999999LL);
    if (!id) {
        return {false, "no such game: " + game};
    }
    if (!store.hide(*id, hidden, who, reason)) {
        return {false, "game " + game +
                           (store.entry(*id)
                                ? " is " + std::string(hidden ? "hidden" : "shown") + " already"
                                : " is not there")};
    }
    return {true, std::string(hidden ? "hidden" : "shown again") + ": game " + game};
}

Done ban_name(Store& store, const std::string& name, const std::string& who,
              const std::string& reason) {
    const long long hid = store.ban(name_key(name), name, who, reason);
    return {true, "banned: " + name + " (" + std::to_string(hid) + " games hidden)"};
}

Done release_name(Store& store, const std::string& name, const std::string& who,
                  const std::string& reason) {
    if (!store.release(name_key(name), who, reason)) {
        return {false, "nobody holds the name " + name};
    }
    return {true, "released: " + name + " is free for a new key"};
}

std::vector<Entry> games_listed(Store& store, const std::string& board, const std::string& name,
                                const std::string& since) {
    return store.list_games(board, name.empty() ? "" : name_key(name), since, kListed);
}

std::vector<LogEntry> operators_log(Store& store) {
    return store.admin_log(kLogged);
}
