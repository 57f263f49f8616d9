// libFuzzer target: the input is a recording file. Whatever it holds, reading it must either
// refuse it with a message naming a line, or accept it and replay it to the end; never crash,
// and never hold more than the file's own length in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gl_recorder.h"
#include "replay/replay.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gl::keep_everything(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr) {
        return 0;  // an empty input: fmemopen takes no zero-length buffer
    }
    ReplayFile file;
    std::string error;
    const bool read = read_replay(in, rand_probe(), file, error);
    std::fclose(in);
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
