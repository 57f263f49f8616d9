// A live game's stream from the leaderboard (GET /api/v1/attempts/ID/watch, server-sent
// events), read on a thread of its own so that the window never waits for the network: the
// recording's lines as each batch comes, then the verified end. A connection lost is opened
// again from the last batch had (Last-Event-ID), as a browser's EventSource does, a few times
// before the stream is given up.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class LiveStream {
  public:
    // Opens the stream of attempt `id` and waits for the server's first word; null, with
    // `error` (the server and why), if it cannot be reached or has no such game.
    static std::unique_ptr<LiveStream> open(const std::string& server, long long id,
                                            std::string& error);
    ~LiveStream();
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // What came since the last call: whole lines of the recording, and the end's JSON once it
    // has come ("" before).
    void take(std::string& lines, std::string& end);
    // Why the stream was given up before its end ("" while it goes on or once it has ended).
    std::string lost() const;

  private:
    LiveStream(std::string url);
    void run();
    // One connection, from after batch `last` (-1: from the start); false once it has ended.
    bool connect(long long last);
    // The bytes of the stream: whole events are taken, the rest kept for the next ones.
    void received(const char* data, size_t size);
    void event(const std::string& block);

    const std::string url;
    mutable std::mutex mutex;
    std::condition_variable answered;  // the first connection's status is known
    long status = 0;                   // of the first connection, once known (-1: unreached)
    std::string first_problem;
    std::string unread;    // bytes of an event not yet whole
    std::string lines;     // lines not yet taken
    std::string end_json;  // the end, once it has come
    bool end_taken = false;
    long long last_batch = -1;
    std::string given_up;
    bool stopping = false;
    std::thread reader;
};
