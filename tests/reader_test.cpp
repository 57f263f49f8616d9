// The recording reader is the front door of the desktop's --play, the page's "Watch replay" and
// the leaderboard server: every check it makes on untrusted text, at its exact limits, whether
// the text comes whole or a byte at a time.
#include <gtest/gtest.h>

#include <string>

#include "replay/reader.h"

namespace {

const std::string kHead = "velmora-replay 2\nrand 1804289383 846930886 1681692777\n";
const std::string kGame = kHead + "seed 5 0000abcd\nd\n";  // a game started: lines 3 and 4

// The reader's verdict on `text` fed whole: "" when it is read, else "LINE: problem".
std::string verdict(const std::string& text) {
    ReplayFile file;
    std::string error;
    return read_replay_text(text, rand_probe(), file, error) ? "" : error;
}

// The same text fed one byte at a time, as it may come from a socket.
std::string verdict_byte_by_byte(const std::string& text) {
    ReplayFile file;
    ReplayReader reader(rand_probe(), file);
    for (const char c : text) {
        if (!reader.feed(&c, 1)) {
            return reader.error();
        }
    }
    return reader.finish() ? "" : reader.error();
}

TEST(ReplayReader, RefusesWhatIsNotARecordingWithTheLineAndTheProblem) {
    const struct {
        const char* what;
        std::string text;
        const char* problem;  // the start of "LINE: problem"; empty when the text is read
    } cases[] = {
        {"a game with no tick yet", kGame, ""},
        {"version 1", "velmora-replay 1\nrand 1804289383 846930886 1681692777\nseed 5 0000abcd\n",
         ""},
        {"a version yet to come", "velmora-replay 3\n", "1: unknown version '3'"},
        {"another rand(), by its third value", "velmora-replay 2\nrand 1804289383 846930886 7\n",
         "2: recorded with another rand() sequence"},
        {"no game at all", kHead, "3: the recording ends before its first game"},
        {"a key before the first game", kHead + "k q\n", "3: expected the first game's 'seed'"},
        {"a line of 100 characters is read (and judged)", kGame + std::string(100, 'x') + "\n",
         "5: unknown record"},
        {"a line of 101 characters is not", kGame + std::string(101, 'x') + "\n",
         "5: line too long (over 100 characters)"},
        {"a tick of eleven digits", kGame + "t 00000000001 00000000\n",
         "5: number too large for a tick"},
        {"a check value of nine digits", kGame + "t 1 0000abcde\n",
         "5: expected a check value of eight hex digits"},
        {"a check value in capitals", kGame + "t 1 0000ABCD\n",
         "5: expected a check value of eight hex digits"},
        {"a pause key", kGame + "k p\n", "5: unknown key 'p'"},
        {"two keys in one record", kGame + "k ad\n", "5: unknown key 'ad'"},
        {"two spaces between fields", kGame + "t  1 00000000\n", "5: expected 't N H'"},
        {"a tick skipped", kGame + "t 2 00000000\n", "5: tick 2 out of order: expected tick 1"},
        {"a summary behind the ticks",
         kGame + "t 1 00000000\nend ticks=0 level=0 score=0 lives=3\n",
         "6: end at tick 0 out of order: the recording is at tick 1"},
        {"a summary with more after it", kGame + "end ticks=0 level=0 score=0 lives=3 x\n",
         "5: expected 'end ticks=N level=L score=S lives=V'"},
        {"a summary's fields swapped", kGame + "over level=0 ticks=0 score=0 lives=3\n",
         "5: expected 'ticks=N'"},
        {"a record after the end", kGame + "end ticks=0 level=0 score=0 lives=3\nseed 1 00000000\n",
         "6: nothing may follow the 'end' record"},
    };
    for (const auto& c : cases) {
        const std::string whole = verdict(c.text);
        EXPECT_EQ(whole.substr(0, std::string(c.problem).size()), c.problem) << c.what;
        EXPECT_EQ(whole.empty(), std::string(c.problem).empty()) << c.what << ": " << whole;
        EXPECT_EQ(verdict_byte_by_byte(c.text), whole) << c.what;
    }
}

TEST(ReplayReader, KeepsEveryRecordInOrderWithItsValues) {
    ReplayFile file;
    std::string error;
    ASSERT_TRUE(read_replay_text(kGame + "k w\nt 1 ffffffff\nover ticks=1 level=2 score=3 lives=0\n"
                                         "end ticks=1 level=2 score=3 lives=0\n",
                                 rand_probe(), file, error))
        << error;
    EXPECT_EQ(file.version, 2);
    const ReplayRecord want[] = {{ReplayRecord::kSeed, 5, 0xabcd}, {ReplayRecord::kDraw, 0, 0},
                                 {ReplayRecord::kKey, 'w', 0},     {ReplayRecord::kTick, 1, ~0u},
                                 {ReplayRecord::kOver, 0, 0},      {ReplayRecord::kEnd, 1, 0}};
    ASSERT_EQ(file.records.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        EXPECT_EQ(file.records[i].kind, want[i].kind) << i;
        EXPECT_EQ(file.records[i].value, want[i].value) << i;
        EXPECT_EQ(file.records[i].check, want[i].check) << i;
    }
    ASSERT_EQ(file.outcomes.size(), 2u);
    EXPECT_EQ(to_string(file.outcomes[1]), "ticks=1 level=2 score=3 lives=0");
}

}  // namespace
