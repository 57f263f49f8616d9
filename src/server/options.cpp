#include "server/options.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>

#include "cli/option_table.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace {

// "ADDRESS:PORT", the address an IPv4 one or an IPv6 one in brackets.
std::string listen_on(ServerOptions& o, const std::string& text) {
    const std::string problem = "invalid address '" + text + "': expected ADDRESS:PORT";
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return problem;
    }
    std::string address = text.substr(0, colon);
    if (address.front() == '[') {
        if (address.back() != ']') {
            return problem;
        }
        address = address.substr(1, address.size() - 2);
    }
    const std::optional<long long> port = whole_number(text.substr(colon + 1), 0, 65535);
    if (!port || address.empty()) {
        return problem;
    }
    o.address = address;
    o.port = static_cast<int>(*port);
    return "";
}

std::string web_folder(ServerOptions& o, const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return "--web '" + path + "': no such folder";
    }
    o.web = path;
    return "";
}

// The operators' token: the file's first line, without the spaces at its end.
std::string admin_token(ServerOptions& o, const std::string& path) {
    std::ifstream in(path);
    std::getline(in, o.admin_token);
    while (!o.admin_token.empty() &&
           std::isspace(static_cast<unsigned char>(o.admin_token.back()))) {
        o.admin_token.pop_back();
    }
    if (!in && o.admin_token.empty()) {
        return "--admin-token-file '" + path + "': cannot be read";
    }
    if (o.admin_token.size() < 16) {
        return "--admin-token-file '" + path + "': the token is at least 16 characters";
    }
    return "";
}

const OptionTable<ServerOptions>& table() {
    static const OptionTable<ServerOptions> rows = [] {
        OptionTable<ServerOptions> t;
        t.custom("listen", "ADDR:PORT", listen_on,
                 "where to listen (127.0.0.1:8080; [::1]:8080 for IPv6;\n"
                 "port 0 for any free one)");
        t.text("db", "URL", &ServerOptions::db,
               "sqlite:PATH keeps the scores in an SQLite file\n"
               "(sqlite:./velmora-scores.db, made on first start);\n"
               "postgresql://USER@HOST:PORT/DB in PostgreSQL, which any\n"
               "number of servers may share");
        t.custom("web", "DIR", web_folder, "also serve the browser build in DIR at /");
        t.number("workers", "N", &ServerOptions::workers, 1, 256, "worker count",
                 "verification threads (one a core)");
        t.number("submit-rate", "N", &ServerOptions::submit_rate, 1, 100000, "submission rate",
                 "submissions a minute from one address (30)");
        t.text("trusted-proxy", "ADDR", &ServerOptions::trusted_proxy,
               "the proxy in front (its address as it connects): from it alone the\n"
               "client is the last address of X-Forwarded-For, and the limits of\n"
               "an address count players, not the proxy");
        t.number("client-timeout", "S", &ServerOptions::client_timeout, 1, 3600, "timeout",
                 "cut off a client idle or slow for S seconds (10)");
        t.number("lag-bound", "S", &ServerOptions::lag_bound_s, 1, 3600, "bound",
                 "how far behind real time a ranked game may fall, its\n"
                 "pauses included, before it is refused (10)");
        t.flag("metrics", &ServerOptions::metrics,
               "answer GET /metrics, in Prometheus's text format");
        t.custom("admin-token-file", "F", admin_token,
                 "the operators' token (its first line): /api/v1/admin/\n"
                 "answers to it; without it those paths are not there");
        t.flag("help", &ServerOptions::help, "show this help and exit");
        t.flag("version", &ServerOptions::version, "show the version and exit");
        return t;
    }();
    return rows;
}

}  // namespace

ServerOptions parse_server_options(int argc, const char* const* argv) {
    ServerOptions o;
    o.error = table().parse(argc, argv, o);
    return o;
}

std::string server_usage() {
    return "Usage: velmora-server [OPTION]...\n"
           "       velmora-server admin [--db URL] list|hide GAME|unhide GAME|ban NAME|release "
           "NAME|log\n"
           "       velmora-server backup FILE [--db sqlite:PATH]\n"
           "The Velmora leaderboard: takes recorded games over HTTP, replays each one and ranks\n"
           "only the outcome it verified itself.\n"
           "\n"
           "Options:\n" +
           table().usage(29) +
           "\n"
           "API: POST /api/v1/attempts (a ranked game dealt), POST /api/v1/attempts/ID/records\n"
           "(its recording as it is played), GET /api/v1/attempts/ID, POST "
           "/api/v1/games?name=NAME\n"
           "(a recording uploaded whole), GET /api/v1/scores?board=open|daily|uploaded&day=DAY,\n"
           "GET /api/v1/games/ID, GET /api/v1/games/ID/replay, GET /healthz.\n"
           "SIGTERM or SIGINT stops it: requests in flight finish, the database is closed.\n";
}

std::string server_version() {
    return std::string("velmora-server ") + VELMORA_VERSION + "\n";
}
