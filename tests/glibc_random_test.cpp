// The game's random sequence: the same as this machine's C library gives, from the edge seeds
// (0 counts as 1; above 2^31 the table starts negative) and ordinary ones; and the game's alone,
// whatever else in the process draws from the C library's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "math/glibc_random.h"
#include "math/random.h"

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

std::vector<int> first_values(unsigned seed, int n) {
    GlibcRandom expected;
    expected.seed(seed);
    std::vector<int> values;
    for (int i = 0; i < n; ++i) {
        values.push_back(expected.next());
    }
    return values;
}

TEST(GameRandom, IsUntouchedByTheCLibrarysSequenceAndByOtherThreads) {
    // A library drawing from rand() (or reseeding it) between the game's draws, as PulseAudio
    // does when it makes its cookie, and halfway through another thread playing a game of its
    // own (the server verifies several at once).
    vmath::srand(7);
    std::vector<int> drawn;
    for (int i = 0; i < 300; ++i) {
        std::rand();
        if (i % 50 == 0) {
            std::srand(static_cast<unsigned>(i));
        }
        if (i == 150) {
            std::thread([] {
                vmath::srand(99);
                vmath::rand();
            }).join();
        }
        drawn.push_back(vmath::rand());
    }
    EXPECT_EQ(drawn, first_values(7, 300));
}

}  // namespace
