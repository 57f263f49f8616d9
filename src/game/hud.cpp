#include "game/hud.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <sstream>

#include "game/game.h"

void desenhar_char(float x, float y, char c) {
    glRasterPos2f(x, y);
    glutBitmapCharacter(GLUT_BITMAP_9_BY_15, c);
}

void desenhar_str(float x, float y, const char* s) {
    for (int i = 0; s[i] != '\0'; ++i) {
        desenhar_char(x + 0.04 * i, y, s[i]);
    }
}

void draw_paused() {
    glColor3f(0, 1, 0);
    // Six characters span 5 steps of 0.04 and one 9-pixel glyph: 0.236 of the field's width.
    desenhar_str(-0.118f, 0.1f, "PAUSED");
}

void draw_demo() {
    glColor3f(0, 1, 0);
    // Twenty characters: 19 steps of 0.04 and a glyph, centred.
    desenhar_str(-0.398f, -0.1f, "DEMO - press any key");
}

void draw_muted() {
    glColor3f(0, 1, 0);
    desenhar_str(-0.96f, 0.92f, "MUTED");
}

void draw_banner(const std::string& text, bool below_muted) {
    // 48 characters fit the field's width at 0.04 apiece; lines break between words.
    constexpr size_t kWidth = 48;
    glColor3f(1, 1, 0);
    float y = below_muted ? 0.85f : 0.92f;
    for (size_t at = 0; at < text.size(); y -= 0.07f) {
        size_t end = std::min(text.size(), at + kWidth);
        if (end < text.size()) {
            const size_t space = text.rfind(' ', end);
            end = space != std::string::npos && space > at ? space : end;
        }
        desenhar_str(-0.96f, y, text.substr(at, end - at).c_str());
        at = text.find_first_not_of(' ', end);
        if (at == std::string::npos) {
            break;
        }
    }
}

namespace {

// Numbers go through a default stream: a speed of 0.00001 reads "1e-05".
template <typename Number>
void draw_number(float x, float y, Number value) {
    std::ostringstream text;
    text << value;
    desenhar_str(x, y, text.str().c_str());
}

}  // namespace

void Game::show_text() const {
    // Bitmap text takes the colour current when its raster position is set.
    if (game_over == 1) {
        glColor3f(1, 0, 0);
        desenhar_str(-0.25f, 0, "GAME OVER");
    }
    glColor3f(0, 1, 0);
    desenhar_str(0, -0.7f, "Level:");
    draw_number(0.3f, -0.7f, level);
    desenhar_str(0, -0.8f, "Score:");
    draw_number(0.3f, -0.8f, world.get_total_score());
    desenhar_str(-0.4f, -0.8f, "Lifes:");
    draw_number(-0.15f, -0.8f, world.get_lifes());
    desenhar_str(-0.4f, -0.9f, "Speed:");
    draw_number(-0.15f, -0.9f, mod(world.get_ship()->get_velocity()));
}
