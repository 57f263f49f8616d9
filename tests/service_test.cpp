// The leaderboard's own rules, apart from HTTP and databases: names, the submission rate,
// what a verification makes of a recording, and the JSON it answers with.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "replay/check_value.h"
#include "server/board/attempts.h"
#include "server/board/live_game.h"
#include "server/board/names.h"
#include "server/board/rate_limit.h"
#include "server/board/verify.h"
#include "server/http/json.h"
#include "server/limits.h"

namespace {

std::string golden(const char* name) {
    std::ifstream in(std::string(VELMORA_REPLAY_DIR) + "/" + name + ".replay");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Names, AreToldApartByTheirCaseFoldedCompatibilityForm) {
    const std::string ana = name_key("Ana");
    for (const char* same : {"ANA", "ana", "Ａｎａ", "AnA"}) {
        EXPECT_EQ(name_key(same), ana) << same;
    }
    EXPECT_NE(name_key("Ann"), ana);
    EXPECT_EQ(name_key("Straße"), name_key("STRASSE"));
}

TEST(Names, OneToTwentyLettersDigitsSpacesAndThreeMarksOnceTrimmed) {
    const struct {
        std::string raw;
        const char* kept;  // null: refused
    } cases[] = {
        {"Ana", "Ana"},
        {"  Bo ", "Bo"},
        {"Zoë-Ji_2.0", "Zoë-Ji_2.0"},
        {"名前", "名前"},
        {"Ωmega", nullptr},            // a Greek letter among Latin ones
        {"\xd0\x90na", nullptr},       // a Cyrillic A before Latin "na"
        {"Ана", "Ана"},                // Cyrillic alone
        {"山田たろう", "山田たろう"},  // Han and Hiragana: one writing
        {"Ωμέγα", "Ωμέγα"},
        {std::string(20, 'x'), "xxxxxxxxxxxxxxxxxxxx"},
        {std::string(21, 'x'), nullptr},
        {"ééééééééééééééééééééé", nullptr},                // 21 characters, 42 bytes
        {"éééééééééééééééééééé", "éééééééééééééééééééé"},  // 20 characters, 40 bytes
        {"", nullptr},
        {"   ", nullptr},
        {"a<b", nullptr},
        {"tab\there", nullptr},
        {"new\nline", nullptr},
        {"😀", nullptr},             // a symbol, not a letter
        {"\xff\xfe", nullptr},      // not UTF-8
        {"\xc0\xaf", nullptr},      // an overlong '/'
        {"\xc1\x81", nullptr},      // an overlong 'A'
        {"\xed\xa0\x80", nullptr},  // a surrogate
        {"ab\xe4\xbd", nullptr},    // cut short
        {std::string("a\0b", 3), nullptr},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::optional<std::string> name = valid_name(c.raw, error);
        if (c.kept == nullptr) {
            EXPECT_FALSE(name.has_value()) << c.raw;
            EXPECT_FALSE(error.empty()) << c.raw;
        } else {
            EXPECT_EQ(name.value_or("(refused: " + error + ")"), c.kept);
        }
    }
}

TEST(RateLimit, ABurstOfTheRateThenOneAsEachRefills) {
    RateLimit limit(30);  // a minute's 30 at once, then one every 2 s
    int retry = 0;
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(limit.allow("10.0.0.1", 100.0, retry)) << i;
    }
    EXPECT_FALSE(limit.allow("10.0.0.1", 100.0, retry));
    EXPECT_EQ(retry, 2);
    EXPECT_TRUE(limit.allow("10.0.0.2", 100.0, retry)) << "another address has its own";
    EXPECT_FALSE(limit.allow("10.0.0.1", 101.9, retry));
    EXPECT_EQ(retry, 1);
    EXPECT_TRUE(limit.allow("10.0.0.1", 102.0, retry));
    EXPECT_FALSE(limit.allow("10.0.0.1", 102.0, retry));
    // Quiet for a long while: a full burst again, never more.
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(limit.allow("10.0.0.1", 10000.0, retry)) << i;
    }
    EXPECT_FALSE(limit.allow("10.0.0.1", 10000.0, retry));
}

