// --web DIR: the browser build served at / beside the API, so one process hosts the page and
// its leaderboard. Only files under DIR, never a path that climbs out of it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

struct StaticFile {
    int fd;  // open for reading; whoever sends it closes it
    off_t size;
    std::string content_type;
};

// The file for URL path `path` ("/" is index.html) under `root`, or nothing.
std::optional<StaticFile> find_static(const std::string& root, const std::string& path);
