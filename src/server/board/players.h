// Names that belong to their players. A player's client makes a key, 32 random bytes, the first
// time it sends a game, and sends it with every game after; the first game sent with a key under
// a name nobody holds makes the name that key's. The server keeps only a slow hash of the key
// (Argon2id, libsodium), so a stolen database gives nobody a key. A name held answers 403 to
// any other key, and to none; a banned name to all.
#pragma once

#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "server/board/refusal.h"
#include "server/store/store.h"

class Players {
  public:
    explicit Players(Store& store);

    // Whether a game may go under `name` (valid already) with `key` (64 hex digits, or ""):
    // refused, and why, when it may not. A key that comes under a name nobody holds takes it.
    Refused admit(const std::string& name, const std::string& key);

    // The slow hash of a key, and whether a key is the one a hash was made of.
    static std::string hash(const std::string& key);
    static bool matches(const std::string& key, const std::string& hash);
    // Whether `key` is written as a key is: 64 lowercase hex digits.
    static bool well_formed(const std::string& key);

  private:
    bool verified(const std::string& key, const std::string& hash);

    Store& store;
    // Keys already checked against their names' hashes, the most recent last: a slow hash is
    // worked out once a key, not once a game.
    std::mutex mutex;
    std::list<std::string> recent;
    std::unordered_map<std::string, std::list<std::string>::iterator> known;
};
