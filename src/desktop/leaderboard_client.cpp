// On the desktop only: HTTP through libcurl, the answers read with nlohmann's JSON.
#include "desktop/leaderboard_client.h"

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "desktop/http_client.h"
#include "desktop/json_fields.h"
#include "desktop/player_key.h"

namespace {

constexpr const char* kDefaultServer = "http://127.0.0.1:8080";

// The status for a reply that is not the one hoped for, with its line on `err`.
int failure(const std::string& server, const HttpReply& reply, std::FILE* err) {
    if (!reply.reached) {
        std::fprintf(err, "velmora: the leaderboard at %s cannot be reached: %s\n", server.c_str(),
                     reply.problem.c_str());
        return 1;
    }
    const std::string error = text_of(parsed(reply.body), "error");
    const std::string words = !error.empty() ? error : "HTTP " + std::to_string(reply.status);
    const bool refused =
        reply.status >= 400 && reply.status < 500 && reply.status != 404 && reply.status != 429;
    std::fprintf(err, "velmora: the leaderboard at %s %s: %s\n", server.c_str(),
                 refused ? "refused the recording" : "failed", words.c_str());
    return refused ? 3 : 1;
}

}  // namespace

std::string leaderboard_server(const std::string& option) {
    std::string server = option;
    if (server.empty()) {
        const char* env = std::getenv("VELMORA_SERVER");
        server = env != nullptr && env[0] != '\0' ? env : kDefaultServer;
    }
    while (!server.empty() && server.back() == '/') {
        server.pop_back();
    }
    return server;
}

int submit_recording(const std::string& path, const std::string& name, const std::string& server,
                     std::FILE* out, std::FILE* err) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    if (!in) {
        std::fprintf(err, "velmora: %s: cannot read it\n", path.c_str());
        return 2;
    }
    const std::string body = contents.str();
    // The name belongs to the player whose key it first came with (player_key.h).
    std::vector<std::string> headers;
    std::string error;
    const std::optional<ScoreFolder> folder = ScoreFolder::open(error);
    if (folder) {
        if (const std::optional<std::string> key = player_key(*folder, error)) {
            headers.push_back("X-Velmora-Key: " + *key);
        }
    }
    const HttpReply reply = http_request(server + "/api/v1/games?name=" + url_escaped(name), &body,
                                         "text/plain; charset=utf-8", headers);
    const nlohmann::json answer = parsed(reply.body);
    if (!reply.reached || (reply.status != 200 && reply.status != 201) || !answer.is_object() ||
        !answer.contains("rank")) {
        return failure(server, reply, err);
    }
    if (folder) {
        remember_player_name(*folder, text_of(answer, "name").empty()
                                          ? name
                                          : text_of(answer, "name"));  // the key holds it now
    }
    std::fprintf(out, "%s rank %lld on %s: %s, score %lld, level %lld, %lld ticks\n",
                 reply.status == 201 ? "verified:" : "already there:", number_of(answer, "rank"),
                 server.c_str(), text_of(answer, "name").c_str(), number_of(answer, "score"),
                 number_of(answer, "level"), number_of(answer, "ticks"));
    return 0;
}

int print_leaderboard(const std::string& server, const std::string& board, std::FILE* out,
                      std::FILE* err) {
    const HttpReply reply =
        http_request(server + "/api/v1/scores?limit=10&board=" + board, nullptr);
    const nlohmann::json answer = parsed(reply.body);
    if (!reply.reached || reply.status != 200 || !answer.is_object() ||
        !answer.contains("scores") || !answer["scores"].is_array()) {
        return failure(server, reply, err);
    }
    const std::string shown = text_of(answer, "board");
    const std::string title = shown == "daily"      ? "daily challenge of " + text_of(answer, "day")
                              : shown == "uploaded" ? "uploaded games"
                                                    : "open board";
    std::fprintf(out, "The leaderboard at %s, the %s, %lld games:\n", server.c_str(), title.c_str(),
                 number_of(answer, "total"));
    std::fprintf(out, "%4s  %-20s %7s %5s %6s  %s\n", "rank", "name", "score", "level", "ticks",
                 "submitted");
    for (const nlohmann::json& row : answer["scores"]) {
        if (!row.is_object()) {
            continue;
        }
        std::fprintf(out, "%4lld  %-20s %7lld %5lld %6lld  %s\n", number_of(row, "rank"),
                     text_of(row, "name").c_str(), number_of(row, "score"), number_of(row, "level"),
                     number_of(row, "ticks"), text_of(row, "submitted").c_str());
    }
    return 0;
}

int print_live(const std::string& server, const std::string& board, std::FILE* out,
               std::FILE* err) {
    const HttpReply reply = http_request(server + "/api/v1/live?limit=20&board=" + board, nullptr);
    const nlohmann::json answer = parsed(reply.body);
    if (!reply.reached || reply.status != 200 || !answer.is_object() || !answer.contains("games") ||
        !answer["games"].is_array()) {
        return failure(server, reply, err);
    }
    const std::string title = text_of(answer, "board") == "daily"
                                  ? "daily challenge of " + text_of(answer, "day")
                                  : "open board";
    std::fprintf(out, "Playing now at %s, the %s: %zu game%s%s\n", server.c_str(), title.c_str(),
                 answer["games"].size(), answer["games"].size() == 1 ? "" : "s",
                 answer["games"].empty() ? "" : " (velmora --watch ATTEMPT follows one)");
    if (answer["games"].empty()) {
        return 0;
    }
    std::fprintf(out, "%8s  %-20s %7s %5s %6s %8s\n", "attempt", "name", "score", "level", "ticks",
                 "watching");
    for (const nlohmann::json& row : answer["games"]) {
        if (!row.is_object()) {
            continue;
        }
        std::fprintf(out, "%8lld  %-20s %7lld %5lld %6lld %8lld\n", number_of(row, "attempt"),
                     text_of(row, "name").c_str(), number_of(row, "score"), number_of(row, "level"),
                     number_of(row, "ticks"), number_of(row, "watchers"));
    }
    return 0;
}
