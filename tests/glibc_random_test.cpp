// The browser build's rand(): the same sequence as this machine's C library gives, from the
// edge seeds (0 counts as 1; above 2^31 the table starts negative) and ordinary ones.
#include <gtest/gtest.h>

#include <cstdlib>

#include "math/glibc_random.h"

namespace {

TEST(GlibcRandom, GivesTheCLibrarysSequenceForAnySeed) {
    for (const unsigned seed : {0u, 1u, 7u, 58u, 2147483647u, 2147483648u, 4294967295u}) {
        std::srand(seed);
        GlibcRandom ours;
        ours.seed(seed);
        for (int i = 0; i < 20000; ++i) {
            ASSERT_EQ(ours.next(), std::rand()) << "seed " << seed << ", value " << i;
        }
    }
}

}  // namespace
