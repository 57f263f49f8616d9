// Velmora in the page: the one game and the shell that runs it in the canvas, with each game
// recorded in memory, and the calls the page's script makes into it (web/index.html): the
// recording to save, a recording to watch, and where the game stands.
#include <emscripten.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/preferences.h"
#include "app/shell.h"
#include "game/game.h"
#include "replay/reader.h"
#include "replay/replay.h"

// The one game, built before main: the world exists before the canvas does.
Game jogo;

// Where the page keeps what the game changed in its settings.
EM_JS(void, keep_settings, (const char* text), { Velmora.keepSettings(UTF8ToString(text)); });

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
    return run_shell(argc, argv, jogo);
}

extern "C" {

// The game in play as a recording file, its summary last ("" while nothing is recorded).
EMSCRIPTEN_KEEPALIVE const char* velmora_recording() {
    Session* session = running_session();
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

// Watches a game while it is played: its recording comes in pieces (velmora_watch_more, whole
// lines, false if they do not follow: the message goes on the page's error line) until
// velmora_live_ended.
EMSCRIPTEN_KEEPALIVE void velmora_watch_live() {
    if (Session* session = running_session()) {
        session->watch_live();
    }
}

EMSCRIPTEN_KEEPALIVE int velmora_watch_more(const char* lines) {
    Session* session = running_session();
    std::string error;
    if (session == nullptr || !session->watching_live()) {
        return 0;  // the player went on to something else
    }
    if (!session->watch_more(lines, error)) {
        std::fprintf(stderr, "velmora: the game watched: %s\n", error.c_str());
        return 0;
    }
    return 1;
}

EMSCRIPTEN_KEEPALIVE void velmora_live_ended() {
    if (Session* session = running_session()) {
        session->live_ended();
    }
}

// Where the game stands, as JSON: {"paused", "muted", "over", "watching", "finished",
// "outcome", "matched", "divergence", "live"}, the last five about a watched recording.
EMSCRIPTEN_KEEPALIVE const char* velmora_status() {
    const Session* session = running_session();
    if (session == nullptr) {
        return "{}";
    }
    std::string json = "{\"paused\":" + std::string(session->paused() ? "true" : "false") +
                       ",\"muted\":" + (session->muted() ? "true" : "false") +
                       ",\"over\":" + (jogo.get_game_over() ? "true" : "false") +
                       ",\"demo\":" + (session->showing_demo() ? "true" : "false") +
                       ",\"pictures\":" + std::to_string(session->pictures()) +
                       ",\"ticks\":" + std::to_string(session->ticks()) +
                       ",\"between\":" + std::to_string(session->between()) +
                       ",\"smooth\":" + (running_preferences().smooth() ? "true" : "false");
    if (const Replay* replay = session->replay()) {
        json += ",\"watching\":true,\"finished\":" +
                std::string(session->replay_finished() ? "true" : "false") +
                ",\"live\":" + (session->watching_live() ? "true" : "false") +
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
    Session* session = running_session();
    return hand_over(session != nullptr ? session->recordings().live_text() : "");
}

// A new game from `seed` at once: the ranked game the page was dealt.
EMSCRIPTEN_KEEPALIVE void velmora_play(unsigned seed) {
    if (Session* session = running_session()) {
        session->play_now(seed);
    }
}

// The player's settings, as the page keeps them (settings.h's text); false if it is not such a
// text. Changes the game makes itself (m) go back to the page's storage.
EMSCRIPTEN_KEEPALIVE int velmora_settings(const char* text) {
    return running_preferences().adopt(
        text, [](const std::string& kept) { keep_settings(kept.c_str()); });
}

// The settings at play, in settings.h's text.
EMSCRIPTEN_KEEPALIVE const char* velmora_settings_text() {
    static std::string text;
    text = running_preferences().current().text();
    return text.c_str();
}

// An action (keymap.h's order: left, right, thrust, fire, pause, mute, new-game), from the
// page's buttons and gamepads, whatever keys the player chose.
EMSCRIPTEN_KEEPALIVE void velmora_action(int action) {
    Session* session = running_session();
    if (session && action >= 0 && action < kActions) {
        player_acted();
        session->perform(static_cast<Action>(action));
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