TEST(RateLimit, ForgetsTheAddressHeardFromLongestAgoWhenFull) {
    RateLimit limit(1);
    int retry = 0;
    ASSERT_TRUE(limit.allow("first", 0, retry));
    ASSERT_FALSE(limit.allow("first", 0, retry));
    for (size_t i = 0; i < limits::kRateAddresses; ++i) {
        limit.allow("address " + std::to_string(i), 0, retry);
    }
    // Pushed out by the others, "first" comes back with a fresh allowance.
    EXPECT_TRUE(limit.allow("first", 0, retry));
}

TEST(Verify, RanksTheRecordingsLastGameAsItEnded) {
    const Verdict v = verify_recording(golden("game-over"));
    ASSERT_EQ(v.kind, Verdict::kVerified) << v.error;
    EXPECT_EQ(to_string(v.outcome), "ticks=344 level=0 score=1 lives=0");
    EXPECT_EQ(v.game_ticks, 344);
    // Two games in one recording (Enter after the first): the second one counts, with its own
    // ticks; the frozen ticks after the first's end are no part of either.
    std::string two = golden("game-over");
    two = two.substr(0, two.rfind("end ")) + two.substr(two.find("seed "));
    std::string renumbered;
    std::istringstream in(two);
    long tick = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 2, "t ") == 0) {
            line = "t " + std::to_string(++tick) + line.substr(line.rfind(' '));
        } else if (line.compare(0, 5, "over ") == 0 || line.compare(0, 4, "end ") == 0) {
            line = line.substr(0, line.find("ticks=") + 6) + std::to_string(tick) +
                   line.substr(line.find(' ', line.find("ticks=")));
        }
        renumbered += line + "\n";
    }
    const Verdict both = verify_recording(renumbered);
    ASSERT_EQ(both.kind, Verdict::kVerified) << both.error;
    EXPECT_EQ(both.outcome.ticks, 371 + 344);
    EXPECT_EQ(both.game_ticks, 344);
}

TEST(Verify, RefusesWhatItCannotRank) {
    const std::string head = "velmora-replay 2\nrand 1804289383 846930886 1681692777\n";
    EXPECT_EQ(verify_recording("nonsense\n").kind, Verdict::kMalformed);
    const Verdict no_tick = verify_recording(head + "seed 5 00000000\nd\n");
    EXPECT_EQ(no_tick.kind, Verdict::kMalformed);
    std::string hour = head + "seed 5 00000000\n";
    for (long t = 1; t <= limits::kMaxTicks; ++t) {
        hour += "t " + std::to_string(t) + " 00000000\nd\n";
    }
    // An hour is allowed (it then fails on its made-up check values); a tick more is not.
    EXPECT_EQ(verify_recording(hour).kind, Verdict::kDiverged);
    EXPECT_EQ(verify_recording(hour + "t 72001 00000000\n").kind, Verdict::kTooLong);
    // A hundred shots a tick (the most a tick may take), framed as designed: refused once the
    // collision tests outrun the budget, long before the recording's end.
    Game flooded;
    flooded.new_game(5);
    char line[40];
    std::snprintf(line, sizeof line, "seed 5 %08x\nd\nd\n", check_value(flooded));
    std::string flood = head + line;
    flooded.frame_unseen();
    flooded.frame_unseen();
    for (long t = 1; t <= 200; ++t) {
        for (int k = 0; k < limits::kKeysPerTick; ++k) {
            flooded.ship_shot();
            flood += "k q\n";
        }
        flooded.update();
        std::snprintf(line, sizeof line, "t %ld %08x\nd\n", t, check_value(flooded));
        flood += line;
        flooded.frame_unseen();
    }
    const Verdict costly = verify_recording(flood);
    EXPECT_EQ(costly.kind, Verdict::kTooCostly);
    EXPECT_NE(costly.error.find("bullets at tick"), std::string::npos) << costly.error;
    std::string many_keys = head + "seed 5 00000000\n";
    for (int k = 0; k <= limits::kKeysPerTick; ++k) {
        many_keys += "k q\n";
    }
    const Verdict keys = verify_recording(many_keys + "t 1 00000000\n");
    EXPECT_EQ(keys.kind, Verdict::kTooCostly);
    EXPECT_NE(keys.error.find("keys before tick 1"), std::string::npos) << keys.error;
    std::string tampered = golden("game-over");
    tampered.replace(tampered.rfind("score="), 6, "score=1");
    const Verdict diverged = verify_recording(tampered);
    EXPECT_EQ(diverged.kind, Verdict::kDiverged);
    EXPECT_EQ(diverged.tick, 371);
    EXPECT_EQ(diverged.recorded.score, 11);
    EXPECT_EQ(diverged.outcome.score, 1);
    // Framed as the display came (an older version's), it plays at home but is not ranked.
    const Verdict older = verify_recording(golden("levels"));
    EXPECT_EQ(older.kind, Verdict::kUnframed);
    EXPECT_NE(older.error.find("frames"), std::string::npos) << older.error;
}

