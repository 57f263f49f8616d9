// libFuzzer target: the leaderboard's submission path, fed any name and any body: the name
// checked, the recording read, verified and kept in a store of its own (SQLite in memory),
// and an answer made. Whatever comes in, the answer is one of the API's, its body a JSON object;
// never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "server/api.h"
#include "server/players.h"
#include "server/store.h"

namespace {

Store& store() {
    static const std::unique_ptr<Store> kept = [] {
        std::string error;
        std::unique_ptr<Store> s = open_store("sqlite::memory:", 1, error);
        if (!s) {
            std::abort();
        }
        return s;
    }();
    return *kept;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    store();
    return 0;
}

// The first byte is the name's length; the name follows, then the body.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t name_size = size > 0 ? std::min<size_t>(data[0], size - 1) : 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string name(size > 0 ? bytes + 1 : bytes, name_size);
    const std::string body(size > 0 ? bytes + 1 + name_size : bytes,
                           size > 0 ? size - 1 - name_size : 0);
    static Players players(store());
    const Answer a = submit_game(name, "", body, store(), players);
    const bool known = a.status == 200 || a.status == 201 || a.status == 400 || a.status == 403 ||
                       a.status == 422;
    if (!known || a.body.empty() || a.body.front() != '{' || a.body.back() != '}') {
        std::abort();
    }
    return 0;
}
