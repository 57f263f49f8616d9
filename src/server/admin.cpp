#include "server/admin.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "server/dealer.h"
#include "server/json.h"
#include "server/names.h"
#include "server/sql.h"

namespace {

constexpr int kListed = 100;  // games a list shows
constexpr int kLogged = 100;  // lines of the log a request shows

// Who runs a command here: the login name, and who asked sudo for it.
std::string login_name() {
    const passwd* user = getpwuid(getuid());
    std::string who = user != nullptr && user->pw_name != nullptr
                          ? user->pw_name
                          : "uid " + std::to_string(getuid());
    if (const char* sudo = std::getenv("SUDO_USER"); sudo != nullptr && sudo[0] != '\0') {
        who += " (sudo by " + std::string(sudo) + ")";
    }
    return who;
}

std::string game_json(const Entry& e) {
    JsonObject o;
    o.add("id", e.id).add("name", e.name).add("score", e.score).add("level", e.level);
    o.add("ticks", e.ticks).add("board", e.board).add("day", e.day);
    return o.add("submitted", e.submitted).add_bool("hidden", e.hidden).text();
}

std::string log_json(const LogEntry& l) {
    return JsonObject()
        .add("id", l.id)
        .add("at", l.at)
        .add("who", l.who)
        .add("action", l.action)
        .add("target", l.target)
        .add("reason", l.reason)
        .text();
}

// %XX in a path's name, decoded.
std::string percent_decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The operators' commands on a store, for both front ends: what each did, or why not.
struct Done {
    bool ok;
    std::string said;
};

Done hide(Store& store, const std::string& game, bool hidden, const std::string& who,
          const std::string& reason) {
    const long long id = std::atoll(game.c_str());
    if (id <= 0 || game.find_first_not_of("0123456789") != std::string::npos) {
        return {false, "no such game: " + game};
    }
    if (!store.hide(id, hidden, who, reason)) {
        return {false, "game " + game +
                           (store.entry(id)
                                ? " is " + std::string(hidden ? "hidden" : "shown") + " already"
                                : " is not there")};
    }
    return {true, std::string(hidden ? "hidden" : "shown again") + ": game " + game};
}

Done ban(Store& store, const std::string& name, const std::string& who, const std::string& reason) {
    const long long hid = store.ban(name_key(name), name, who, reason);
    return {true, "banned: " + name + " (" + std::to_string(hid) + " games hidden)"};
}

Done release(Store& store, const std::string& name, const std::string& who,
             const std::string& reason) {
    if (!store.release(name_key(name), who, reason)) {
        return {false, "nobody holds the name " + name};
    }
    return {true, "released: " + name + " is free for a new key"};
}

}  // namespace

int admin_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const char* env_db = std::getenv("VELMORA_DB");
    std::string db = env_db != nullptr ? env_db : "sqlite:./velmora-scores.db";
    std::string board, name, since, reason;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string w = argv[i];
        std::string* value = w == "--db"       ? &db
                             : w == "--board"  ? &board
                             : w == "--name"   ? &name
                             : w == "--since"  ? &since
                             : w == "--reason" ? &reason
                                               : nullptr;
        if (value != nullptr && i + 1 < argc) {
            *value = argv[++i];
        } else if (value != nullptr || w.compare(0, 2, "--") == 0) {
            std::fprintf(err, "velmora-server admin: '%s' %s\n", w.c_str(),
                         value != nullptr ? "needs a value" : "is no option of admin");
            return 2;
        } else {
            words.push_back(w);
        }
    }
    const std::string command = words.empty() ? "" : words[0];
    const bool takes_one =
        command == "hide" || command == "unhide" || command == "ban" || command == "release";
    if (!(takes_one ? words.size() == 2
                    : words.size() == 1 && (command == "list" || command == "log"))) {
        std::fprintf(err,
                     "usage: velmora-server admin [--db URL] list [--board B] [--name N] "
                     "[--since DATE] | hide GAME | unhide GAME | ban NAME | release NAME | log "
                     "[--reason TEXT]\n");
        return 2;
    }
    std::string error;
    std::unique_ptr<Store> store = open_store(db, 1, error);
    if (!store) {
        std::fprintf(err, "velmora-server admin: %s\n", error.c_str());
        return 1;
    }
    try {
        if (command == "list") {
            for (const Entry& e :
                 store->list_games(board, name.empty() ? "" : name_key(name), since, kListed)) {
                std::fprintf(out, "%6lld  %-20s %7d  level %-2d %-8s %-10s %s%s\n", e.id,
                             e.name.c_str(), e.score, e.level, e.board.c_str(), e.day.c_str(),
                             e.submitted.c_str(), e.hidden ? "  (hidden)" : "");
            }
            return 0;
        }
        if (command == "log") {
            for (const LogEntry& l : store->admin_log(kLogged)) {
                std::fprintf(out, "%s  %s  %s %s  %s\n", l.at.c_str(), l.who.c_str(),
                             l.action.c_str(), l.target.c_str(), l.reason.c_str());
            }
            return 0;
        }
        const std::string who = login_name();
        const Done done = command == "hide"     ? hide(*store, words[1], true, who, reason)
                          : command == "unhide" ? hide(*store, words[1], false, who, reason)
                          : command == "ban"    ? ban(*store, words[1], who, reason)
                                                : release(*store, words[1], who, reason);
        std::fprintf(done.ok ? out : err, "%s%s\n",
                     done.ok ? "" : "velmora-server admin: ", done.said.c_str());
        return done.ok ? 0 : 1;
    } catch (const StoreError& e) {
        std::fprintf(err, "velmora-server admin: the database failed: %s\n", e.what());
        return 1;
    }
}

