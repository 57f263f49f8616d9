// libFuzzer target: the input is a recording file. Whatever it holds, reading it must either
// refuse it with a message naming a line, or accept it and replay it to the end; never crash,
// and never hold more than the file's own length in memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gl_recorder.h"
#include "replay/reader.h"
#include "replay/replay.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gl::keep_everything(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fed in pieces as a request body or a file arrives: the first byte sets their size.
    const size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
    ReplayFile file;
    ReplayReader reader(rand_probe(), file);
    bool read = true;
    for (size_t at = 0; at < size && read; at += piece) {
        read = reader.feed(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at));
    }
    read = read && reader.finish();
    const std::string& error = reader.error();
    // A refusal names its line: "N: problem".
    if (!read && (error.empty() || error[0] < '1' || error[0] > '9')) {
        std::abort();
    }
    if (read) {
        Game game;
        Replay replay(std::move(file));
        replay.start(game);
        while (!replay.finished()) {
            replay.step(game);
        }
    }
    return 0;
}
