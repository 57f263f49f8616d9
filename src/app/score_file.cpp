#include "app/score_file.h"

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

// mkdir -p: each folder of `path` made if missing, private to its owner as the XDG folders are.
bool make_folders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// A file's whole text; false if it cannot be read.
bool read_text(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::stringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

// Writes `text` to `path` so that it is there whole or not at all: a temporary file, flushed,
// renamed over it, and the folder flushed so the rename lasts.
bool replace_file(const std::string& dir, const std::string& path, const std::string& text,
                  mode_t mode = 0644) {
    const std::string temporary = path + ".tmp-" + std::to_string(getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    const bool written = fsync(fd) == 0;
    close(fd);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

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

// Now, in UTC, as `format` writes it.
std::string utc_now(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, format, &utc);
    return text;
}

// For file names: no colons.
std::string compact_date() {
    return utc_now("%Y%m%dT%H%M%SZ");
}

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
