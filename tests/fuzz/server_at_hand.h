// The leaderboard as the fuzz targets and their seeds' runs ask it: a store of its own (SQLite
// in memory), the board over it with no clock to keep (a batch is judged by what it holds, not
// by when it came), and the one route table, asked as the HTTP layer asks it.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "server/board/leaderboard.h"
#include "server/http/routes.h"

inline Routes& routes_at_hand() {
    static const std::unique_ptr<Store> store = [] {
        std::string error;
        std::unique_ptr<Store> s = open_store("sqlite::memory:", 1, error);
        if (!s) {
            std::abort();
        }
        return s;
    }();
    static Leaderboard board(*store, Attempts::Rules{1LL << 50, 1LL << 50, 0});
    static Routes routes(board, RouteSetup{});
    return routes;
}

// The answer to a request, its worker's part made at once.
inline Answer ask(const std::string& method, const std::string& path, const std::string& body,
                  std::map<std::string, std::string> query = {}, const std::string& token = "",
                  const std::string& client = "fuzz") {
    Request r;
    r.method = method;
    r.path = path;
    r.body = body;
    r.query = std::move(query);
    r.token = token;
    r.client = client;
    r.content_type = "application/json";  // as the page and the desktop send their asks
    std::string allowed;
    const Route* route = routes_at_hand().find(method, path, r.parts, allowed);
    if (route == nullptr) {
        return error_answer(allowed.empty() ? 404 : 405, "no route");
    }
    if (body.size() > route->body_limit) {
        return error_answer(413, "too large");
    }
    Reply reply = route->handler(r);
    return reply.later ? reply.later() : reply.now;
}

// Whether `a` is one of the API's answers: one of `statuses`, its body a JSON object.
inline bool api_answer(const Answer& a, std::initializer_list<int> statuses) {
    bool known = false;
    for (const int s : statuses) {
        known = known || a.status == s;
    }
    return known && !a.body.empty() && a.body.front() == '{' && a.body.back() == '}';
}
