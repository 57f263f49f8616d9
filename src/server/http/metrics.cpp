#include "server/http/metrics.h"

#include <cstdio>

#include "server/board/players.h"
#include "server/board/tally.h"

namespace {

// A label's value as the text format wants it: backslash, quote and line break escaped.
std::string label(const std::string& value) {
    std::string out;
    for (const char c : value) {
        out += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return out;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

}  // namespace

Metrics& Metrics::server() {
    static Metrics kept;
    return kept;
}

void Metrics::request(const std::string& route, int status, double seconds) {
    const std::string& shape = route;
    std::lock_guard<std::mutex> lock(mutex);
    ++requests[{shape, status}];
    Histogram& h = latency[shape];
    for (size_t i = 0; i < kBuckets.size(); ++i) {
        h.at_most[i] += seconds <= kBuckets[i];
    }
    ++h.count;
    h.sum += seconds;
}

void Metrics::database_error() {
    std::lock_guard<std::mutex> lock(mutex);
    ++database_errors;
}

std::string Metrics::text(long long queue_depth, long long live_attempts) const {
    std::lock_guard<std::mutex> lock(mutex);
    std::string out =
        "# HELP velmora_http_requests_total Requests answered, by path and status.\n"
        "# TYPE velmora_http_requests_total counter\n";
    for (const auto& [key, n] : requests) {
        out += "velmora_http_requests_total{path=\"" + label(key.first) + "\",status=\"" +
               std::to_string(key.second) + "\"} " + std::to_string(n) + "\n";
    }
    out +=
        "# HELP velmora_http_request_duration_seconds Time from a request's first byte to its "
        "answer.\n# TYPE velmora_http_request_duration_seconds histogram\n";
    for (const auto& [path, h] : latency) {
        const std::string name = "velmora_http_request_duration_seconds";
        for (size_t i = 0; i < kBuckets.size(); ++i) {
            out += name + "_bucket{path=\"" + label(path) + "\",le=\"" + number(kBuckets[i]) +
                   "\"} " + std::to_string(h.at_most[i]) + "\n";
        }
        out += name + "_bucket{path=\"" + label(path) + "\",le=\"+Inf\"} " +
               std::to_string(h.count) + "\n" + name + "_sum{path=\"" + label(path) + "\"} " +
               number(h.sum) + "\n" + name + "_count{path=\"" + label(path) + "\"} " +
               std::to_string(h.count) + "\n";
    }
    out +=
        "# HELP velmora_verifications_total Games verified and ranked.\n"
        "# TYPE velmora_verifications_total counter\n"
        "velmora_verifications_total " +
        std::to_string(Tally::board().verifications()) +
        "\n"
        "# HELP velmora_refusals_total Games refused, by reason.\n"
        "# TYPE velmora_refusals_total counter\n";
    for (const auto& [kind, n] : Tally::board().refusals()) {
        out += "velmora_refusals_total{reason=\"" + label(kind) + "\"} " + std::to_string(n) + "\n";
    }
    out +=
        "# HELP velmora_database_errors_total Database calls that failed.\n"
        "# TYPE velmora_database_errors_total counter\n"
        "velmora_database_errors_total " +
        std::to_string(database_errors) +
        "\n"
        "# HELP velmora_slow_key_checks_total Argon2id checks of player keys kept from before.\n"
        "# TYPE velmora_slow_key_checks_total counter\n"
        "velmora_slow_key_checks_total " +
        std::to_string(Players::slow_checks()) +
        "\n"
        "# HELP velmora_queue_depth Jobs waiting for a verifier.\n"
        "# TYPE velmora_queue_depth gauge\n"
        "velmora_queue_depth " +
        std::to_string(queue_depth) +
        "\n"
        "# HELP velmora_live_attempts Ranked games being played now, on every server.\n"
        "# TYPE velmora_live_attempts gauge\n"
        "velmora_live_attempts " +
        std::to_string(live_attempts) + "\n";
    return out;
}
