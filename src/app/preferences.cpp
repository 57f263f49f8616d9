#include "app/preferences.h"

#include <algorithm>

#include "audio/audio.h"

Preferences::Preferences() : screen(settings, [this] { changed(); }) {}

void Preferences::load(const Options& options, const std::string& where, std::FILE* err) {
    path = where;
    settings = load_settings(path, err);
    designed_frames = options.frames == FramesChoice::kDesigned;
    settings.smooth = settings.smooth || options.frames == FramesChoice::kSmooth;
    designed_palette = options.palette == PaletteChoice::kDesigned;
    settings.colour_blind = settings.colour_blind || options.palette == PaletteChoice::kColourBlind;
    if (options.volume) {
        settings.volume = *options.volume;
    }
    if (options.mute) {
        settings.sound = false;
    }
}

bool Preferences::adopt(const std::string& text, std::function<void(const std::string&)> keep) {
    Settings s;
    std::string error;
    if (!Settings::parse(text, s, error)) {
        return false;
    }
    settings = s;
    keeper = std::move(keep);
    push();
    return true;
}

Look Preferences::look() const {
    Look l;
    l.colour_blind = settings.colour_blind && !designed_palette;
    l.side_px = side;
    // One CSS pixel at least, and wider as the field grows; the designed frames keep theirs.
    l.line_px = smooth() ? std::max(ratio, static_cast<float>(side) / 500) : 1;
    return l;
}

void Preferences::apply(Session& on, Audio* sound_out, std::function<long()> clock_) {
    session = &on;
    audio = sound_out;
    clock = std::move(clock_);
    push();
}

void Preferences::push() {
    if (session != nullptr) {
        session->use_keys(settings.keys);
        session->show_as(smooth(), look(), clock);
        session->set_muted(!settings.sound);
    }
    if (audio != nullptr) {
        audio->set_volume(settings.volume);
    }
}

void Preferences::viewport(int side_px, float pixel_ratio) {
    side = std::max(1, side_px);
    ratio = pixel_ratio;
    if (session != nullptr) {
        session->show_as(smooth(), look(), clock);
    }
}

void Preferences::sound(bool on) {
    if (settings.sound != on) {
        settings.sound = on;
        changed();
    }
}

void Preferences::changed() {
    // What the screen changed holds from now on, for this run too.
    designed_frames = designed_frames && !settings.smooth;
    designed_palette = designed_palette && !settings.colour_blind;
    push();
    if (keeper) {
        keeper(settings.text());
    } else if (!path.empty()) {
        save_settings(path, settings);
    }
}
