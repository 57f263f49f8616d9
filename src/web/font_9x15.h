// The head-up text's font in the browser, where the toolkit has none: 9 by 15 pixel cells,
// drawn for this game, for the characters the text can show. A cell's bottom three rows lie
// below the baseline and its left column is blank, as in the desktop toolkit's 9 by 15 font,
// so that the text stands where it stands on the desktop.
#pragma once

struct Glyph {
    char c;
    const char* rows[15];  // top row first, 9 characters each, '#' for a lit pixel
};

constexpr int kGlyphWidth = 9;
constexpr int kGlyphHeight = 15;
constexpr int kGlyphDescent = 3;  // rows below the baseline

// The glyph for c, or null for a character the font does not have (a space among them).
const Glyph* find_glyph(char c);
