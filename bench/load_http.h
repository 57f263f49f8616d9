// The plain HTTP/1.1 that velmora_live_load speaks over its many connections: requests written
// whole, answers read back as they come (Content-Length bodies, and the chunked ones of an
// event stream), and the few JSON fields it looks at.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string post(const std::string& path, const std::string& body,
                        const std::string& extra) {
    return "POST " + path +
           " HTTP/1.1\r\nHost: bench\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           extra + "\r\n" + body;
}

// A whole answer at the front of `in`: its status and body, removed from `in`; false if not
// all there yet.
inline bool take_answer(std::string& in, int& status, std::string& body) {
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

// An event stream's answer as it comes: its header skipped, its chunks unwrapped into `text`.
// True once its last chunk has come (the stream is over; `in` holds what follows it).
struct ChunkedReader {
    bool headed = false;
    std::string text;
    bool take(std::string& in) {
        if (!headed) {
            const size_t end = in.find("\r\n\r\n");
            if (end == std::string::npos) {
                return false;
            }
            in.erase(0, end + 4);
            headed = true;
        }
        for (;;) {
            const size_t line = in.find("\r\n");
            if (line == std::string::npos) {
                return false;
            }
            const size_t size = std::strtoul(in.c_str(), nullptr, 16);
            if (in.size() < line + 2 + size + 2) {
                return false;
            }
            text.append(in, line + 2, size);
            in.erase(0, line + 2 + size + 2);
            if (size == 0) {
                headed = false;
                return true;
            }
        }
    }
};

inline std::string json_text(const std::string& body, const char* key) {
    const std::string k = std::string("\"") + key + "\": \"";
    const size_t at = body.find(k);
    return at == std::string::npos
               ? ""
               : body.substr(at + k.size(), body.find('"', at + k.size()) - at - k.size());
}

inline long long json_number(const std::string& body, const char* key) {
    const std::string k = std::string("\"") + key + "\": ";
    const size_t at = body.find(k);
    return at == std::string::npos ? 0 : std::atoll(body.c_str() + at + k.size());
}

// A connection to 127.0.0.1:port from 127.<net>.x.y: 16 connections an address, from n = 0 on,
// so that the server's limits per address hold.
inline int open_connection(int port, int n, unsigned net) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl((127u << 24) | (net << 16) | static_cast<unsigned>(n / 16 + 1));
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
