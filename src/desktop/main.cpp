// Velmora on the desktop: the one game, and the shell that runs it in a window. Everything after
// glutMainLoop happens in a callback, one at a time, on this one thread.
#include "app/shell.h"
#include "game/game.h"

// The one game, built before main: the world exists before the window does.
Game jogo;

int main(int argc, char** argv) {
    return run_shell(argc, argv, jogo);
}
