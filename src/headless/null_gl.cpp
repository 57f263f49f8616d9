// The GL and GLUT calls the game makes, doing nothing: what a game without a window draws into
// (a headless replay, the leaderboard server's verification, a benchmark), so that none of them
// links a GL or GLUT library.
#include <GL/freeglut.h>
#include <GL/gl.h>

extern "C" {

void* glutBitmap9By15 = nullptr;

void glColor3f(GLfloat, GLfloat, GLfloat) {}
void glBegin(GLenum) {}
void glVertex2f(GLfloat, GLfloat) {}
void glEnd() {}
void glRasterPos2f(GLfloat, GLfloat) {}
void glutBitmapCharacter(void*, int) {}

}  // extern "C"
