// What the daemon's threads share (server.cpp), and how a request is taken, from its first
// byte to its answer (requests.cpp): its route found, its limits applied, its handler run at
// once or on a worker while the connection waits.
#pragma once

#include <microhttpd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "server/board/rate_limit.h"
#include "server/board/workers.h"
#include "server/http/routes.h"
#include "server/http/setup.h"

using Clock = std::chrono::steady_clock;

struct EventStream;

struct DaemonState {
    DaemonState(const HttpSetup& s, const Routes& r, Workers& w)
        : setup(s),
          routes(r),
          workers(w),
          rate(s.submit_rate),
          deadline(std::chrono::seconds(s.client_timeout * limits::kRequestTimeouts)) {}

    HttpSetup setup;
    const Routes& routes;
    Workers& workers;
    RateLimit rate;
    Clock::duration deadline;  // for a whole request to come in
    MHD_Daemon* daemon = nullptr;
    std::mutex mutex;
    std::condition_variable idle;
    int in_flight = 0;                               // requests begun and not yet answered
    std::unordered_map<std::string, int> by_client;  // of those, each client's
    size_t bodies = 0;  // bytes of request bodies held, all requests together
    std::unordered_map<EventStream*, std::weak_ptr<EventStream>> streams;  // open ones
};

// One request, from its first byte to its log line.
struct Exchange {
    Request request;
    const Route* route = nullptr;
    std::string allowed;  // the methods the path takes, when its route wants another
    Clock::time_point began = Clock::now();
    bool too_large = false;
    bool too_many = false;  // the bodies in flight, or the client's requests, past their limits
    size_t dropped = 0;     // bytes of a body too large, read and dropped
    int status = 0;
    std::string label;  // the metrics': the route's path, or what stood for one
    // An answer made on a worker while the connection is suspended.
    bool deferred = false;
    bool counted = false;           // in its client's count
    size_t held = 0;                // bytes of its body counted in the bodies held
    EventStream* stream = nullptr;  // the events it answers with, if it watches a game
    std::mutex mutex;
    Answer answer;
};

// A request's first call: its route found, and a body it cannot take refused.
MHD_Result begin_request(DaemonState& s, MHD_Connection* c, Exchange& x);
// Its body, as it comes, within its route's limit and the bodies' held at once.
MHD_Result take_body(DaemonState& s, MHD_Connection* c, Exchange& x, const char* upload,
                     size_t* upload_size);
// What it held, let go as it ends.
void release(DaemonState& s, Exchange& x);
// The whole request is in: answered, as its route says.
MHD_Result respond(DaemonState& s, MHD_Connection* c, Exchange& x);
