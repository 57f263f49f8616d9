#include "math/glibc_random.h"

void GlibcRandom::seed(unsigned s) {
    // Signed 32-bit words: a seed above 2147483647 starts the table negative, as in the library.
    int32_t word = static_cast<int32_t>(s == 0 ? 1 : s);
    table[0] = word;
    for (int i = 1; i < 31; ++i) {
        // 16807 * word mod 2147483647, without overflow (Schrage), with C's truncating division.
        const int32_t hi = word / 127773;
        const int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) {
            word += 2147483647;
        }
        table[i] = word;
    }
    front = 3;
    rear = 0;
    for (int i = 0; i < 310; ++i) {
        next();
    }
}

int GlibcRandom::next() {
    const uint32_t sum = static_cast<uint32_t>(table[front]) + static_cast<uint32_t>(table[rear]);
    table[front] = static_cast<int32_t>(sum);
    front = front == 30 ? 0 : front + 1;
    rear = rear == 30 ? 0 : rear + 1;
    return static_cast<int>(sum >> 1);
}
