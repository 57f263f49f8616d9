#include "server/board/uploads.h"

#include <tuple>

#include "server/board/names.h"
#include "server/board/tally.h"

Upload upload_game(const std::string& raw_name, const std::string& key, const std::string& body,
                   Store& store, Players& players) {
    Upload up;
    std::string why;
    const std::optional<std::string> name = valid_name(raw_name, why);
    if (!name) {
        up.refused = Refused{Refusal::kMalformed, why};
        return up;
    }
    if (Refused refused = players.admit(*name, key)) {
        up.refused = refused;
        return up;
    }
    up.verdict = verify_recording(body);
    if (up.verdict.kind != Verdict::kVerified) {
        Tally::board().refused(up.verdict.kind == Verdict::kMalformed ? "malformed"
                                                                      : up.verdict.error);
        up.refused = Refused{
            up.verdict.kind == Verdict::kMalformed ? Refusal::kMalformed : Refusal::kUnrankable,
            up.verdict.error};
        return up;
    }
    Tally::board().verified();
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
    std::tie(up.entry, up.added) = store.add(game);
    return up;
}
