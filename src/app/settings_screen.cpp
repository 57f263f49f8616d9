#include "app/settings_screen.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>

#include "game/hud.h"

namespace {

constexpr unsigned char kEnter = 13;
constexpr unsigned char kEscape = 27;
// The lines before the keys': frames, palette, volume, sound.
constexpr int kFirstKey = 4;

}  // namespace

SettingsScreen::SettingsScreen(Settings& s, std::function<void()> c)
    : settings(s), changed(std::move(c)) {}

int SettingsScreen::lines() const {
    return kFirstKey + kActions;
}

void SettingsScreen::change(int by) {
    switch (chosen) {
        case 0:
            settings.smooth = !settings.smooth;
            break;
        case 1:
            settings.colour_blind = !settings.colour_blind;
            break;
        case 2:
            settings.volume = std::clamp(settings.volume + 10 * by, 0, 100);
            break;
        case 3:
            settings.sound = !settings.sound;
            break;
        default:
            waiting_for_key = true;
            said = std::string("press the key for ") +
                   KeyMap::name_of(static_cast<Action>(chosen - kFirstKey)) + " (Esc: keep)";
            return;
    }
    changed();
}

void SettingsScreen::key(Key key) {
    if (waiting_for_key) {
        waiting_for_key = false;
        said.clear();
        if (!key.special && key.code == kEscape) {
            return;
        }
        std::string error;
        if (settings.keys.bind(static_cast<Action>(chosen - kFirstKey), key, error)) {
            changed();
        } else {
            said = error + ": choose another";
        }
        return;
    }
    const bool settings_key = settings.keys.action_of(key) == Action::kSettings;
    if ((!key.special && key.code == kEscape) || settings_key) {
        is_open = false;
        return;
    }
    said.clear();
    if (key.special && key.code == GLUT_KEY_UP) {
        chosen = (chosen + lines() - 1) % lines();
    } else if (key.special && key.code == GLUT_KEY_DOWN) {
        chosen = (chosen + 1) % lines();
    } else if (key.special && key.code == GLUT_KEY_LEFT) {
        change(-1);
    } else if ((key.special && key.code == GLUT_KEY_RIGHT) ||
               (!key.special && (key.code == kEnter || key.code == ' '))) {
        change(1);
    }
}

void SettingsScreen::draw() const {
    std::vector<std::string> text = {
        std::string("Frames:  ") + (settings.smooth ? "smooth" : "designed, one a tick"),
        std::string("Palette: ") + (settings.colour_blind ? "colour-blind safe" : "designed"),
        "Volume:  " + std::to_string(settings.volume),
        std::string("Sound:   ") + (settings.sound ? "on" : "off"),
    };
    for (int a = 0; a < kActions; ++a) {
        std::string line = std::string("Key ") + KeyMap::name_of(static_cast<Action>(a)) + ":";
        line.resize(17, ' ');
        for (const Key& k : settings.keys.keys_of(static_cast<Action>(a))) {
            line += KeyMap::key_name(k) + " ";
        }
        text.push_back(line);
    }
    // On black, over the paused field.
    glColor3f(0, 0, 0);
    glBegin(GL_POLYGON);
    glVertex2f(-0.9f, 0.7f);
    glVertex2f(0.9f, 0.7f);
    glVertex2f(0.9f, -0.5f);
    glVertex2f(-0.9f, -0.5f);
    glEnd();
    glColor3f(0, 1, 0);
    desenhar_str(-0.84f, 0.62f, "SETTINGS  (Up, Down; Left, Right, Enter)");
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        if (i == chosen) {
            glColor3f(1, 1, 0);
        }
        desenhar_str(-0.84f, 0.52f - 0.07f * static_cast<float>(i),
                     ((i == chosen ? "> " : "  ") + text[i]).c_str());
        if (i == chosen) {
            glColor3f(0, 1, 0);
        }
    }
    const float below = 0.52f - 0.07f * static_cast<float>(text.size());
    desenhar_str(-0.84f, below - 0.02f, said.empty() ? "Esc: back to the game" : said.c_str());
}
