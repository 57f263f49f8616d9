#include "server/api.h"

#include <cstdlib>

#include "server/attempts.h"
#include "server/dealer.h"
#include "server/json.h"
#include "server/limits.h"
#include "server/metrics.h"
#include "server/names.h"
#include "server/players.h"
#include "server/verify.h"

namespace {

constexpr const char* kGames = "/api/v1/games";
constexpr const char* kScores = "/api/v1/scores";
constexpr const char* kAttempts = "/api/v1/attempts";

std::string entry_json(const Entry& e, bool with_submitted) {
    JsonObject o;
    o.add("id", e.id).add("name", e.name).add("score", e.score).add("level", e.level);
    o.add("lives", e.lives).add("ticks", e.ticks).add("rank", e.rank).add("board", e.board);
    if (e.board == "daily") {
        o.add("day", e.day);
    }
    if (with_submitted) {
        o.add("submitted", e.submitted);
    }
    return o.text();
}

std::string outcome_json(const Outcome& o) {
    return JsonObject()
        .add("ticks", o.ticks)
        .add("level", o.level)
        .add("score", o.score)
        .add("lives", o.lives)
        .text();
}

// A whole number in plain decimal from min to max, or -1.
long long whole_number(const std::string& text, long long min, long long max) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos) {
        return -1;
    }
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return value >= min && value <= max ? value : -1;
}

Answer scores(const Request& request, Store& store) {
    long long limit = limits::kScoresDefault;
    long long offset = 0;
    const auto query = [&request](const char* key) {
        const auto it = request.query.find(key);
        return it == request.query.end() ? std::string() : it->second;
    };
    const std::string board = query("board").empty() ? "open" : query("board");
    std::string day = query("day");
    if (board != "open" && board != "daily" && board != "uploaded") {
        return error_answer(400, "board is open, daily or uploaded");
    }
    if (board == "daily") {
        day = day.empty() ? utc_day(now_micros()) : day;
        if (!valid_day(day)) {
            return error_answer(400, "day is written YYYY-MM-DD");
        }
    } else if (!day.empty()) {
        return error_answer(400, "only the daily board has days");
    }
    if (const auto it = request.query.find("limit"); it != request.query.end()) {
        limit = whole_number(it->second, 1, limits::kScoresMax);
        if (limit < 0) {
            return error_answer(400, "limit is a whole number from 1 to 100");
        }
    }
    if (const auto it = request.query.find("offset"); it != request.query.end()) {
        offset = whole_number(it->second, 0, 999999999999999999);
        if (offset < 0) {
            return error_answer(400, "offset is a whole number from 0");
        }
    }
    const long long total = store.total(board, day);
    std::string rows = "[";
    for (const Entry& e : store.page(static_cast<int>(limit), offset, board, day)) {
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
    o.add("board", board);
    if (board == "daily") {
        o.add("day", day);
    }
    return Answer{200, o.add("total", total).add_raw("scores", rows + "]").text()};
}

Answer game(const std::string& rest, Store& store) {
    const bool replay = rest.size() > 7 && rest.compare(rest.size() - 7, 7, "/replay") == 0;
    const long long id =
        whole_number(replay ? rest.substr(0, rest.size() - 7) : rest, 1, 999999999999999999);
    if (id < 0) {
        return error_answer(404, "no such game");
    }
    if (!replay) {
        const std::optional<Entry> e = store.entry(id);
        return e ? Answer{200, entry_json(*e, true)} : error_answer(404, "no such game");
    }
    const std::optional<std::string> body = store.recording(id);
    if (!body) {
        return error_answer(404, "no such game");
    }
    Answer a{200, *body, "text/plain; charset=utf-8"};
    a.headers.push_back({"Content-Disposition",
                         "attachment; filename=\"velmora-" + std::to_string(id) + ".replay\""});
    return a;
}

Answer wrong_method(const char* allowed) {
    Answer a = error_answer(405, std::string("this address takes ") + allowed);
    a.headers.push_back({"Allow", allowed});
    return a;
}

// /api/v1/attempts, /api/v1/attempts/ID and /api/v1/attempts/ID/records.
Answer attempt_request(const Request& request, Attempts& attempts) {
    const std::string& path = request.path;
    const std::string prefix = std::string(kAttempts) + "/";
    if (path == kAttempts) {
        return request.method == "POST" ? attempts.create(request.body, request.client)
                                        : wrong_method("POST");
    }
    std::string rest = path.substr(prefix.size());
    const bool records = rest.size() > 8 && rest.compare(rest.size() - 8, 8, "/records") == 0;
    if (records) {
        rest.resize(rest.size() - 8);
    }
    const long long id = whole_number(rest, 1, 999999999999999999);
    if (id < 0) {
        return error_answer(404, "no such attempt");
    }
    if (records) {
        if (request.method != "POST") {
            return wrong_method("POST");
        }
        const auto batch = request.query.find("batch");
        return attempts.batch(id, batch == request.query.end() ? "" : batch->second, request.token,
                              request.body);
    }
    return request.method == "GET" || request.method == "HEAD" ? attempts.show(id)
                                                               : wrong_method("GET");
}

}  // namespace

