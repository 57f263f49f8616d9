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

// The page's side of the settings: the canvas's pixels a CSS pixel (the screen's, or fewer while
// the renderer cannot keep up), and where the page keeps what the game changed.
EM_JS(double, pixel_ratio, (), { return Velmora.pixelRatio(); });
EM_JS(void, keep_settings, (const char* text), { Velmora.keepSettings(UTF8ToString(text)); });
EM_JS(void, open_settings, (), { Velmora.openSettings(); });
// The game attract mode shows: the leaderboard's best, or the page's own (scores.js); 0 for none.
EM_JS(char*, demo_recording, (), {
    var text = Velmora.demoRecording ? Velmora.demoRecording() : null;
    return text ? stringToNewUTF8(text) : 0;
});

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
    page.keeps_scores = false;    // the page keeps its own table, in the browser's storage
    page.records_live = true;     // its ranked games are streamed by its script (ranked.js)
    page.keeps_settings = false;  // in the page's storage, changed in its Settings dialog
    page.paces_pictures = false;  // requestAnimationFrame paces them
    page.multisample = false;     // the page makes the canvas's context, antialiased or not
    page.pixel_ratio = [] { return static_cast<float>(pixel_ratio()); };
    page.open_settings = open_settings;
    page.demo = [] {
        std::optional<std::string> text;
        if (char* const kept = demo_recording()) {
            text = kept;
            free(kept);
        }
        return text;
    };
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
                       ",\"over\":" + (jogo.get_game_over() ? "true" : "false") +
                       ",\"demo\":" + (session->showing_demo() ? "true" : "false") +
                       ",\"pictures\":" + std::to_string(session->pictures()) +
                       ",\"ticks\":" + std::to_string(session->ticks()) +
                       ",\"between\":" + std::to_string(session->between()) +
                       ",\"smooth\":" + (running_preferences().smooth() ? "true" : "false");
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
