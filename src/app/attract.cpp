#include "app/attract.h"

#include "game/snapshot.h"
#include "replay/reader.h"

namespace {

constexpr long kAttractTicks = 20 * 1000 / kTickMs;  // 20 s

}  // namespace

bool Attract::tick(Game& game, bool waiting, int frames_owed) {
    if (!waiting || !source) {
        idle_ticks = 0;
        return false;
    }
    if (++idle_ticks < kAttractTicks) {
        return false;
    }
    idle_ticks = 0;
    const std::optional<std::string> text = source();
    ReplayFile file;
    std::string error;
    if (!text || !read_replay_text(*text, rand_probe(), file, error)) {
        return false;
    }
    before = GameSnapshot::save(game);
    owed_before = frames_owed;
    demo = std::make_unique<Replay>(std::move(file));
    demo->start(game);
    return true;
}

int Attract::end(Game& game) {
    demo.reset();
    idle_ticks = 0;
    GameSnapshot::restore(game, before);
    return owed_before;
}
