// The leaderboard from the desktop: --submit FILE --name NAME sends a recording and prints the
// rank the server verified; --leaderboard prints its top ten, --live the games being played. The
// server is --server URL, else $VELMORA_SERVER, else http://127.0.0.1:8080. Each returns the exit
// status: 0 done; 1 the server could not be reached or failed (one line naming it and why); 3 it
// refused the recording (its own words). The recording's file is only read.
#pragma once

#include <cstdio>
#include <string>

int submit_recording(const std::string& path, const std::string& name, const std::string& server,
                     std::FILE* out, std::FILE* err);
// The top ten of `board` (open, daily for today's daily challenge, uploaded).
int print_leaderboard(const std::string& server, const std::string& board, std::FILE* out,
                      std::FILE* err);

// The games being played now on `board` (open or daily), best first, with their attempts
// (what --watch ID takes) and how many watch each.
int print_live(const std::string& server, const std::string& board, std::FILE* out, std::FILE* err);

// The server to use: `option` if given, else $VELMORA_SERVER, else the default.
std::string leaderboard_server(const std::string& option);
