// Ranked games played live. The board deals an attempt (its seed and a token); the client sends
// the attempt's recording as it grows, a batch at least once a second. A batch is judged on
// arrival by its time (its ticks may come neither faster than real time nor further behind it
// than the bound, a pause counts as time), handed to the batch writer, answered, and played at
// once, from where the last one left off, on threads that yield to those that answer: the
// attempt is refused as soon as its recording goes another way, and the next answer says so.
// The batch that holds its GAME OVER is settled once it is kept and played, with the game's
// rank on its board. Each batch played is passed on to the game's watchers (broadcast.h).
//
// Everything an attempt is lies in the database (its row and its batches), a few milliseconds
// after its answer: so any server can take its next batch. The server that takes an attempt's
// batches keeps its ledger (the attempt as of its last batch taken, ahead of the database) and
// its batches not yet kept; each answer says how many are kept for good, and a client that
// loses its server sends the rest again to another. A server keeps a snapshot of each game it
// has played, to go on from, and catches up from the database on the batches another server
// took, which the other servers' news (Store::news_about_batches) tells of as they are kept.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "replay/record_counts.h"
#include "server/board/batch_writer.h"
#include "server/board/broadcast.h"
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
    int batches = 0;                  // taken so far
    int kept = 0;                     // of those, kept for good: the first to send again
    long long watchers = 0;           // watching the game, on every server
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
    // The store, the players and the broadcast are only pointed to and outlive the attempts.
    Attempts(Store& store, Players& players, Broadcast& broadcast, const Rules& rules);

    // A new attempt for the client at `client`.
    Dealt create(const AttemptAsked& asked, const std::string& client);
    // Batch `batch` of attempt `id`, shown with `token`.
    AttemptReply batch(long long id, int batch, const std::string& token, const std::string& lines);
    // Where attempt `id` stands (as this server took its batches, if it takes them).
    std::optional<Attempt> show(long long id);
    // A watcher of attempt `id` from batch `from` on (attempts_watch.cpp); null, and why, if
    // there is no such attempt or the watchers are too many.
    std::shared_ptr<Watcher> watch(long long id, int from, const std::string& client,
                                   Refused& refused);
    // Another server kept batch `n` of attempt `id` (-1: ended it): its watchers here follow.
    void follow(long long id, int n);
    // The other servers' news was lost for a while: every game watched here catches up.
    void follow_all();
    // Attempts unheard for longer than the bound expire; games of attempts that ended, or that
    // another server now plays, are let go; an ended attempt's batches go after a while. Once a
    // second, with how many watch each game (from the store) for the answers.
    void sweep();

    const Rules& rules_kept() const { return rules; }
    // Batches waiting to be played.
    size_t waiting() { return verifiers.depth(); }
    // Batches waiting to be kept.
    size_t unwritten() { return writer.waiting(); }
    // Live games this server keeps, and their memory in bytes.
    size_t kept() const;
    size_t memory() const;

  private:
    // A game as this server knows it: the ledger, while it takes the game's batches; the game
    // played so far, while it plays them or someone here watches.
    struct Live {
        std::mutex ledger_mutex;
        std::optional<Attempt> ledger;  // ahead of the database by the batches not yet kept
        int kept = 0;                   // batches the database holds for good
        std::map<int, std::shared_ptr<const std::string>> unkept;  // taken, not yet kept
        std::atomic<bool> stale{false};  // a batch taken here was not kept: play again
        std::atomic<int> level{0};       // as last verified
        std::atomic<int> score{0};
        std::mutex mutex;  // the game's: one thread plays it at a time
        std::unique_ptr<LiveGame> game;
        int applied = 0;  // batches it has played
        std::atomic<long long> used{0};
    };
    std::shared_ptr<Live> live_of(long long id);
    void forget(long long id);
    // The batch writer's word on a batch: kept for good, or not (the ledger is read again).
    void written(const Store::BatchToKeep& batch);
    // A batch taken: the ledger moved on, the batch handed to the writer; false (nothing
    // changed) if the writer holds too many.
    bool take(Live& live, int n, const std::shared_ptr<const std::string>& lines,
              const Store::Progress& progress);
    // Batch `n` played on the game, and passed on to its watchers.
    LiveGame::Step play(const Attempt& a, Live& live, int n,
                        const std::shared_ptr<const std::string>& lines);
    // Why a batch that brings the game to `ticks` is late or early now, or "".
    std::string timing_fault(const Attempt& a, long long ticks, long long now) const;
    // Why a batch of these records is more than one may hold, or "".
    static std::string oversized(const RecordCounts& records);
    // Plays the attempt's game on to batch n, from what it holds of it and the database; how
    // it stands then.
    LiveGame::Step play_to(const Attempt& a, int n, Live& live);
    // The game of a watched attempt played here up to its newest batch, and its end told.
    void catch_up(long long id);
    // Batch n played on a verifier: an attempt whose recording goes wrong is refused.
    void verify(const Attempt& a, int n, const std::shared_ptr<const std::string>& lines);
    // The game's last batch played: its rank, or why not.
    AttemptReply settle(const Attempt& a, int n);
    AttemptReply ended(const Attempt& a, int n, const std::string& lines,
                       const LiveGame::Step& step, long long ticks, long long now);
    long long watchers_of(long long id) const;

    Store& store;
    Players& players;
    Broadcast& broadcast;
    Rules rules;
    std::string secret;
    mutable std::mutex mutex;
    std::unordered_map<long long, std::shared_ptr<Live>> games;
    std::unordered_map<long long, long long> watching;  // of each game, on every server
    BatchWriter writer;
    Workers verifiers;  // last: it finishes its jobs before the rest goes
};

// How an ended attempt ended, for its watchers.
WatchedEnd watched_end(const AttemptReply& reply);

// Where an attempt stands, as show() has it.
AttemptReply standing(const Attempt& a);
