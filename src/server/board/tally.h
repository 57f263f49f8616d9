// What the board has verified and what it has refused, by the kind of reason, counted for the
// operators (GET /metrics reads it: http/metrics.h). Refusals are counted where they are made,
// on whichever thread makes them.
#pragma once

#include <map>
#include <mutex>
#include <string>

class Tally {
  public:
    // The one tally the server keeps.
    static Tally& board();

    void verified();
    void refused(const std::string& reason);

    long long verifications() const;
    std::map<std::string, long long> refusals() const;

    // The kind of a refusal's reason ("diverged", "too_fast", ...), a word Prometheus can carry.
    static std::string kind_of(const std::string& reason);

  private:
    mutable std::mutex mutex;
    long long verified_count = 0;
    std::map<std::string, long long> by_kind;
};
