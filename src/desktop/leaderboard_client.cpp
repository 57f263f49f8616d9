// On the desktop only: HTTP through libcurl, the answers read with nlohmann's JSON.
#include "desktop/leaderboard_client.h"

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "desktop/http_client.h"
#include "desktop/player_key.h"

namespace {

constexpr const char* kDefaultServer = "http://127.0.0.1:8080";

// The server's JSON, or a null value if the body is not JSON.
nlohmann::json parsed(const std::string& body) {
    return nlohmann::json::parse(body, nullptr, false);
}

// The status for a reply that is not the one hoped for, with its line on `err`.
int failure(const std::string& server, const HttpReply& reply, std::FILE* err) {
    if (!reply.reached) {
        std::fprintf(err, "velmora: the leaderboard at %s cannot be reached: %s\n", server.c_str(),
                     reply.problem.c_str());
        return 1;
    }
    const nlohmann::json answer = parsed(reply.body);
    const std::string words =
        answer.is_object() && answer.contains("error") && answer["error"].is_string()
            ? answer["error"].get<std::string>()
            : "HTTP " + std::to_string(reply.status);
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
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::fprintf(err, "velmora: %s: cannot read it\n", path.c_str());
        return 2;
    }
    const std::string body = text.str();
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
        remember_player_name(*folder, answer.value("name", name));  // the key holds it now
    }
    std::fprintf(out, "%s rank %lld on %s: %s, score %lld, level %lld, %lld ticks\n",
                 reply.status == 201 ? "verified:" : "already there:", answer.value("rank", 0LL),
                 server.c_str(), answer.value("name", std::string()).c_str(),
                 answer.value("score", 0LL), answer.value("level", 0LL),
                 answer.value("ticks", 0LL));
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
    const std::string shown = answer.value("board", std::string());
    const std::string title = shown == "daily"
                                  ? "daily challenge of " + answer.value("day", std::string())
                              : shown == "uploaded" ? "uploaded games"
                                                    : "open board";
    std::fprintf(out, "The leaderboard at %s, the %s, %lld games:\n", server.c_str(), title.c_str(),
                 answer.value("total", 0LL));
    std::fprintf(out, "%4s  %-20s %7s %5s %6s  %s\n", "rank", "name", "score", "level", "ticks",
                 "submitted");
    for (const nlohmann::json& row : answer["scores"]) {
        if (!row.is_object()) {
            continue;
        }
        std::fprintf(out, "%4lld  %-20s %7lld %5lld %6lld  %s\n", row.value("rank", 0LL),
                     row.value("name", std::string()).c_str(), row.value("score", 0LL),
                     row.value("level", 0LL), row.value("ticks", 0LL),
                     row.value("submitted", std::string()).c_str());
    }
    return 0;
}