bool is_admin_path(const std::string& path) {
    return path.compare(0, 14, "/api/v1/admin/") == 0 || path == "/api/v1/admin";
}

Answer admin_request(const Request& request, Store& store, const std::string& token_hash) {
    if (token_hash.empty()) {
        return error_answer(404, "no such address: " + request.path.substr(0, 100));
    }
    if (!same_hash(content_hash(request.token), token_hash)) {
        return error_answer(403, "an operator's token is needed here");
    }
    const std::string rest = request.path.substr(std::min<size_t>(request.path.size(), 14));
    const auto query = [&request](const char* key) {
        const auto it = request.query.find(key);
        return it == request.query.end() ? std::string() : it->second;
    };
    if (request.method == "GET" && rest == "games") {
        std::string rows = "[";
        const std::string name = query("name");
        for (const Entry& e : store.list_games(query("board"), name.empty() ? "" : name_key(name),
                                               query("since"), kListed)) {
            rows += (rows.size() > 1 ? ", " : "") + game_json(e);
        }
        return Answer{200, JsonObject().add_raw("games", rows + "]").text()};
    }
    if (request.method == "GET" && rest == "log") {
        std::string rows = "[";
        for (const LogEntry& l : store.admin_log(kLogged)) {
            rows += (rows.size() > 1 ? ", " : "") + log_json(l);
        }
        return Answer{200, JsonObject().add_raw("log", rows + "]").text()};
    }
    // POST games/ID/hide, games/ID/unhide, names/NAME/ban, names/NAME/release
    const size_t slash = rest.find('/');
    const size_t last = rest.rfind('/');
    if (request.method != "POST" || slash == std::string::npos || last == slash) {
        return error_answer(404, "no such address: " + request.path.substr(0, 100));
    }
    const std::string kind = rest.substr(0, slash);
    const std::string target = percent_decoded(rest.substr(slash + 1, last - slash - 1));
    const std::string action = rest.substr(last + 1);
    const nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    const std::string reason =
        body.is_object() && body.contains("reason") && body["reason"].is_string()
            ? body["reason"].get<std::string>()
            : "";
    const std::string who = "http:" + request.client;
    Done done{false, "no such address: " + request.path.substr(0, 100)};
    if (kind == "games" && (action == "hide" || action == "unhide")) {
        done = hide(store, target, action == "hide", who, reason);
    } else if (kind == "names" && action == "ban") {
        done = ban(store, target, who, reason);
    } else if (kind == "names" && action == "release") {
        done = release(store, target, who, reason);
    } else {
        return error_answer(404, done.said);
    }
    return done.ok ? Answer{200, JsonObject().add("done", done.said).text()}
                   : error_answer(404, done.said);
}

int backup_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const char* env_db = std::getenv("VELMORA_DB");
    std::string db = env_db != nullptr ? env_db : "sqlite:./velmora-scores.db";
    std::string file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
            db = argv[++i];
        } else if (file.empty() && argv[i][0] != '-') {
            file = argv[i];
        } else {
            file.clear();
            break;
        }
    }
    if (file.empty()) {
        std::fprintf(err, "usage: velmora-server backup FILE [--db sqlite:PATH]\n");
        return 2;
    }
    if (db.compare(0, 7, "sqlite:") != 0) {
        std::fprintf(err,
                     "velmora-server backup: a PostgreSQL database is copied with pg_dump: "
                     "pg_dump '%s' > %s\n",
                     db.c_str(), file.c_str());
        return 2;
    }
    std::string error;
    if (!sqlite_backup(db.substr(7), file, error)) {
        std::fprintf(err, "velmora-server backup: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "velmora-server: %s copied to %s\n", db.substr(7).c_str(), file.c_str());
    return 0;
}
