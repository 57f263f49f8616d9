// Things of one kind a minute, per address or per name (submissions, wrong keys): each may have
// `per_minute` a minute, in bursts of as many, refilled evenly (a token bucket). Kept in memory,
// per server: behind a proxy with several servers each holds its own count. Remembers at most
// limits::kRateAddresses of them, forgetting the one heard from longest ago.
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
    // Whether it may now, taking nothing.
    bool has_left(const std::string& address, double now, int& retry_after);

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
