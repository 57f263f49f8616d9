// Recording stand-in for the GL and GLUT calls the game makes. Linked into the tests in place
// of libGL and libglut, it keeps what was drawn so a test can assert on it.
#pragma once

#include <string>
#include <vector>

#include "geometry/vector.h"

namespace gl {

struct Color {
    float r, g, b;
};

// One glBegin .. glEnd: the primitive, the colour current at glBegin, the vertices in order.
struct Primitive {
    int mode;
    Color color;
    std::vector<Vector> vertices;
};

// One bitmap character: where its raster position was set and the colour current then.
struct Glyph {
    char c;
    float x, y;
    Color color;
    const void* font;
};

// A run of glyphs on one row, each 0.04 to the right of the one before.
struct Text {
    std::string s;
    float x, y;
    Color color;
};

struct Recording {
    std::vector<std::string> calls;  // the name of every call, in order
    std::vector<Primitive> primitives;
    std::vector<Glyph> glyphs;
    long vertices = 0;    // every glVertex2f, counted in both modes
    long non_finite = 0;  // vertices with an infinite or NaN coordinate
};

// What has been drawn since the last reset.
const Recording& recording();
void reset();

// Long runs only need the vertex counts: with `keep` false nothing else is stored, which keeps
// a tick cheap.
void keep_everything(bool keep);

// The glyphs joined into the strings they were drawn as.
std::vector<Text> texts();
// The primitives drawn with a given mode (GL_LINES, GL_LINE_LOOP, GL_POLYGON).
std::vector<Primitive> primitives_of(int mode);

// A recording flattened for comparing frames: its outlines (primitive, green and every
// vertex), and the whole frame (every call, then the outlines and the text).
std::string outlines_text(const Recording& drawn);
std::string frame_text(const Recording& drawn);

}  // namespace gl
