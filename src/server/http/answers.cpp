#include "server/http/answers.h"

#include "server/board/dealer.h"
#include "server/http/json.h"
#include "server/limits.h"

int status_of(Refusal kind) {
    switch (kind) {
        case Refusal::kNone:
            return 200;
        case Refusal::kMalformed:
            return 400;
        case Refusal::kWrongToken:
            return 401;
        case Refusal::kNameTaken:
            return 403;
        case Refusal::kNotFound:
            return 404;
        case Refusal::kOutOfTurn:
            return 409;
        case Refusal::kUnrankable:
            return 422;
        case Refusal::kTooMany:
            return 429;
        case Refusal::kBusy:
            return 503;
    }
    return 500;
}

Answer refusal_answer(const Refused& r) {
    Answer a = error_answer(status_of(r.kind), r.reason);
    if (r.kind == Refusal::kTooMany || r.kind == Refusal::kBusy) {
        a.headers.push_back({"Retry-After", std::to_string(limits::kRetryAfter)});
    } else if (r.kind == Refusal::kWrongToken) {
        a.headers.push_back({"WWW-Authenticate", "Bearer"});
    }
    return a;
}

std::string entry_json(const Entry& e, bool with_submitted) {
    JsonObject o;
    o.add("id", e.id).add("name", e.name).add("score", e.score).add("level", e.level);
    o.add("lives", e.lives)
        .add("ticks", e.ticks)
        .add("rank", e.rank)
        .add("board", name_of(e.board));
    if (e.board == Board::kDaily) {
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

std::string end_json(const WatchedEnd& end) {
    JsonObject o;
    o.add("state", name_of(end.state)).add("reason", end.reason).add("ticks", end.ticks);
    if (end.outcome) {
        o.add("score", end.outcome->score).add("level", end.outcome->level);
        o.add("lives", end.outcome->lives);
    }
    if (end.entry) {
        o.add("game", end.entry->id).add("rank", end.entry->rank);
        o.add("board", name_of(end.entry->board)).add("day", end.entry->day);
    }
    return o.text();
}

std::optional<Answer> board_asked(const Request& request, bool uploaded, Board& board,
                                  std::string& day) {
    const std::optional<Board> named =
        board_named(request.arg("board").empty() ? "open" : request.arg("board"));
    day = request.arg("day");
    if (!named || (!uploaded && *named == Board::kUploaded)) {
        return error_answer(
            400, uploaded ? "board is open, daily or uploaded" : "board is open or daily");
    }
    board = *named;
    if (board == Board::kDaily) {
        day = day.empty() ? utc_day(now_micros()) : day;
        if (!valid_day(day)) {
            return error_answer(400, "day is written YYYY-MM-DD");
        }
    } else if (!day.empty()) {
        return error_answer(400, "only the daily board has days");
    }
    return std::nullopt;
}
