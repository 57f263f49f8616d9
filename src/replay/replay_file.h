// A recorded game as text, one record per line, read back exactly as it was written.
//
//   velmora-replay 2                        the format and its version
//   rand A B C                              the first three rand() values after srand(1): the
//                                           random sequence the game was played with
//   seed S H                                a game starts from seed S (the first, and one per
//                                           Enter); H is the new game's check value
//   k K                                     key K (a, d, w or q) reached the game
//   t N H                                   tick N ran (counted over the whole recording, from 1);
//                                           H is the game's check value after it
//   d                                       a frame was drawn
//   over ticks=N level=L score=S lives=V    the game has just ended, at tick N
//   end ticks=N level=L score=S lives=V     the recording ended normally; the last line
//
// A check value is eight hex digits summing up the game's state (check_value.h): a replay
// compares it tick by tick and so finds the first tick at which it went its own way.
// docs/replay-format.md says more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/game.h"

// The format this build writes. It reads this one and version 1, whose check value sums up
// less of the game.
constexpr int kReplayVersion = 2;

// Where a game stands: ticks recorded so far, and the numbers of the head-up text.
struct Outcome {
    long ticks;
    int level;
    int score;
    int lives;
};
bool operator==(const Outcome& a, const Outcome& b);
// "ticks=N level=L score=S lives=V"
std::string to_string(const Outcome& o);
Outcome outcome_of(const Game& game, long ticks);

// The first three values the game's random sequence gives after srand(1): the sequence this
// build plays with. Changes nothing.
struct RandProbe {
    unsigned value[3];
};
RandProbe rand_probe();

struct ReplayRecord {
    enum Kind : char { kSeed, kKey, kTick, kDraw, kOver, kEnd };
    Kind kind;
    uint32_t value;  // the seed, the key, the tick number; for over and end, the outcome's index
    uint32_t check;  // for seed and tick
};

struct ReplayFile {
    int version = kReplayVersion;
    std::vector<ReplayRecord> records;
    std::vector<Outcome> outcomes;  // of the over and end records, in order
};

// The lines the recorder writes, each with its newline.
std::string header_lines(const RandProbe& probe);
std::string seed_line(unsigned seed, uint32_t check);
std::string tick_line(long tick, uint32_t check);
std::string key_line(char key);
std::string draw_line();
std::string summary_line(bool game_over, const Outcome& o);
