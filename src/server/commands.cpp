#include "server/commands.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "server/board/admin.h"
#include "server/store/store.h"

namespace {

struct CommandLine {
    std::string db;
    std::string board, name, since, reason;
    std::vector<std::string> words;
};

CommandLine defaults() {
    CommandLine c;
    const char* env_db = std::getenv("VELMORA_DB");
    c.db = env_db != nullptr ? env_db : "sqlite:./velmora-scores.db";
    return c;
}

const OptionTable<CommandLine>& admin_table() {
    static const OptionTable<CommandLine> rows = [] {
        OptionTable<CommandLine> t;
        t.text("db", "URL", &CommandLine::db, "the database");
        t.text("board", "B", &CommandLine::board, "list: the board's games alone");
        t.text("name", "N", &CommandLine::name, "list: the name's games alone");
        t.text("since", "DATE", &CommandLine::since, "list: the games from that day on");
        t.text("reason", "TEXT", &CommandLine::reason, "why, for the log");
        t.words(&CommandLine::words);
        return t;
    }();
    return rows;
}

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

}  // namespace

int admin_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    CommandLine c = defaults();
    const std::string problem = admin_table().parse(argc, argv, c);
    const std::string command = c.words.empty() ? "" : c.words[0];
    const bool takes_one =
        command == "hide" || command == "unhide" || command == "ban" || command == "release";
    if (!problem.empty() ||
        !(takes_one ? c.words.size() == 2
                    : c.words.size() == 1 && (command == "list" || command == "log"))) {
        if (!problem.empty()) {
            std::fprintf(err, "velmora-server admin: %s\n", problem.c_str());
        }
        std::fprintf(err,
                     "usage: velmora-server admin [--db URL] list [--board B] [--name N] "
                     "[--since DATE] | hide GAME | unhide GAME | ban NAME | release NAME | log "
                     "[--reason TEXT]\n");
        return 2;
    }
    std::string error;
    std::unique_ptr<Store> store = open_store(c.db, 1, error);
    if (!store) {
        std::fprintf(err, "velmora-server admin: %s\n", error.c_str());
        return 1;
    }
    try {
        if (command == "list") {
            for (const Entry& e : games_listed(*store, c.board, c.name, c.since)) {
                std::fprintf(out, "%6lld  %-20s %7d  level %-2d %-8s %-10s %s%s\n", e.id,
                             e.name.c_str(), e.score, e.level, name_of(e.board), e.day.c_str(),
                             e.submitted.c_str(), e.hidden ? "  (hidden)" : "");
            }
            return 0;
        }
        if (command == "log") {
            for (const LogEntry& l : operators_log(*store)) {
                std::fprintf(out, "%s  %s  %s %s  %s\n", l.at.c_str(), l.who.c_str(),
                             l.action.c_str(), l.target.c_str(), l.reason.c_str());
            }
            return 0;
        }
        const std::string who = login_name();
        const std::string& target = c.words[1];
        const Done done = command == "hide"     ? hide_game(*store, target, true, who, c.reason)
                          : command == "unhide" ? hide_game(*store, target, false, who, c.reason)
                          : command == "ban"    ? ban_name(*store, target, who, c.reason)
                                                : release_name(*store, target, who, c.reason);
        std::fprintf(done.ok ? out : err, "%s%s\n",
                     done.ok ? "" : "velmora-server admin: ", done.said.c_str());
        return done.ok ? 0 : 1;
    } catch (const StoreError& e) {
        std::fprintf(err, "velmora-server admin: the database failed: %s\n", e.what());
        return 1;
    }
}

int backup_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    CommandLine c = defaults();
    OptionTable<CommandLine> table;
    table.text("db", "URL", &CommandLine::db, "the database").words(&CommandLine::words);
    if (!table.parse(argc, argv, c).empty() || c.words.size() != 1) {
        std::fprintf(err, "usage: velmora-server backup FILE [--db sqlite:PATH]\n");
        return 2;
    }
    const std::string& file = c.words[0];
    if (c.db.compare(0, 7, "sqlite:") != 0) {
        std::fprintf(err,
                     "velmora-server backup: a PostgreSQL database is copied with pg_dump: "
                     "pg_dump '%s' > %s\n",
                     c.db.c_str(), file.c_str());
        return 2;
    }
    std::string error;
    if (!sqlite_backup(c.db.substr(7), file, error)) {
        std::fprintf(err, "velmora-server backup: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "velmora-server: %s copied to %s\n", c.db.substr(7).c_str(), file.c_str());
    return 0;
}
