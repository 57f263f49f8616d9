// Submissions per address: each address may submit `per_minute` games a minute, in bursts of
// as many, refilled evenly (a token bucket). Kept in memory, per server: behind a proxy with
// several servers each holds its own count. Remembers at most limits::kRateAddresses
// addresses, forgetting the one heard from longest ago.
#pragma once

#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

class RateLimit {
  public:
    explicit RateLimit(int per_minute);

    // Whether `address` may submit now (`now` in seconds); if not, `retry_after` says in how
    // many whole seconds it may.
    bool allow(const std::string& address, double now, int& retry_after);

  private:
    struct Bucket {
        double tokens;
        double updated;
        std::list<std::string>::iterator age;  // place in `by_age`
    };

    double per_second;
    double burst;
    std::mutex mutex;
    std::unordered_map<std::string, Bucket> buckets;
    std::list<std::string> by_age;  // most recently heard first
};
