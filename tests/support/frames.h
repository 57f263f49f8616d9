// Frames drawn for comparing: by the designed display callback straight onto a game, and by a
// session; and the keys of a short scripted game.
#pragma once

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <string>

#include "app/session.h"
#include "game/game.h"
#include "gl_recorder.h"

inline std::string designed_frame(Game& game) {
    gl::reset();
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    game.draw();
    glutSwapBuffers();
    return gl::frame_text(gl::recording());
}

inline std::string session_frame(Session& session) {
    gl::reset();
    session.display();
    return gl::frame_text(gl::recording());
}

// The designed keys of tick t: turning, thrusting and firing now and then.
inline const char* keys_at(int t) {
    static const char* const script[] = {"", "q", "a", "", "wq", "d", "", "aq"};
    return script[t % 8];
}
