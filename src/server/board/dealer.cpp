#include "server/board/dealer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "server/store/sql.h"

std::string random_hex(int bytes) {
    std::string raw(static_cast<size_t>(bytes), '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(raw.data()), bytes) != 1) {
        throw StoreError("the system's random generator failed");
    }
    std::string hex;
    for (const unsigned char c : raw) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

unsigned random_seed() {
    unsigned char raw[4];
    if (RAND_bytes(raw, sizeof raw) != 1) {
        throw StoreError("the system's random generator failed");
    }
    return static_cast<unsigned>(raw[0]) << 24 | static_cast<unsigned>(raw[1]) << 16 |
           static_cast<unsigned>(raw[2]) << 8 | raw[3];
}

unsigned daily_seed(const std::string& secret, const std::string& day) {
    const std::string message = "velmora daily " + day;
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), mac, &size);
    return static_cast<unsigned>(mac[0]) << 24 | static_cast<unsigned>(mac[1]) << 16 |
           static_cast<unsigned>(mac[2]) << 8 | mac[3];
}

bool same_hash(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

long long now_micros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string utc_day(long long micros) {
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

bool valid_day(const std::string& day) {
    if (day.size() != 10 || day[4] != '-' || day[7] != '-') {
        return false;
    }
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (day[i] < '0' || day[i] > '9') {
            return false;
        }
    }
    std::tm t{};
    t.tm_year = std::stoi(day.substr(0, 4)) - 1900;
    t.tm_mon = std::stoi(day.substr(5, 2)) - 1;
    t.tm_mday = std::stoi(day.substr(8, 2));
    t.tm_hour = 12;
    const std::time_t when = timegm(&t);
    return utc_day(static_cast<long long>(when) * 1000000) == day;
}
