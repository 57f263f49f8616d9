#include "server/http.h"

#include <microhttpd.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "server/admin.h"
#include "server/api.h"
#include "server/attempts.h"
#include "server/clients.h"
#include "server/limits.h"
#include "server/listen_address.h"
#include "server/metrics.h"
#include "server/players.h"
#include "server/rate_limit.h"
#include "server/static_files.h"
#include "server/workers.h"

using Clock = std::chrono::steady_clock;

struct HttpServer::State {
    State(const HttpSetup& s, Store& st)
        : setup(s),
          admin_token_hash(s.admin_token.empty() ? "" : content_hash(s.admin_token)),
          store(st),
          workers(std::make_unique<Workers>(
              s.workers, static_cast<size_t>(s.workers) * limits::kQueuePerWorker)),
          rate(s.submit_rate),
          players(st),
          attempts(st, players, Attempts::Rules{limits::kAheadMs, s.lag_bound_ms, s.workers}) {}

    HttpSetup setup;
    std::string admin_token_hash;  // "" without an operator's token: no admin paths
    Store& store;
    std::unique_ptr<Workers> workers;  // gone, its jobs done, before the daemon stops
    RateLimit rate;
    Players players;
    Attempts attempts;
    MHD_Daemon* daemon = nullptr;
    std::mutex mutex;
    std::condition_variable idle;
    int in_flight = 0;  // requests begun and not yet answered
    bool stopping = false;
    std::thread sweeper;  // expires silent attempts, once a second
};

