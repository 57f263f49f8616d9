// Head-up text: bitmap characters at field positions, and the game's text lines.
#pragma once

#include <string>

// desenhar_char ("draw a character"): c at raster position (x, y), in the 9 by 15 bitmap font.
void desenhar_char(float x, float y, char c);
// desenhar_str ("draw a string"): one character every 0.04 in x, whatever the glyph's width.
void desenhar_str(float x, float y, const char* s);

// "PAUSED" in the head-up text's green, centred a line above "GAME OVER".
void draw_paused();
// "DEMO - press any key" in the head-up text's green, a line below "GAME OVER"'s place.
void draw_demo();
// "MUTED" in the head-up text's green, in the top left corner.
void draw_muted();
// `text` in yellow at the top of the field, broken into lines that fit it (below "MUTED" when
// that shows).
void draw_banner(const std::string& text, bool below_muted);
