// What the operator sets of the HTTP side at start (server/options.h has the command line).
#pragma once

#include <string>

#include "server/limits.h"

struct HttpSetup {
    std::string address = "127.0.0.1";  // IPv4 or IPv6 literal
    int port = 8080;                    // 0: any free port
    int submit_rate = 30;               // submissions per address per minute
    std::string web_root;               // serve these files at / (empty: none)
    // The proxy in front, if any: from its address alone the client is the last address of
    // X-Forwarded-For (any other client naming one is taken for what it is).
    std::string trusted_proxy;
    unsigned client_timeout = limits::kConnectionTimeout;  // seconds idle or slow, then cut
};
