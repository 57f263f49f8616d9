#include "server/http/clients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <ctime>

std::string client_of(MHD_Connection* c, bool behind_proxy) {
    if (behind_proxy) {
        if (const char* forwarded =
                MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Forwarded-For")) {
            std::string chain = forwarded;
            const size_t last = chain.rfind(',');
            chain = last == std::string::npos ? chain : chain.substr(last + 1);
            const size_t start = chain.find_first_not_of(' ');
            return start == std::string::npos ? "" : chain.substr(start);
        }
    }
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

void log_request(const std::string& client, const std::string& method, const std::string& path,
                 int status, long ms) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    // One line, written at once: lines of requests ending together never mix.
    std::fprintf(stderr, "%s %s %s %s %d %ld ms\n", when, client.c_str(), method.c_str(),
                 path.substr(0, 200).c_str(), status, ms);
}
