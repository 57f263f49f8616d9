// Every limit of the leaderboard service, in one place, each with its reason.
#pragma once

#include <cstddef>

namespace limits {

// A recording of an hour's game is under 2 MiB; twice that is room, and no more is read.
constexpr size_t kMaxBody = 4 * 1024 * 1024;
// A body over that is read and dropped, so that a client sending it all before it reads (most
// do not ask first) reads the 413 instead of a broken pipe, as nginx does; past this much the
// 413 goes at once and the connection closes.
constexpr size_t kMaxDropped = 64 * 1024 * 1024;
// An hour at 20 ticks a second: verifying longer games would let one client hold a worker.
constexpr long kMaxTicks = 72000;
// The collision tests a verification may make, per tick of its recording on average: a step
// tests every bullet against every rock and invader, and a recording may hold any number of
// shots a tick and leave its bullets undrawn (bullets expire as they are drawn). A real game
// stays near a thousand (fifty bullets among twenty rocks and invaders); this bounds a hostile
// one's cost to a few seconds of a worker.
constexpr long long kTestsPerTick = 5000;
// Keys between two ticks: a player holding every key on auto-repeat presses a few; a recording
// with thousands would make as many bullets at once, each memory the verifier holds.
constexpr int kKeysPerTick = 100;
// A name is 1 to 20 characters once trimmed: enough for a name, short enough for a table.
constexpr int kNameMin = 1;
constexpr int kNameMax = 20;
// Rows of the score table per request: the page shows ten.
constexpr int kScoresDefault = 10;
constexpr int kScoresMax = 100;
// Verifications waiting for a worker, per worker: a burst is served, a flood gets 503.
constexpr int kQueuePerWorker = 8;
// What a client is told to wait after a 503 or a 429, in seconds.
constexpr int kRetryAfter = 5;
// Submissions per address per minute, unless --submit-rate says otherwise.
constexpr int kSubmitRate = 30;
// Addresses the rate limit remembers; past that the one heard from longest ago is forgotten.
constexpr size_t kRateAddresses = 100000;
// Seconds a client may stay idle or slow before it is cut off, and how many times that a whole
// request may take to come in, however it trickles (one byte every few seconds keeps a
// connection from being idle); the answer's making does not count.
constexpr unsigned kConnectionTimeout = 10;  // unless --client-timeout says
constexpr unsigned kRequestTimeouts = 2;
// Bytes of request bodies held at once, all requests together: one client's 4 MiB upload is
// room, thousands of half-sent bodies are not; past it a body is refused with 503.
constexpr size_t kBodiesInFlight = 32 * 1024 * 1024;
// Requests at once from one client, as the server counts clients (behind a trusted proxy, the
// address the proxy names; libmicrohttpd counts the connections of a direct one).
constexpr int kRequestsPerClient = 64;
// A request for a ranked game: a small JSON object.
constexpr size_t kMaxAttemptBody = 4 * 1024;
// Connections at once, and from one address: the threads stay few, a client cannot take all.
constexpr unsigned kMaxConnections = 8192;
constexpr unsigned kConnectionsPerAddress = 64;
// What libmicrohttpd keeps for each connection, its headers and what it reads at once (bodies
// are the handlers' own): a live game holds its connection, thousands at once.
constexpr size_t kConnectionMemory = 16 * 1024;
// Threads that read requests and answer the quick ones (the verification has its own).
constexpr unsigned kHttpThreads = 4;
// Ranked games played live (attempts.h).
// Live attempts from one address at once: a household or a classroom behind one address plays
// a few; a script dealing itself thousands of layouts to look through is held to this.
constexpr long long kLiveAttemptsPerAddress = 16;
// A batch of a live game: a second of play is under a kilobyte, a minute of it (a client
// that lost its connection and sends what it held) under 64 KiB; a minute's ticks at most, and
// for each tick it brings (a batch without one counts as one) at most so many keys (a player on
// auto-repeat presses a few a tick) and its frame.
constexpr size_t kMaxBatch = 64 * 1024;
constexpr long kBatchTicks = 1200;
constexpr long kBatchKeysPerTick = 20;
// How often a client sends its batch, and how far a game may run ahead of the server's clock
// (the client's timer against the server's, one batch's worth of network) before it is taken
// for a game played faster than real time.
constexpr long long kBatchEveryMs = 1000;
constexpr long long kAheadMs = 500;
// A batch may bring no more play than the time since the last one, and this credit, which
// fills again as time passes without play (a late batch, a network's hiccup) and never beyond:
// a game played slowly cannot be made up later by playing it fast.
constexpr long long kBatchCreditMs = 2000;
// A batch that ends its game kept and not settled (its settling lost with a server, say) is
// settled by the housekeeping this long after it came.
constexpr long long kSettleAfterMs = 2000;
// How far behind real time a live game may fall: a pause, a network stall, a slow start.
// Further behind, it is refused (slow motion, a pause past this) unless --lag-bound says.
constexpr long long kLagBoundMs = 10000;
// A live attempt unheard for the bound and this much more expires.
constexpr long long kExpiryGraceMs = 5000;
// Live batches waiting to be played, beyond which they are played by the thread that took them
// (slower answers, never a batch left unplayed); and how far those threads yield to the ones
// that answer (a nice value).
constexpr size_t kLiveQueue = 8192;
constexpr int kVerifierNice = 10;
// Wrong player keys a minute, from one address and for one name: a player mistyping a code
// tries a few; a script trying keys against a name is held to this, before any hash is made.
constexpr int kWrongKeysPerMinute = 10;
// Batches of live games are kept in groups (board/batch_writer.h): a group goes this many
// milliseconds after its first batch came, or at once with this many; past this many waiting
// (a database slowed down or gone), a batch is answered 503 and sent again.
constexpr long long kWriteEveryMs = 5;
constexpr size_t kWriteGroup = 256;
constexpr size_t kWriteQueue = 16384;
// Watching a live game (board/broadcast.h), on each server. Watchers of one game: a crowd; of
// one address: a household or a classroom behind one, a screen each; in all: the connections
// the server holds beside its live games.
constexpr size_t kWatchersPerGame = 1000;
constexpr size_t kWatchersPerAddress = 32;
constexpr size_t kWatchers = 4096;
// The last batches of a watched game kept for its watchers (a second each): beyond them a
// watcher reads the database, and one that stays this far behind without taking anything in a
// second is dropped (its client may come back where it stopped).
constexpr int kFeedBatches = 10;
constexpr int kWatcherBehind = 8;
// A watcher's connection sends at most this much before its client has read it (the kernel's
// buffer, which the server does not count in its memory); and a comment every so many seconds
// when nothing else comes, so that proxies keep the connection and a client gone is found.
constexpr int kWatchSendBuffer = 16 * 1024;
constexpr long long kKeepAliveMs = 15000;
// Batches read from the database at a time for a watcher catching up with a game.
constexpr int kCatchUpBatches = 8;
// An ended game's batches stay this long for those who watch it.
constexpr long long kLeftoverMs = 60000;
// Live games listed at once.
constexpr int kLiveDefault = 10;
constexpr int kLiveMax = 100;
// A token's random bytes: 256 bits, past any guessing.
constexpr int kTokenBytes = 32;
// Seconds in-flight requests get to finish once the server is asked to stop.
constexpr int kShutdownGrace = 30;

}  // namespace limits
