// HTTP for the desktop's leaderboard commands and its ranked games, through libcurl.
#pragma once

#include <string>
#include <vector>

struct HttpReply {
    bool reached = false;  // an answer came, whatever its status
    long status = 0;
    std::string body;
    std::string problem;  // why it was not reached
};

// One request, given up after `timeout_seconds`; `body` non-null makes it a POST of
// `content_type`, with `headers` ("Name: value") besides.
HttpReply http_request(const std::string& url, const std::string* body,
                       const std::string& content_type = "text/plain; charset=utf-8",
                       const std::vector<std::string>& headers = {}, long timeout_seconds = 60);
// `text` as it may stand in a URL's query.
std::string url_escaped(const std::string& text);
