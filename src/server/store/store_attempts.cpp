// The store's live attempts: dealt, fed batch by batch, ended. Every change of an attempt is
// made on the condition that it is still where the server found it (live, with so many batches
// kept), so that two servers taking batches of one attempt, or a client's retry, never keep a
// batch twice or end an attempt twice.
#include "server/store/store.h"

namespace {

constexpr const char* kAttemptColumns =
    "id, token_hash, board, day, seed, name, player, client, ranked, state, reason, started, "
    "seen, batches, ticks, COALESCE(game, 0), credit, ends, key_hash, level, score, lives";

Attempt attempt_of(const SqlRow& r) {
    Attempt a;
    a.id = whole(r[0]);
    a.token_hash = r[1];
    a.board = board_named(r[2]).value_or(Board::kOpen);
    a.day = r[3];
    a.seed = static_cast<unsigned>(whole(r[4]));
    a.name = r[5];
    a.player = r[6];
    a.client = r[7];
    a.ranked = whole(r[8]) != 0;
    a.state = state_named(r[9]).value_or(AttemptState::kRefused);
    a.reason = r[10];
    a.started = whole(r[11]);
    a.seen = whole(r[12]);
    a.batches = static_cast<int>(whole(r[13]));
    a.ticks = whole(r[14]);
    a.game = whole(r[15]);
    a.credit = whole(r[16]);
    a.ends = whole(r[17]) != 0;
    a.key_hash = r[18];
    a.level = static_cast<int>(whole(r[19]));
    a.score = static_cast<int>(whole(r[20]));
    a.lives = static_cast<int>(whole(r[21]));
    return a;
}

}  // namespace

bool Store::take_batch(SqlConnection& c, long long id, int batch, const std::string& body,
                       const Store::Progress& p) {
    c.run(
        "UPDATE attempts SET batches = $2 + 1, seen = $3, ticks = $4, credit = $5, ends = $6,"
        " level = $7, score = $8 WHERE id = $1 AND state = 'live' AND batches = $2",
        {id, batch, p.seen, p.ticks, p.credit, p.ends ? 1 : 0, p.level, p.score});
    if (c.changed() != 1) {
        return false;
    }
    c.run("INSERT INTO attempt_batches (attempt, batch, body) VALUES ($1, $2, $3)",
          {id, batch, body});
    return true;
}

std::string Store::secret(const std::string& name, const std::string& made_if_none) {
    SqlPool::Lease c(*pool);
    c->run("INSERT INTO secrets (name, value) VALUES ($1, $2) ON CONFLICT (name) DO NOTHING",
           {name, made_if_none});
    return c->run("SELECT value FROM secrets WHERE name = $1", {name}).at(0).at(0);
}

Attempt Store::add_attempt(const Attempt& a) {
    SqlPool::Lease c(*pool);
    // Not worth the disk's wait either: an attempt lost to a power cut is one its client is told
    // it cannot finish.
    SqlTransaction t(*c, false);
    Attempt kept = a;
    const auto insert = [&] {
        return c->run(
            "INSERT INTO attempts (token_hash, board, day, seed, name, player, client, ranked,"
            " state, reason, started, seen, batches, ticks, credit, key_hash)"
            " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, 'live', $9, $10, $10, 0, 0, $11, $12)"
            " ON CONFLICT DO NOTHING RETURNING id",
            {kept.token_hash, name_of(kept.board), kept.day, static_cast<long long>(kept.seed),
             kept.name, kept.player, kept.client, kept.ranked ? 1 : 0, kept.reason, kept.started,
             kept.credit, kept.key_hash});
    };
    std::vector<SqlRow> rows = insert();
    if (rows.empty()) {  // the player's ranked attempt of the day is there already
        kept.ranked = false;
        kept.reason = "the player has had the ranked attempt of " + kept.day + " already";
        rows = insert();
    }
    t.commit();
    kept.id = whole(rows.at(0).at(0));
    kept.state = AttemptState::kLive;
    kept.seen = kept.started;
    return kept;
}