Answer error_answer(int status, const std::string& message) {
    return Answer{status, json_error(message)};
}

bool is_attempt_path(const std::string& path) {
    return path == kAttempts || path.compare(0, 17, "/api/v1/attempts/") == 0;
}

bool is_api_path(const std::string& path) {
    return path == "/healthz" || path.compare(0, 5, "/api/") == 0 || path == "/api";
}

bool is_submission(const Request& request) {
    return request.method == "POST" && request.path == kGames;
}

Answer submit_game(const std::string& raw_name, const std::string& key, const std::string& body,
                   Store& store, Players& players) {
    std::string why;
    const std::optional<std::string> name = valid_name(raw_name, why);
    if (!name) {
        return error_answer(400, why);
    }
    if (const std::string refused = players.admit(*name, key); !refused.empty()) {
        return error_answer(Players::well_formed(key) || key.empty() ? 403 : 400, refused);
    }
    const Verdict verdict = verify_recording(body);
    if (verdict.kind == Verdict::kVerified) {
        Metrics::server().verified();
    } else {
        Metrics::server().refused(verdict.kind == Verdict::kMalformed ? "malformed"
                                                                      : verdict.error);
    }
    switch (verdict.kind) {
        case Verdict::kMalformed:
            return error_answer(400, verdict.error);
        case Verdict::kTooLong:
        case Verdict::kTooCostly:
            return error_answer(422, verdict.error);
        case Verdict::kDiverged:
            return Answer{422, JsonObject()
                                   .add("error", verdict.error)
                                   .add("tick", verdict.tick)
                                   .add_raw("recorded", outcome_json(verdict.recorded))
                                   .add_raw("replayed", outcome_json(verdict.outcome))
                                   .text()};
        case Verdict::kVerified:
            break;
    }
    const NewGame game{content_hash(body),
                       *name,
                       verdict.outcome.score,
                       verdict.outcome.level,
                       verdict.outcome.lives,
                       verdict.game_ticks,
                       utc_now(),
                       body};
    const auto [entry, added] = store.add(game);
    return Answer{added ? 201 : 200, entry_json(entry, false)};
}

Answer answer(const Request& request, Store& store, Attempts& attempts) {
    const std::string& path = request.path;
    const std::string games = std::string(kGames) + "/";
    if (path == "/healthz") {
        if (request.method != "GET" && request.method != "HEAD") {
            return wrong_method("GET");
        }
        return store.healthy() ? Answer{200, JsonObject().add("status", "ok").text()}
                               : error_answer(503, "the database does not answer");
    }
    if (path == kScores) {
        return request.method == "GET" || request.method == "HEAD" ? scores(request, store)
                                                                   : wrong_method("GET");
    }
    if (path == kGames) {
        return request.method == "POST" ? error_answer(500, "a submission reached the wrong door")
                                        : wrong_method("POST");
    }
    if (is_attempt_path(path)) {
        return attempt_request(request, attempts);
    }
    if (path.compare(0, games.size(), games) == 0) {
        return request.method == "GET" || request.method == "HEAD"
                   ? game(path.substr(games.size()), store)
                   : wrong_method("GET");
    }
    return error_answer(404, "no such address: " + path.substr(0, 100));
}
