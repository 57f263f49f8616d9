#include "gl_recorder.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>

namespace gl {
namespace {

Recording rec;
Color current{1, 1, 1};
bool inside_begin = false;

}  // namespace

const Recording& recording() {
    return rec;
}

void reset() {
    rec = Recording{};
    current = Color{1, 1, 1};
    inside_begin = false;
}

std::vector<Text> texts() {
    std::vector<Text> out;
    for (const Glyph& g : rec.glyphs) {
        const bool continues = !out.empty() && out.back().y == g.y &&
                               std::fabs(out.back().x + 0.04f * out.back().s.size() - g.x) < 1e-5f;
        if (continues) {
            out.back().s += g.c;
        } else {
            out.push_back(Text{std::string(1, g.c), g.x, g.y, g.color});
        }
    }
    return out;
}

std::vector<Primitive> primitives_of(int mode) {
    std::vector<Primitive> out;
    for (const Primitive& p : rec.primitives) {
        if (p.mode == mode) {
            out.push_back(p);
        }
    }
    return out;
}

}  // namespace gl

using gl::rec;

extern "C" {

void* glutBitmap9By15 = nullptr;

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    rec.calls.push_back("glColor3f");
    gl::current = gl::Color{red, green, blue};
}

void glBegin(GLenum mode) {
    rec.calls.push_back("glBegin");
    rec.primitives.push_back(gl::Primitive{static_cast<int>(mode), gl::current, {}});
    gl::inside_begin = true;
}

void glVertex2f(GLfloat x, GLfloat y) {
    rec.calls.push_back("glVertex2f");
    if (gl::inside_begin) {
        rec.primitives.back().vertices.push_back(Vector{x, y});
    }
}

void glEnd() {
    rec.calls.push_back("glEnd");
    gl::inside_begin = false;
}

void glRasterPos2f(GLfloat x, GLfloat y) {
    rec.calls.push_back("glRasterPos2f");
    // The glyph drawn next takes this position and the colour current now, as GL does.
    rec.glyphs.push_back(gl::Glyph{'\0', x, y, gl::current, nullptr});
}

void glutBitmapCharacter(void* font, int character) {
    rec.calls.push_back("glutBitmapCharacter");
    if (!rec.glyphs.empty() && rec.glyphs.back().font == nullptr) {
        rec.glyphs.back().c = static_cast<char>(character);
        rec.glyphs.back().font = font;
    }
}

void glClear(GLbitfield) {
    rec.calls.push_back("glClear");
}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {
    rec.calls.push_back("glClearColor");
}
void glMatrixMode(GLenum) {
    rec.calls.push_back("glMatrixMode");
}
void glLoadIdentity() {
    rec.calls.push_back("glLoadIdentity");
}
void glOrtho(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {
    rec.calls.push_back("glOrtho");
}
void glutSwapBuffers() {
    rec.calls.push_back("glutSwapBuffers");
}

}  // extern "C"
