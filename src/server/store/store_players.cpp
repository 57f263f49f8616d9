// The store's names and what operators do with them and with games. Every operator's change is
// made in one transaction with its line in the log.
#include "server/store/schema.h"
#include "server/store/store.h"

namespace {

Player player_of(const SqlRow& r) {
    return Player{r[0], r[1], r[2], whole(r[3]) != 0, r[4], r[5]};
}

constexpr const char* kPlayerColumns = "name_key, name, key_hash, banned, since, skeleton";

// Adds `by` to the count of a game's board.
void count(SqlConnection& c, long long game, int by) {
    c.run(
        "UPDATE board_totals SET total = total + $2 WHERE (board, day) IN"
        " (SELECT board, day FROM games WHERE id = $1)",
        {game, by});
}

}  // namespace

void Store::note(SqlConnection& c, const std::string& who, const std::string& action,
                 const std::string& target, const std::string& reason) {
    c.run("INSERT INTO admin_log (at, who, action, target, reason) VALUES ($1, $2, $3, $4, $5)",
          {utc_now(), who, action, target, reason});
}

std::optional<Player> Store::player(const std::string& name_key) {
    SqlPool::Lease c(*pool);
    const std::vector<SqlRow> rows = c->run(
        std::string("SELECT ") + kPlayerColumns + " FROM players WHERE name_key = $1", {name_key});
    return rows.empty() ? std::nullopt : std::optional<Player>(player_of(rows[0]));
}

std::optional<Player> Store::look_alike(const std::string& skeleton, const std::string& name_key,
                                        const std::string& key_hash) {
    SqlPool::Lease c(*pool);
    const std::vector<SqlRow> rows =
        c->run(std::string("SELECT ") + kPlayerColumns +
                   " FROM players WHERE skeleton = $1 AND name_key <> $2 AND key_hash <> ''"
                   " AND key_hash <> $3 LIMIT 1",
               {skeleton, name_key, key_hash});
    return rows.empty() ? std::nullopt : std::optional<Player>(player_of(rows[0]));
}

Player Store::hold_name(const std::string& name_key, const std::string& name,
                        const std::string& key_hash, const std::string& skeleton) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    // A look-alike held by another key keeps the name from this one.
    const std::vector<SqlRow> alike =
        c->run(std::string("SELECT ") + kPlayerColumns +
                   " FROM players WHERE skeleton = $1 AND name_key <> $2 AND key_hash <> ''"
                   " AND key_hash <> $3 LIMIT 1",
               {skeleton, name_key, key_hash});
    if (!alike.empty()) {
        t.commit();
        return player_of(alike[0]);
    }
    // A name nobody holds (never held, or released) goes to this key; one held stays held.
    c->run(
        "INSERT INTO players (name_key, name, key_hash, banned, since, skeleton)"
        " VALUES ($1, $2, $3, 0, $4, $5) ON CONFLICT (name_key) DO UPDATE"
        " SET key_hash = excluded.key_hash, since = excluded.since,"
        " skeleton = excluded.skeleton"
        " WHERE players.key_hash = ''",
        {name_key, name, key_hash, utc_now(), skeleton});
    const SqlRow row =
        c->run(std::string("SELECT ") + kPlayerColumns + " FROM players WHERE name_key = $1",
               {name_key})
            .at(0);
    t.commit();
    return player_of(row);
}

void Store::rehash(const std::string& name_key, const std::string& old_hash,
                   const std::string& new_hash) {
    SqlPool::Lease c(*pool);
    c->run("UPDATE players SET key_hash = $3 WHERE name_key = $1 AND key_hash = $2",
           {name_key, old_hash, new_hash});
}

std::vector<Player> Store::players_without_skeleton() {
    SqlPool::Lease c(*pool);
    std::vector<Player> out;
    for (const SqlRow& r :
         c->run(std::string("SELECT ") + kPlayerColumns + " FROM players WHERE skeleton = ''")) {
        out.push_back(player_of(r));
    }
    return out;
}

void Store::set_skeleton(const std::string& name_key, const std::string& skeleton) {
    SqlPool::Lease c(*pool);
    c->run("UPDATE players SET skeleton = $2 WHERE name_key = $1", {name_key, skeleton});
}

std::vector<Entry> Store::list_games(const std::string& board, const std::string& name_key,
                                     const std::string& since, int limit) {
    SqlPool::Lease c(*pool);
    std::vector<Entry> out;
    for (const SqlRow& r :
         c->run(std::string("SELECT ") + schema::kColumns +
                    " FROM games WHERE ($1 = '' OR board = $1) AND ($2 = '' OR name_key = $2)"
                    " AND submitted >= $3 ORDER BY id DESC LIMIT $4",
                {board, name_key, since, limit})) {
        out.push_back(entry_of(r));
    }
    return out;
}

bool Store::hide(long long game, bool hidden, const std::string& who, const std::string& reason) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    c->run("UPDATE games SET hidden = $2 WHERE id = $1 AND hidden <> $2", {game, hidden ? 1 : 0});
    if (c->changed() != 1) {
        return false;
    }
    count(*c, game, hidden ? -1 : 1);
    note(*c, who, hidden ? "hide" : "unhide", std::to_string(game), reason);
    t.commit();
    return true;
}

long long Store::ban(const std::string& name_key, const std::string& name, const std::string& who,
                     const std::string& reason) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    c->run(
        "INSERT INTO players (name_key, name, key_hash, banned, since) VALUES ($1, $2, '', 1,"
        " $3) ON CONFLICT (name_key) DO UPDATE SET banned = 1",
        {name_key, name, utc_now()});
    long long hid = 0;
    for (const SqlRow& r :
         c->run("SELECT id FROM games WHERE name_key = $1 AND hidden = 0", {name_key})) {
        c->run("UPDATE games SET hidden = 1 WHERE id = $1", {whole(r[0])});
        count(*c, whole(r[0]), -1);
        ++hid;
    }
    note(*c, who, "ban", name, reason);
    t.commit();
    return hid;
}

bool Store::release(const std::string& name_key, const std::string& who,
                    const std::string& reason) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    c->run("UPDATE players SET key_hash = '' WHERE name_key = $1 AND key_hash <> ''", {name_key});
    if (c->changed() != 1) {
        return false;
    }
    c->run("DELETE FROM players WHERE name_key = $1 AND banned = 0", {name_key});
    note(*c, who, "release", name_key, reason);
    t.commit();
    return true;
}

std::vector<LogEntry> Store::admin_log(int limit) {
    SqlPool::Lease c(*pool);
    std::vector<LogEntry> out;
    for (const SqlRow& r : c->run("SELECT id, at, who, action, target, reason FROM admin_log"
                                  " ORDER BY id DESC LIMIT $1",
                                  {limit})) {
        out.push_back(LogEntry{whole(r[0]), r[1], r[2], r[3], r[4], r[5]});
    }
    return out;
}
