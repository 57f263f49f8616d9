// The leaderboard's API, apart from HTTP: each request as a method, a path, its query and body,
// and each answer as a status, a body and its headers. The HTTP layer (http.cpp) only reads
// requests, enforces the limits and writes these answers back.
//
//   POST /api/v1/games?name=NAME   a recording: verified, kept, ranked (submit_game)
//   GET  /api/v1/scores?board=B&day=D&limit=N&offset=M
//   GET  /api/v1/games/ID          GET /api/v1/games/ID/replay
//   /api/v1/attempts...            ranked games played live (attempts.h)
//   GET  /healthz
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "server/store.h"

struct Answer {
    Answer() = default;
    Answer(int status_, std::string body_, std::string content_type_ = "application/json")
        : status(status_), body(std::move(body_)), content_type(std::move(content_type_)) {}

    int status = 200;
    std::string body;
    std::string content_type = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    // Set for an answer that takes a while to make: the HTTP layer runs it on a worker while
    // the connection waits, and sends what it returns.
    std::function<Answer()> later;
};

struct Request {
    std::string method;
    std::string path;
    std::map<std::string, std::string> query;
    std::string body;
    std::string token;   // the Authorization header's bearer token, if any
    std::string client;  // who asked: the address, or behind a proxy the one it names
    std::string key;     // the player key (X-Velmora-Key), if any
};

class Attempts;
class Players;

// Whether the request is a submission, which the HTTP layer hands to a verification worker.
bool is_submission(const Request& request);

// A submission: the name checked (and held by `key`'s player, players.h), the recording read,
// replayed and compared, the game kept (once per recording) and ranked on the uploaded board.
// 201 for a new game, 200 for one kept already.
Answer submit_game(const std::string& raw_name, const std::string& key, const std::string& body,
                   Store& store, Players& players);

// Every other API request; nullopt-like 404 for paths outside the API (which the HTTP layer may
// serve from --web).
Answer answer(const Request& request, Store& store, Attempts& attempts);
// Whether `path` is a live attempt's (its body limit is a batch's).
bool is_attempt_path(const std::string& path);
// Whether `path` is the API's (or the health check's): never served from --web.
bool is_api_path(const std::string& path);

// An error answer: {"error": message}.
Answer error_answer(int status, const std::string& message);