std::optional<Attempt> Store::attempt(long long id) {
    SqlPool::Lease c(*pool);
    const std::vector<SqlRow> rows =
        c->run(std::string("SELECT ") + kAttemptColumns + " FROM attempts WHERE id = $1", {id});
    return rows.empty() ? std::nullopt : std::optional<Attempt>(attempt_of(rows[0]));
}

long long Store::live_attempts(const std::string& client) {
    SqlPool::Lease c(*pool);
    return whole(
        c->run("SELECT COUNT(*) FROM attempts WHERE client = $1 AND state = 'live'", {client})
            .at(0)
            .at(0));
}

long long Store::live_attempts() {
    SqlPool::Lease c(*pool);
    return whole(c->run("SELECT COUNT(*) FROM attempts WHERE state = 'live'").at(0).at(0));
}

std::vector<std::string> Store::batches(long long id, int from, int to) {
    SqlPool::Lease c(*pool);
    std::vector<std::string> bodies;
    for (const SqlRow& row : c->run("SELECT body FROM attempt_batches WHERE attempt = $1 AND"
                                    " batch >= $2 AND batch < $3 ORDER BY batch",
                                    {id, from, to})) {
        bodies.push_back(row[0]);
    }
    return bodies;
}

bool Store::add_batch(long long id, int batch, const std::string& body, const Progress& p) {
    SqlPool::Lease c(*pool);
    // A batch of a game in play does not wait for the disk: a power cut may lose the last of
    // them (the attempt then expires); its end and its rank do wait.
    SqlTransaction t(*c, false);
    if (!take_batch(*c, id, batch, body, p)) {
        return false;
    }
    t.commit();
    return true;
}

bool Store::end_attempt(long long id, int batch, const std::string& body, const Ending& ending,
                        Entry* ranked) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    if (!body.empty()) {
        if (!take_batch(*c, id, batch, body, Progress{ending.seen, ending.ticks, 0, true})) {
            return false;
        }
    } else {
        c->run("UPDATE attempts SET seen = $2 WHERE id = $1 AND state = 'live'", {id, ending.seen});
        if (c->changed() != 1) {
            return false;
        }
    }
    long long game = 0;
    if (ending.game != nullptr) {
        std::string recording;
        for (const SqlRow& row :
             c->run("SELECT body FROM attempt_batches WHERE attempt = $1 ORDER BY batch", {id})) {
            recording += row[0];
        }
        NewGame kept = *ending.game;
        kept.content_hash = content_hash(recording);
        game = insert_game(*c, kept, recording).first;
    }
    c->run(
        "UPDATE attempts SET state = $2, reason = $3, game = $4, level = $5, score = $6,"
        " lives = $7, leftover = 1 WHERE id = $1",
        {id, name_of(ending.state), ending.reason, game, ending.level, ending.score, ending.lives});
    announce(*c, " " + std::to_string(id) + ":end");
    t.commit();
    if (game != 0 && ranked != nullptr) {
        if (std::optional<Entry> e = entry_on(*c, "id", game)) {
            *ranked = *e;
        }
    }
    return true;
}

std::vector<long long> Store::expire_attempts(long long seen_before, const std::string& reason) {
    SqlPool::Lease c(*pool);
    std::vector<long long> expired;
    for (const SqlRow& row : c->run("SELECT id FROM attempts WHERE state = 'live' AND ends = 0"
                                    " AND seen < $1 LIMIT 1000",
                                    {seen_before})) {
        const long long id = whole(row[0]);
        SqlTransaction t(*c);
        c->run(
            "UPDATE attempts SET state = 'expired', reason = $2, leftover = 1 WHERE id = $1 AND"
            " state = 'live' AND ends = 0 AND seen < $3",
            {id, reason, seen_before});
        if (c->changed() == 1) {
            announce(*c, " " + std::to_string(id) + ":end");
            expired.push_back(id);
        }
        t.commit();
    }
    return expired;
}

std::vector<Attempt> Store::unsettled(long long seen_before) {
    SqlPool::Lease c(*pool);
    std::vector<Attempt> out;
    for (const SqlRow& row :
         c->run(std::string("SELECT ") + kAttemptColumns +
                    " FROM attempts WHERE state = 'live' AND ends = 1 AND seen < $1 LIMIT 100",
                {seen_before})) {
        out.push_back(attempt_of(row));
    }
    return out;
}
