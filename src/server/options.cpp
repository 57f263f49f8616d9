#include "server/options.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "server/limits.h"

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace {

struct Known {
    const char* name;
    bool takes_value;
};

const Known kOptions[] = {
    {"listen", true},    {"db", true},          {"web", true},
    {"workers", true},   {"submit-rate", true}, {"behind-proxy", false},
    {"help", false},     {"version", false},    {"client-timeout", true},
    {"lag-bound", true}, {"metrics", false},    {"admin-token-file", true},
};

int number(const std::string& text, int min, int max) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
        return -1;
    }
    const int value = std::atoi(text.c_str());
    return value >= min && value <= max ? value : -1;
}

// "ADDRESS:PORT", the address an IPv4 one or an IPv6 one in brackets.
bool listen_on(const std::string& text, ServerOptions& o) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    std::string address = text.substr(0, colon);
    if (address.front() == '[') {
        if (address.back() != ']') {
            return false;
        }
        address = address.substr(1, address.size() - 2);
    }
    const int port = number(text.substr(colon + 1), 0, 65535);
    if (port < 0 || address.empty()) {
        return false;
    }
    o.address = address;
    o.port = port;
    return true;
}

void apply(ServerOptions& o, const std::string& name, const std::string& value) {
    if (name == "listen") {
        if (!listen_on(value, o)) {
            o.error = "invalid address '" + value + "': expected ADDRESS:PORT";
        }
    } else if (name == "db") {
        o.db = value;
    } else if (name == "web") {
        struct stat info {};
        if (stat(value.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            o.error = "--web '" + value + "': no such folder";
        }
        o.web = value;
    } else if (name == "workers") {
        o.workers = number(value, 1, 256);
        if (o.workers < 0) {
            o.error = "invalid worker count '" + value + "': expected 1 to 256";
        }
    } else if (name == "submit-rate") {
        o.submit_rate = number(value, 1, 100000);
        if (o.submit_rate < 0) {
            o.error = "invalid submission rate '" + value + "': expected 1 to 100000 a minute";
        }
    } else if (name == "client-timeout") {
        o.client_timeout = number(value, 1, 3600);
        if (o.client_timeout < 0) {
            o.error = "invalid timeout '" + value + "': expected 1 to 3600 seconds";
        }
    } else if (name == "lag-bound") {
        const int seconds = number(value, 1, 3600);
        o.lag_bound_ms = seconds * 1000LL;
        if (seconds < 0) {
            o.error = "invalid bound '" + value + "': expected 1 to 3600 seconds";
        }
    } else if (name == "metrics") {
        o.metrics = true;
    } else if (name == "admin-token-file") {
        std::ifstream in(value);
        std::getline(in, o.admin_token);
        while (!o.admin_token.empty() &&
               std::isspace(static_cast<unsigned char>(o.admin_token.back()))) {
            o.admin_token.pop_back();
        }
        if (!in && o.admin_token.empty()) {
            o.error = "--admin-token-file '" + value + "': cannot be read";
        } else if (o.admin_token.size() < 16) {
            o.error = "--admin-token-file '" + value + "': the token is at least 16 characters";
        }
    } else if (name == "behind-proxy") {
        o.behind_proxy = true;
    } else if (name == "help") {
        o.help = true;
    } else if (name == "version") {
        o.version = true;
    }
}

const Known* find(const std::string& word, std::string& error) {
    std::vector<const Known*> matches;
    for (const Known& k : kOptions) {
        if (word == k.name) {
            return &k;
        }
        if (std::strncmp(k.name, word.c_str(), word.size()) == 0) {
            matches.push_back(&k);
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    error = matches.empty() ? "unrecognized option '--" + word + "'"
                            : "option '--" + word + "' is ambiguous";
    return nullptr;
}

}  // namespace

ServerOptions parse_server_options(int argc, const char* const* argv) {
    ServerOptions o;
    for (int i = 1; i < argc && o.error.empty(); ++i) {
        const std::string word = argv[i];
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            o.error = "unexpected argument '" + word + "'";
            break;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == word.npos ? word.npos : equals - 2);
        const Known* known = find(name, o.error);
        if (known == nullptr) {
            break;
        }
        std::string value;
        if (!known->takes_value && equals != word.npos) {
            o.error = std::string("option '--") + known->name + "' doesn't allow an argument";
        } else if (known->takes_value && equals != word.npos) {
            value = word.substr(equals + 1);
        } else if (known->takes_value && i + 1 < argc) {
            value = argv[++i];
        } else if (known->takes_value) {
            o.error = std::string("option '--") + known->name + "' requires an argument";
        }
        if (o.error.empty()) {
            apply(o, known->name, value);
        }
    }
    return o;
}

std::string server_usage() {
    return std::string("Usage: velmora-server [OPTION]...\n") +
           "       velmora-server admin [--db URL] list|hide GAME|unhide GAME|ban NAME|release "
           "NAME|log\n"
           "       velmora-server backup FILE [--db sqlite:PATH]\n" +
           "The Velmora leaderboard: takes recorded games over HTTP, replays each one and ranks\n"
           "only the outcome it verified itself.\n"
           "\n"
           "Options:\n"
           "      --listen ADDR:PORT   where to listen (127.0.0.1:8080; [::1]:8080 for IPv6;\n"
           "                           port 0 for any free one)\n"
           "      --db sqlite:PATH     keep the scores in an SQLite file\n"
           "                           (sqlite:./velmora-scores.db, made on first start)\n"
           "      --db postgresql://USER@HOST:PORT/DB\n"
           "                           keep them in PostgreSQL, which any number of servers may\n"
           "                           share\n"
           "      --web DIR            also serve the browser build in DIR at /\n"
           "      --workers N          verification threads (one a core)\n"
           "      --submit-rate N      submissions a minute from one address (30)\n"
           "      --behind-proxy       take the client's address from X-Forwarded-For\n"
           "      --client-timeout S   cut off a client idle or slow for S seconds (10)\n"
           "      --lag-bound S        how far behind real time a ranked game may fall, its\n"
           "                           pauses included, before it is refused (10)\n"
           "      --metrics            answer GET /metrics, in Prometheus's text format\n"
           "      --admin-token-file F the operators' token (its first line): /api/v1/admin/\n"
           "                           answers to it; without it those paths are not there\n"
           "      --help               show this help and exit\n"
           "      --version            show the version and exit\n"
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
