// velmora_live_load: many ranked games played live at once against a server, for make
// bench-server. Each connection (HTTP/1.1, kept alive) plays one attempt: dealt on today's
// daily board (under a name of its own, so each ranks), its recording sent a batch a second
// with the ticks that fell due, a new attempt dealt when one ends. The first WATCHERS of them
// are each watched, on a connection of its own, from the start of each game. The connections
// come from many loopback addresses, as many players would, within the server's limits per
// address. The same pacing against a static file ("static PATH") measures a plain web server.
//
//   velmora_live_load PORT CONNECTIONS SECONDS live|static PATH [WATCHERS]
//
// It prints each answer's time from the batch sent to the answer read (count, p50, p99, max),
// and each batch's time from its answer read to its event read by its watcher.
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/live_recording.h"
#include "bench/load_http.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Connection {
    int fd = -1;
    std::string out;       // the request being written
    std::string in;        // the answer being read
    bool waiting = false;  // a request is out
    Clock::time_point sent;
    double next = 0;  // when its next request is due, seconds after the start
    // live
    long long attempt = 0;
    std::string token;
    Clock::time_point dealt;
    size_t ticks_sent = 0;
    int batch = 0;
    bool dealing = false;
    int game = 0;
    std::vector<Clock::time_point> answered;  // each batch's answer, read
};

// A watcher of one live connection's games, on a connection of its own.
struct Watch {
    int fd = -1;
    std::string in;
    ChunkedReader stream;
    long long attempt = 0;  // the game it watches; 0: none
    bool ended = false;     // its end has come
    Clock::time_point began;
};

bool write_all(int fd, const std::string& out) {
    return write(fd, out.data(), out.size()) == static_cast<ssize_t>(out.size());
}

void start_watching(Watch& w, const Connection& c) {
    w.attempt = c.attempt;
    w.began = Clock::now();
    w.stream = ChunkedReader{};
    w.ended = false;
    write_all(w.fd, "GET /api/v1/attempts/" + std::to_string(c.attempt) +
                        "/watch HTTP/1.1\r\nHost: bench\r\n\r\n");
}

// The events the watcher has whole: each batch's time from its answer to its event goes to
// `delivered` (for batches answered since it began watching).
void take_events(Watch& w, const Connection& c, std::vector<double>& delivered) {
    for (size_t end; (end = w.stream.text.find("\n\n")) != std::string::npos;) {
        const std::string event = w.stream.text.substr(0, end);
        w.stream.text.erase(0, end + 2);
        w.ended = w.ended || event.compare(0, 10, "event: end") == 0;
        const size_t id = event.find("\nid: ");
        if (id == std::string::npos || w.attempt != c.attempt) {
            continue;
        }
        const size_t n = std::strtoul(event.c_str() + id + 5, nullptr, 10);
        if (n >= c.answered.size()) {
            delivered.push_back(0);  // before its answer was read
        } else if (c.answered[n] >= w.began) {
            delivered.push_back(seconds_since(c.answered[n]) * 1000);
        }
    }
}

