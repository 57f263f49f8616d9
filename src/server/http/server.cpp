#include "server/http/server.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/http/clients.h"
#include "server/http/daemon.h"
#include "server/http/event_stream.h"
#include "server/http/listen_address.h"
#include "server/http/metrics.h"

namespace {

using State = DaemonState;

MHD_Result handle(void* cls, MHD_Connection* c, const char* url, const char* method,
                  const char* /*version*/, const char* upload, size_t* upload_size,
                  void** context) {
    State& s = *static_cast<State*>(cls);
    auto* x = static_cast<Exchange*>(*context);
    if (x == nullptr) {
        x = new Exchange;
        x->request.method = method;
        x->request.path = url;
        *context = x;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            ++s.in_flight;
        }
        return begin_request(s, c, *x);
    }
    if (*upload_size > 0) {
        // A whole request comes in within its deadline, however it trickles.
        if (!x->deferred && Clock::now() - x->began > s.deadline) {
            return MHD_NO;
        }
        return take_body(s, c, *x, upload, upload_size);
    }
    return respond(s, c, *x);
}

void completed(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
    State& s = *static_cast<State*>(cls);
    auto* x = static_cast<Exchange*>(*context);
    if (x == nullptr) {
        return;
    }
    const std::chrono::duration<double> took = Clock::now() - x->began;
    log_request(x->request.client, x->request.method, x->request.path, x->status,
                static_cast<long>(took.count() * 1000));
    Metrics::server().request(x->label, x->status, took.count());
    release(s, *x);
    if (x->stream != nullptr) {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.streams.erase(x->stream);
    }
    delete x;
    *context = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        --s.in_flight;
    }
    s.idle.notify_all();
}

}  // namespace

std::unique_ptr<HttpServer> HttpServer::start(const HttpSetup& setup, const Routes& routes,
                                              Workers& workers, std::string& error) {
    auto state = std::make_unique<DaemonState>(setup, routes, workers);
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
        // Behind a proxy every connection is the proxy's: the server counts clients itself.
        MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        setup.trusted_proxy.empty() ? limits::kConnectionsPerAddress : 0u,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits::kConnectionMemory, MHD_OPTION_NOTIFY_COMPLETED,
        completed, state.get(), MHD_OPTION_END);
    if (state->daemon == nullptr) {
        error = "cannot listen on " + setup.address + ":" + std::to_string(setup.port) + ": " +
                std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<HttpServer>(new HttpServer(std::move(state)));
}

HttpServer::HttpServer(std::unique_ptr<DaemonState> s) : state(std::move(s)) {}

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
    end_streams(*state);
    const auto settle = [this](int seconds) {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->idle.wait_for(lock, std::chrono::seconds(seconds),
                             [this] { return state->in_flight == 0; });
    };
    settle(grace_seconds);
    state->workers.finish();
    settle(1);
    MHD_stop_daemon(state->daemon);
    if (listening != MHD_INVALID_SOCKET) {
        close(listening);
    }
    state->daemon = nullptr;
}
