#include "gl_recorder.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>

namespace gl {
namespace {

Recording rec;
Color current{1, 1, 1};
bool inside_begin = false;
bool keep = true;

}  // namespace

const Recording& recording() {
    return rec;
}

void keep_everything(bool on) {
    keep = on;
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

std::string outlines_text(const Recording& drawn) {
    std::string out;
    for (const Primitive& p : drawn.primitives) {
        out += std::to_string(p.mode) + " " + std::to_string(p.color.g) + ":";
        for (const Vector v : p.vertices) {
            out += std::to_string(v.x) + "," + std::to_string(v.y) + " ";
        }
    }
    return out;
}

std::string frame_text(const Recording& drawn) {
    std::string out;
    for (const std::string& call : drawn.calls) {
        out += call + ";";
    }
    out += outlines_text(drawn);
    for (const Glyph& g : drawn.glyphs) {
        out += g.c;
    }
    return out;
}

}  // namespace gl

using gl::rec;

namespace {

void record_call(const char* name) {
    if (gl::keep) {
        rec.calls.push_back(name);
    }
}

}  // namespace

extern "C" {

void* glutBitmap9By15 = nullptr;

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    record_call("glColor3f");
    gl::current = gl::Color{red, green, blue};
}

void glBegin(GLenum mode) {
    record_call("glBegin");
    if (gl::keep) {
        rec.primitives.push_back(gl::Primitive{static_cast<int>(mode), gl::current, {}});
    }
    gl::inside_begin = gl::keep;
}

void glVertex2f(GLfloat x, GLfloat y) {
    record_call("glVertex2f");
    ++rec.vertices;
    if (!std::isfinite(x) || !std::isfinite(y)) {
        ++rec.non_finite;
    }
    if (gl::inside_begin) {
        rec.primitives.back().vertices.push_back(Vector{x, y});
    }
}

void glEnd() {
    record_call("glEnd");
    gl::inside_begin = false;
}

void glRasterPos2f(GLfloat x, GLfloat y) {
    record_call("glRasterPos2f");
    // The glyph drawn next takes this position and the colour current now, as GL does.
    if (gl::keep) {
        rec.glyphs.push_back(gl::Glyph{'\0', x, y, gl::current, nullptr});
    }
}

void glutBitmapCharacter(void* font, int character) {
    record_call("glutBitmapCharacter");
    if (!rec.glyphs.empty() && rec.glyphs.back().font == nullptr) {
        rec.glyphs.back().c = static_cast<char>(character);
        rec.glyphs.back().font = font;
    }
}

void glClear(GLbitfield) {
    record_call("glClear");
}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {
    record_call("glClearColor");
}
void glMatrixMode(GLenum) {
    record_call("glMatrixMode");
}
void glLoadIdentity() {
    record_call("glLoadIdentity");
}
void glOrtho(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {
    record_call("glOrtho");
}
void glutSwapBuffers() {
    record_call("glutSwapBuffers");
}

}  // extern "C"
