#include "replay/recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "replay/check_value.h"
#include "replay/replay_file.h"

std::unique_ptr<Recorder> Recorder::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": cannot write: " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<Recorder> recorder(new Recorder(fd));
    recorder->pending = header_lines(rand_probe());
    recorder->write_out();
    return recorder;
}

std::unique_ptr<Recorder> Recorder::in_memory() {
    std::unique_ptr<Recorder> recorder(new Recorder(-1));
    recorder->pending = header_lines(rand_probe());
    recorder->write_out();
    return recorder;
}

Recorder::Recorder(int fd_) : fd(fd_) {}

Recorder::~Recorder() {
    if (fd >= 0) {
        ::close(fd);
    }
}

void Recorder::new_game(unsigned seed, const Game& game) {
    pending += seed_line(seed, check_value(game));
    write_out();
}

void Recorder::key(char key) {
    pending += key_line(key);
}

void Recorder::frame() {
    pending += draw_line();
}

void Recorder::tick(const Game& game, bool just_ended) {
    ++ticks;
    pending += tick_line(ticks, check_value(game));
    if (just_ended) {
        pending += summary_line(true, outcome_of(game, ticks));
    }
    write_out();
}

void Recorder::end(const Game& game) {
    pending += summary_line(false, outcome_of(game, ticks));
    write_out();
}

void Recorder::write_out() {
    if (fd < 0) {
        kept += pending;
        pending.clear();
        return;
    }
    // One write for the lot: a kill leaves whole lines behind, never half of one.
    size_t done = 0;
    while (!failed && done < pending.size()) {
        const ssize_t n = ::write(fd, pending.data() + done, pending.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A full disk or a closed pipe: say so once and keep playing.
            std::fprintf(stderr, "velmora: the recording stops here: %s\n", std::strerror(errno));
            failed = true;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    pending.clear();
}
