// The leaderboard over HTTP, on libmicrohttpd: a few threads read requests and answer the quick
// ones; a submission's connection is suspended while a verification worker replays it, and
// resumed with the answer. Here are the limits a client meets before the API sees its request
// (body size, submissions a minute, queue, slow or idle clients), one log line per request,
// and --web's files.
#pragma once

#include <memory>
#include <string>

#include "server/limits.h"
#include "server/store.h"

struct HttpSetup {
    std::string address = "127.0.0.1";  // IPv4 or IPv6 literal
    int port = 8080;                    // 0: any free port
    int workers = 1;                    // verification threads
    int submit_rate = 30;               // submissions per address per minute
    std::string web_root;               // serve these files at / (empty: none)
    bool behind_proxy = false;          // the client is the last X-Forwarded-For address
    unsigned client_timeout = limits::kConnectionTimeout;  // seconds idle or slow, then cut
    long long lag_bound_ms = limits::kLagBoundMs;          // a live game's pause allowance
    bool metrics = false;                                  // GET /metrics answers
    std::string admin_token;                               // /api/v1/admin/ answers to it
};

class HttpServer {
  public:
    // Serves `store` (not owned; it outlives the server). Null, with `error`, if it cannot
    // listen.
    static std::unique_ptr<HttpServer> start(const HttpSetup& setup, Store& store,
                                             std::string& error);
    // Takes no new connection, lets the requests in flight finish (for up to `grace` seconds),
    // then stops.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port it listens on (the one chosen when asked for 0).
    int port() const;
    void stop(int grace_seconds);

    struct State;  // what the threads share

  private:
    explicit HttpServer(std::unique_ptr<State> state);
    std::unique_ptr<State> state;
};
