#include "server/board/players.h"

#include <sodium.h>

#include <chrono>
#include <cstdlib>

#include "server/board/dealer.h"
#include "server/board/names.h"
#include "server/limits.h"

namespace {

// The keyed hashes' mark, ahead of their hex digits; older hashes are Argon2id's strings.
constexpr const char* kKeyed = "b2:";
std::atomic<long long> argon2_checks{0};

double seconds_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string hex_of(const unsigned char* bytes, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += "0123456789abcdef"[bytes[i] >> 4];
        out += "0123456789abcdef"[bytes[i] & 15];
    }
    return out;
}

}  // namespace

Players::Players(Store& s)
    : store(s),
      wrong_by_client(limits::kWrongKeysPerMinute),
      wrong_by_name(limits::kWrongKeysPerMinute) {
    if (sodium_init() < 0) {
        std::abort();  // no random numbers, no hashes: nothing the server could go on with
    }
    secret = store.secret("players", random_hex(crypto_generichash_KEYBYTES));
    // Names held before their look was kept get it now.
    for (const Player& p : store.players_without_skeleton()) {
        store.set_skeleton(p.name_key, name_skeleton(p.name));
    }
}

bool Players::well_formed(const std::string& key) {
    return key.size() == 64 && key.find_first_not_of("0123456789abcdef") == std::string::npos;
}

long long Players::slow_checks() {
    return argon2_checks;
}

std::string Players::hash(const std::string& key) const {
    unsigned char out[crypto_generichash_BYTES];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(key.data()),
                       key.size(), reinterpret_cast<const unsigned char*>(secret.data()),
                       secret.size());
    return kKeyed + hex_of(out, sizeof out);
}

bool Players::matches(const Player& holder, const std::string& key) {
    if (holder.key_hash.compare(0, 3, kKeyed) == 0) {
        return same_hash(hash(key), holder.key_hash);
    }
    // An Argon2id hash from before: checked once (slowly), then kept as the keyed one.
    ++argon2_checks;
    if (holder.key_hash.empty() ||
        crypto_pwhash_str_verify(holder.key_hash.c_str(), key.data(), key.size()) != 0) {
        return false;
    }
    store.rehash(holder.name_key, holder.key_hash, hash(key));
    return true;
}

Refused Players::admit(const std::string& name, const std::string& key, const std::string& client) {
    if (!key.empty() && !well_formed(key)) {
        return Refused{Refusal::kMalformed, "a player key is 64 hexadecimal digits"};
    }
    const std::string name_key_ = name_key(name);
    // Before any hash is worked out: addresses and names that sent wrong keys lately.
    int retry = 0;
    const double now = seconds_now();
    if (!wrong_by_client.has_left(client, now, retry) ||
        !wrong_by_name.has_left(name_key_, now, retry)) {
        return Refused{Refusal::kTooMany,
                       "too many wrong player keys: try again in " + std::to_string(retry) + " s"};
    }
    const std::optional<Player> holder = store.player(name_key_);
    if (holder && holder->banned) {
        return Refused{Refusal::kNameTaken, "the name " + name + " is banned from the board"};
    }
    const std::string hashed = key.empty() ? "" : hash(key);
    if (const std::optional<Player> alike =
            store.look_alike(name_skeleton(name), name_key_, hashed)) {
        return Refused{Refusal::kNameTaken, "the name " + name + " looks like " + alike->name +
                                                ", which belongs to another player"};
    }
    if (!holder || holder->key_hash.empty()) {
        return Refused{};  // nobody holds it
    }
    if (key.empty() || !matches(*holder, key)) {
        wrong_by_client.allow(client, now, retry);
        wrong_by_name.allow(name_key_, now, retry);
        return Refused{Refusal::kNameTaken, "the name " + name + " belongs to another player"};
    }
    return Refused{};
}

Refused Players::hold(const std::string& name, const std::string& key) {
    if (key.empty()) {
        return Refused{};
    }
    const std::string hashed = hash(key);
    const Player holder = store.hold_name(name_key(name), name, hashed, name_skeleton(name));
    if (holder.key_hash != hashed && !matches(holder, key)) {
        return Refused{Refusal::kNameTaken,
                       "the name " + name + " was taken by another player meanwhile"};
    }
    return Refused{};
}

Refused Players::hold_hashed(const std::string& name, const std::string& key_hash) {
    if (key_hash.empty()) {
        return Refused{};
    }
    const Player holder = store.hold_name(name_key(name), name, key_hash, name_skeleton(name));
    if (holder.key_hash != key_hash) {
        return Refused{Refusal::kNameTaken,
                       "the name " + name + " was taken by another player meanwhile"};
    }
    return Refused{};
}
