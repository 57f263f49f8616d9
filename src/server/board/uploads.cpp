#include "server/board/uploads.h"

#include "server/board/names.h"
#include "server/board/tally.h"

Upload upload_game(const std::string& raw_name, const std::string& key, const std::string& body,
                   const std::string& client, Store& store, Players& players) {
    Upload up;
    std::string why;
    const std::optional<std::string> name = valid_name(raw_name, why);
    if (!name) {
        up.refused = Refused{Refusal::kMalformed, why};
        return up;
    }
    if (Refused refused = players.admit(*name, key, client)) {
        up.refused = refused;
        return up;
    }
    up.verdict = verify_recording(body);
    if (up.verdict.kind != Verdict::kVerified) {
        const bool malformed = up.verdict.kind == Verdict::kMalformed;
        Tally::board().refused(malformed ? "malformed" : up.verdict.error);
        up.refused =
            Refused{malformed ? Refusal::kMalformed : Refusal::kUnrankable, up.verdict.error};
        return up;
    }
    NewGame game;
    game.content_hash = content_hash(body);
    game.name = *name;
    game.name_key = name_key(*name);
    game.score = up.verdict.outcome.score;
    game.level = up.verdict.outcome.level;
    game.lives = up.verdict.outcome.lives;
    game.ticks = up.verdict.game_ticks;
    game.submitted = utc_now();
    game.recording = body;
    game.fingerprint = up.verdict.fingerprint;
    // Another recording of a game kept (the same seed and keys, tick by tick): under its own
    // name, the game kept (its player's copy, a file and its table's); under another, refused.
    const auto copy = [&](long long of) {
        const std::optional<Entry> kept = store.entry(of);
        if (kept && name_key(kept->name) == game.name_key) {
            up.entry = *kept;
            return up;
        }
        Tally::board().refused("a copy of a game kept");
        up.refused = Refused{Refusal::kUnrankable,
                             "the board holds this game already (game " + std::to_string(of) +
                                 "): the same seed and keys, tick by tick, as another recording"};
        return up;
    };
    if (const std::optional<long long> of = store.copied(game)) {
        return copy(*of);
    }
    if (Refused refused = players.hold(*name, key)) {
        up.refused = refused;
        return up;
    }
    const Store::Kept kept = store.add(game);
    up.entry = kept.entry;
    if (kept.how == Store::Kept::How::kCopy) {
        return copy(kept.entry.id);
    }
    Tally::board().verified();
    up.added = kept.how == Store::Kept::How::kAdded;
    return up;
}
