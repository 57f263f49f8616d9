// velmora-server's command line (cli/option_table.h: each option one row, read the GNU way).
#pragma once

#include <string>

#include "server/limits.h"

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 8080;
    std::string db = "sqlite:./velmora-scores.db";
    std::string web;  // --web DIR
    int workers = 0;  // 0: one a core
    int submit_rate = 30;
    std::string trusted_proxy;                                          // --trusted-proxy ADDR
    int client_timeout = static_cast<int>(limits::kConnectionTimeout);  // seconds
    int lag_bound_s = static_cast<int>(limits::kLagBoundMs / 1000);
    bool metrics = false;
    std::string admin_token;  // read from --admin-token-file
    bool help = false;
    bool version = false;
    std::string error;  // the problem, when the command line is wrong
};

ServerOptions parse_server_options(int argc, const char* const* argv);
std::string server_usage();
std::string server_version();
