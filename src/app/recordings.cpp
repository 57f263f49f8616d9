#include "app/recordings.h"

#include "replay/replay_file.h"

void Recordings::each(bool in_game, const std::function<void(Recorder&)>& feed) {
    if (file) {
        feed(*file);
    }
    for (Recorder* own_game : {own.get(), text.get()}) {
        if (own_game != nullptr && in_game) {
            feed(*own_game);
        }
    }
}

void Recordings::new_game(unsigned seed, const Game& game) {
    own = make_each ? make_each(seed) : nullptr;
    text = keeps_live ? Recorder::in_memory() : nullptr;
    ticks_of_game = 0;
    each(true, [&](Recorder& r) { r.new_game(seed, game); });
}

void Recordings::key(char key, const Game& game) {
    each(!game.get_game_over(), [key](Recorder& r) { r.key(key); });
}

void Recordings::frame(const Game& game) {
    each(!game.get_game_over(), [](Recorder& r) { r.frame(); });
}

void Recordings::tick(const Game& game, bool was_over) {
    ticks_of_game += was_over ? 0 : 1;
    const bool ended = !was_over && game.get_game_over();
    each(!was_over, [&](Recorder& r) { r.tick(game, ended); });
}

void Recordings::end(const Game& game) {
    if (file) {
        file->end(game);
    }
}

std::string Recordings::game_text(const Game& game) const {
    if (!own || own->text().empty()) {
        return "";
    }
    return own->text() + summary_line(false, outcome_of(game, own->tick_count()));
}

const std::string& Recordings::live_text() const {
    static const std::string none;
    return text ? text->text() : none;
}

std::string Recordings::live_ending(const Game& game) const {
    return text ? summary_line(false, outcome_of(game, text->tick_count())) : "";
}
