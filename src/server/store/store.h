// Where the leaderboard keeps its games and its live attempts: one schema on either database
// (sql.h), created and migrated by the server, every statement prepared, every write one
// transaction, a few connections for the server's threads to share.
//
// Games sit on boards: "open" and "daily" take the games played live against the seeds the
// server dealt (the daily one a board a day), "uploaded" the recordings sent whole.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/store/sql.h"

// The boards a game may sit on: the games played live against the seeds the server dealt
// (open; daily, a board a day), and the recordings sent whole (uploaded).
enum class Board { kOpen, kDaily, kUploaded };
// How far an attempt has come: live while its batches come; then ranked on its board, played
// (verified, unranked), quit (left before GAME OVER), refused, or expired (silent too long).
enum class AttemptState { kLive, kRanked, kPlayed, kQuit, kRefused, kExpired };

// Each as the database and the API write it ("open", "live"), and back.
const char* name_of(Board board);
const char* name_of(AttemptState state);
std::optional<Board> board_named(const std::string& name);
std::optional<AttemptState> state_named(const std::string& name);

// A game as a board holds it.
struct Entry {
    long long id = 0;
    std::string name;
    int score = 0;
    int level = 0;
    int lives = 0;
    long long ticks = 0;    // of the ranked game
    std::string submitted;  // UTC, "2026-12-07T20:11:03.123456Z"
    long long rank = 0;     // on its board: 1 for the best (higher score, fewer ticks, earlier)
    Board board = Board::kUploaded;
    std::string day;      // the daily board's day, "2026-12-08"; "" on the others
    bool hidden = false;  // by an operator: on no board, its recording kept
};

// A verified game to keep.
struct NewGame {
    std::string content_hash;  // SHA-256 of the recording, in hex: one row per recording
    std::string name;
    std::string name_key;  // the name as names are told apart (board/names.h)
    int score;
    int level;
    int lives;
    long long ticks;
    std::string submitted;
    std::string recording;
    Board board = Board::kUploaded;
    std::string day = "";
    // Its seed and keys, tick by tick, hashed: a copy of a game under other frames has the same
    // one ("" for a live game's: the server dealt its seed).
    std::string fingerprint = "";
};

// An attempt to play a ranked game, as the server dealt it and as far as it has come.
struct Attempt {
    long long id = 0;
    std::string token_hash;      // SHA-256 of the token its client holds
    Board board = Board::kOpen;  // open or daily
    std::string day;             // the daily board's day
    unsigned seed = 0;
    std::string name;
    std::string player;   // who plays: the daily board ranks one attempt a day of each
    std::string client;   // the address it came from
    bool ranked = false;  // it goes to its board when it ends; else it plays unranked
    AttemptState state = AttemptState::kLive;
    std::string reason;     // why it is not ranked, once it is not
    long long started = 0;  // microseconds since the epoch, on the server's clock
    long long seen = 0;     // when its last batch came
    int batches = 0;        // kept so far
    long long ticks = 0;    // played so far
    long long game = 0;     // the game it ranked, once it has
    long long credit = 0;   // ms of play a batch may bring beyond the time since the last one
    bool ends = false;      // its last batch kept holds the game's end: it is to be settled
    std::string key_hash;   // its player's key's hash, to hold the name once the game verifies
    int level = 0;          // as last verified; at its end, the game's
    int score = 0;
    int lives = 0;  // once it has ended
};

// A live game as the list of games being played shows it.
struct LiveEntry {
    long long attempt = 0;
    Board board = Board::kOpen;
    std::string day;
    std::string name;
    int level = 0;
    int score = 0;
    long long ticks = 0;
    long long watchers = 0;  // on every server
};

// A name as the board holds it.
struct Player {
    std::string name_key;  // the name as names are told apart (names.h)
    std::string name;      // as it was first written
    std::string key_hash;  // the hash of its player's key; "" when nobody holds it
    bool banned = false;
    std::string since;
    std::string skeleton;  // what it looks like (names.h)
};

