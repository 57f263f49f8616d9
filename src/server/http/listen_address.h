// The address the server listens on, from --address and --port.
#pragma once

#include <sys/socket.h>

#include <string>

// `text` as an IPv4 or IPv6 literal with `port`, into `address` (`v6` says which). False, with
// `error`, for anything else: the server names no host it would have to look up.
bool listen_address(const std::string& text, int port, sockaddr_storage& address, bool& v6,
                    std::string& error);