namespace {

using State = HttpServer::State;

// One request, from its first byte to its log line.
struct Exchange {
    Request request;
    std::string client;
    Clock::time_point began = Clock::now();
    bool too_large = false;
    size_t dropped = 0;  // bytes of a body too large, read and dropped
    int status = 0;
    // A submission, answered by a worker while the connection is suspended.
    bool submitted = false;
    std::mutex mutex;
    bool answered = false;
    Answer answer;
};

MHD_Result collect_query(void* cls, MHD_ValueKind, const char* key, const char* value) {
    static_cast<Request*>(cls)->query[key] = value != nullptr ? value : "";
    return MHD_YES;
}

MHD_Result send(MHD_Connection* c, Exchange& x, const Answer& a) {
    const bool head = x.request.method == "HEAD";
    MHD_Response* r = MHD_create_response_from_buffer(
        head ? 0 : a.body.size(), const_cast<char*>(a.body.data()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(r, "Content-Type", a.content_type.c_str());
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : a.headers) {
        MHD_add_response_header(r, name.c_str(), value.c_str());
    }
    x.status = a.status;
    const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(a.status), r);
    MHD_destroy_response(r);
    return queued;
}

Answer busy(int status, const std::string& message) {
    Answer a = error_answer(status, message);
    a.headers.push_back({"Retry-After", std::to_string(limits::kRetryAfter)});
    return a;
}

Answer too_large(const Exchange& x) {
    return is_attempt_path(x.request.path)
               ? error_answer(413, "a batch is at most 64 KiB: send them more often")
               : error_answer(413, "a recording is at most 4 MiB");
}

size_t body_limit(const Exchange& x) {
    return is_attempt_path(x.request.path) ? limits::kMaxBatch : limits::kMaxBody;
}

// The bearer token of an Authorization header, or "".
std::string bearer_token(MHD_Connection* c) {
    const char* header = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Authorization");
    const std::string prefix = "Bearer ";
    if (header == nullptr || strncasecmp(header, prefix.c_str(), prefix.size()) != 0) {
        return "";
    }
    return header + prefix.size();
}

bool asks_before_sending(MHD_Connection* c) {
    const char* expect = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Expect");
    return expect != nullptr && strcasecmp(expect, "100-continue") == 0;
}

double seconds_now() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// An answer made on a worker while the connection is suspended; resumed with it.
MHD_Result defer(State& s, MHD_Connection* c, Exchange& x, std::function<Answer()> make) {
    x.submitted = true;
    MHD_suspend_connection(c);
    Exchange* waiting = &x;
    const bool queued = s.workers->submit([waiting, make, c] {
        Answer a;
        try {
            a = make();
        } catch (const StoreError& e) {
            Metrics::server().database_error();
            a = error_answer(500, std::string("the database failed: ") + e.what());
        }
        {
            std::lock_guard<std::mutex> lock(waiting->mutex);
            waiting->answer = std::move(a);
            waiting->answered = true;
        }
        MHD_resume_connection(c);
    });
    if (!queued) {
        std::lock_guard<std::mutex> lock(x.mutex);
        x.answer = busy(503, "every verifier is busy: try again shortly");
        x.answered = true;
        MHD_resume_connection(c);
    }
    return MHD_YES;
}

// A submission: checked against the rate, then handed to a worker while the connection waits.
MHD_Result submit(State& s, MHD_Connection* c, Exchange& x) {
    int retry = 0;
    if (!s.rate.allow(x.client, seconds_now(), retry)) {
        Answer a = error_answer(429, "too many submissions from this address: try again in " +
                                         std::to_string(retry) + " s");
        a.headers.push_back({"Retry-After", std::to_string(retry)});
        return send(c, x, a);
    }
    const char* name = nullptr;
    size_t name_size = 0;
    if (MHD_lookup_connection_value_n(c, MHD_GET_ARGUMENT_KIND, "name", 4, &name, &name_size) !=
            MHD_YES ||
        name == nullptr) {
        return send(c, x, error_answer(400, "a submission needs a name: ?name=NAME"));
    }
    const std::string raw_name(name, name_size);
    Store* store = &s.store;
    const std::string* body = &x.request.body;
    Players* players = &s.players;
    const std::string key = x.request.key;
    return defer(s, c, x, [store, players, raw_name, key, body] {
        return submit_game(raw_name, key, *body, *store, *players);
    });
}

MHD_Result serve_file(MHD_Connection* c, Exchange& x, const StaticFile& file) {
    MHD_Response* r = MHD_create_response_from_fd(static_cast<uint64_t>(file.size), file.fd);
    if (r == nullptr) {
        return send(c, x, error_answer(500, "cannot read the file"));
    }
    MHD_add_response_header(r, "Content-Type", file.content_type.c_str());
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    // Tells the page it came with a leaderboard, so a page served from plain files asks for none.
    MHD_add_response_header(r, "X-Velmora-Leaderboard", "api/v1/");
    x.status = 200;
    const MHD_Result queued = MHD_queue_response(c, 200, r);
    MHD_destroy_response(r);
    return queued;
}

// The whole request is in: answer it.
MHD_Result respond(State& s, MHD_Connection* c, Exchange& x) {
    if (x.status != 0 && !x.submitted) {
        return MHD_YES;  // answered already: refused before its body was read
    }
    if (x.submitted) {
        std::lock_guard<std::mutex> lock(x.mutex);
        return send(c, x, x.answer);  // resumed with the worker's answer
    }
    if (x.too_large) {
        return send(c, x, too_large(x));
    }
    MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, collect_query, &x.request);
    if (is_submission(x.request)) {
        return submit(s, c, x);
    }
    const bool get = x.request.method == "GET" || x.request.method == "HEAD";
    if (!s.setup.web_root.empty() && get && !is_api_path(x.request.path)) {
        if (const std::optional<StaticFile> file = find_static(s.setup.web_root, x.request.path)) {
            return serve_file(c, x, *file);
        }
    }
    try {
        if (is_admin_path(x.request.path)) {
            return send(c, x, admin_request(x.request, s.store, s.admin_token_hash));
        }
        if (s.setup.metrics && x.request.path == "/metrics" && get) {
            return send(c, x,
                        Answer{200,
                               Metrics::server().text(static_cast<long long>(s.workers->depth() +
                                                                             s.attempts.waiting()),
                                                      s.store.live_attempts()),
                               "text/plain; version=0.0.4; charset=utf-8"});
        }
        Answer a = answer(x.request, s.store, s.attempts);
        if (a.later) {
            return defer(s, c, x, a.later);
        }
        return send(c, x, a);
    } catch (const StoreError& e) {
        Metrics::server().database_error();
        return send(c, x, error_answer(500, std::string("the database failed: ") + e.what()));
    }
}

MHD_Result handle(void* cls, MHD_Connection* c, const char* url, const char* method,
                  const char* /*version*/, const char* upload, size_t* upload_size,
                  void** context) {
    State& s = *static_cast<State*>(cls);
    auto* x = static_cast<Exchange*>(*context);
    if (x == nullptr) {
        x = new Exchange;
        x->request.method = method;
        x->request.path = url;
        x->client = client_of(c, s.setup.behind_proxy);
        x->request.client = x->client;
        x->request.token = bearer_token(c);
        if (const char* key = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Velmora-Key")) {
            x->request.key = key;
        }
        *context = x;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            ++s.in_flight;
        }
        const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Length");
        if (length != nullptr && std::strtoull(length, nullptr, 10) > body_limit(*x)) {
            x->too_large = true;
            // A client that asks before sending waits for the answer: it gets it now. Any other
            // sends the whole body before it reads a word, and a connection closed under it
            // leaves it a broken pipe: what it sends is read and dropped, then it is answered.
            if (asks_before_sending(c)) {
                return send(c, *x, too_large(*x));
            }
        }
        return MHD_YES;
    }
    if (*upload_size > 0) {
        // Counted here too: a chunked body announces no length.
        if (!x->too_large && x->request.body.size() + *upload_size > body_limit(*x)) {
            x->too_large = true;
            x->dropped = x->request.body.size();
            x->request.body = std::string();
        }
        if (x->too_large) {
            x->dropped += *upload_size;
        } else {
            x->request.body.append(upload, *upload_size);
        }
        *upload_size = 0;
        if (x->too_large && x->dropped > limits::kMaxDropped && x->status == 0) {
            return send(c, *x, too_large(*x));  // enough read for nothing: answer, and close
        }
        return MHD_YES;
    }
    return respond(s, c, *x);
}

