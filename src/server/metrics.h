// What the server has done, for Prometheus (GET /metrics with --metrics), in its text format:
// requests by path and status, their latency, verifications by result, refusals by reason,
// database errors; the queue and the live attempts as they stand when asked.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>

class Metrics {
  public:
    // The one set the server keeps.
    static Metrics& server();

    // A request answered in `seconds`; its path is counted by its shape ("/api/v1/games/:id").
    void request(const std::string& path, int status, double seconds);
    // A game verified (uploaded, or a live game's end) as "verified", or refused: the reason's
    // kind ("diverged", "too_fast", ...) is worked out of its words.
    void verified();
    void refused(const std::string& reason);
    void database_error();

    std::string text(long long queue_depth, long long live_attempts) const;

    // The kind of a refusal's reason, a word Prometheus can carry.
    static std::string refusal_kind(const std::string& reason);
    static std::string path_shape(const std::string& path);

  private:
    static constexpr std::array<double, 12> kBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                        0.05,   0.1,   0.25,   0.5,   1,    2.5};
    struct Histogram {
        std::array<long long, kBuckets.size()> at_most{};
        long long count = 0;
        double sum = 0;
    };

    mutable std::mutex mutex;
    std::map<std::pair<std::string, int>, long long> requests;
    std::map<std::string, Histogram> latency;
    long long verifications = 0;
    std::map<std::string, long long> refusals;
    long long database_errors = 0;
};
