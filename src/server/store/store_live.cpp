// The store's side of games watched as they are played: batches kept in groups, the news of
// them for the other servers, the list of games being played, and who watches them.
#include <algorithm>

#include "server/store/store.h"

namespace {

constexpr const char* kNewsChannel = "velmora_batches";
// PostgreSQL takes a NOTIFY's text up to 8000 bytes: the news of a group goes in pieces.
constexpr size_t kNewsBytes = 7000;

}  // namespace

void Store::announce(SqlConnection& c, const std::string& news) {
    if (c.engine() == SqlConnection::Engine::kPostgres) {
        c.run("SELECT pg_notify($1, $2)", {kNewsChannel, announcer + news});
    }
}

void Store::keep_batches(std::vector<BatchToKeep>& batches) {
    // In the order of their attempts, so that two servers keeping batches of the same attempts
    // (one taking over from the other) lock their rows in the same order.
    std::vector<BatchToKeep*> order;
    for (BatchToKeep& b : batches) {
        order.push_back(&b);
    }
    std::stable_sort(order.begin(), order.end(), [](const BatchToKeep* x, const BatchToKeep* y) {
        return x->attempt < y->attempt;
    });
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c);
    std::string news;
    for (BatchToKeep* b : order) {
        b->kept = take_batch(*c, b->attempt, b->batch, *b->body, b->progress);
        if (b->kept) {
            news += " " + std::to_string(b->attempt) + ":" + std::to_string(b->batch);
        }
        if (news.size() > kNewsBytes) {
            announce(*c, news);
            news.clear();
        }
    }
    if (!news.empty()) {
        announce(*c, news);
    }
    t.commit();
}

std::unique_ptr<SqlListener> Store::news_about_batches(std::string& error) {
    return listen_url.empty() ? nullptr : listen_postgres(listen_url, kNewsChannel, error);
}

std::vector<LiveEntry> Store::live_games(Board board, const std::string& day, int limit) {
    SqlPool::Lease c(*pool);
    std::vector<LiveEntry> out;
    for (const SqlRow& r :
         c->run("SELECT a.id, a.board, a.day, a.name, a.level, a.score, a.ticks,"
                " COALESCE((SELECT SUM(w.watchers) FROM watchers w WHERE w.attempt = a.id), 0)"
                " FROM attempts a WHERE a.state = 'live' AND a.board = $1 AND a.day = $2"
                " ORDER BY a.score DESC, a.level DESC, a.ticks, a.id LIMIT $3",
                {name_of(board), day, limit})) {
        LiveEntry e;
        e.attempt = whole(r[0]);
        e.board = board_named(r[1]).value_or(Board::kOpen);
        e.day = r[2];
        e.name = r[3];
        e.level = static_cast<int>(whole(r[4]));
        e.score = static_cast<int>(whole(r[5]));
        e.ticks = whole(r[6]);
        e.watchers = whole(r[7]);
        out.push_back(e);
    }
    return out;
}

void Store::count_watchers(const std::string& server,
                           const std::vector<std::pair<long long, long long>>& counts) {
    SqlPool::Lease c(*pool);
    SqlTransaction t(*c, false);
    for (const auto& [attempt, watchers] : counts) {
        if (watchers == 0) {
            c->run("DELETE FROM watchers WHERE server = $1 AND attempt = $2", {server, attempt});
        } else {
            c->run(
                "INSERT INTO watchers (server, attempt, watchers) VALUES ($1, $2, $3)"
                " ON CONFLICT (server, attempt) DO UPDATE SET watchers = excluded.watchers",
                {server, attempt, watchers});
        }
    }
    t.commit();
}

std::vector<std::pair<long long, long long>> Store::watchers() {
    SqlPool::Lease c(*pool);
    std::vector<std::pair<long long, long long>> out;
    for (const SqlRow& r : c->run("SELECT attempt, SUM(watchers) FROM watchers GROUP BY attempt")) {
        out.emplace_back(whole(r[0]), whole(r[1]));
    }
    return out;
}

long long Store::drop_leftovers(long long ended_before) {
    SqlPool::Lease c(*pool);
    long long dropped = 0;
    for (const SqlRow& row : c->run("SELECT id FROM attempts WHERE leftover = 1 AND seen < $1"
                                    " LIMIT 1000",
                                    {ended_before})) {
        const long long id = whole(row[0]);
        SqlTransaction t(*c, false);
        c->run("DELETE FROM attempt_batches WHERE attempt = $1", {id});
        // Nobody watches a game that has ended for long: a server that went left its counts.
        c->run("DELETE FROM watchers WHERE attempt = $1", {id});
        c->run("UPDATE attempts SET leftover = 0 WHERE id = $1", {id});
        t.commit();
        ++dropped;
    }
    return dropped;
}
