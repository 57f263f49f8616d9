// The leaderboard over HTTP, on libmicrohttpd: a few threads read requests and answer the quick
// ones; a request whose route runs on a worker (a submission, an attempt's settling) has its
// connection suspended while a verification worker makes the answer, and resumed with it.
// Before any handler runs, each request meets its route's limits (body size, submissions a
// minute, the queue) and the server's (slow or idle clients); each leaves one log line and its
// route's metrics; --web's files are served beside the API.
#pragma once

#include <memory>
#include <string>

#include "server/board/workers.h"
#include "server/http/routes.h"
#include "server/http/setup.h"

struct DaemonState;

class HttpServer {
  public:
    // Serves `routes`, making the answers of those that run on a worker on `workers`; neither
    // is owned, both outlive the server. Null, with `error`, if it cannot listen.
    static std::unique_ptr<HttpServer> start(const HttpSetup& setup, const Routes& routes,
                                             Workers& workers, std::string& error);
    // Takes no new connection, lets the requests in flight finish (for up to `grace` seconds),
    // then stops.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port it listens on (the one chosen when asked for 0).
    int port() const;
    void stop(int grace_seconds);

  private:
    explicit HttpServer(std::unique_ptr<DaemonState> state);
    std::unique_ptr<DaemonState> state;
};
