// Velmora in the page: the one game and the shell that runs it in the canvas, with each game
// recorded in memory, and the calls the page's script makes into it (web/index.html): the
// recording to save, a recording to watch, and where the game stands.
#include <emscripten.h>

#include <string>

#include "app/shell.h"
#include "game/game.h"
#include "replay/reader.h"
#include "replay/replay.h"

// The one game, built before main: the world exists before the canvas does.
Game jogo;

namespace {

std::string json_text(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c < ' ' ? ' ' : c;
    }
    return out + "\"";
}

// Strings handed to the page stay valid until the next call that returns one.
const char* hand_over(std::string text) {
    static std::string kept;
    kept = std::move(text);
    return kept.c_str();
}

}  // namespace

int main(int argc, char** argv) {
    Platform page;
    page.record_in_memory = true;
    page.exit_after_replay = false;
    page.sound_after_first_key = true;
    page.keeps_scores = false;  // the page keeps its own table, in the browser's storage
    page.records_live = true;   // its ranked games are streamed by its script (ranked.js)
    return run_shell(argc, argv, jogo, page);
}

extern "C" {

// The game in play as a recording file, its summary last ("" while nothing is recorded).
EMSCRIPTEN_KEEPALIVE const char* velmora_recording() {
    const Session* session = running_session();
    return hand_over(session != nullptr ? session->recording() : "");
}

// Watches the recording `text`, named `name` in messages. A recording that cannot be replayed
// is refused with the desktop's message on the page's error line; returns whether it plays.
EMSCRIPTEN_KEEPALIVE int velmora_watch(const char* name, const char* text) {
    Session* session = running_session();
    ReplayFile file;
    std::string error;
    if (session == nullptr || !read_replay_text(text, rand_probe(), file, error)) {
        std::fprintf(stderr, "velmora: %s:%s\n", name, error.c_str());
        return 0;
    }
    session->watch(std::move(file));
    return 1;
}

// Where the game stands, as JSON: {"paused", "muted", "over", "watching", "finished",
// "outcome", "matched", "divergence"}, the last four about a watched recording.
EMSCRIPTEN_KEEPALIVE const char* velmora_status() {
    const Session* session = running_session();
    if (session == nullptr) {
        return "{}";
    }
    std::string json = "{\"paused\":" + std::string(session->paused() ? "true" : "false") +
                       ",\"muted\":" + (session->muted() ? "true" : "false") +
                       ",\"over\":" + (jogo.get_game_over() ? "true" : "false");
    if (const Replay* replay = session->replay()) {
        json += ",\"watching\":true,\"finished\":" +
                std::string(replay->finished() ? "true" : "false") +
                ",\"outcome\":" + json_text(to_string(outcome_of(jogo, replay->ticks()))) +
                ",\"matched\":" + (replay->divergence().empty() ? "true" : "false") +
                ",\"divergence\":" + json_text(replay->divergence());
    } else {
        json += ",\"watching\":false";
    }
    return hand_over(json + "}");
}

// The game in play's recording so far, whole lines and nothing more: what a ranked game's
// script sends as it grows.
EMSCRIPTEN_KEEPALIVE const char* velmora_recorded() {
    const Session* session = running_session();
    return hand_over(session != nullptr ? session->live_text() : "");
}

// A new game from `seed` at once: the ranked game the page was dealt.
EMSCRIPTEN_KEEPALIVE void velmora_play(unsigned seed) {
    if (Session* session = running_session()) {
        session->play_now(seed);
    }
}

// A key as the keyboard would give it, from the page's own controls.
EMSCRIPTEN_KEEPALIVE void velmora_key(int key) {
    if (Session* session = running_session()) {
        player_acted();
        session->key(static_cast<unsigned char>(key));
    }
}

}  // extern "C"
