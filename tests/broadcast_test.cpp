// Live games passed on to their watchers: each watcher sent the verified batches in order and
// then the end, one that takes nothing while the game goes on dropped, and the watchers an
// address, a game and a server may hold.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/board/broadcast.h"
#include "server/limits.h"
#include "server/store/store.h"

namespace {

class Broadcasting : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        store = open_store("sqlite::memory:", 1, error);
        ASSERT_NE(store, nullptr) << error;
        broadcast = std::make_unique<Broadcast>(*store);
    }
    std::shared_ptr<Watcher> watch(long long id, const std::string& client, Refused& refused) {
        bool first = false;
        return broadcast->watch(id, 0, client, refused, first);
    }
    void publish(long long id, int from, int to) {
        for (int n = from; n < to; ++n) {
            broadcast->publish(
                id, n, std::make_shared<const std::string>("t " + std::to_string(n) + "\n"));
        }
    }
    // What the watcher is sent now: "b0 b1 end", "gone", ...
    static std::string sent(Watcher& w) {
        std::string out;
        while (const std::optional<WatchEvent> e = w.next()) {
            out += out.empty() ? "" : " ";
            out += e->kind == WatchEvent::Kind::kBatch  ? "b" + std::to_string(e->batch)
                   : e->kind == WatchEvent::Kind::kEnd  ? std::string("end")
                   : e->kind == WatchEvent::Kind::kGone ? std::string("gone")
                                                        : std::string("alive");
            if (e->kind != WatchEvent::Kind::kBatch && e->kind != WatchEvent::Kind::kKeepAlive) {
                break;
            }
        }
        return out;
    }
    std::unique_ptr<Store> store;
    std::unique_ptr<Broadcast> broadcast;
};

TEST_F(Broadcasting, EachWatcherGetsTheBatchesInOrderThenTheEnd) {
    Refused refused;
    std::shared_ptr<Watcher> early = watch(1, "a", refused);
    ASSERT_NE(early, nullptr);
    publish(1, 0, 3);
    EXPECT_EQ(sent(*early), "b0 b1 b2");
    std::shared_ptr<Watcher> late = watch(1, "b", refused);
    publish(1, 3, 4);
    WatchedEnd end;
    end.state = AttemptState::kRanked;
    broadcast->end(1, end);
    EXPECT_EQ(sent(*early), "b3 end");
    EXPECT_EQ(sent(*late), "b0 b1 b2 b3 end");
}

// One that has taken nothing since the last look while the game went on past the feed is
// dropped (its connection cut), and sent nothing more; one that keeps reading is not.
TEST_F(Broadcasting, AWatcherThatTakesNothingFallsBehindAndIsDropped) {
    Refused refused;
    std::shared_ptr<Watcher> slow = watch(1, "a", refused);
    std::shared_ptr<Watcher> keen = watch(1, "b", refused);
    bool cut = false;
    slow->on_wake([&cut](bool c) { cut = cut || c; });
    for (int second = 0; second < 3; ++second) {
        publish(1, second * (limits::kWatcherBehind + 1),
                (second + 1) * (limits::kWatcherBehind + 1));
        sent(*keen);
        broadcast->tick();
    }
    EXPECT_TRUE(cut);
    EXPECT_EQ(sent(*slow), "gone");
    EXPECT_EQ(sent(*slow), "");
    EXPECT_EQ(broadcast->dropped(), 1);
    publish(1, 27, 28);
    EXPECT_EQ(sent(*keen), "b27");
}

TEST_F(Broadcasting, HoldsSoManyWatchersAnAddressAGameAndAServer) {
    std::vector<std::shared_ptr<Watcher>> held;
    Refused refused;
    for (size_t i = 0; i < limits::kWatchersPerAddress; ++i) {
        held.push_back(watch(1, "one", refused));
        ASSERT_NE(held.back(), nullptr);
    }
    EXPECT_EQ(watch(2, "one", refused), nullptr);
    EXPECT_EQ(refused.kind, Refusal::kTooMany);
    held.pop_back();  // one gone, one more may come
    held.push_back(watch(2, "one", refused));
    EXPECT_NE(held.back(), nullptr);

    for (size_t i = 0; i < limits::kWatchersPerGame; ++i) {
        held.push_back(watch(3, "client " + std::to_string(i), refused));
        ASSERT_NE(held.back(), nullptr);
    }
    EXPECT_EQ(watch(3, "another", refused), nullptr);
    for (size_t i = held.size(); i < limits::kWatchers; ++i) {
        held.push_back(watch(10 + static_cast<long long>(i), "c" + std::to_string(i), refused));
        ASSERT_NE(held.back(), nullptr);
    }
    EXPECT_EQ(watch(99999, "new", refused), nullptr);
    EXPECT_EQ(broadcast->watchers(), limits::kWatchers);
}

}  // namespace
