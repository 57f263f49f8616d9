#include "server/store/store.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "server/store/schema.h"

namespace {

constexpr long long kMigrationLock = 0x76656c6d6f7261;  // "velmora"

}  // namespace

Entry Store::entry_of(const SqlRow& r) {
    Entry e;
    e.id = whole(r[0]);
    e.name = r[1];
    e.score = static_cast<int>(whole(r[2]));
    e.level = static_cast<int>(whole(r[3]));
    e.lives = static_cast<int>(whole(r[4]));
    e.ticks = whole(r[5]);
    e.submitted = r[6];
    e.board = board_named(r[7]).value_or(Board::kUploaded);
    e.day = r[8];
    e.hidden = whole(r[9]) != 0;
    return e;
}

namespace {

// The schema, made or brought up to date, in one transaction.
void migrate(SqlConnection& c) {
    const bool sqlite = c.engine() == SqlConnection::Engine::kSqlite;
    SqlTransaction t(c);
    if (!sqlite) {
        c.run("SELECT pg_advisory_xact_lock($1)", {kMigrationLock});
    }
    c.run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const int version = static_cast<int>(
        whole(c.run("SELECT COALESCE(MAX(version), 0) FROM schema_version").at(0).at(0)));
    if (version > schema::kVersion) {
        throw StoreError("the database's schema (version " + std::to_string(version) +
                         ") is newer than this server's");
    }
    for (int v = version + 1; v <= schema::kVersion; ++v) {
        for (const char* statement : schema::kSteps[v - 1]) {
            std::string sql = statement;
            const size_t id = sql.find(" ID,");
            if (id != std::string::npos) {
                sql.replace(id + 1, 2, sqlite ? schema::kSqliteId : schema::kPostgresId);
            }
            c.run(sql);
        }
        c.run("INSERT INTO schema_version (version) VALUES ($1)", {v});
    }
    t.commit();
}

}  // namespace

Store::Store(std::unique_ptr<SqlPool> p, std::string listen)
    : pool(std::move(p)), listen_url(std::move(listen)) {}

std::pair<long long, bool> Store::insert_game(SqlConnection& c, const NewGame& game,
                                              const std::string& recording) {
    const std::vector<SqlRow> inserted = c.run(
        "INSERT INTO games (content_hash, name, score, level, lives, ticks, submitted, board, day,"
        " name_key, fingerprint) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)"
        " ON CONFLICT (content_hash) DO NOTHING RETURNING id",
        {game.content_hash, game.name, game.score, game.level, game.lives, game.ticks,
         game.submitted, name_of(game.board), game.day, game.name_key, game.fingerprint});
    if (inserted.empty()) {
        const std::vector<SqlRow> kept =
            c.run("SELECT id FROM games WHERE content_hash = $1", {game.content_hash});
        return {kept.empty() ? 0 : whole(kept[0][0]), false};
    }
    const long long id = whole(inserted[0][0]);
    c.run("INSERT INTO recordings (game_id, body) VALUES ($1, $2)", {id, recording});
    c.run(
        "INSERT INTO board_totals (board, day, total) VALUES ($1, $2, 1)"
        " ON CONFLICT (board, day) DO UPDATE SET total = board_totals.total + 1",
        {name_of(game.board), game.day});
    return {id, true};
}

std::optional<long long> Store::copied(const NewGame& game) {
    if (game.fingerprint.empty()) {
        return std::nullopt;
    }
    SqlPool::Lease c(*pool);
    const std::vector<SqlRow> same = c->run(
        "SELECT id FROM games WHERE board = $1 AND fingerprint = $2 AND content_hash <> $3"
        " LIMIT 1",
        {name_of(game.board), game.fingerprint, game.content_hash});
    return same.empty() ? std::nullopt : std::optional<long long>(whole(same[0][0]));
}

Store::Kept Store::add(const NewGame& game) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    const std::vector<SqlRow> same =
        game.fingerprint.empty()
            ? std::vector<SqlRow>()
            : c->run("SELECT id, content_hash FROM games WHERE board = $1 AND fingerprint = $2",
                     {name_of(game.board), game.fingerprint});
    long long id = 0;
    Kept::How how = Kept::How::kCopy;
    if (!same.empty() && same[0][1] != game.content_hash) {
        id = whole(same[0][0]);
    } else {
        const auto [kept, added] = insert_game(*c, game, game.recording);
        id = kept;
        how = added ? Kept::How::kAdded : Kept::How::kKeptAlready;
    }
    t.commit();
    std::optional<Entry> e = entry_on(*c, "id", id);
    if (!e) {
        throw StoreError("the game just kept cannot be read back");
    }
    return Kept{*e, how};
}

