#include "server/board/players.h"

#include <sodium.h>

#include <cstdlib>

#include "server/board/names.h"
#include "server/limits.h"

namespace {

// Argon2id at 2 passes over 8 MiB: about 10 ms a check on this machine, and once a key a server
// (below), against a 256-bit key that no guessing reaches anyway.
constexpr unsigned long long kPasses = 2;
constexpr size_t kMemory = 8 * 1024 * 1024;

}  // namespace

Players::Players(Store& s) : store(s) {
    if (sodium_init() < 0) {
        std::abort();  // no random numbers, no hashes: nothing the server could go on with
    }
}

bool Players::well_formed(const std::string& key) {
    return key.size() == 64 && key.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string Players::hash(const std::string& key) {
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, key.data(), key.size(), kPasses, kMemory) != 0) {
        throw StoreError("the player key's hash cannot be made (out of memory)");
    }
    return out;
}

bool Players::matches(const std::string& key, const std::string& hash) {
    return !hash.empty() && crypto_pwhash_str_verify(hash.c_str(), key.data(), key.size()) == 0;
}

bool Players::verified(const std::string& key, const std::string& hash) {
    const std::string seen = hash + " " + key;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = known.find(seen); it != known.end()) {
            recent.splice(recent.end(), recent, it->second);
            return true;
        }
    }
    if (!matches(key, hash)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (known.count(seen) == 0) {
        known[seen] = recent.insert(recent.end(), seen);
        if (recent.size() > limits::kKeysRemembered) {
            known.erase(recent.front());
            recent.pop_front();
        }
    }
    return true;
}

Refused Players::admit(const std::string& name, const std::string& key) {
    if (!key.empty() && !well_formed(key)) {
        return Refused{Refusal::kMalformed, "a player key is 64 hexadecimal digits"};
    }
    const std::string name_key_ = name_key(name);
    std::optional<Player> holder = store.player(name_key_);
    if (holder && holder->banned) {
        return Refused{Refusal::kNameTaken, "the name " + name + " is banned from the board"};
    }
    if ((!holder || holder->key_hash.empty()) && !key.empty()) {
        holder = store.hold_name(name_key_, name, hash(key));
    }
    if (!holder || holder->key_hash.empty()) {
        return Refused{};  // nobody holds it, and no key came to take it
    }
    if (key.empty() || !verified(key, holder->key_hash)) {
        return Refused{Refusal::kNameTaken, "the name " + name + " belongs to another player"};
    }
    return Refused{};
}
