// Who asked, and the log line each request leaves on stderr.
#pragma once

#include <microhttpd.h>

#include <string>

// The client's address; from the trusted proxy alone, the last address it added to
// X-Forwarded-For.
std::string client_of(MHD_Connection* c, const std::string& trusted_proxy);
// `text` as a log line may quote it: a byte other than printable ASCII, a quote, a backslash
// or a percent sign is written %XX, so that nothing a client sends can make a line of its own.
std::string escaped(const std::string& text);

// "2026-12-07T21:34:56Z 127.0.0.1 GET /api/v1/scores 200 3 ms" (the path cut at 200 bytes).
void log_request(const std::string& client, const std::string& method, const std::string& path,
                 int status, long ms);
