// rand() and srand() for the browser build, in place of its C library's: the desktop's
// sequence, so a seed lays out the same game in both.
#include <cstdlib>

#include "math/glibc_random.h"

namespace {

GlibcRandom generator = [] {
    GlibcRandom g;
    g.seed(1);  // rand() before any srand() is as after srand(1)
    return g;
}();

}  // namespace

extern "C" int rand() {
    return generator.next();
}

extern "C" void srand(unsigned seed) {
    generator.seed(seed);
}
