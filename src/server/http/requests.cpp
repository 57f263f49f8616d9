#include <strings.h>

#include "server/http/clients.h"
#include "server/http/daemon.h"
#include "server/http/event_stream.h"
#include "server/http/metrics.h"
#include "server/http/static_files.h"
#include "server/store/store.h"

namespace {

using State = DaemonState;

MHD_Result collect_query(void* cls, MHD_ValueKind, const char* key, const char* value) {
    static_cast<Request*>(cls)->query[key] = value != nullptr ? value : "";
    return MHD_YES;
}

MHD_Result send(MHD_Connection* c, Exchange& x, const Answer& a) {
    const bool head = x.request.method == "HEAD";
    MHD_Response* r = MHD_create_response_from_buffer(
        head ? 0 : a.body.size(), const_cast<char*>(a.body.data()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(r, "Content-Type", a.content_type.c_str());
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    for (const auto& [name, value] : a.headers) {
        MHD_add_response_header(r, name.c_str(), value.c_str());
    }
    x.status = a.status;
    const MHD_Result queued = MHD_queue_response(c, static_cast<unsigned>(a.status), r);
    MHD_destroy_response(r);
    return queued;
}

Answer busy(int status, const std::string& message, int retry) {
    Answer a = error_answer(status, message);
    a.headers.push_back({"Retry-After", std::to_string(retry)});
    return a;
}

size_t body_limit(const Exchange& x) {
    return x.route != nullptr ? x.route->body_limit : 0;
}

Answer too_large(const Exchange& x) {
    const size_t limit = body_limit(x);
    if (limit == 0) {
        return error_answer(413, "this address takes no body");
    }
    return limit >= 1024 * 1024
               ? error_answer(413, "a recording is at most " + std::to_string(limit >> 20) + " MiB")
               : error_answer(413, "a batch is at most " + std::to_string(limit >> 10) +
                                       " KiB: send them more often");
}

// The bearer token of an Authorization header, or "".
std::string bearer_token(MHD_Connection* c) {
    const char* header = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Authorization");
    const std::string prefix = "Bearer ";
    if (header == nullptr || strncasecmp(header, prefix.c_str(), prefix.size()) != 0) {
        return "";
    }
    return header + prefix.size();
}

bool asks_before_sending(MHD_Connection* c) {
    const char* expect = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Expect");
    return expect != nullptr && strcasecmp(expect, "100-continue") == 0;
}

double seconds_now() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// Makes the answer on a worker while the connection is suspended; resumed with it.
MHD_Result defer(State& s, MHD_Connection* c, Exchange& x, std::function<Answer()> make,
                 bool must_run) {
    x.deferred = true;
    MHD_suspend_connection(c);
    Exchange* waiting = &x;
    const bool queued = s.workers.submit(
        [waiting, make, c] {
            Answer a;
            try {
                a = make();
            } catch (const StoreError& e) {
                Metrics::server().database_error();
                a = error_answer(500, std::string("the database failed: ") + e.what());
            }
            {
                std::lock_guard<std::mutex> lock(waiting->mutex);
                waiting->answer = std::move(a);
            }
            MHD_resume_connection(c);
        },
        must_run);
    if (!queued) {
        std::lock_guard<std::mutex> lock(x.mutex);
        x.answer = busy(503, "every verifier is busy: try again shortly", limits::kRetryAfter);
        MHD_resume_connection(c);
    }
    return MHD_YES;
}

MHD_Result serve_file(MHD_Connection* c, Exchange& x, const StaticFile& file) {
    MHD_Response* r = MHD_create_response_from_fd(static_cast<uint64_t>(file.size), file.fd);
    if (r == nullptr) {
        return send(c, x, error_answer(500, "cannot read the file"));
    }
    MHD_add_response_header(r, "Content-Type", file.content_type.c_str());
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    // Tells the page it came with a leaderboard, so a page served from plain files asks for none.
    MHD_add_response_header(r, "X-Velmora-Leaderboard", "api/v1/");
    x.status = 200;
    const MHD_Result queued = MHD_queue_response(c, 200, r);
    MHD_destroy_response(r);
    return queued;
}

// A request without a route: one of --web's files, or not found, or another method.
MHD_Result no_route(State& s, MHD_Connection* c, Exchange& x) {
    const std::string& path = x.request.path;
    const bool get = x.request.method == "GET" || x.request.method == "HEAD";
    if (!s.setup.web_root.empty() && get && !is_api_path(path)) {
        if (const std::optional<StaticFile> file = find_static(s.setup.web_root, path)) {
            x.label = "(page)";
            return serve_file(c, x, *file);
        }
    }
    if (!x.allowed.empty()) {
        Answer a = error_answer(405, "this address takes " + x.allowed);
        a.headers.push_back({"Allow", x.allowed});
        return send(c, x, a);
    }
    return send(c, x, error_answer(404, "no such address: " + path.substr(0, 100)));
}

}  // namespace

MHD_Result respond(State& s, MHD_Connection* c, Exchange& x) {
    if (x.deferred) {
        std::lock_guard<std::mutex> lock(x.mutex);
        return send(c, x, x.answer);  // resumed with the worker's answer
    }
    if (x.status != 0) {
        return MHD_YES;  // answered already: refused before its body was read
    }
    if (x.too_large) {
        return send(c, x, too_large(x));
    }
    if (x.too_many) {
        return send(c, x,
                    busy(503,
                         "more requests and bodies than the server holds at once: "
                         "try again shortly",
                         limits::kRetryAfter));
    }
    if (x.route == nullptr) {
        return no_route(s, c, x);
    }
    int retry = 0;
    if (x.route->rate_limited && !s.rate.allow(x.request.client, seconds_now(), retry)) {
        return send(c, x,
                    busy(429,
                         "too many submissions from this address: try again in " +
                             std::to_string(retry) + " s",
                         retry));
    }
    MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, collect_query, &x.request);
    const Route* route = x.route;
    if (route->runs == Route::Runs::kOnWorker) {
        const Request* request = &x.request;
        return defer(
            s, c, x,
            [route, request] {
                Reply reply = route->handler(*request);
                return reply.later ? reply.later() : reply.now;
            },
            false);
    }
    try {
        Reply reply = route->handler(x.request);
        if (reply.events) {
            return stream_events(s, c, x, reply.events);
        }
        return reply.later ? defer(s, c, x, reply.later, reply.must_run) : send(c, x, reply.now);
    } catch (const StoreError& e) {
        Metrics::server().database_error();
        return send(c, x, error_answer(500, std::string("the database failed: ") + e.what()));
    }
}

MHD_Result begin_request(State& s, MHD_Connection* c, Exchange& x) {
    x.route = s.routes.find(x.request.method, x.request.path, x.request.parts, x.allowed);
    x.label = x.route != nullptr ? x.route->path : "(none)";
    x.request.client = client_of(c, s.setup.trusted_proxy);
    {
        // Behind a proxy libmicrohttpd sees one address: the server counts its clients itself.
        std::lock_guard<std::mutex> lock(s.mutex);
        int& of_client = s.by_client[x.request.client];
        x.too_many = of_client >= limits::kRequestsPerClient;
        ++of_client;
        x.counted = true;
    }
    if (const char* type = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Type")) {
        x.request.content_type = type;
    }
    x.request.token = bearer_token(c);
    if (const char* id = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Last-Event-ID")) {
        x.request.last_event_id = id;
    }
    if (const char* key = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Velmora-Key")) {
        x.request.key = key;
    }
    const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Length");
    if (length != nullptr && std::strtoull(length, nullptr, 10) > body_limit(x)) {
        x.too_large = true;
        // A client that asks before sending waits for the answer: it gets it now. Any other
        // sends the whole body before it reads a word, and a connection closed under it leaves
        // it a broken pipe: what it sends is read and dropped, then it is answered.
        if (asks_before_sending(c)) {
            return send(c, x, too_large(x));
        }
    }
    return MHD_YES;
}

MHD_Result take_body(State& s, MHD_Connection* c, Exchange& x, const char* upload,
                     size_t* upload_size) {
    // Counted here too: a chunked body announces no length.
    if (!x.too_large && x.request.body.size() + *upload_size > body_limit(x)) {
        x.too_large = true;
        x.dropped = x.request.body.size();
        x.request.body = std::string();
    }
    if (!x.too_large && !x.too_many) {
        std::lock_guard<std::mutex> lock(s.mutex);
        x.too_many = s.bodies + *upload_size > limits::kBodiesInFlight;
        if (!x.too_many) {
            s.bodies += *upload_size;
            x.held += *upload_size;
        }
    }
    if (x.too_large || x.too_many) {
        x.dropped += *upload_size;
    } else {
        x.request.body.append(upload, *upload_size);
    }
    *upload_size = 0;
    if ((x.too_large || x.too_many) && x.dropped > limits::kMaxDropped && x.status == 0) {
        // Enough read for nothing: answer, and close.
        return send(c, x,
                    x.too_large ? too_large(x)
                                : busy(503, "more bodies than the server holds at once",
                                       limits::kRetryAfter));
    }
    return MHD_YES;
}

// Lets go of what a request held: its body's bytes, its place in its client's count.
void release(State& s, Exchange& x) {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.bodies -= x.held;
    x.held = 0;
    if (x.counted && --s.by_client[x.request.client] == 0) {
        s.by_client.erase(x.request.client);
    }
    x.counted = false;
}
