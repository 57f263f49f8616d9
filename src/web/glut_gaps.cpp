// What the browser's GLUT and GL emulation lack for the game's calls: bitmap text (raster
// positions and 9 by 15 characters), filled polygons, and the freeglut extras of the desktop
// shell. Each call does what the desktop's does, so the game's own code stays as it is.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "web/font_9x15.h"

// The emulation's own calls, under the names it also offers them by.
extern "C" {
void emscripten_glBegin(GLenum mode);
void emscripten_glColor3f(GLfloat red, GLfloat green, GLfloat blue);
void emscripten_glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
}

namespace {

struct Colour {
    float r, g, b;
};

// GL state that bitmap text needs and the emulation does not keep where it can be read.
Colour current{1, 1, 1};
struct {
    int x = 0, y = 0, width = 500, height = 500;
} viewport;
struct {
    float x = 0, y = 0;  // window pixels, from the bottom left
    Colour colour{1, 1, 1};
    bool valid = false;
} raster;

// Window pixel coordinates to the field's -1..1, within the viewport.
float field_x(float px) {
    return 2 * (px - viewport.x) / viewport.width - 1;
}
float field_y(float py) {
    return 2 * (py - viewport.y) / viewport.height - 1;
}

// Fills pixels x0 .. x1 - 1 of pixel rows y0 .. y1 - 1: two triangles whose edges lie on pixel
// borders, so exactly those pixel centres are inside.
void fill_run(int x0, int x1, int y0, int y1) {
    const float l = field_x(x0), r = field_x(x1), b = field_y(y0), t = field_y(y1);
    glVertex2f(l, b);
    glVertex2f(r, b);
    glVertex2f(r, t);
    glVertex2f(l, b);
    glVertex2f(r, t);
    glVertex2f(l, t);
}

}  // namespace

// WebGL has no polygons; the game's one filled outline, the invaders' hexagon, is convex, so a
// fan of triangles from its first corner fills exactly the same pixels.
extern "C" void glBegin(GLenum mode) {
    emscripten_glBegin(mode == GL_POLYGON ? GL_TRIANGLE_FAN : mode);
}

extern "C" void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    current = Colour{red, green, blue};
    emscripten_glColor3f(red, green, blue);
}

extern "C" void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    viewport.x = x;
    viewport.y = y;
    viewport.width = width;
    viewport.height = height;
    emscripten_glViewport(x, y, width, height);
}

// As GL does with the identity matrices the game draws text under: the position in window
// pixels, and the colour current now, which the text will be drawn in.
extern "C" void glRasterPos2f(GLfloat x, GLfloat y) {
    raster.valid = x >= -1 && x <= 1 && y >= -1 && y <= 1;
    raster.x = viewport.x + (x + 1) / 2 * viewport.width;
    raster.y = viewport.y + (y + 1) / 2 * viewport.height;
    raster.colour = current;
}

// The font's address is all the game passes; there is one font.
void* glutBitmap9By15 = nullptr;

// The page draws the field at the screen's own pixels (two or three to a CSS pixel on a phone),
// where 9 by 15 pixels would be too small to read: each pixel of the font becomes a square of
// this many, so the text keeps its size against the field, as on the desktop's 500 pixels.
int glyph_scale() {
    return std::max(1, static_cast<int>(std::lround(viewport.width / 500.0)));
}

extern "C" void glutBitmapCharacter(void* /*font*/, int character) {
    if (!raster.valid) {
        return;
    }
    const int scale = glyph_scale();
    const Glyph* glyph = find_glyph(static_cast<char>(character));
    if (glyph != nullptr) {
        const int left = static_cast<int>(std::floor(raster.x));
        const int bottom = static_cast<int>(std::floor(raster.y)) - kGlyphDescent * scale;
        emscripten_glColor3f(raster.colour.r, raster.colour.g, raster.colour.b);
        emscripten_glBegin(GL_TRIANGLES);
        for (int row = 0; row < kGlyphHeight; ++row) {
            const char* pixels = glyph->rows[row];
            const int y = bottom + (kGlyphHeight - 1 - row) * scale;
            for (int x = 0; x < kGlyphWidth;) {
                if (pixels[x] != '#') {
                    ++x;
                    continue;
                }
                int end = x;
                while (end < kGlyphWidth && pixels[end] == '#') {
                    ++end;
                }
                fill_run(left + x * scale, left + end * scale, y, y + scale);
                x = end;
            }
        }
        glEnd();
        emscripten_glColor3f(current.r, current.g, current.b);
    }
    raster.x += kGlyphWidth * scale;  // the glyph's advance, as the desktop moves the raster
}

// A page has no main loop to leave: Esc does nothing there.
extern "C" void glutLeaveMainLoop() {}

extern "C" void glutFullScreenToggle() {
    if (EM_ASM_INT({ return document.fullscreenElement ? 1 : 0; }, 0)) {
        EM_ASM({ document.exitFullscreen(); }, 0);
    } else {
        glutFullScreen();
    }
}

// The page's script pauses the game when its tab is hidden (web/index.html).
extern "C" void glutWindowStatusFunc(void (* /*callback*/)(int)) {}

// The desktop shell asks to get control back when the window closes, and to hear of it; a page
// just closes.
extern "C" void glutSetOption(GLenum /*what*/, int /*value*/) {}
extern "C" void glutCloseFunc(void (* /*callback*/)()) {}

// Buffers are presented when the browser's frame ends; the page only counts frames, and notes
// when the first one was drawn (it hides its loading line then, and its tests read it).
extern "C" void glutSwapBuffers() {
    // JavaScript inside, which the C++ formatter would take apart.
    // clang-format off
    EM_ASM({
        Module.frames = (Module.frames || 0) + 1;
        if (Module.frames === 1) {
            Module.firstFrameAt = performance.now();
            if (Module.onFirstFrame) {
                Module.onFirstFrame();
            }
        }
    }, 0);
    // clang-format on
}
