// Names that belong to their players. A player's client makes a key, 32 random bytes, the first
// time it sends a game, and sends it with every game after; the first game under a name nobody
// holds that verifies makes the name its key's. The server keeps the key only as a hash keyed
// with a secret of its own (BLAKE2b, libsodium): a key is 256 random bits, which no guessing
// reaches, so a fast hash keeps it as safe as a slow one would, and a stolen database without
// the server's key gives nobody a key. Names held before are kept by their Argon2id hashes,
// made anew the first time their key is shown. A name held answers 403 to any other key, and to
// none; a name that looks like a held one (names.h's skeleton) likewise; a banned name to all.
// Wrong keys are limited per address and per name, before any hash is worked out.
#pragma once

#include <atomic>
#include <string>

#include "server/board/rate_limit.h"
#include "server/board/refusal.h"
#include "server/store/store.h"

class Players {
  public:
    explicit Players(Store& store);

    // Whether a game may go under `name` (valid already) with `key` (64 hex digits, or ""),
    // asked from `client`: refused, and why, when it may not. Nothing is taken here.
    Refused admit(const std::string& name, const std::string& key, const std::string& client);
    // The name held for `key` once a game under it has verified; refused if another key took
    // it (or a look-alike) meanwhile. A game without a key holds nothing.
    Refused hold(const std::string& name, const std::string& key);
    // The same with the key's hash (a live attempt keeps only that).
    Refused hold_hashed(const std::string& name, const std::string& key_hash);

    // The key's hash, as the store keeps it.
    std::string hash(const std::string& key) const;
    // Whether `key` is written as a key is: 64 lowercase hex digits.
    static bool well_formed(const std::string& key);
    // Argon2id checks made so far (each about 10 ms of a core).
    static long long slow_checks();

  private:
    bool matches(const Player& holder, const std::string& key);

    Store& store;
    std::string secret;  // the keyed hash's key, 32 bytes
    // Wrong keys a minute, per address and per name.
    RateLimit wrong_by_client;
    RateLimit wrong_by_name;
};
