// libFuzzer target: the live attempts' routes, fed any bytes. The input's first part
// (to the first 0x01 byte) asks for an attempt, as a body of POST /api/v1/attempts; the rest,
// split at each 0x01, is that attempt's batches, sent with its token, in order (its clock is no
// bound here, so a batch is judged by what it holds, not by when it came). The same batches
// then go to a live game of seed 7 of its own, the seed the server cannot be made to deal, so
// that they are played as far as they go. Every answer is one of the API's, its body a JSON
// object; never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "server/board/live_game.h"
#include "server_at_hand.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    routes_at_hand();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t at = input.find('\x01');
    const std::string asked = input.substr(0, at);
    // Every input gets an address of its own: the limit of live attempts an address may hold
    // would turn the rest away.
    static long inputs = 0;
    const std::string client = "fuzz-" + std::to_string(++inputs);
    const Answer dealt = ask("POST", "/api/v1/attempts", asked, {}, "", client);
    if (!api_answer(dealt, {201, 400, 403, 413, 422, 429})) {
        std::abort();
    }
    std::vector<std::string> batches;
    while (at != std::string::npos) {
        const size_t next = input.find('\x01', at + 1);
        batches.push_back(
            input.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
        at = next;
    }
    if (dealt.status == 201) {
        const nlohmann::json d = nlohmann::json::parse(dealt.body);
        const std::string path =
            "/api/v1/attempts/" + std::to_string(d["attempt"].get<long long>()) + "/records";
        const std::string token = d["token"].get<std::string>();
        for (size_t n = 0; n < batches.size(); ++n) {
            const Answer a =
                ask("POST", path, batches[n], {{"batch", std::to_string(n)}}, token, client);
            if (!api_answer(a, {200, 409, 413, 422})) {
                std::abort();
            }
        }
    }
    LiveGame game(7);
    for (const std::string& lines : batches) {
        const LiveGame::Step step = game.feed(lines);
        if (step.state == LiveGame::State::kRefused && step.reason.empty()) {
            std::abort();  // a refusal always says why
        }
    }
    return 0;
}
