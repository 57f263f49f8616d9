#include "app/pacer.h"

Pacer::Pacer(int period_, int max_late_ticks)
    : period(period_), max_late(max_late_ticks * period_) {}

int Pacer::delay_to_next(int now) {
    if (!started || now - due > max_late) {
        started = true;
        due = now;
    }
    due += period;
    const int delay = due - now;
    return delay > 0 ? delay : 0;
}
