// Ranked games played live. The board deals an attempt (its seed and a token); the client sends
// the attempt's recording as it grows, a batch at least once a second. A batch is judged on
// arrival by its time (its ticks may come neither faster than real time nor further behind it
// than the bound, a pause counts as time), kept, answered, and played at once, from where the
// last one left off, on threads that yield to those that answer: the attempt is refused as soon
// as its recording goes another way, and the next answer says so. The batch that holds its
// GAME OVER is settled once it is played, with the game's rank on its board.
//
// Everything an attempt is lies in the database (its row and its batches), so any server can
// take its next batch: a server keeps only a snapshot of each game it has played, to go on
// from, and catches up from the database on the batches another server took.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "replay/record_counts.h"
#include "server/board/dealer.h"
#include "server/board/live_game.h"
#include "server/board/players.h"
#include "server/board/refusal.h"
#include "server/board/workers.h"
#include "server/store/store.h"

// What a client asks for: a board, a name (and the player's key), the daily board's day.
struct AttemptAsked {
    std::string board;
    std::string name;
    std::string key;
    std::string day;
};

// A dealt attempt, with the token its client alone holds; or why none was dealt.
struct Dealt {
    Refused refused;
    Attempt attempt;
    std::string token;
};

// Where an attempt stands after a request of it, or why the request was refused.
struct AttemptReply {
    Refused refused;
    AttemptState state = AttemptState::kLive;
    std::string reason;               // why it is not ranked, once it is not
    long long ticks = 0;              // played so far
    int batches = 0;                  // kept so far
    std::optional<long long> lag_ms;  // how far behind real time, for a batch just kept
    long long credit_ms = 0;          // and the play the next may bring beyond its time
    std::optional<int> expected;      // the batch expected, when one came out of order
    std::optional<Outcome> outcome;   // the game's, once it is over
    std::optional<Entry> entry;       // its place on its board, once ranked
    // Set when the batch holds the game's end: the reply is this, made once every batch is
    // played (on a thread that may take its time).
    std::function<AttemptReply()> settle;
};

class Attempts {
  public:
    struct Rules {
        long long ahead_ms;  // how far ahead of real time a tick may come (clocks, batching)
        long long bound_ms;  // how far behind real time a game may fall (pauses, stalls)
        int verifiers = 1;   // threads playing the batches; 0: each played as it is taken
        long long (*clock)() = now_micros;  // microseconds since the epoch
    };
    Attempts(Store& store, Players& players, const Rules& rules);

    // A new attempt for the client at `client`.
    Dealt create(const AttemptAsked& asked, const std::string& client);
    // Batch `batch` of attempt `id`, shown with `token`.
    AttemptReply batch(long long id, int batch, const std::string& token, const std::string& lines);
    // Where attempt `id` stands.
    std::optional<Attempt> show(long long id) { return store.attempt(id); }
    // Attempts unheard for longer than the bound expire; games of attempts that ended, or that
    // another server now plays, are let go.
    void sweep();

    const Rules& rules_kept() const { return rules; }
    // Batches waiting to be played.
    size_t waiting() { return verifiers.depth(); }
    // Live games this server keeps, and their memory in bytes.
    size_t kept() const;
    size_t memory() const;

  private:
    struct Live {
        std::mutex mutex;
        std::unique_ptr<LiveGame> game;
        int applied = 0;  // batches it has played
        long long used = 0;
    };
    std::shared_ptr<Live> live_of(long long id);
    void forget(long long id);
    // Why a batch that brings the game to `ticks` is late or early now, or "".
    std::string timing_fault(const Attempt& a, long long ticks, long long now) const;
    // Why a batch of these records is more than one may hold, or "".
    static std::string oversized(const RecordCounts& records);
    // Plays the attempt's game on to batch n, from the database; how it stands then.
    LiveGame::Step play_to(const Attempt& a, int n, Live& live);
    // Batch n played on a verifier: an attempt whose recording goes wrong is refused.
    void verify(const Attempt& a, int n, const std::string& lines);
    // The game's last batch played: its rank, or why not.
    AttemptReply settle(const Attempt& a, int n);
    AttemptReply ended(const Attempt& a, int n, const std::string& lines,
                       const LiveGame::Step& step, long long ticks, long long now);

    Store& store;
    Players& players;
    Rules rules;
    std::string secret;
    mutable std::mutex mutex;
    std::unordered_map<long long, std::shared_ptr<Live>> games;
    Workers verifiers;  // last: it finishes its jobs before the rest goes
};

// Where an attempt stands, as show() has it.
AttemptReply standing(const Attempt& a);
