#include "server/http/clients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <ctime>

namespace {

// The connection's own address, as text.
std::string peer_of(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char text[INET6_ADDRSTRLEN] = "?";
    if (info != nullptr && info->client_addr != nullptr) {
        const sockaddr* a = info->client_addr;
        if (a->sa_family == AF_INET) {
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text,
                      sizeof text);
        } else if (a->sa_family == AF_INET6) {
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text,
                      sizeof text);
        }
    }
    return text;
}

// Bytes a log line shows as they are: printable ASCII but the quote and the percent sign.
bool plain(unsigned char c) {
    return c >= 0x20 && c < 0x7f && c != '"' && c != '%' && c != '\\';
}

}  // namespace

std::string client_of(MHD_Connection* c, const std::string& trusted_proxy) {
    const std::string peer = peer_of(c);
    if (trusted_proxy.empty() || peer != trusted_proxy) {
        return peer;
    }
    const char* forwarded = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Forwarded-For");
    if (forwarded == nullptr) {
        return peer;
    }
    std::string chain = forwarded;
    const size_t last = chain.rfind(',');
    chain = last == std::string::npos ? chain : chain.substr(last + 1);
    const size_t start = chain.find_first_not_of(' ');
    const size_t end = chain.find_last_not_of(' ');
    return start == std::string::npos ? peer : escaped(chain.substr(start, end - start + 1));
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (plain(u)) {
            out += c;
        } else {
            out += '%';
            out += "0123456789ABCDEF"[u >> 4];
            out += "0123456789ABCDEF"[u & 15];
        }
    }
    return out;
}

void log_request(const std::string& client, const std::string& method, const std::string& path,
                 int status, long ms) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    // One line, written at once: lines of requests ending together never mix.
    std::fprintf(stderr, "%s %s %s %s %d %ld ms\n", when, escaped(client).c_str(),
                 escaped(method).c_str(), escaped(path.substr(0, 200)).c_str(), status, ms);
}
