// libFuzzer target: the live attempts' request handlers, fed any bytes. The input's first part
// (to the first 0x01 byte) asks for an attempt, as a body of POST /api/v1/attempts; the rest,
// split at each 0x01, is that attempt's batches, sent with its token, in order (its clock is no
// bound here, so a batch is judged by what it holds, not by when it came). The same batches
// then go to a live game of seed 7 of its own, the seed the server cannot be made to deal, so
// that they are played as far as they go. Every answer is one of the API's, its body a JSON
// object; never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "server/attempts.h"
#include "server/live_game.h"
#include "server/store.h"

namespace {

Attempts& attempts() {
    static const std::unique_ptr<Store> store = [] {
        std::string error;
        std::unique_ptr<Store> s = open_store("sqlite::memory:", 1, error);
        if (!s) {
            std::abort();
        }
        return s;
    }();
    static Players players(*store);
    static Attempts kept(*store, players, Attempts::Rules{1LL << 50, 1LL << 50, 0});
    return kept;
}

void expect_api_answer(const Answer& a, std::initializer_list<int> statuses) {
    bool known = false;
    for (const int s : statuses) {
        known = known || a.status == s;
    }
    if (!known || a.body.empty() || a.body.front() != '{' || a.body.back() != '}') {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    attempts();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t at = input.find('\x01');
    const std::string ask = input.substr(0, at);
    // Every input gets an address of its own: the limit of live attempts an address may hold
    // would turn the rest away.
    static long inputs = 0;
    const Answer dealt = attempts().create(ask, "fuzz-" + std::to_string(++inputs));
    expect_api_answer(dealt, {201, 400, 403, 422, 429});
    std::vector<std::string> batches;
    while (at != std::string::npos) {
        const size_t next = input.find('\x01', at + 1);
        batches.push_back(
            input.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
        at = next;
    }
    if (dealt.status == 201) {
        const nlohmann::json d = nlohmann::json::parse(dealt.body);
        const long long id = d["attempt"].get<long long>();
        const std::string token = d["token"].get<std::string>();
        for (size_t n = 0; n < batches.size(); ++n) {
            Answer a = attempts().batch(id, std::to_string(n), token, batches[n]);
            if (a.later) {
                a = a.later();
            }
            expect_api_answer(a, {200, 409, 422});
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