std::optional<Entry> Store::entry_on(SqlConnection& c, const std::string& where,
                                     const SqlValue& value) {
    const std::vector<SqlRow> rows =
        c.run(std::string("SELECT ") + schema::kColumns + " FROM games WHERE " + where + " = $1",
              {value});
    if (rows.empty()) {
        return std::nullopt;
    }
    Entry e = entry_of(rows[0]);
    e.rank = rank_of(c, e);
    return e;
}

std::optional<Entry> Store::entry(long long id) {
    SqlPool::Lease c(*pool);
    return entry_on(*c, "id", id);
}

std::optional<std::string> Store::recording(long long id) {
    SqlPool::Lease c(*pool);
    const std::vector<SqlRow> rows = c->run("SELECT body FROM recordings WHERE game_id = $1", {id});
    return rows.empty() ? std::nullopt : std::optional<std::string>(rows[0][0]);
}

long long Store::total(Board board, const std::string& day) {
    SqlPool::Lease c(*pool);
    const std::vector<SqlRow> rows = c->run(
        "SELECT total FROM board_totals WHERE board = $1 AND day = $2", {name_of(board), day});
    return rows.empty() ? 0 : whole(rows[0][0]);
}

std::vector<Entry> Store::page(int limit, long long offset, Board board, const std::string& day) {
    SqlPool::Lease c(*pool);
    std::vector<Entry> out;
    for (const SqlRow& row : c->run(schema::kPage, {name_of(board), day, limit, offset})) {
        out.push_back(entry_of(row));
        out.back().rank = offset + static_cast<long long>(out.size());
    }
    return out;
}

bool Store::healthy() {
    try {
        SqlPool::Lease c(*pool);
        c->run("SELECT 1");
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

void Store::tidy() {
    SqlPool::Lease c(*pool);
    c->tidy();
}

long long Store::rank_of(SqlConnection& c, const Entry& e) {
    return whole(
        c.run(schema::kRank, {e.score, e.ticks, e.submitted, e.id, name_of(e.board), e.day})
            .at(0)
            .at(0));
}

std::unique_ptr<Store> open_store(const std::string& url, int connections, std::string& error) {
    const std::string sqlite = "sqlite:";
    const bool is_sqlite = url.compare(0, sqlite.size(), sqlite) == 0 && url.size() > 7;
    if (!is_sqlite && url.compare(0, 13, "postgresql://") != 0 &&
        url.compare(0, 11, "postgres://") != 0) {
        error = "unknown database '" + url + "' (sqlite:PATH or postgresql://USER@HOST:PORT/DB)";
        return nullptr;
    }
    std::vector<std::unique_ptr<SqlConnection>> all;
    for (int i = 0; i < connections; ++i) {
        std::unique_ptr<SqlConnection> c =
            is_sqlite ? open_sqlite(url.substr(sqlite.size()), error) : open_postgres(url, error);
        if (!c) {
            return nullptr;
        }
        if (i == 0) {
            try {
                migrate(*c);
            } catch (const StoreError& e) {
                error = (is_sqlite ? url.substr(sqlite.size()) + ": " : std::string()) + e.what();
                return nullptr;
            }
        }
        all.push_back(std::move(c));
    }
    return std::make_unique<Store>(std::make_unique<SqlPool>(std::move(all)),
                                   is_sqlite ? std::string() : url);
}

std::string content_hash(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

std::string utc_now() {
    const auto now = std::chrono::system_clock::now();
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long long>(micros % 1000000));
    return text;
}

namespace {

constexpr const char* kBoards[] = {"open", "daily", "uploaded"};
constexpr const char* kStates[] = {"live", "ranked", "played", "quit", "refused", "expired"};

}  // namespace

const char* name_of(Board board) {
    return kBoards[static_cast<int>(board)];
}

const char* name_of(AttemptState state) {
    return kStates[static_cast<int>(state)];
}

std::optional<Board> board_named(const std::string& name) {
    for (int b = 0; b < 3; ++b) {
        if (name == kBoards[b]) {
            return static_cast<Board>(b);
        }
    }
    return std::nullopt;
}

std::optional<AttemptState> state_named(const std::string& name) {
    for (int s = 0; s < 6; ++s) {
        if (name == kStates[s]) {
            return static_cast<AttemptState>(s);
        }
    }
    return std::nullopt;
}
