// The leaderboard's store, one suite for both engines, each for real: SQLite in a temporary
// folder, and PostgreSQL when VELMORA_TEST_POSTGRES names a server (the tests start one; see
// tests/e2e/postgres.py). No mock database.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "server/board/names.h"
#include "server/board/players.h"
#include "server/limits.h"
#include "server/store/store.h"

namespace {

// A database of its own for each test: a fresh SQLite file, or the PostgreSQL one emptied.
std::string fresh_database(const std::string& engine) {
    if (engine == "sqlite") {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test) {
            c = c == '/' ? '_' : c;  // a parameterised test's name holds a slash
        }
        const std::string path =
            ::testing::TempDir() + "velmora_store_" + test + "_" + std::to_string(getpid()) + ".db";
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::remove((path + suffix).c_str());
        }
        return "sqlite:" + path;
    }
    const char* url = std::getenv("VELMORA_TEST_POSTGRES");
    PGconn* db = PQconnectdb(url);
    PQclear(PQexec(
        db,
        "DROP TABLE IF EXISTS watchers, admin_log, players, attempt_batches, attempts, secrets, "
        "board_totals, recordings, games, stats, schema_version"));
    PQfinish(db);
    return url;
}

NewGame game(const std::string& hash, const std::string& name, int score, long long ticks,
             const std::string& submitted, const std::string& recording = "velmora-replay 2\n") {
    NewGame g;
    g.content_hash = hash;
    g.name = name;
    g.name_key = name_key(name);
    g.score = score;
    g.level = 2;
    g.lives = 1;
    g.ticks = ticks;
    g.submitted = submitted;
    g.recording = recording;
    return g;
}

class StoreTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() == "postgres" && std::getenv("VELMORA_TEST_POSTGRES") == nullptr) {
            GTEST_SKIP() << "no PostgreSQL: run under tests/e2e/postgres.py";
        }
        url = fresh_database(GetParam());
        store = open_store(url, 4, error);
        ASSERT_NE(store, nullptr) << error;
    }

    std::string url;
    std::string error;
    std::unique_ptr<Store> store;
};

TEST_P(StoreTest, KeepsEachRecordingOnceByItsContent) {
    const auto [first, how] = store->add(game("aa", "Ana", 40, 900, "2026-12-07T10:00:00Z"));
    EXPECT_EQ(how, Store::Kept::How::kAdded);
    EXPECT_EQ(first.name, "Ana");
    EXPECT_EQ(first.rank, 1);
    // The same recording again, under another name: the row kept first, unchanged.
    const auto [again, how_again] = store->add(game("aa", "Bea", 40, 900, "2026-12-07T11:00:00Z"));
    EXPECT_EQ(how_again, Store::Kept::How::kKeptAlready);
    EXPECT_EQ(again.id, first.id);
    EXPECT_EQ(again.name, "Ana");
    EXPECT_EQ(again.submitted, "2026-12-07T10:00:00Z");
    EXPECT_EQ(store->total(), 1);
    // Another recording of the same game (its fingerprint: seed and keys, tick by tick): the
    // game it copies, and nothing kept.
    NewGame same = game("ab", "Cid", 40, 900, "2026-12-07T12:00:00Z");
    NewGame original = game("ac", "Dee", 30, 900, "2026-12-07T12:00:00Z");
    same.fingerprint = original.fingerprint = "f00d";
    const Entry kept = store->add(original).entry;
    const auto [copied, how_copied] = store->add(same);
    EXPECT_EQ(how_copied, Store::Kept::How::kCopy);
    EXPECT_EQ(copied.id, kept.id);
    EXPECT_EQ(store->copied(same), kept.id);
    EXPECT_EQ(store->total(), 2);
}

TEST_P(StoreTest, RanksByScoreThenFewerTicksThenEarlierSubmission) {
    // Added out of order: the ranks come from the table, not from the order of arrival.
    store->add(game("e", "fifth", 100, 500, "2026-12-07T10:00:05Z"));
    store->add(game("b", "second", 300, 900, "2026-12-07T10:00:03Z"));
    store->add(game("a", "first", 500, 900, "2026-12-07T10:00:09Z"));
    store->add(game("d", "fourth", 300, 900, "2026-12-07T10:00:04Z"));
    store->add(game("c", "third", 300, 800, "2026-12-07T10:00:08Z"));
    const std::vector<Entry> all = store->page(10, 0);
    ASSERT_EQ(all.size(), 5u);
    const char* order[] = {"first", "third", "second", "fourth", "fifth"};
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].name, order[i]);
        EXPECT_EQ(all[i].rank, static_cast<long long>(i) + 1);
        EXPECT_EQ(store->entry(all[i].id)->rank, all[i].rank) << all[i].name;
    }
    const std::vector<Entry> middle = store->page(2, 2);
    ASSERT_EQ(middle.size(), 2u);
    EXPECT_EQ(middle[0].name, "second");
    EXPECT_EQ(middle[0].rank, 3);
    EXPECT_EQ(middle[1].rank, 4);
    EXPECT_TRUE(store->page(10, 5).empty());
    EXPECT_EQ(store->total(), 5);
}

TEST_P(StoreTest, KeepsTheRecordingWholeAndApart) {
    std::string big = "velmora-replay 2\n";
    while (big.size() < 1000000) {
        big += "t 12345 89abcdef\nd\nk q\n";
    }
    const Entry e = store->add(game("big", "Ana", 1, 1, "2026-12-07T10:00:00Z", big)).entry;
    EXPECT_EQ(store->recording(e.id), big);
    EXPECT_FALSE(store->recording(e.id + 1).has_value());
    EXPECT_FALSE(store->entry(e.id + 1).has_value());
    EXPECT_TRUE(store->healthy());
}

