// Live attempts' handlers: an attempt dealt, shown, its batches taken, each the board's reply
// written as a status and JSON; the games being played listed, and one watched.
#include <nlohmann/json.hpp>

#include "cli/option_table.h"
#include "server/http/answers.h"
#include "server/http/json.h"
#include "server/http/routes.h"
#include "server/limits.h"

namespace {

std::string attempt_json(const Attempt& a) {
    JsonObject o;
    o.add("attempt", a.id).add("board", name_of(a.board));
    if (a.board == Board::kDaily) {
        o.add("day", a.day);
    }
    o.add("name", a.name).add("state", name_of(a.state)).add_bool("ranked", a.ranked);
    o.add("reason", a.reason).add("ticks", a.ticks).add("batches", a.batches);
    if (a.state != AttemptState::kLive) {
        o.add("seed", static_cast<long long>(a.seed));
    }
    if (a.game != 0) {
        o.add("game", a.game);
    }
    return o.text();
}

// A field of a JSON object as text; "" if it is missing or not a string.
std::string text_field(const nlohmann::json& o, const char* key) {
    const auto it = o.find(key);
    return it != o.end() && it->is_string() ? it->get<std::string>() : "";
}

Answer created(const Request& request, Leaderboard& board) {
    // A page of another site may send a plain form or text without asking; JSON it may not.
    if (request.content_type.compare(0, 16, "application/json") != 0) {
        return error_answer(415, "an attempt is asked for with a body of application/json");
    }
    const nlohmann::json asked = nlohmann::json::parse(request.body, nullptr, false);
    if (!asked.is_object()) {
        return error_answer(400,
                            "an attempt is asked for with a JSON object, such as "
                            "{\"board\": \"open\", \"name\": \"Ana\"}");
    }
    const Dealt dealt =
        board.attempts.create(AttemptAsked{text_field(asked, "board"), text_field(asked, "name"),
                                           text_field(asked, "key"), text_field(asked, "day")},
                              request.client);
    if (dealt.refused) {
        return refusal_answer(dealt.refused);
    }
    const Attempt& a = dealt.attempt;
    JsonObject o;
    o.add("attempt", a.id).add("seed", static_cast<long long>(a.seed));
    o.add("board", name_of(a.board));
    if (a.board == Board::kDaily) {
        o.add("day", a.day);
    }
    o.add("token", dealt.token).add_bool("ranked", a.ranked).add("reason", a.reason);
    o.add("tick_ms", kTickMs).add("bound_ms", board.attempts.rules_kept().bound_ms);
    o.add("batch_ms", limits::kBatchEveryMs).add("credit_ms", limits::kBatchCreditMs);
    return Answer{201, o.text()};
}

// Where an attempt stands after a batch: live on; ended (ranked, played, quit, refused); or a
// request of it refused.
Answer batch_answer(const AttemptReply& r) {
    if (r.refused.kind == Refusal::kOutOfTurn && r.expected) {
        return Answer{
            409, JsonObject().add("error", r.refused.reason).add("expected", *r.expected).text()};
    }
    if (r.refused.kind == Refusal::kOutOfTurn) {
        return Answer{409, JsonObject()
                               .add("error", r.refused.reason)
                               .add("state", name_of(r.state))
                               .add("reason", r.reason)
                               .text()};
    }
    if (r.refused) {
        return refusal_answer(r.refused);
    }
    if (r.state == AttemptState::kLive) {
        JsonObject o;
        o.add("state", name_of(r.state)).add("ticks", r.ticks).add("batches", r.batches);
        o.add("kept", r.kept);
        if (r.lag_ms) {
            o.add("lag_ms", *r.lag_ms).add("credit_ms", r.credit_ms).add("watchers", r.watchers);
        }
        return Answer{200, o.text()};
    }
    return Answer{r.state == AttemptState::kRefused ? 422 : 200, end_json(watched_end(r))};
}

Reply taken(const Request& request, Leaderboard& board) {
    const std::optional<long long> id = whole_number(request.parts[0], 1, kLargestId);
    if (!id) {
        return error_answer(404, "no such attempt");
    }
    const std::optional<long long> n = whole_number(request.arg("batch"), 0, 999999999);
    if (!n) {
        return error_answer(400, "a batch is numbered from 0: ?batch=N");
    }
    const AttemptReply reply =
        board.attempts.batch(*id, static_cast<int>(*n), request.token, request.body);
    if (reply.settle) {
        const std::function<AttemptReply()> settle = reply.settle;
        return Reply([settle] { return batch_answer(settle()); }, true);
    }
    return batch_answer(reply);
}

Answer live_now(const Request& request, Store& store) {
    Board board = Board::kOpen;
    std::string day;
    if (const std::optional<Answer> unread = board_asked(request, false, board, day)) {
        return *unread;
    }
    std::optional<long long> limit = limits::kLiveDefault;
    if (request.query.count("limit") != 0) {
        limit = whole_number(request.arg("limit"), 1, limits::kLiveMax);
        if (!limit) {
            return error_answer(
                400, "limit is a whole number from 1 to " + std::to_string(limits::kLiveMax));
        }
    }
    std::string rows = "[";
    for (const LiveEntry& e : store.live_games(board, day, static_cast<int>(*limit))) {
        JsonObject o;
        o.add("attempt", e.attempt).add("board", name_of(e.board)).add("day", e.day);
        o.add("name", e.name).add("level", e.level).add("score", e.score).add("ticks", e.ticks);
        rows += (rows.size() > 1 ? ", " : "") + o.add("watchers", e.watchers).text();
    }
    JsonObject o;
    o.add("board", name_of(board));
    if (board == Board::kDaily) {
        o.add("day", day);
    }
    return Answer{200, o.add_raw("games", rows + "]").text()};
}

Reply watched(const Request& request, Leaderboard& board) {
    const std::optional<long long> id = whole_number(request.parts[0], 1, kLargestId);
    if (!id) {
        return error_answer(404, "no such attempt");
    }
    // Where to start: after the last event a client had (it came back), or where it asks.
    std::optional<long long> from = 0;
    if (!request.last_event_id.empty()) {
        from = whole_number(request.last_event_id, 0, 999999998);
        from = from ? std::optional<long long>(*from + 1) : std::nullopt;
    } else if (request.query.count("from") != 0) {
        from = whole_number(request.arg("from"), 0, 999999999);
    }
    if (!from) {
        return error_answer(400, "a game is watched from a batch numbered from 0: ?from=N");
    }
    Refused refused;
    std::shared_ptr<Watcher> watcher =
        board.attempts.watch(*id, static_cast<int>(*from), request.client, refused);
    if (!watcher) {
        return refusal_answer(refused);
    }
    return Reply(std::move(watcher));
}

}  // namespace

void Routes::attempts(Leaderboard& board) {
    using R = Route::Runs;
    Leaderboard* b = &board;
    rows.push_back({"POST", "/api/v1/attempts", limits::kMaxAttemptBody, false, R::kAtOnce,
                    [b](const Request& r) { return Reply(created(r, *b)); }});
    rows.push_back(
        {"GET", "/api/v1/attempts/{id}", 0, false, R::kAtOnce, [b](const Request& r) -> Reply {
             const std::optional<long long> id = whole_number(r.parts[0], 1, kLargestId);
             const std::optional<Attempt> a = id ? b->attempts.show(*id) : std::nullopt;
             return a ? Answer{200, attempt_json(*a)} : error_answer(404, "no such attempt");
         }});
    rows.push_back({"POST", "/api/v1/attempts/{id}/records", limits::kMaxBatch, false, R::kAtOnce,
                    [b](const Request& r) { return taken(r, *b); }});
    rows.push_back({"GET", "/api/v1/live", 0, false, R::kAtOnce,
                    [b](const Request& r) { return Reply(live_now(r, b->store)); }});
    rows.push_back({"GET", "/api/v1/attempts/{id}/watch", 0, false, R::kAtOnce,
                    [b](const Request& r) { return watched(r, *b); }});
}
