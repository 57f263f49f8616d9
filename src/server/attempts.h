// Ranked games played live. The server deals an attempt (its seed and a token); the client
// sends the attempt's recording as it grows, a batch at least once a second. A batch is judged
// on arrival by its time (its ticks may come neither faster than real time nor further behind
// it than the bound, a pause counts as time), kept, answered, and played at once, from where the
// last one left off, on threads that yield to those that answer: the attempt is refused as soon
// as its recording goes another way, and the next answer says so. The batch that holds its
// GAME OVER is answered once it is played, with the game's rank on its board.
//
// Everything an attempt is lies in the database (its row and its batches), so any server can
// take its next batch: a server keeps only a snapshot of each game it has played, to go on
// from, and catches up from the database on the batches another server took.
//
//   POST /api/v1/attempts                  {"board": "open"|"daily", "name": N, "key": K, "day": D}
//   POST /api/v1/attempts/ID/records?batch=N   (Authorization: Bearer TOKEN) the lines
//   GET  /api/v1/attempts/ID
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "server/api.h"
#include "server/live_game.h"
#include "server/players.h"
#include "server/store.h"
#include "server/workers.h"

class Attempts {
  public:
    struct Rules {
        long long ahead_ms;  // how far ahead of real time a tick may come (clocks, batching)
        long long bound_ms;  // how far behind real time a game may fall (pauses, stalls)
        int verifiers = 1;   // threads playing the batches; 0: each played as it is taken
    };
    Attempts(Store& store, Players& players, const Rules& rules);

    // A new attempt for the client at `client`, from the request's JSON body.
    Answer create(const std::string& body, const std::string& client);
    // Batch `batch` of attempt `id`, shown with `token`.
    Answer batch(long long id, const std::string& batch, const std::string& token,
                 const std::string& lines);
    // Where attempt `id` stands.
    Answer show(long long id);
    // Attempts unheard for longer than the bound expire; games of attempts that ended, or that
    // another server now plays, are let go.
    void sweep();

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
    // Plays the attempt's game on to batch n, from the database; how it stands then.
    LiveGame::Step play_to(const Attempt& a, int n, Live& live);
    // Batch n played on a verifier: an attempt whose recording goes wrong is refused.
    void verify(const Attempt& a, int n, const std::string& lines);
    // The game's last batch played: its rank, or why not.
    Answer settle(const Attempt& a, int n);
    Answer ended(const Attempt& a, int n, const std::string& lines, const LiveGame::Step& step,
                 long long ticks, long long now);

    Store& store;
    Players& players;
    Rules rules;
    std::string secret;
    mutable std::mutex mutex;
    std::unordered_map<long long, std::shared_ptr<Live>> games;
    Workers verifiers;  // last: it finishes its jobs before the rest goes
};
