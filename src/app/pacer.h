// Pacer: the tick schedule. From the first tick on, ticks fall due every period, whatever each
// one costs, so the rate holds over minutes; a game that falls far behind (the machine was
// suspended, a debugger held it) starts the schedule again from now rather than racing to
// catch up.
#pragma once

#include "game/game.h"

class Pacer {
  public:
    // Times are in milliseconds.
    explicit Pacer(int period = kTickMs, int max_late_ticks = 5);

    // Called as a tick runs at `now`: how long to wait before the next one. The first call
    // sets the schedule, so a slow start (the window opening) is not made up for.
    int delay_to_next(int now);

  private:
    int period;
    int max_late;  // in milliseconds
    bool started = false;
    int due = 0;  // when the tick that is running fell due
};