void completed(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    State& s = *static_cast<State*>(cls);
    auto* x = static_cast<Exchange*>(*context);
    if (x == nullptr) {
        return;
    }
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - x->began).count());
    log_request(x->client, x->request.method, x->request.path, x->status, ms);
    Metrics::server().request(x->request.path, x->status,
                              std::chrono::duration<double>(Clock::now() - x->began).count());
    delete x;
    *context = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        --s.in_flight;
    }
    s.idle.notify_all();
}

}  // namespace

std::unique_ptr<HttpServer> HttpServer::start(const HttpSetup& setup, Store& store,
                                              std::string& error) {
    std::unique_ptr<State> state;
    try {
        state = std::make_unique<State>(setup, store);
    } catch (const StoreError& e) {
        error = std::string("the database failed: ") + e.what();
        return nullptr;
    }
    sockaddr_storage address{};
    bool v6 = false;
    if (!listen_address(setup.address, setup.port, address, v6, error)) {
        return nullptr;
    }
    unsigned flags =
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    if (v6) {
        flags |= MHD_USE_IPv6;
    }
    state->daemon = MHD_start_daemon(
        flags, static_cast<uint16_t>(setup.port), nullptr, nullptr, handle, state.get(),
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address), MHD_OPTION_THREAD_POOL_SIZE,
        static_cast<unsigned>(limits::kHttpThreads), MHD_OPTION_CONNECTION_TIMEOUT,
        setup.client_timeout, MHD_OPTION_CONNECTION_LIMIT, limits::kMaxConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits::kConnectionsPerAddress,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits::kConnectionMemory, MHD_OPTION_NOTIFY_COMPLETED,
        completed, state.get(), MHD_OPTION_END);
    if (state->daemon == nullptr) {
        error = "cannot listen on " + setup.address + ":" + std::to_string(setup.port) + ": " +
                std::strerror(errno);
        return nullptr;
    }
    State* shared = state.get();
    // Housekeeping four times a second (the database's, which costs least done often), the
    // silent attempts expired once a second.
    state->sweeper = std::thread([shared] {
        std::unique_lock<std::mutex> lock(shared->mutex);
        for (int round = 1; !shared->idle.wait_for(lock, std::chrono::milliseconds(250),
                                                   [shared] { return shared->stopping; });
             ++round) {
            lock.unlock();
            try {
                shared->store.tidy();
                if (round % 4 == 0) {
                    shared->attempts.sweep();
                }
            } catch (const StoreError& e) {
                std::fprintf(stderr, "velmora-server: housekeeping: %s\n", e.what());
            }
            lock.lock();
        }
    });
    return std::unique_ptr<HttpServer>(new HttpServer(std::move(state)));
}

HttpServer::HttpServer(std::unique_ptr<State> s) : state(std::move(s)) {}

HttpServer::~HttpServer() {
    stop(limits::kShutdownGrace);
}

int HttpServer::port() const {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(state->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info != nullptr ? info->port : state->setup.port;
}

void HttpServer::stop(int grace_seconds) {
    if (state->daemon == nullptr) {
        return;
    }
    // No new connections; what is in flight (verifications included) is answered. The workers
    // finish whatever they took, then the connections they resume get their answers.
    const MHD_socket listening = MHD_quiesce_daemon(state->daemon);
    const auto settle = [this](int seconds) {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->idle.wait_for(lock, std::chrono::seconds(seconds),
                             [this] { return state->in_flight == 0; });
    };
    settle(grace_seconds);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->stopping = true;
    }
    state->idle.notify_all();
    if (state->sweeper.joinable()) {
        state->sweeper.join();
    }
    state->workers.reset();
    settle(1);
    MHD_stop_daemon(state->daemon);
    if (listening != MHD_INVALID_SOCKET) {
        close(listening);
    }
    state->daemon = nullptr;
}
