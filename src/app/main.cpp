// Velmora on the desktop: the one game, and the shell that runs it in a window. Everything after
// glutMainLoop happens in a callback, one at a time, on this one thread.
#include "app/refresh_rate.h"
#include "app/shell.h"
#include "game/game.h"

// The one game, built before main: the world exists before the window does.
Game jogo;

int main(int argc, char** argv) {
    Platform desktop;
    desktop.refresh_rate = display_refresh_rate;
    desktop.sync_to_refresh = sync_to_refresh;
    return run_shell(argc, argv, jogo, desktop);
}
