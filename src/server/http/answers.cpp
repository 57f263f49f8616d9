#include "server/http/answers.h"

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
    }
    return 500;
}

Answer refusal_answer(const Refused& r) {
    Answer a = error_answer(status_of(r.kind), r.reason);
    if (r.kind == Refusal::kTooMany) {
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
