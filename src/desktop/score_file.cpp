#include "desktop/score_file.h"

#include "app/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace {

// Holds the folder's lock file, exclusively, while it lives.
class Lock {
  public:
    explicit Lock(const std::string& dir)
        : fd(::open((dir + "/scores.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        while (fd >= 0 && flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~Lock() {
        if (fd >= 0) {
            close(fd);  // and the lock with it
        }
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool held() const { return fd >= 0; }

  private:
    int fd;
};

}  // namespace

std::string utc_date() {
    return utc_now("%Y-%m-%dT%H:%M:%SZ");
}

std::optional<ScoreFolder> ScoreFolder::open(std::string& error) {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.local/share";
    } else {
        error = "no home folder (neither XDG_DATA_HOME nor HOME is set)";
        return std::nullopt;
    }
    const std::string dir = base + "/velmora";
    const std::string probe = dir + "/.writable-" + std::to_string(getpid());
    const int fd = make_folders(dir)
                       ? ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)
                       : -1;
    if (fd < 0) {
        error = dir + " cannot be written: " + std::strerror(errno);
        return std::nullopt;
    }
    close(fd);
    unlink(probe.c_str());
    return ScoreFolder(dir);
}

std::optional<std::string> ScoreFolder::read_file(const std::string& name) const {
    std::string text;
    return read_text(dir + "/" + name, text) ? std::optional<std::string>(text) : std::nullopt;
}

bool ScoreFolder::write_private(const std::string& name, const std::string& text) const {
    return replace_file(dir, dir + "/" + name, text, 0600);
}

std::string ScoreFolder::new_recording_name(unsigned seed) const {
    // Two games of one process in one second from one seed (Enter at once after a short game)
    // would share a name, and the second would take the first one's recording: a number tells
    // them apart.
    const std::string stem =
        "game-" + compact_date() + "-" + std::to_string(seed) + "-" + std::to_string(getpid());
    std::string name = stem + ".replay";
    for (int n = 2; access((dir + "/" + name).c_str(), F_OK) == 0; ++n) {
        name = stem + "-" + std::to_string(n) + ".replay";
    }
    return name;
}

ScoreTable ScoreFolder::read(std::FILE* err) const {
    Lock lock(dir);
    return read_locked(err);
}

ScoreTable ScoreFolder::read_locked(std::FILE* err) const {
    const std::string path = dir + "/scores";
    std::string text;
    ScoreTable table;
    if (!read_text(path, text)) {
        return table;  // none yet
    }
    std::string error;
    if (ScoreTable::parse(text, table, error)) {
        return table;
    }
    // Kept aside for whoever wants to look; the game goes on with a new table.
    const std::string aside = dir + "/scores.bad-" + compact_date();
    rename(path.c_str(), aside.c_str());
    std::fprintf(err, "velmora: %s:%s; set aside as %s, a new score table starts\n", path.c_str(),
                 error.c_str(), aside.c_str());
    return ScoreTable();
}

bool ScoreFolder::update(const std::function<void(ScoreTable&, std::vector<std::string>&)>& change,
                         std::FILE* err, std::string& error) const {
    Lock lock(dir);
    if (!lock.held()) {
        error = dir + ": cannot lock the score table: " + std::strerror(errno);
        return false;
    }
    ScoreTable table = read_locked(err);
    std::vector<std::string> dropped;
    change(table, dropped);
    if (!replace_file(dir, dir + "/scores", table.text())) {
        error = dir + "/scores cannot be written: " + std::strerror(errno);
        return false;
    }
    for (const std::string& name : dropped) {
        unlink((dir + "/" + name).c_str());
    }
    return true;
}

int print_score_table(std::FILE* out, std::FILE* err) {
    std::string error;
    const std::optional<ScoreFolder> folder = ScoreFolder::open(error);
    if (!folder) {
        std::fprintf(err, "velmora: no score table: %s\n", error.c_str());
        return 1;
    }
    const ScoreTable table = folder->read(err);
    std::fprintf(out, "The high scores in %s/scores:\n", folder->path().c_str());
    if (table.entries().empty()) {
        std::fprintf(out, "none yet\n");
    }
    int rank = 0;
    for (const ScoreEntry& e : table.entries()) {
        std::fprintf(out, "%2d  %-12s %7d  level %-2d  %s  %s/%s\n", ++rank, e.name.c_str(),
                     e.score, e.level, e.date.c_str(), folder->path().c_str(), e.recording.c_str());
    }
    return 0;
}

std::string first_name_offered(const ScoreTable& table) {
    if (!table.last_name().empty()) {
        return table.last_name();
    }
    std::string login;
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_name != nullptr) {
        login = user->pw_name;
    } else if (const char* name = std::getenv("USER")) {
        login = name;
    }
    std::string name;
    for (const char c : login) {
        if (name_character(c) && name.size() < ScoreTable::kNameLength) {
            name += c;
        }
    }
    return name;
}
