// A request as a route's handler sees it, and the answer it makes: a status, a body and its
// headers. Only the route handlers (routes*.cpp) write statuses and headers.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct Request {
    std::string method;  // HEAD is answered as GET, without the body
    std::string path;
    std::map<std::string, std::string> query;
    std::string body;
    std::string token;               // the Authorization header's bearer token, if any
    std::string client;              // who asked: the address, or behind a proxy the one it names
    std::string key;                 // the player key (X-Velmora-Key), if any
    std::string content_type;        // the body's, as the client named it
    std::string last_event_id;       // where an event stream it watched before stopped
    std::vector<std::string> parts;  // what the route's {id} and {name} matched, in order

    // A query value, "" when it is not there.
    std::string arg(const char* name) const {
        const auto it = query.find(name);
        return it == query.end() ? std::string() : it->second;
    }
};

struct Answer {
    Answer() = default;
    Answer(int status_, std::string body_, std::string content_type_ = "application/json")
        : status(status_), body(std::move(body_)), content_type(std::move(content_type_)) {}

    int status = 200;
    std::string body;
    std::string content_type = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
};

class Watcher;

// What a handler gives back: an answer now, or one to make on a verification worker while the
// connection waits (a game's settling: its rank once every batch is played), or a game's
// events as they come, to a watcher (text/event-stream).
struct Reply {
    Reply(Answer now_) : now(std::move(now_)) {}
    Reply(std::shared_ptr<Watcher> watcher) : events(std::move(watcher)) {}
    // `must_run`: made even when every worker is busy (a game's settling is never turned
    // away for load: its client would lose the game).
    Reply(std::function<Answer()> job, bool must_run_ = false)
        : later(std::move(job)), must_run(must_run_) {}
    Answer now;
    std::function<Answer()> later;
    bool must_run = false;
    std::shared_ptr<Watcher> events;
};

// {"error": message} with `status`.
Answer error_answer(int status, const std::string& message);
