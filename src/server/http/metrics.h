// What the server has done, for Prometheus (GET /metrics with --metrics), in its text format:
// requests by route and status, their latency, database errors; the board's verifications and
// refusals by reason (board/tally.h); the queue and the live attempts as they stand when asked.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>

class Metrics {
  public:
    // The one set the server keeps.
    static Metrics& server();

    // A request answered in `seconds`, counted by its route ("/api/v1/games/{id}": one of the
    // route table's few, never the path as asked).
    void request(const std::string& route, int status, double seconds);
    void database_error();

    std::string text(long long queue_depth, long long live_attempts) const;

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
    long long database_errors = 0;
};
