// Velmora: the entry point and the toolkit's three callbacks. Everything after glutMainLoop
// happens in a callback, one at a time, on this one thread.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include "app/game.h"

// The one game, built before main: the world exists before the window does.
Game jogo;

// One-time GL state. The model-view matrix set here is replaced by display before anything
// is drawn, so all drawing happens straight in the field's -1..1 coordinates.
void init() {
    glClearColor(0, 0, 0, 1);
    glOrtho(-1, 1, -1, 1, -1, 1);
}

void display() {
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    jogo.draw();
    glutSwapBuffers();
}

// One 50 ms tick. The timer is one-shot, so it is armed again after the step.
void update(int /*value*/) {
    glutPostRedisplay();
    jogo.update();
    glutTimerFunc(50, update, 1);
}

// Lower-case keys only; the pointer position is not used.
void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    switch (key) {
        case 'a':
            jogo.ship_left();
            break;
        case 'd':
            jogo.ship_right();
            break;
        case 'w':
            jogo.ship_up();
            break;
        case 'q':
            jogo.ship_shot();
            break;
        default:
            break;
    }
}

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutCreateWindow("Velmora");
    glutDisplayFunc(display);
    glutReshapeWindow(500, 500);
    glutTimerFunc(50, update, 1);
    glutKeyboardFunc(keyboard);
    init();
    glutMainLoop();
    return 0;
}
