// rand() and srand() for velmora-server, in place of the C library's: the same sequence, but
// one for each thread. Each verification reads and replays its recording on one worker thread,
// seeding as the game does; with the C library's one sequence for the whole process, two
// replays at once would take numbers from each other and both go another way.
#include <cstdlib>

#include "math/glibc_random.h"

namespace {

GlibcRandom& generator() {
    thread_local GlibcRandom g = [] {
        GlibcRandom fresh;
        fresh.seed(1);  // rand() before any srand() is as after srand(1)
        return fresh;
    }();
    return g;
}

}  // namespace

extern "C" int rand() {
    return generator().next();
}

extern "C" void srand(unsigned seed) {
    generator().seed(seed);
}
