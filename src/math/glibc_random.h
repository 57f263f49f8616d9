// The GNU C library's rand() (its default additive feedback generator), for where the C
// library's own will not do: the browser, whose C library has another sequence, and the
// leaderboard server, which needs one sequence for each of its threads. From the same seed the
// same game is laid out everywhere.
#pragma once

#include <cstdint>

class GlibcRandom {
  public:
    // As srand(seed): the table filled from the seed (0 counts as 1), then 310 values dropped.
    void seed(unsigned seed);
    // As rand(): the next value, from 0 to 2147483647.
    int next();

  private:
    int32_t table[31];
    int front = 3;  // the word the sum is written to
    int rear = 0;   // the word added to it
};
