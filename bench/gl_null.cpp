// A stand-in for the GL and GLUT calls that does nothing, so a benchmark times the game alone.
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
