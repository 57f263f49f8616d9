#include "server/store.h"

#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "server/store_engines.h"

std::unique_ptr<Store> open_store(const std::string& url, int connections, std::string& error) {
    const std::string sqlite = "sqlite:";
    if (url.compare(0, sqlite.size(), sqlite) == 0 && url.size() > sqlite.size()) {
        return open_sqlite_store(url.substr(sqlite.size()), connections, error);
    }
    if (url.compare(0, 13, "postgresql://") == 0 || url.compare(0, 11, "postgres://") == 0) {
        return open_postgres_store(url, connections, error);
    }
    error = "unknown database '" + url + "' (sqlite:PATH or postgresql://USER@HOST:PORT/DB)";
    return nullptr;
}

std::string content_hash(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

std::string utc_now() {
    const auto now = std::chrono::system_clock::now();
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long long>(micros % 1000000));
    return text;
}
