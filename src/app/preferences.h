// The player's settings at play (settings.h): read at the start, the command line's options
// over them for the run; applied to the session, the sound and the window; shown and changed
// on the settings screen, and kept at once where they came from (the desktop's file; the page
// keeps its own, handed over as text).
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "app/options.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/settings_screen.h"

class Audio;

class Preferences {
  public:
    Preferences();

    // The settings in the file at `path` ("" for none: the defaults), the options over them.
    void load(const Options& options, const std::string& path, std::FILE* err);
    // The page's: the settings in `text`, kept by the page (`keep` is told each change).
    bool adopt(const std::string& text, std::function<void(const std::string&)> keep);
    const Settings& current() const { return settings; }

    // The session's keys, look and sound, and the sound's volume, as the settings say. The
    // session's clock (in ms) times the pictures between frames.
    void apply(Session& session, Audio* audio, std::function<long()> clock);
    bool smooth() const { return settings.smooth && !designed_frames; }
    // The window's field is `side` pixels across, `pixel_ratio` of them a CSS pixel (the page).
    void viewport(int side, float pixel_ratio);
    // m turned the sound off or on.
    void sound(bool on);

    bool screen_open() const { return screen.open(); }
    void open_screen() { screen.show(); }
    void key(Key key) { screen.key(key); }
    void draw_screen() const { screen.draw(); }

  private:
    void changed();
    // The settings to the session and the sound, once they are there.
    void push();
    Look look() const;

    Settings settings;
    std::string path;  // the desktop's file
    std::function<void(const std::string&)> keeper;
    bool designed_frames = false;  // --frames=designed, for this run
    bool designed_palette = false;
    int side = 500;
    float ratio = 1;
    SettingsScreen screen;
    Session* session = nullptr;
    Audio* audio = nullptr;
    std::function<long()> clock;
};
