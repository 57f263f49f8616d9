#include "desktop/live_watch.h"

#include <memory>
#include <string>

#include "desktop/json_fields.h"
#include "desktop/leaderboard_client.h"
#include "desktop/live_stream.h"

namespace {

std::unique_ptr<LiveStream> stream;
std::string shown;    // at the top of the field
std::string verdict;  // for the terminal, once known

// The end event's outcome in words: "RANKED: rank 2 on the open board: score 40, level 1".
std::string outcome_of_end(const std::string& json) {
    const nlohmann::json end = parsed(json);
    if (!end.is_object()) {
        return "ended";
    }
    const auto number = [&end](const char* key) { return number_of(end, key); };
    const auto text = [&end](const char* key) { return text_of(end, key); };
    if (text("state") == "ranked") {
        const std::string board =
            text("board") == "daily" ? "daily challenge " + text("day") : "open board";
        return "RANKED: rank " + std::to_string(number("rank")) + " on the " + board + ": score " +
               std::to_string(number("score")) + ", level " + std::to_string(number("level"));
    }
    return "NOT RANKED: " + (text("reason").empty() ? text("state") : text("reason"));
}

}  // namespace

std::optional<int> set_up_watch(const Options& options, Session& session, std::FILE* err) {
    if (!options.watch) {
        return std::nullopt;
    }
    std::string error;
    const std::string server = leaderboard_server(options.server);
    stream = LiveStream::open(server, *options.watch, error);
    if (!stream) {
        std::fprintf(err, "velmora: attempt %lld cannot be watched: %s\n", *options.watch,
                     error.c_str());
        return 1;
    }
    shown = "LIVE: attempt " + std::to_string(*options.watch) + " at " + server;
    verdict = "watched: the game had not ended";
    session.watch_live();
    session.show_banner([] { return shown; });
    return std::nullopt;
}

void watch_tick(Session& session) {
    if (!stream) {
        return;
    }
    std::string lines, end, error;
    stream->take(lines, end);
    if (!lines.empty() && !session.watch_more(lines, error)) {
        verdict = shown = "watched: the stream is not a recording: " + error;
        stream.reset();
        session.live_ended();
        return;
    }
    if (!end.empty()) {
        shown = outcome_of_end(end);
        verdict = "watched: " + shown;
        session.live_ended();
        stream.reset();
    } else if (!stream->lost().empty()) {
        verdict = shown = "watched: " + stream->lost();
        session.live_ended();
        stream.reset();
    }
}

void end_watch(std::FILE* out) {
    if (!verdict.empty()) {
        std::fprintf(out, "%s\n", verdict.c_str());
    }
    stream.reset();
}