TEST(Json, EscapesWhatJsonMust) {
    EXPECT_EQ(json_string("a\"b\\c\nd\x01é"), "\"a\\\"b\\\\c\\nd\\u0001é\"");
    EXPECT_EQ(JsonObject().add("id", 7).add("name", "Zoë").text(),
              "{\"id\": 7, \"name\": \"Zoë\"}");
    EXPECT_EQ(json_error("no"), "{\"error\": \"no\"}");
}

// A live game's batches: the golden game-over recording (seed 7) cut into pieces anywhere a line
// ends plays to its GAME OVER; anything that is not that game is refused, and says why.
TEST(LiveGame, PlaysARecordingCutAnywhereAndRefusesWhatIsNotTheGameDealt) {
    // As a live client sends it: to its over record.
    const std::string whole_file = golden("game-over");
    const std::string game =
        whole_file.substr(0, whole_file.find('\n', whole_file.find("\nover ") + 1) + 1);
    const auto play = [](unsigned seed, const std::vector<std::string>& batches) {
        LiveGame live(seed);
        LiveGame::Step step{LiveGame::State::kPlaying, "", Outcome{}};
        for (const std::string& b : batches) {
            step = live.feed(b);
            if (step.state != LiveGame::State::kPlaying) {
                break;
            }
        }
        return step;
    };
    // Cut every 7th line end, and at every line end up to the first tick.
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t at = game.find('\n'), n = 0; at != std::string::npos;
         at = game.find('\n', at + 1), ++n) {
        if (n % 7 == 0 || n < 4) {
            pieces.push_back(game.substr(from, at + 1 - from));
            from = at + 1;
        }
    }
    pieces.push_back(game.substr(from));
    const LiveGame::Step whole = play(7, pieces);
    EXPECT_EQ(whole.state, LiveGame::State::kOver) << whole.reason;
    EXPECT_EQ(to_string(whole.outcome), "ticks=344 level=0 score=1 lives=0");

    const std::string head = game.substr(0, game.find("\nd\n") + 1);  // to the seed record
    const size_t five = game.find("\nt 5 ");
    const std::string early = game.substr(head.size(), five + 1 - head.size());
    std::string other_check = game.substr(0, five + 5) + "00000000" + game.substr(five + 13);
    // Its frames: one taken from between ticks 5 and 6, one more there, one taken from before
    // the first tick.
    const size_t after_five = game.find("\nd\n", five + 1);
    const std::string unframed = game.substr(0, after_five) + game.substr(after_five + 2);
    const std::string overframed = game.substr(0, after_five) + "\nd" + game.substr(after_five);
    const std::string one_first = head + game.substr(head.size() + 2);
    // GAME OVER said at tick 5, with the numbers the game has there.
    const std::string to_five = game.substr(0, game.find('\n', five + 1) + 1);
    const std::string early_over = to_five + "over ticks=5 level=0 score=0 lives=3\n";
    const struct {
        const char* what;
        unsigned seed;
        std::vector<std::string> batches;
        const char* reason;
    } cases[] = {
        {"another seed than the one dealt", 8, {game}, "not the seed the attempt was dealt"},
        {"a second game", 7, {head, early, "seed 7 553f0102\n"}, "one game"},
        {"a batch cut in a line", 7, {game.substr(0, 40)}, "middle of a line"},
        {"a line that is no record", 7, {head, "t five\n"}, "malformed"},
        {"a check value the game does not give", 7, {other_check}, "went another way"},
        {"a tick without its frame", 7, {unframed}, "frames are not the game's"},
        {"a frame too many", 7, {overframed}, "frames are not the game's"},
        {"one frame before the first tick", 7, {one_first}, "frames are not the game's"},
        {"GAME OVER where the game is not over", 7, {early_over}, "where the game is not over"},
        {"a line after the over record", 7, {game + "d\n"}, "nothing may follow"},
    };
    for (const auto& c : cases) {
        const LiveGame::Step step = play(c.seed, c.batches);
        EXPECT_EQ(step.state, LiveGame::State::kRefused) << c.what;
        EXPECT_NE(step.reason.find(c.reason), std::string::npos) << c.what << ": " << step.reason;
    }
    std::string keys = head;
    for (int i = 0; i <= limits::kKeysPerTick; ++i) {
        keys += "k a\n";
    }
    EXPECT_NE(play(7, {keys}).reason.find("keys before tick 1"), std::string::npos);
}