// One thing an operator did.
struct LogEntry {
    long long id = 0;
    std::string at;      // UTC
    std::string who;     // the operator: a login name, or "http:ADDRESS"
    std::string action;  // hide, unhide, ban, release
    std::string target;  // the game's number or the name
    std::string reason;
};

class Store {
  public:
    // `listen_url`: the PostgreSQL database's, for news_about_batches ("" on SQLite).
    Store(std::unique_ptr<SqlPool> pool, std::string listen_url);

    // Keeps `game` unless a recording with its content is kept already (on any server), or its
    // board holds a game of its fingerprint (the same game, other frames): the entry as kept,
    // or the one it copies.
    struct Kept {
        Entry entry;
        enum class How { kAdded, kKeptAlready, kCopy } how;
    };
    Kept add(const NewGame& game);
    // The game of the board `game` goes to with its fingerprint and another recording, if any.
    std::optional<long long> copied(const NewGame& game);
    std::optional<Entry> entry(long long id);
    std::optional<std::string> recording(long long id);
    // Games on a board in all.
    long long total(Board board = Board::kUploaded, const std::string& day = "");
    // `limit` entries of a board from rank offset + 1 on, best first.
    std::vector<Entry> page(int limit, long long offset, Board board = Board::kUploaded,
                            const std::string& day = "");
    // Whether the database answers.
    bool healthy();
    // The database's housekeeping (sql.h), from a thread of its own.
    void tidy();

    // One of the server's secrets ("daily", which the daily seeds come from; "players", the
    // players' keys' hash key): made by whichever server asks first, the same for every server
    // after.
    std::string secret(const std::string& name, const std::string& made_if_none);
    // Keeps a new attempt; on the daily board it is ranked only if it is the player's first
    // ranked attempt of its day. The attempt as kept.
    Attempt add_attempt(const Attempt& attempt);
    std::optional<Attempt> attempt(long long id);
    // Attempts still live from one address; from all.
    long long live_attempts(const std::string& client);
    long long live_attempts();
    // The bodies of batches from..to-1 of an attempt, in order.
    std::vector<std::string> batches(long long id, int from, int to);
    // How far a live attempt has come with a batch: when it came, the ticks played then, the
    // time credit left, and whether the batch ends the game.
    struct Progress {
        long long seen;
        long long ticks;
        long long credit;
        bool ends;
        int level = 0;  // as last verified
        int score = 0;
    };
    // Keeps the next batch of a live attempt with how far it has come; false if the attempt is
    // no longer live or that batch is kept already (by another server, or a retry).
    bool add_batch(long long id, int batch, const std::string& body, const Progress& progress);
    // Batches of live attempts to keep together.
    struct BatchToKeep {
        long long attempt;
        int batch;
        std::shared_ptr<const std::string> body;
        Progress progress;
        bool kept = false;  // set by keep_batches
    };
    // Keeps each batch that is still its attempt's next, all in one durable transaction, and
    // tells the other servers which were kept; `kept` says which were.
    void keep_batches(std::vector<BatchToKeep>& batches);
    // What the servers say of the attempts as they keep their batches and end them: "SERVER
    // ID:BATCH ID:end ...", SERVER the name each gave announce_as. Null on SQLite, where one
    // server is all there is.
    std::unique_ptr<SqlListener> news_about_batches(std::string& error);
    // The name this server's news goes by; set once, before the store is shared.
    void announce_as(const std::string& server) { announcer = server; }
    const std::string& announced_as() const { return announcer; }
    // The live games of a board (a day's, on the daily one), best first: `limit` of them.
    std::vector<LiveEntry> live_games(Board board, const std::string& day, int limit);
    // How many watch each game on `server` now, for the games whose count changed (0: none).
    void count_watchers(const std::string& server,
                        const std::vector<std::pair<long long, long long>>& counts);
    // How many watch each live game watched anywhere.
    std::vector<std::pair<long long, long long>> watchers();
    // The batches of attempts that ended before `ended_before` go.
    long long drop_leftovers(long long ended_before);
    // Ends a live attempt, with batch `batch` if `body` holds one: its `state` and `reason`,
    // and for a ranked one its game on its board, the recording made of its batches (`game`'s
    // own is not used), whose entry goes to `ranked`. False if the attempt was no longer live
    // (or that batch kept already). Its batches stay a while for whoever watches it (see
    // drop_leftovers); a ranked game's recording is its own.
    struct Ending {
        AttemptState state;
        std::string reason;
        long long seen;
        long long ticks;
        const NewGame* game;  // null unless it ranks
        int level = 0;        // how the game stood at its end
        int score = 0;
        int lives = 0;
    };
    bool end_attempt(long long id, int batch, const std::string& body, const Ending& ending,
                     Entry* ranked);
    // Attempts live but unheard since `seen_before` expire, with `reason`: those that did. One
    // whose last batch ends its game is settled instead (unsettled: those heard from before
    // `seen_before`).
    std::vector<long long> expire_attempts(long long seen_before, const std::string& reason);
    std::vector<Attempt> unsettled(long long seen_before);