double at(std::vector<double>& times, double q) {
    if (times.empty()) {
        return 0;
    }
    std::sort(times.begin(), times.end());
    return times[static_cast<size_t>(q * static_cast<double>(times.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr,
                     "usage: velmora_live_load PORT CONNECTIONS SECONDS live|static PATH "
                     "[WATCHERS]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    const bool live = std::string(argv[4]) == "live";
    const std::string path = argv[5];
    const int watchers = argc == 7 ? std::min(count, std::atoi(argv[6])) : 0;
    rlimit files{65536, 65536};
    setrlimit(RLIMIT_NOFILE, &files);

    std::string head;  // the header and the seed, which go with an attempt's first batch
    std::vector<std::string> chunks;
    std::vector<Connection> all(static_cast<size_t>(count));
    std::vector<Watch> watching(static_cast<size_t>(watchers));
    const int poll = epoll_create1(0);
    const auto listen_to = [poll](int fd, uint32_t id) {
        epoll_event e{EPOLLIN, {}};
        e.data.u32 = id;
        epoll_ctl(poll, EPOLL_CTL_ADD, fd, &e);
    };
    for (int i = 0; i < count; ++i) {
        all[i].fd = open_connection(port, i, 1);
        listen_to(all[i].fd, static_cast<uint32_t>(i));
        all[i].next = static_cast<double>(i) / count;  // spread over the first second
    }
    for (int i = 0; i < watchers; ++i) {  // from other addresses: watchers have limits of theirs
        watching[i].fd = open_connection(port, i, 2);
        listen_to(watching[i].fd, static_cast<uint32_t>(count + i));
    }
    const auto deal = [&](Connection& c, int i) {
        c.out = post("/api/v1/attempts",
                     "{\"board\": \"daily\", \"name\": \"Load " + std::to_string(i) + "-" +
                         std::to_string(c.game++) + "\"}",
                     "Content-Type: application/json\r\n");
        c.dealing = true;
    };
    const auto start = Clock::now();
    std::vector<double> times;
    std::vector<double> delivered;
    long refused = 0;
    long failed = 0;
    long games = 0;
    long streams_lost = 0;
    while (seconds_since(start) < seconds) {
        const double now = seconds_since(start);
        for (int i = 0; i < count; ++i) {
            Connection& c = all[i];
            if (c.waiting || now < c.next) {
                continue;
            }
            if (!live) {
                c.out = "GET " + path + " HTTP/1.1\r\nHost: bench\r\n\r\n";
            } else if (c.attempt == 0) {
                deal(c, i);
            } else {
                const size_t due =
                    std::min(chunks.size(), static_cast<size_t>(seconds_since(c.dealt) * 20));
                std::string lines = c.batch == 0 ? head : "";
                for (size_t k = c.ticks_sent; k < due; ++k) {
                    lines += chunks[k];
                }
                c.ticks_sent = due;
                c.out = post("/api/v1/attempts/" + std::to_string(c.attempt) +
                                 "/records?batch=" + std::to_string(c.batch++),
                             lines, "Authorization: Bearer " + c.token + "\r\n");
            }
            c.sent = Clock::now();
            c.waiting = true;
            c.next += 1.0;
            failed += !write_all(c.fd, c.out);
        }
        epoll_event ready[256];
        const int n = epoll_wait(poll, ready, 256, 2);
        for (int k = 0; k < n; ++k) {
            const uint32_t id = ready[k].data.u32;
            const bool watcher = id >= static_cast<uint32_t>(count);
            const int fd = watcher ? watching[id - count].fd : all[id].fd;
            char buffer[65536];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                std::fprintf(stderr, "velmora_live_load: a %s connection closed\n",
                             watcher ? "watcher's" : "player's");
                return 1;
            }
            if (watcher) {
                Watch& w = watching[id - count];
                const Connection& c = all[id - count];
                w.in.append(buffer, static_cast<size_t>(got));
                const bool over = w.stream.take(w.in);
                take_events(w, c, delivered);
                if (over) {
                    // Its next game is watched once it is dealt.
                    streams_lost += !w.ended && w.attempt == c.attempt;
                    const bool next_dealt = c.attempt != 0 && c.attempt != w.attempt;
                    w.attempt = 0;
                    if (next_dealt) {
                        start_watching(w, c);
                    }
                }
                continue;
            }
            Connection& c = all[id];
            c.in.append(buffer, static_cast<size_t>(got));
            int status = 0;
            std::string body;
            if (!take_answer(c.in, status, body)) {
                continue;
            }
            c.waiting = false;
            if (!live) {
                times.push_back(seconds_since(c.sent) * 1000);
                failed += status != 200;
                continue;
            }
            if (c.dealing) {
                c.dealing = false;
                if (status != 201) {
                    std::fprintf(stderr, "velmora_live_load: no attempt: %d %s\n", status,
                                 body.c_str());
                    return 1;
                }
                c.attempt = json_number(body, "attempt");
                c.token = json_text(body, "token");
                c.dealt = Clock::now();
                c.ticks_sent = 0;
                c.batch = 0;
                c.answered.clear();
                if (chunks.empty()) {  // the day's seed is everybody's: one recording serves all
                    chunks = ticks_of(recording_of(static_cast<unsigned>(json_number(body, "seed")),
                                                   static_cast<long>(seconds * 20 + 400)));
                    head = chunks.front().substr(0, chunks.front().find("\nt ") + 1);
                    chunks.front().erase(0, head.size());
                }
                c.next = seconds_since(start) + 1.0;
                if (id < static_cast<uint32_t>(watchers) && watching[id].attempt == 0) {
                    start_watching(watching[id], c);
                }
                continue;
            }
            times.push_back(seconds_since(c.sent) * 1000);
            c.answered.push_back(Clock::now());
            const std::string state = json_text(body, "state");
            if (status != 200 || state != "live") {
                refused += status != 200;
                games += state == "ranked";
                c.attempt = 0;  // a new game at its next turn
            }
        }
    }
    if (times.empty()) {
        std::fprintf(stderr, "velmora_live_load: no answer\n");
        return 1;
    }
    const size_t answers = times.size();
    const size_t events = delivered.size();
    std::printf(
        "answers=%zu p50_ms=%.2f p99_ms=%.2f max_ms=%.2f refused=%ld failed=%ld "
        "games_ranked=%ld events=%zu delivered_p50_ms=%.2f delivered_p99_ms=%.2f "
        "delivered_max_ms=%.2f streams_lost=%ld\n",
        answers, at(times, 0.5), at(times, 0.99), at(times, 1.0), refused, failed, games, events,
        at(delivered, 0.5), at(delivered, 0.99), at(delivered, 1.0), streams_lost);
    return 0;
}
