// The server's one route table: each row a method and a path (its {id} and {name} parts any
// one segment), the largest body it takes (none for a GET), whether a client's rate of it is
// limited, whether it runs on a verification worker (the connection waits) or at once, and its
// handler. The daemon (server.h) finds the row as a request begins and applies it before any
// handler runs; the row's path is also the request's metrics label, so labels stay few.
//
//   GET  /healthz                          the database answers
//   GET  /metrics                          with --metrics: Prometheus's text format
//   GET  /api/v1/scores?board=B&day=D&limit=N&offset=M
//   POST /api/v1/games?name=NAME           a recording: verified, kept, ranked (uploaded)
//   GET  /api/v1/games/{id}                GET /api/v1/games/{id}/replay
//   POST /api/v1/attempts                  {"board", "name", "key", "day"}: a ranked game dealt
//   GET  /api/v1/attempts/{id}             where it stands
//   POST /api/v1/attempts/{id}/records?batch=N   (Authorization: Bearer TOKEN) its lines
//   GET  /api/v1/live?board=B&day=D&limit=N      the games being played, best first
//   GET  /api/v1/attempts/{id}/watch?from=N      the game as it is played (text/event-stream)
//   /api/v1/admin/...                      the operators' (with --admin-token-file)
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "server/board/leaderboard.h"
#include "server/http/exchange.h"

struct Route {
    enum class Runs { kAtOnce, kOnWorker };
    const char* method;
    const char* path;
    size_t body_limit;  // bytes; 0: no body
    bool rate_limited;  // counted against the client's submissions a minute
    Runs runs;
    std::function<Reply(const Request&)> handler;
};

// What the operators set at start.
struct RouteSetup {
    bool metrics = false;     // GET /metrics answers
    std::string admin_token;  // /api/v1/admin/ answers to it ("": those paths are not there)
    std::function<long long()> queue_depth;  // jobs waiting for a verifier, for /metrics
};

class Routes {
  public:
    Routes(Leaderboard& board, const RouteSetup& setup);

    // The row for `method` and `path` (HEAD as GET), its parts into `parts`; null for none. A
    // path some row has with another method: `allowed` lists the methods it takes.
    const Route* find(const std::string& method, const std::string& path,
                      std::vector<std::string>& parts, std::string& allowed) const;

  private:
    // The rows of the scores, games and uploads; of live attempts; of the operators.
    void api(Leaderboard& board, const RouteSetup& setup);
    void attempts(Leaderboard& board);
    void admin(Leaderboard& board, const RouteSetup& setup);
    std::vector<Route> rows;
};

// Whether `path` is the API's (or the health check's): never served from --web.
bool is_api_path(const std::string& path);
