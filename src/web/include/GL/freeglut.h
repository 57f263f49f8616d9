/* The browser's GLUT (Emscripten's) has freeglut's standard header but not freeglut.h: this one
 * brings the standard calls and declares the freeglut extras the game uses, which
 * src/web/glut_gaps.cpp supplies. */
#ifndef VELMORA_WEB_FREEGLUT_H
#define VELMORA_WEB_FREEGLUT_H

#include <GL/freeglut_std.h>

#define GLUT_ACTION_ON_WINDOW_CLOSE 0x01F9
#define GLUT_ACTION_GLUTMAINLOOP_RETURNS 1

#ifdef __cplusplus
extern "C" {
#endif

void glutLeaveMainLoop(void);
void glutFullScreenToggle(void);
void glutSetOption(GLenum what, int value);
void glutCloseFunc(void (*callback)(void));

#ifdef __cplusplus
}
#endif

#endif
