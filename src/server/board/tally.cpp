#include "server/board/tally.h"

#include <utility>
#include <vector>

Tally& Tally::board() {
    static Tally kept;
    return kept;
}

std::string Tally::kind_of(const std::string& reason) {
    static const std::vector<std::pair<const char*, const char*>> kKinds = {
        {"went another way", "diverged"},
        {"faster than real time", "too_fast"},
        {"fell behind", "fell_behind"},
        {"nothing came", "silent"},
        {"malformed", "malformed"},
        {"not the seed", "wrong_seed"},
        {"one game", "second_game"},
        {"keys before tick", "too_many_keys"},
        {"longer than an hour", "too_long"},
        {"more in play", "too_costly"},
        {"outcome", "outcome"},
        {"middle of a line", "malformed"}};
    for (const auto& [words, kind] : kKinds) {
        if (reason.find(words) != std::string::npos) {
            return kind;
        }
    }
    return "other";
}

void Tally::verified() {
    std::lock_guard<std::mutex> lock(mutex);
    ++verified_count;
}

void Tally::refused(const std::string& reason) {
    const std::string kind = kind_of(reason);
    std::lock_guard<std::mutex> lock(mutex);
    ++by_kind[kind];
}

long long Tally::verifications() const {
    std::lock_guard<std::mutex> lock(mutex);
    return verified_count;
}

std::map<std::string, long long> Tally::refusals() const {
    std::lock_guard<std::mutex> lock(mutex);
    return by_kind;
}
