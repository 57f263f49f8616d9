#include "server/board/rate_limit.h"

#include <algorithm>
#include <cmath>

#include "server/limits.h"

RateLimit::RateLimit(int per_minute) : per_second(per_minute / 60.0), burst(per_minute) {}

bool RateLimit::allow(const std::string& address, double now, int& retry_after) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = buckets.find(address);
    if (it == buckets.end()) {
        if (buckets.size() >= limits::kRateAddresses) {
            buckets.erase(by_age.back());
            by_age.pop_back();
        }
        by_age.push_front(address);
        it = buckets.emplace(address, Bucket{burst, now, by_age.begin()}).first;
    } else {
        by_age.splice(by_age.begin(), by_age, it->second.age);
    }
    Bucket& b = it->second;
    b.tokens = std::min(burst, b.tokens + (now - b.updated) * per_second);
    b.updated = now;
    if (b.tokens >= 1) {
        b.tokens -= 1;
        return true;
    }
    retry_after = per_second > 0 ? static_cast<int>(std::ceil((1 - b.tokens) / per_second)) : 60;
    return false;
}

bool RateLimit::has_left(const std::string& address, double now, int& retry_after) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = buckets.find(address);
    if (it == buckets.end()) {
        return true;
    }
    const double tokens =
        std::min(burst, it->second.tokens + (now - it->second.updated) * per_second);
    if (tokens >= 1) {
        return true;
    }
    retry_after = per_second > 0 ? static_cast<int>(std::ceil((1 - tokens) / per_second)) : 60;
    return false;
}
