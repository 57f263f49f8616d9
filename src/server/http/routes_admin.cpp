// The operators' routes (/api/v1/admin/...), there only with the token given at start-up: the
// games listed, the log, a game hidden or shown again, a name banned or released.
#include <nlohmann/json.hpp>

#include "server/board/admin.h"
#include "server/board/dealer.h"
#include "server/http/json.h"
#include "server/http/routes.h"

namespace {

std::string game_json(const Entry& e) {
    JsonObject o;
    o.add("id", e.id).add("name", e.name).add("score", e.score).add("level", e.level);
    o.add("ticks", e.ticks).add("board", name_of(e.board)).add("day", e.day);
    return o.add("submitted", e.submitted).add_bool("hidden", e.hidden).text();
}

std::string log_json(const LogEntry& l) {
    return JsonObject()
        .add("id", l.id)
        .add("at", l.at)
        .add("who", l.who)
        .add("action", l.action)
        .add("target", l.target)
        .add("reason", l.reason)
        .text();
}

// %XX in a path's name, decoded.
std::string percent_decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string reason_of(const Request& request) {
    const nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    return body.is_object() && body.contains("reason") && body["reason"].is_string()
               ? body["reason"].get<std::string>()
               : "";
}

Answer done_answer(const Done& done) {
    return done.ok ? Answer{200, JsonObject().add("done", done.said).text()}
                   : error_answer(404, done.said);
}

}  // namespace

void Routes::admin(Leaderboard& board, const RouteSetup& setup) {
    if (setup.admin_token.empty()) {
        return;  // no operator's token: the paths are not there
    }
    using R = Route::Runs;
    Store* store = &board.store;
    const std::string token_hash = content_hash(setup.admin_token);
    // Each handler first asks for the operator's token.
    const auto guarded = [token_hash](std::function<Answer(const Request&)> handler) {
        return [token_hash, handler](const Request& r) -> Reply {
            if (!same_hash(content_hash(r.token), token_hash)) {
                return error_answer(403, "an operator's token is needed here");
            }
            return handler(r);
        };
    };
    rows.push_back(
        {"GET", "/api/v1/admin/games", 0, false, R::kAtOnce, guarded([store](const Request& r) {
             std::string rows = "[";
             for (const Entry& e :
                  games_listed(*store, r.arg("board"), r.arg("name"), r.arg("since"))) {
                 rows += (rows.size() > 1 ? ", " : "") + game_json(e);
             }
             return Answer{200, JsonObject().add_raw("games", rows + "]").text()};
         })});
    rows.push_back(
        {"GET", "/api/v1/admin/log", 0, false, R::kAtOnce, guarded([store](const Request&) {
             std::string rows = "[";
             for (const LogEntry& l : operators_log(*store)) {
                 rows += (rows.size() > 1 ? ", " : "") + log_json(l);
             }
             return Answer{200, JsonObject().add_raw("log", rows + "]").text()};
         })});
    constexpr size_t kReasonBody = 4096;  // {"reason": "..."}
    for (const bool hide : {true, false}) {
        rows.push_back({"POST",
                        hide ? "/api/v1/admin/games/{id}/hide" : "/api/v1/admin/games/{id}/unhide",
                        kReasonBody, false, R::kAtOnce, guarded([store, hide](const Request& r) {
                            return done_answer(hide_game(*store, percent_decoded(r.parts[0]), hide,
                                                         "http:" + r.client, reason_of(r)));
                        })});
    }
    rows.push_back({"POST", "/api/v1/admin/names/{name}/ban", kReasonBody, false, R::kAtOnce,
                    guarded([store](const Request& r) {
                        return done_answer(ban_name(*store, percent_decoded(r.parts[0]),
                                                    "http:" + r.client, reason_of(r)));
                    })});
    rows.push_back({"POST", "/api/v1/admin/names/{name}/release", kReasonBody, false, R::kAtOnce,
                    guarded([store](const Request& r) {
                        return done_answer(release_name(*store, percent_decoded(r.parts[0]),
                                                        "http:" + r.client, reason_of(r)));
                    })});
}
