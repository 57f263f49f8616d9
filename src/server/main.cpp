// velmora-server: the leaderboard. It keeps no state of its own beyond its database, so any
// number of them can serve one PostgreSQL database behind a proxy (docs/server.md).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "server/board/leaderboard.h"
#include "server/board/workers.h"
#include "server/commands.h"
#include "server/http/routes.h"
#include "server/http/server.h"
#include "server/limits.h"
#include "server/options.h"
#include "server/store/store.h"

int main(int argc, char** argv) {
    // The database holds the daily secret and the players' keys' hash key: every file the
    // server makes (the database, its log, a backup) is its user's alone from the start.
    umask(077);
    if (argc > 1 && std::strcmp(argv[1], "admin") == 0) {
        return admin_command(argc - 1, argv + 1, stdout, stderr);
    }
    if (argc > 1 && std::strcmp(argv[1], "backup") == 0) {
        return backup_command(argc - 1, argv + 1, stdout, stderr);
    }
    const ServerOptions options = parse_server_options(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "velmora-server: %s\nTry 'velmora-server --help'.\n",
                     options.error.c_str());
        return 2;
    }
    if (options.help || options.version) {
        std::fputs((options.help ? server_usage() : server_version()).c_str(), stdout);
        return 0;
    }
    // The signals that stop the server are waited for here, on this thread alone; every thread
    // started after this inherits the mask. A client gone mid-answer is no reason to die.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // A connection a live game, thousands at once: as many files as the system lets it have.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    const int workers = options.workers > 0
                            ? options.workers
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string error;
    // A connection for each thread that may want one at once.
    const int connections = workers + static_cast<int>(limits::kHttpThreads);
    std::unique_ptr<Store> store = open_store(options.db, connections, error);
    if (!store) {
        std::fprintf(stderr, "velmora-server: %s\n", error.c_str());
        return 1;
    }
    // The board's rules over the store; the workers that verify uploads and settle games; the
    // routes over both; HTTP over the routes.
    std::unique_ptr<Leaderboard> board;
    try {
        board = std::make_unique<Leaderboard>(
            *store, Attempts::Rules{limits::kAheadMs, options.lag_bound_s * 1000LL, workers});
    } catch (const StoreError& e) {
        std::fprintf(stderr, "velmora-server: the database failed: %s\n", e.what());
        return 1;
    }
    Workers verifiers(workers, static_cast<size_t>(workers) * limits::kQueuePerWorker);
    RouteSetup route_setup;
    route_setup.metrics = options.metrics;
    route_setup.admin_token = options.admin_token;
    route_setup.queue_depth = [&verifiers] { return static_cast<long long>(verifiers.depth()); };
    const Routes routes(*board, route_setup);
    HttpSetup setup;
    setup.address = options.address;
    setup.port = options.port;
    setup.submit_rate = options.submit_rate;
    setup.web_root = options.web;
    setup.trusted_proxy = options.trusted_proxy;
    setup.client_timeout = static_cast<unsigned>(options.client_timeout);
    std::unique_ptr<HttpServer> server = HttpServer::start(setup, routes, verifiers, error);
    if (!server) {
        std::fprintf(stderr, "velmora-server: %s\n", error.c_str());
        return 1;
    }
    const bool v6 = options.address.find(':') != std::string::npos;
    std::fprintf(
        stderr, "velmora-server: serving http://%s%s%s:%d/ with %d workers, scores in %s%s%s\n",
        v6 ? "[" : "", options.address.c_str(), v6 ? "]" : "", server->port(), workers,
        options.db.c_str(), options.web.empty() ? "" : ", page from ", options.web.c_str());
    int signal_number = 0;
    sigwait(&stop, &signal_number);
    std::fprintf(stderr, "velmora-server: stopping (%s): finishing the requests in flight\n",
                 signal_number == SIGTERM ? "SIGTERM" : "SIGINT");
    server->stop(limits::kShutdownGrace);
    server.reset();
    board.reset();
    store.reset();
    std::fprintf(stderr, "velmora-server: stopped\n");
    return 0;
}
