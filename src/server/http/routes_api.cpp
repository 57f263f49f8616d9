// The public API's handlers: each reads its request, calls the board, and writes the board's
// answer as a status, headers and JSON.
#include <nlohmann/json.hpp>

#include "cli/option_table.h"
#include "server/board/dealer.h"
#include "server/board/uploads.h"
#include "server/http/answers.h"
#include "server/http/json.h"
#include "server/http/metrics.h"
#include "server/http/routes.h"
#include "server/limits.h"

namespace {

Answer scores(const Request& request, Store& store) {
    Board board = Board::kOpen;
    std::string day;
    if (const std::optional<Answer> unread = board_asked(request, true, board, day)) {
        return *unread;
    }
    std::optional<long long> limit = limits::kScoresDefault;
    std::optional<long long> offset = 0;
    if (request.query.count("limit") != 0) {
        limit = whole_number(request.arg("limit"), 1, limits::kScoresMax);
        if (!limit) {
            return error_answer(400, "limit is a whole number from 1 to 100");
        }
    }
    if (request.query.count("offset") != 0) {
        offset = whole_number(request.arg("offset"), 0, kLargestId);
        if (!offset) {
            return error_answer(400, "offset is a whole number from 0");
        }
    }
    const long long total = store.total(board, day);
    std::string rows = "[";
    for (const Entry& e : store.page(static_cast<int>(*limit), *offset, board, day)) {
        rows += (rows.size() > 1 ? ", " : "") + JsonObject()
                                                    .add("rank", e.rank)
                                                    .add("id", e.id)
                                                    .add("name", e.name)
                                                    .add("score", e.score)
                                                    .add("level", e.level)
                                                    .add("ticks", e.ticks)
                                                    .add("submitted", e.submitted)
                                                    .text();
    }
    JsonObject o;
    o.add("board", name_of(board));
    if (board == Board::kDaily) {
        o.add("day", day);
    }
    return Answer{200, o.add("total", total).add_raw("scores", rows + "]").text()};
}

Answer upload(const Request& request, Leaderboard& board) {
    if (request.query.count("name") == 0) {
        return error_answer(400, "a submission needs a name: ?name=NAME");
    }
    const Upload up = upload_game(request.arg("name"), request.key, request.body, request.client,
                                  board.store, board.players);
    if (up.refused.kind == Refusal::kUnrankable && up.verdict.kind == Verdict::kDiverged) {
        return Answer{422, JsonObject()
                               .add("error", up.refused.reason)
                               .add("tick", up.verdict.tick)
                               .add_raw("recorded", outcome_json(up.verdict.recorded))
                               .add_raw("replayed", outcome_json(up.verdict.outcome))
                               .text()};
    }
    if (up.refused) {
        return refusal_answer(up.refused);
    }
    return Answer{up.added ? 201 : 200, entry_json(up.entry, false)};
}

Answer game(const Request& request, Store& store, bool replay) {
    const std::optional<long long> id = whole_number(request.parts[0], 1, kLargestId);
    if (!id) {
        return error_answer(404, "no such game");
    }
    // A hidden game (an operator's, a banned name's) is no game of the public API's.
    const std::optional<Entry> e = store.entry(*id);
    if (!e || e->hidden) {
        return error_answer(404, "no such game");
    }
    if (!replay) {
        return Answer{200, entry_json(*e, true)};
    }
    const std::optional<std::string> body = store.recording(*id);
    if (!body) {
        return error_answer(404, "no such game");
    }
    Answer a{200, *body, "text/plain; charset=utf-8"};
    a.headers.push_back({"Content-Disposition",
                         "attachment; filename=\"velmora-" + std::to_string(*id) + ".replay\""});
    return a;
}

}  // namespace

void Routes::api(Leaderboard& board, const RouteSetup& setup) {
    using R = Route::Runs;
    Leaderboard* b = &board;
    rows.push_back({"GET", "/healthz", 0, false, R::kAtOnce, [b](const Request&) -> Reply {
                        return b->store.healthy()
                                   ? Answer{200, JsonObject().add("status", "ok").text()}
                                   : error_answer(503, "the database does not answer");
                    }});
    if (setup.metrics) {
        const std::function<long long()> depth = setup.queue_depth;
        rows.push_back(
            {"GET", "/metrics", 0, false, R::kAtOnce, [b, depth](const Request&) {
                 return Reply(Answer{
                     200,
                     Metrics::server().text(depth() + static_cast<long long>(b->attempts.waiting()),
                                            b->store.live_attempts()),
                     "text/plain; version=0.0.4; charset=utf-8"});
             }});
    }
    rows.push_back({"GET", "/api/v1/scores", 0, false, R::kAtOnce,
                    [b](const Request& r) { return Reply(scores(r, b->store)); }});
    rows.push_back({"POST", "/api/v1/games", limits::kMaxBody, true, R::kOnWorker,
                    [b](const Request& r) { return Reply(upload(r, *b)); }});
    rows.push_back({"GET", "/api/v1/games/{id}", 0, false, R::kAtOnce,
                    [b](const Request& r) { return Reply(game(r, b->store, false)); }});
    rows.push_back({"GET", "/api/v1/games/{id}/replay", 0, false, R::kAtOnce,
                    [b](const Request& r) { return Reply(game(r, b->store, true)); }});
}
