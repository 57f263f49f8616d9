// velmora_live_load: many ranked games played live at once against a server, for make
// bench-server. Each connection (HTTP/1.1, kept alive) plays one attempt: dealt on today's
// daily board (under a name of its own, so each ranks), its recording sent a batch a second
// with the ticks that fell due, a new attempt dealt when one ends. The connections come from
// many loopback addresses, as many players would, within the server's limits per address.
// The same pacing against a static file ("static PATH") measures a plain web server alike.
//
//   velmora_live_load PORT CONNECTIONS SECONDS live|static PATH
//
// It prints each answer's time from the batch sent to the answer read: count, p50, p99, max.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

#include "game/game.h"
#include "replay/recorder.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// The recording cut after each tick: chunk k holds the lines up to and including tick k + 1.
std::vector<std::string> ticks_of(const std::string& recording) {
    std::vector<std::string> chunks;
    std::string lines;
    for (size_t at = 0; at < recording.size();) {
        const size_t end = recording.find('\n', at) + 1;
        lines += recording.substr(at, end - at);
        if (recording.compare(at, 2, "t ") == 0) {
            chunks.push_back(lines);
            lines.clear();
        }
        at = end;
    }
    return chunks;
}

// A recording of seed `seed`, `ticks` ticks of a pilot that turns and fires now and then.
std::string recording_of(unsigned seed, long ticks) {
    std::unique_ptr<Recorder> r = Recorder::in_memory();
    Game game;
    game.new_game(seed);
    r->new_game(seed, game);
    for (long t = 1; t <= ticks && !game.get_game_over(); ++t) {
        if (t % 7 == 0) {
            ship_command(game, 'a');
            r->key('a');
        }
        if (t % 11 == 0) {
            ship_command(game, 'q');
            r->key('q');
        }
        game.update();
        r->tick(game, game.get_game_over());
        game.frame_unseen();
        r->frame();
    }
    return r->text();
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
};

std::string post(const std::string& path, const std::string& body, const std::string& extra) {
    return "POST " + path +
           " HTTP/1.1\r\nHost: bench\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           extra + "\r\n" + body;
}

// A whole answer at the front of `in`: its status and body, removed from `in`; false if not
// all there yet.
bool take_answer(std::string& in, int& status, std::string& body) {
    const size_t end = in.find("\r\n\r\n");
    if (end == std::string::npos) {
        return false;
    }
    const size_t length_at = in.find("Content-Length: ");
    const size_t length =
        length_at < end ? std::strtoul(in.c_str() + length_at + 16, nullptr, 10) : 0;
    if (in.size() < end + 4 + length) {
        return false;
    }
    status = std::atoi(in.c_str() + 9);
    body = in.substr(end + 4, length);
    in.erase(0, end + 4 + length);
    return true;
}

std::string json_text(const std::string& body, const char* key) {
    const std::string k = std::string("\"") + key + "\": \"";
    const size_t at = body.find(k);
    return at == std::string::npos
               ? ""
               : body.substr(at + k.size(), body.find('"', at + k.size()) - at - k.size());
}

long long json_number(const std::string& body, const char* key) {
    const std::string k = std::string("\"") + key + "\": ";
    const size_t at = body.find(k);
    return at == std::string::npos ? 0 : std::atoll(body.c_str() + at + k.size());
}

int open_connection(int port, int n) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    // 16 connections an address, from 127.1.0.1 on: the server's limits per address hold.
    from.sin_addr.s_addr = htonl((127u << 24) | (1u << 16) | static_cast<unsigned>(n / 16 + 1));
    bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: velmora_live_load PORT CONNECTIONS SECONDS live|static PATH\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    const bool live = std::string(argv[4]) == "live";
    const std::string path = argv[5];
    rlimit files{65536, 65536};
    setrlimit(RLIMIT_NOFILE, &files);

    std::string head;  // the header and the seed, which go with an attempt's first batch
    std::vector<std::string> chunks;
    std::vector<Connection> all(static_cast<size_t>(count));
    const int poll = epoll_create1(0);
    for (int i = 0; i < count; ++i) {
        all[i].fd = open_connection(port, i);
        epoll_event e{EPOLLIN, {}};
        e.data.u32 = static_cast<uint32_t>(i);
        epoll_ctl(poll, EPOLL_CTL_ADD, all[i].fd, &e);
        all[i].next = static_cast<double>(i) / count;  // spread over the first second
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
    long refused = 0;
    long failed = 0;
    long games = 0;
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
            if (write(c.fd, c.out.data(), c.out.size()) != static_cast<ssize_t>(c.out.size())) {
                ++failed;
            }
        }
        epoll_event ready[256];
        const int n = epoll_wait(poll, ready, 256, 2);
        for (int k = 0; k < n; ++k) {
            Connection& c = all[ready[k].data.u32];
            char buffer[65536];
            const ssize_t got = read(c.fd, buffer, sizeof buffer);
            if (got <= 0) {
                std::fprintf(stderr, "velmora_live_load: a connection closed\n");
                return 1;
            }
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
                if (chunks.empty()) {  // the day's seed is everybody's: one recording serves all
                    chunks = ticks_of(recording_of(static_cast<unsigned>(json_number(body, "seed")),
                                                   static_cast<long>(seconds * 20 + 400)));
                    head = chunks.front().substr(0, chunks.front().find("\nt ") + 1);
                    chunks.front().erase(0, head.size());
                }
                c.next = seconds_since(start) + 1.0;
                continue;
            }
            times.push_back(seconds_since(c.sent) * 1000);
            const std::string state = json_text(body, "state");
            if (status != 200 || state != "live") {
                refused += status != 200;
                games += state == "ranked";
                c.attempt = 0;  // a new game at its next turn
            }
        }
    }
    std::sort(times.begin(), times.end());
    if (times.empty()) {
        std::fprintf(stderr, "velmora_live_load: no answer\n");
        return 1;
    }
    const auto at = [&](double q) { return times[static_cast<size_t>(q * (times.size() - 1))]; };
    std::printf(
        "answers=%zu p50_ms=%.2f p99_ms=%.2f max_ms=%.2f refused=%ld failed=%ld "
        "games_ranked=%ld\n",
        times.size(), at(0.5), at(0.99), times.back(), refused, failed, games);
    return 0;
}
