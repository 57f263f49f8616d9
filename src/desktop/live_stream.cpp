#include "desktop/live_stream.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "desktop/json_fields.h"

namespace {

constexpr long kFirstWordSeconds = 10;  // for the server to answer the first time
constexpr int kTries = 5;               // connections in a row that bring nothing
constexpr long kRetryMs = 2000;         // between them (the server's "retry: 2000")
// The server says something every 15 s on a quiet stream: silence much longer is a lost one.
constexpr long kSilenceSeconds = 45;
// An event larger than any batch's can be is not the server's.
constexpr size_t kMaxEvent = 1 << 20;

struct Connection {
    LiveStream* stream;
    CURL* curl;
    long status = 0;
    std::string refusal;  // the body of an answer that is not the stream
};

}  // namespace

std::unique_ptr<LiveStream> LiveStream::open(const std::string& server, long long id,
                                             std::string& error) {
    std::unique_ptr<LiveStream> stream(
        new LiveStream(server + "/api/v1/attempts/" + std::to_string(id) + "/watch"));
    std::unique_lock<std::mutex> lock(stream->mutex);
    stream->answered.wait_for(lock, std::chrono::seconds(kFirstWordSeconds),
                              [&] { return stream->status != 0; });
    if (stream->status == 200) {
        return stream;
    }
    error = "the leaderboard at " + server +
            (stream->status == 0 ? " did not answer" : " " + stream->first_problem);
    lock.unlock();
    return nullptr;
}

LiveStream::LiveStream(std::string url_) : url(std::move(url_)), reader([this] { run(); }) {}

LiveStream::~LiveStream() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    answered.notify_all();
    reader.join();
}

void LiveStream::take(std::string& out, std::string& end) {
    std::lock_guard<std::mutex> lock(mutex);
    out.swap(lines);
    lines.clear();
    end.clear();
    if (!end_json.empty() && !end_taken) {
        end = end_json;
        end_taken = true;
    }
}

std::string LiveStream::lost() const {
    std::lock_guard<std::mutex> lock(mutex);
    return given_up;
}

void LiveStream::run() {
    int failed = 0;
    for (bool first = true;; first = false) {
        long long from;
        {
            std::lock_guard<std::mutex> lock(mutex);
            from = last_batch;
            unread.clear();
        }
        const bool more = connect(from);
        std::unique_lock<std::mutex> lock(mutex);
        if (first && status == 0) {
            status = -1;
            first_problem = "cannot be reached";
            answered.notify_all();
        }
        if (!more || stopping || status != 200) {
            return;
        }
        failed = last_batch == from ? failed + 1 : 0;
        if (failed == kTries) {
            given_up = "the stream was lost " + std::to_string(kTries) + " times in a row";
            return;
        }
        answered.wait_for(lock, std::chrono::milliseconds(kRetryMs), [this] { return stopping; });
        if (stopping) {
            return;
        }
    }
}

bool LiveStream::connect(long long last) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        return true;
    }
    Connection c{this, curl, 0, {}};
    curl_slist* headers = curl_slist_append(nullptr, "Accept: text/event-stream");
    if (last >= 0) {
        headers = curl_slist_append(headers, ("Last-Event-ID: " + std::to_string(last)).c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kSilenceSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &c);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* to) {
            Connection& c = *static_cast<Connection*>(to);
            if (c.status == 0) {
                curl_easy_getinfo(c.curl, CURLINFO_RESPONSE_CODE, &c.status);
                std::lock_guard<std::mutex> lock(c.stream->mutex);
                if (c.stream->status == 0 && c.status == 200) {
                    c.stream->status = 200;
                    c.stream->answered.notify_all();
                }
            }
            if (c.status != 200) {
                c.refusal.append(data, std::min(size * count, size_t{4096}));
            } else {
                c.stream->received(data, size * count);
            }
            return size * count;
        });
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(
        curl, CURLOPT_XFERINFOFUNCTION,
        +[](void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
            LiveStream& s = *static_cast<LiveStream*>(self);
            std::lock_guard<std::mutex> lock(s.mutex);
            return s.stopping || s.end_json.size() > 0 ? 1 : 0;
        });
    curl_easy_perform(curl);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    std::lock_guard<std::mutex> lock(mutex);
    if (c.status != 200 && c.status != 0) {
        const std::string error = text_of(parsed(c.refusal), "error");
        const std::string words =
            "answered " + std::to_string(c.status) + (error.empty() ? "" : ": " + error);
        if (status == 0) {
            status = c.status;
            first_problem = words;
            answered.notify_all();
        } else {
            given_up = "the leaderboard " + words;  // the game is gone (or the server busy)
        }
        return false;
    }
    return end_json.empty();
}

void LiveStream::received(const char* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex);
    unread.append(data, size);
    for (size_t end; (end = unread.find("\n\n")) != std::string::npos;) {
        event(unread.substr(0, end + 1));
        unread.erase(0, end + 2);
    }
    if (unread.size() > kMaxEvent) {
        unread.clear();  // not the server's: dropped rather than kept without bound
    }
}

// One event: its field lines ("event: batch", "id: 4", "data: t 80 1a2b3c4d", ...).
void LiveStream::event(const std::string& block) {
    std::string name = "message", data;
    long long id = -1;
    for (size_t at = 0; at < block.size(); at = block.find('\n', at) + 1) {
        const std::string line = block.substr(at, block.find('\n', at) - at);
        const size_t colon = line.find(':');
        const std::string field = line.substr(0, colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') {
            value.erase(0, 1);
        }
        if (field == "event") {
            name = value;
        } else if (field == "id") {
            id = std::strtoll(value.c_str(), nullptr, 10);
        } else if (field == "data") {
            data += value + "\n";
        }
    }
    if (name == "batch") {
        lines += data;
        last_batch = id >= 0 ? id : last_batch;
    } else if (name == "end") {
        end_json = data.empty() ? "{}" : data;
    }
}
