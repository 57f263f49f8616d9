// Who asked, and the log line each request leaves on stderr.
#pragma once

#include <microhttpd.h>

#include <string>

// The client's address; behind a proxy, the last address the proxy added to X-Forwarded-For.
std::string client_of(MHD_Connection* c, bool behind_proxy);

// "2026-12-07T21:34:56Z 127.0.0.1 GET /api/v1/scores 200 3 ms" (the path cut at 200 bytes).
void log_request(const std::string& client, const std::string& method, const std::string& path,
                 int status, long ms);
