// A ranked game's client on the desktop (velmora --ranked): it asks the leaderboard for an
// attempt, whose seed the game then plays, and sends the game's recording as it grows, a batch
// a second, from a thread of its own, so that the game never waits for the network. It says
// how the game stands, for the screen, and at the end its verified rank or why it is not
// ranked. A batch the network lost is sent again as it was, until the server's bound runs out;
// with several servers (--server A,B: one board's), a server out of reach is left for the
// next, which is sent again every batch since the last one kept for good.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RankedClient {
  public:
    // An attempt on the open board (or today's daily one) for `name`, from the first of the
    // `servers` (URLs, comma-separated) that answers; null, with `error` (the server and why),
    // if none can be reached or it deals none.
    // `key` is the player's (player_key.h), which the name belongs to; "" for none.
    static std::unique_ptr<RankedClient> deal(const std::string& servers, bool daily,
                                              const std::string& name, const std::string& key,
                                              std::string& error);
    // Sends what is left (the recording's end) and waits for the answer, a few seconds at most.
    void close();
    ~RankedClient() { close(); }
    RankedClient(const RankedClient&) = delete;
    RankedClient& operator=(const RankedClient&) = delete;

    unsigned seed() const { return dealt_seed; }
    // The recording so far: its whole lines are sent with the next batch. Once it holds the
    // game's end (over, or end when the player quits), it is sent at once.
    void update(const std::string& recording);
    // For the screen: "RANKED open board" (and how many watch it), then its rank or why not; on the
    // pause screen, how long the game may stay paused and still be ranked.
    std::string status(bool paused) const;
    // The line for the terminal once it has ended: "ranked: rank 3 on the open board ...".
    std::string summary() const;
    bool finished() const;

  private:
    RankedClient(std::vector<std::string> servers, std::string attempt, std::string token,
                 unsigned seed, std::string board, long long bound_ms, long long credit_ms);
    void send_batches();
    bool deliver(int last);
    // Sends one batch: whether a server took it (or answered for good), and the batch to send
    // next.
    struct Sent {
        bool taken;
        int next;
    };
    Sent send(int batch, const std::string& lines);
    // The attempt's end, from the server's answer: its state and what to say.
    void ended(const std::string& state, const std::string& words);

    const std::vector<std::string> servers;
    size_t at = 0;  // the one in use
    const std::string attempt;
    const std::string token;
    const unsigned dealt_seed;
    const std::string board;
    const long long bound_ms;
    const long long dealt_at;  // the steady clock, in ms, when the attempt was dealt
    // The play the server takes in the next batch beyond the time until it comes (its credit),
    // as of its last answer, and when that came.
    long long credit_ms;
    long long answered_at;
    long long watchers = 0;  // of the game, as of the last answer

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::string pending;  // whole lines not yet in a batch
    std::string partial;  // the recording's last line while it is not whole
    // The sender's own: batches sent and not yet kept for good, by number; the first of them
    // (what the server last said it keeps), and the next to send.
    std::map<int, std::string> unkept;
    int kept = 0;
    int next_batch = 0;
    size_t taken = 0;       // bytes of the recording handed over so far
    long ticks = 0;         // in the lines handed over
    bool complete = false;  // the recording's end is in
    bool stopping = false;
    bool over = false;       // the attempt has ended, one way or another
    std::string said;        // what the screen says once it has ended
    std::string final_line;  // and the terminal
    std::thread sender;
};
