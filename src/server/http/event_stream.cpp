#include "server/http/event_stream.h"

#include <sys/socket.h>

#include "server/http/answers.h"
#include "server/http/daemon.h"
#include "server/limits.h"

// One connection's stream: the watcher, and the text of the events it is writing.
struct EventStream {
    std::shared_ptr<Watcher> watcher;
    MHD_Connection* connection = nullptr;
    int socket = -1;
    std::mutex mutex;
    std::string text;  // events taken, written from `sent` on
    size_t sent = 0;
    bool suspended = false;
    bool finished = false;  // the last event is taken
};

namespace {

// How long a client that lost the stream waits before it asks again (EventSource's retry).
constexpr const char* kRetry = "retry: 2000\n\n";

void cut(EventStream& stream) {
    if (stream.socket >= 0) {
        shutdown(stream.socket, SHUT_RDWR);
    }
}

// Fills `stream.text` with what the watcher has, up to `want` bytes waiting.
void take_events(EventStream& stream, size_t want) {
    while (!stream.finished && stream.text.size() - stream.sent < want) {
        std::optional<WatchEvent> e;
        try {
            e = stream.watcher->next();
        } catch (const StoreError& error) {
            e = WatchEvent{WatchEvent::Kind::kGone, 0, nullptr, nullptr,
                           std::string("the database failed: ") + error.what()};
        }
        if (!e) {
            return;
        }
        stream.text.erase(0, stream.sent);
        stream.sent = 0;
        stream.text += event_text(*e);
        stream.finished = e->kind == WatchEvent::Kind::kEnd || e->kind == WatchEvent::Kind::kGone;
    }
}

ssize_t read_events(void* cls, uint64_t, char* buffer, size_t max) {
    EventStream& stream = **static_cast<std::shared_ptr<EventStream>*>(cls);
    std::lock_guard<std::mutex> lock(stream.mutex);
    take_events(stream, max);
    const size_t waiting = stream.text.size() - stream.sent;
    if (waiting > 0) {
        const size_t n = std::min(waiting, max);
        stream.text.copy(buffer, n, stream.sent);
        stream.sent += n;
        return static_cast<ssize_t>(n);
    }
    if (stream.finished) {
        return MHD_CONTENT_READER_END_OF_STREAM;
    }
    // Nothing now: the watcher's wake resumes the connection.
    stream.suspended = true;
    MHD_suspend_connection(stream.connection);
    return 0;
}

}  // namespace

std::string event_text(const WatchEvent& e) {
    switch (e.kind) {
        case WatchEvent::Kind::kBatch: {
            std::string text = "event: batch\nid: " + std::to_string(e.batch) + "\n";
            const std::string& lines = *e.lines;
            for (size_t at = 0; at < lines.size();) {
                const size_t end = std::min(lines.find('\n', at), lines.size());
                text.append("data: ").append(lines, at, end - at).append("\n");
                at = end + 1;
            }
            return text + "\n";
        }
        case WatchEvent::Kind::kEnd:
            return "event: end\ndata: " + end_json(*e.end) + "\n\n";
        case WatchEvent::Kind::kKeepAlive:
            return ": still here\n\n";
        case WatchEvent::Kind::kGone:
            break;
    }
    std::string why = e.why;
    for (char& ch : why) {
        ch = ch == '\n' || ch == '\r' ? ' ' : ch;
    }
    return ": " + why + "\n\n";
}

MHD_Result stream_events(DaemonState& s, MHD_Connection* c, Exchange& x,
                         std::shared_ptr<Watcher> watcher) {
    auto stream = std::make_shared<EventStream>();
    stream->watcher = std::move(watcher);
    stream->connection = c;
    stream->text = kRetry;
    if (const MHD_ConnectionInfo* info =
            MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD)) {
        stream->socket = info->connect_fd;
        // What the kernel holds for a watcher that reads slowly is bounded too.
        setsockopt(stream->socket, SOL_SOCKET, SO_SNDBUF, &limits::kWatchSendBuffer,
                   sizeof limits::kWatchSendBuffer);
    }
    const std::weak_ptr<EventStream> weak = stream;
    stream->watcher->on_wake([weak](bool drop) {
        const std::shared_ptr<EventStream> st = weak.lock();
        if (!st) {
            return;
        }
        std::lock_guard<std::mutex> lock(st->mutex);
        if (drop) {
            cut(*st);
        }
        if (st->suspended) {
            st->suspended = false;
            MHD_resume_connection(st->connection);
        }
    });
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.streams[stream.get()] = stream;
    }
    auto* held = new std::shared_ptr<EventStream>(stream);
    MHD_Response* r =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, read_events, held, [](void* cls) {
            auto* st = static_cast<std::shared_ptr<EventStream>*>(cls);
            (*st)->watcher->close();
            delete st;
        });
    MHD_add_response_header(r, "Content-Type", "text/event-stream");
    MHD_add_response_header(r, "Cache-Control", "no-store");
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    // A proxy in front passes each event on as it comes.
    MHD_add_response_header(r, "X-Accel-Buffering", "no");
    x.status = 200;
    x.stream = stream.get();
    const MHD_Result queued = MHD_queue_response(c, 200, r);
    MHD_destroy_response(r);
    return queued;
}

void end_streams(DaemonState& s) {
    std::vector<std::shared_ptr<EventStream>> all;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (const auto& [key, weak] : s.streams) {
            if (std::shared_ptr<EventStream> st = weak.lock()) {
                all.push_back(std::move(st));
            }
        }
    }
    for (const std::shared_ptr<EventStream>& st : all) {
        std::lock_guard<std::mutex> lock(st->mutex);
        st->finished = true;
        if (st->suspended) {
            st->suspended = false;
            MHD_resume_connection(st->connection);
        } else {
            cut(*st);  // writing, or stuck on a client that reads nothing
        }
    }
}