TEST_P(StoreTest, OneRowWhenTheSameRecordingArrivesFromManyAtOnce) {
    std::atomic<int> added{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            // Each thread its own store, as each server has: they meet in the database.
            std::string why;
            std::unique_ptr<Store> own = open_store(url, 1, why);
            ASSERT_NE(own, nullptr) << why;
            added += own->add(game("same", "racer " + std::to_string(i), 7, 70,
                                   "2026-12-07T10:00:0" + std::to_string(i) + "Z"))
                         .how == Store::Kept::How::kAdded;
            own->add(game("own " + std::to_string(i), "own", i, 70, "2026-12-07T10:00:00Z"));
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(added, 1);
    EXPECT_EQ(store->total(), 9);
    EXPECT_EQ(store->page(100, 0).size(), 9u);
}

TEST_P(StoreTest, MakesItsSchemaOnceAndRefusesANewerOne) {
    store->add(game("x", "Ana", 1, 1, "2026-12-07T10:00:00Z"));
    store.reset();
    store = open_store(url, 2, error);  // the schema is there: kept as it is, with its rows
    ASSERT_NE(store, nullptr) << error;
    EXPECT_EQ(store->total(), 1);
    store.reset();
    if (GetParam() == "sqlite") {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(url.substr(7).c_str(), &db), SQLITE_OK);
        EXPECT_EQ(
            sqlite3_exec(db, "INSERT INTO schema_version VALUES (99)", nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
    } else {
        PGconn* db = PQconnectdb(url.c_str());
        PQclear(PQexec(db, "INSERT INTO schema_version VALUES (99)"));
        PQfinish(db);
    }
    EXPECT_EQ(open_store(url, 1, error), nullptr);
    EXPECT_NE(error.find("newer than this server's"), std::string::npos) << error;
}

TEST_P(StoreTest, ANameIsItsFirstKeysUntilAnOperatorFreesIt) {
    Players players(*store);
    const std::string a(64, 'a'), b(64, 'b');
    const struct {
        const char* act;  // "send NAME KEY", "ban NAME", "release NAME"
        const char* name;
        const std::string* key;
        const char* refused;  // "" when it may
    } steps[] = {
        {"send", "TOP", &a, ""},                // Latin letters
        {"send", "ТОР", &b, "looks like TOP"},  // Cyrillic ones that look the same
        {"send", "Zoë", nullptr, ""},           // nobody holds it, and no key takes it
        {"send", "Zoë", &b, ""},                // b takes it
        {"send", "ZOË", &a, "belongs to another player"},
        {"send", "zoë", nullptr, "belongs to another player"},
        {"send", "ＺＯË", &b, ""},
        {"release", "Zoë", nullptr, ""},
        {"send", "Zoë", &a, ""},  // free again: a takes it
        {"send", "Zoë", &b, "belongs to another player"},
        {"ban", "zoë", nullptr, ""},
        {"send", "Zoë", &a, "is banned"},
        {"release", "Zoë", nullptr, ""},
        {"send", "Zoë", &b, "is banned"},  // released, still banned
    };
    for (const auto& step : steps) {
        const std::string act = step.act;
        if (act == "send") {
            // As a game under it would: admitted, then, verified, it holds the name.
            const std::string key = step.key ? *step.key : "";
            Refused said_no = players.admit(step.name, key, "test");
            said_no = said_no ? said_no : players.hold(step.name, key);
            const std::string said = said_no.reason;
            EXPECT_EQ(
                said.find(step.refused) != std::string::npos && (said.empty() == !*step.refused),
                true)
                << step.name << " with " << (step.key ? step.key->substr(0, 1) : "no key") << ": "
                << said;
        } else if (act == "ban") {
            store->ban("zoë", step.name, "test", "why");
        } else {
            store->release("zoë", "test", "why");
        }
    }
    // Two games under a name nobody holds, both admitted before either verifies: the first
    // verified holds it, and the other is refused then.
    EXPECT_FALSE(players.admit("Pair", a, "test") || players.admit("Pair", b, "test"));
    EXPECT_FALSE(players.hold("Pair", a));
    EXPECT_EQ(players.hold("Pair", b).kind, Refusal::kNameTaken);
    // Wrong keys for a held name: refused, and past ten a minute turned away before any hash.
    std::vector<Refusal> wrong;
    for (int i = 0; i < limits::kWrongKeysPerMinute + 1; ++i) {
        const std::string key = std::string(63, 'e') + "0123456789abcdef"[i % 16];
        wrong.push_back(players.admit("TOP", key, "x").kind);
    }
    EXPECT_EQ(wrong.front(), Refusal::kNameTaken);
    EXPECT_EQ(wrong.back(), Refusal::kTooMany);
    // Eight players at once, each on a store of its own, each with a key of its own, after one
    // name nobody holds: one gets it.
    std::atomic<int> admitted{0};
    std::vector<std::thread> racers;
    for (int i = 0; i < 8; ++i) {
        racers.emplace_back([&, i] {
            std::string why;
            std::unique_ptr<Store> own = open_store(url, 1, why);
            ASSERT_NE(own, nullptr) << why;
            Players mine(*own);
            const std::string key = std::string(63, 'c') + std::to_string(i);
            admitted += !mine.admit("Race", key, "test") && !mine.hold("Race", key);
        });
    }
    for (std::thread& t : racers) {
        t.join();
    }
    EXPECT_EQ(admitted, 1);
    const std::vector<LogEntry> log = store->admin_log(10);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].action, "release");
    EXPECT_EQ(log[1].action, "ban");
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values("sqlite", "postgres"),
                         [](const ::testing::TestParamInfo<std::string>& engine) {
                             return engine.param;
                         });

}  // namespace
