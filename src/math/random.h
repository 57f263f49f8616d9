// The game's random sequence: the GNU C library's rand() sequence (glibc_random.h), dealt to
// the game alone. The C library's own sequence belongs to the whole process, and any library in
// it may draw from it at any moment: PulseAudio's client makes its cookie with rand() the first
// time it runs in a home, as the sound device opens, and a game whose rocks then split by other
// numbers than its recording replays with goes another way. Each thread has a sequence of its
// own (the server replays several games at once).
#pragma once

#include "math/glibc_random.h"

namespace vmath {

// As srand(seed), on the game's sequence.
void srand(unsigned seed);
// As rand(): the next value of the game's sequence, from 0 to 2147483647. Before any srand it
// goes as after srand(1), as the C library's does.
int rand();
// The sequence where it stands, and the sequence set to stand there again: a game saved and
// taken up later (game/snapshot.h) draws on as it would have.
GlibcRandom random_sequence();
void set_random_sequence(const GlibcRandom& sequence);

}  // namespace vmath