    // The holder of a name, if anyone holds it or it is banned.
    std::optional<Player> player(const std::string& name_key);
    // Another name that looks like it (the same skeleton), held by a key whose hash is not
    // `key_hash`, if there is one.
    std::optional<Player> look_alike(const std::string& skeleton, const std::string& name_key,
                                     const std::string& key_hash);
    // Holds the name for the key whose hash is `key_hash`, unless another key holds it (or a
    // name that looks like it) already: the holder then, of the name or of its look-alike.
    Player hold_name(const std::string& name_key, const std::string& name,
                     const std::string& key_hash, const std::string& skeleton);
    // A held name's key hash made anew (the same key, hashed another way).
    void rehash(const std::string& name_key, const std::string& old_hash,
                const std::string& new_hash);
    // Names held before skeletons were kept, and a skeleton for one of them.
    std::vector<Player> players_without_skeleton();
    void set_skeleton(const std::string& name_key, const std::string& skeleton);

    // What operators do, each written to the log with who did it and why. The games (hidden
    // ones too) newest first, of a board and a name when given, from a day on.
    std::vector<Entry> list_games(const std::string& board, const std::string& name_key,
                                  const std::string& since, int limit);
    // Takes a game off its board, its recording kept, or puts it back; false if there is no
    // such game or it is so already.
    bool hide(long long game, bool hidden, const std::string& who, const std::string& reason);
    // Refuses the name any new game and hides its games; how many it hid.
    long long ban(const std::string& name_key, const std::string& name, const std::string& who,
                  const std::string& reason);
    // Frees a name for a new key (a ban stays); false if nobody held it.
    bool release(const std::string& name_key, const std::string& who, const std::string& reason);
    std::vector<LogEntry> admin_log(int limit);

  private:
    // A row of schema::kColumns.
    static Entry entry_of(const SqlRow& row);
    long long rank_of(SqlConnection& c, const Entry& e);
    std::optional<Entry> entry_on(SqlConnection& c, const std::string& where,
                                  const SqlValue& value);
    std::pair<long long, bool> insert_game(SqlConnection& c, const NewGame& game,
                                           const std::string& recording);
    // Tells the other servers `news` (PostgreSQL), within the transaction under way.
    void announce(SqlConnection& c, const std::string& news);
    // Moves a live attempt on past batch `batch`; false if it is not there any more.
    static bool take_batch(SqlConnection& c, long long id, int batch, const std::string& body,
                           const Progress& progress);
    void note(SqlConnection& c, const std::string& who, const std::string& action,
              const std::string& target, const std::string& reason);

    std::unique_ptr<SqlPool> pool;
    const std::string listen_url;
    std::string announcer;
};

// "sqlite:PATH" or "postgresql://USER@HOST:PORT/DB" (anything libpq takes after
// "postgresql://"), with `connections` connections, its schema made or brought up to date.
// Null, with `error`, if it cannot be opened or its schema made.
std::unique_ptr<Store> open_store(const std::string& url, int connections, std::string& error);

// SHA-256 of `bytes`, 64 lowercase hex digits.
std::string content_hash(const std::string& bytes);
// Now, as the table writes it.
std::string utc_now();
