// libFuzzer target: the leaderboard's submission route, fed any name and any body: the name
// checked, the recording read, verified and kept in a store of its own (SQLite in memory), and
// an answer made. Whatever comes in, the answer is one of the API's, its body a JSON object;
// never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server_at_hand.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    routes_at_hand();
    return 0;
}

// The first byte is the name's length; the name follows, then the body.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t name_size = size > 0 ? std::min<size_t>(data[0], size - 1) : 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string name(size > 0 ? bytes + 1 : bytes, name_size);
    const std::string body(size > 0 ? bytes + 1 + name_size : bytes,
                           size > 0 ? size - 1 - name_size : 0);
    const Answer a = ask("POST", "/api/v1/games", body, {{"name", name}});
    if (!api_answer(a, {200, 201, 400, 403, 413, 422})) {
        std::abort();
    }
    return 0;
}
