#include "server/http/listen_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>

bool listen_address(const std::string& text, int port, sockaddr_storage& address, bool& v6,
                    std::string& error) {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, text.c_str(), &in4->sin_addr) == 1) {
        in4->sin_family = AF_INET;
        in4->sin_port = htons(static_cast<uint16_t>(port));
        v6 = false;
        return true;
    }
    if (inet_pton(AF_INET6, text.c_str(), &in6->sin6_addr) == 1) {
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<uint16_t>(port));
        v6 = true;
        return true;
    }
    error = "cannot listen on '" + text + "': not an IP address";
    return false;
}