// A live attempt's batches against the time they came in: each may bring the play of the time
// since the last one, and a credit of time unplayed before, kept up to two seconds. Slowed down,
// a game cannot be made up by playing it fast; late and early batches, and a silence, are taken.
long long fake_now = 0;
long long fake_clock() {
    return fake_now;
}

TEST(Attempts, ABatchBringsNoMorePlayThanItsTimeAndItsCredit) {
    // The game-over recording (seed 7) cut tick by tick: the first piece to its first tick.
    const std::string game = golden("game-over");
    std::vector<std::string> ticks;
    for (size_t from = 0, at = game.find("\nt "); at != std::string::npos;
         at = game.find("\nt ", at + 1)) {
        const size_t end = game.find("\nd\n", at) + 3;
        ticks.push_back(game.substr(from, end - from));
        from = end;
    }
    // Ten batches a second apart with half a second's play each (5 s behind real time), then
    // `times` batches a second apart of `ticks` ticks.
    const auto half_then = [](long ticks, int times) {
        std::vector<std::pair<long, long>> b(10, {1000, 10});
        b.insert(b.end(), times, {1000, ticks});
        return b;
    };
    const struct {
        const char* what;
        std::vector<std::pair<long, long>> batches;  // ms after the last one, and its ticks
        const char* refused;                         // "" when every batch is taken
    } rows[] = {
        {"real time", {{1000, 20}, {1000, 20}, {1000, 20}, {1000, 20}}, ""},
        {"a batch late, the next early", {{1000, 20}, {1700, 20}, {300, 20}, {1000, 20}}, ""},
        {"a silence, then all it held", {{1000, 20}, {4000, 80}, {1000, 20}}, ""},
        {"half speed for 10 s, then four times as fast", half_then(80, 1), "cannot be made up"},
        {"half speed for 10 s, then twice as fast", half_then(40, 3), "cannot be made up"},
        {"a batch without a tick every 10 ms", std::vector<std::pair<long, long>>(400, {10, 0}),
         "cannot be made up"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string error;
        std::unique_ptr<Store> store = open_store("sqlite::memory:", 1, error);
        ASSERT_NE(store, nullptr) << error;
        Players players(*store);
        Broadcast broadcast(*store);
        Attempts attempts(*store, players, broadcast,
                          Attempts::Rules{limits::kAheadMs, 10000, 0, fake_clock});
        fake_now = 1'000'000'000'000LL;
        Attempt a;
        a.token_hash = content_hash("token");
        a.seed = 7;
        a.name = a.player = "ana";
        a.client = "test";
        a.ranked = true;
        a.started = fake_now;
        a.credit = limits::kBatchCreditMs;
        const long long id = store->add_attempt(a).id;
        size_t next = 0;
        std::string said;
        for (size_t n = 0; n < row.batches.size() && said.empty(); ++n) {
            fake_now += row.batches[n].first * 1000;
            std::string lines;
            for (long t = 0; t < row.batches[n].second; ++t) {
                lines += ticks.at(next++);
            }
            const AttemptReply r = attempts.batch(id, static_cast<int>(n), "token", lines);
            said = r.state == AttemptState::kLive ? "" : r.reason + " ";
        }
        if (*row.refused == '\0') {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_NE(said.find(row.refused), std::string::npos) << said;
        }
    }
}

}  // namespace
