#include "math/random.h"

#include "math/glibc_random.h"

namespace {

GlibcRandom& sequence() {
    thread_local GlibcRandom generator = [] {
        GlibcRandom fresh;
        fresh.seed(1);
        return fresh;
    }();
    return generator;
}

}  // namespace

namespace vmath {

void srand(unsigned seed) {
    sequence().seed(seed);
}

int rand() {
    return sequence().next();
}

GlibcRandom random_sequence() {
    return sequence();
}

void set_random_sequence(const GlibcRandom& saved) {
    sequence() = saved;
}

}  // namespace vmath
