#include "desktop/player_key.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

constexpr const char* kFile = "player-key";
constexpr const char* kNameFile = "player-name";
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";  // RFC 4648's base 32
constexpr const char* kPrefix = "VK1";

bool well_formed(const std::string& key) {
    return key.size() == 64 && key.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// 32 bytes from the system's generator, as 64 hex digits; "" if it gives none.
std::string random_key() {
    unsigned char bytes[32];
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    const bool got = fd >= 0 && read(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
    if (fd >= 0) {
        close(fd);
    }
    if (!got) {
        return "";
    }
    std::string hex;
    for (const unsigned char b : bytes) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    return hex;
}

// FNV-1a of the bytes, the check group's 20 bits (the page works it out alike).
uint32_t check_of(const std::string& bytes) {
    uint32_t h = 2166136261u;
    for (const char c : bytes) {
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return h & 0xfffffu;
}

std::string base32(const std::string& bytes) {
    std::string out;
    uint32_t bits = 0;
    int have = 0;
    for (const char c : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(c);
        have += 8;
        while (have >= 5) {
            out += kAlphabet[(bits >> (have - 5)) & 31];
            have -= 5;
        }
    }
    if (have > 0) {
        out += kAlphabet[(bits << (5 - have)) & 31];
    }
    return out;
}

}  // namespace

std::optional<std::string> player_key(const ScoreFolder& folder, std::string& error) {
    if (std::optional<std::string> kept = folder.read_file(kFile)) {
        while (!kept->empty() && (kept->back() == '\n' || kept->back() == ' ')) {
            kept->pop_back();
        }
        if (well_formed(*kept)) {
            return kept;
        }
        error = folder.path() + "/" + kFile + " is not a player key (64 hex digits)";
        return std::nullopt;
    }
    const std::string key = random_key();
    if (key.empty() || !keep_player_key(folder, key, error)) {
        error = error.empty() ? "the system gives no random bytes" : error;
        return std::nullopt;
    }
    return key;
}

bool keep_player_key(const ScoreFolder& folder, const std::string& key, std::string& error) {
    if (!folder.write_private(kFile, key + "\n")) {
        error = folder.path() + "/" + kFile + " cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string player_name(const ScoreFolder& folder) {
    if (std::optional<std::string> kept = folder.read_file(kNameFile)) {
        while (!kept->empty() && kept->back() == '\n') {
            kept->pop_back();
        }
        if (!kept->empty()) {
            return *kept;
        }
    }
    std::FILE* quiet = std::fopen("/dev/null", "w");
    const std::string offered = first_name_offered(folder.read(quiet != nullptr ? quiet : stderr));
    if (quiet != nullptr) {
        std::fclose(quiet);
    }
    return offered.empty() ? "Player" : offered;
}

void remember_player_name(const ScoreFolder& folder, const std::string& name) {
    folder.write_private(kNameFile, name + "\n");
}

std::string key_code(const std::string& key, const std::string& name) {
    std::string bytes;
    for (size_t i = 0; i + 1 < key.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(key.substr(i, 2), nullptr, 16));
    }
    bytes += name;
    const std::string body = base32(bytes);
    const uint32_t check = check_of(bytes);
    std::string code = kPrefix;
    for (size_t i = 0; i < body.size(); i += 4) {
        code += "-" + body.substr(i, 4);
    }
    code += "-";
    for (int shift = 15; shift >= 0; shift -= 5) {
        code += kAlphabet[(check >> shift) & 31];
    }
    return code;
}

bool read_key_code(const std::string& code, std::string& key, std::string& name,
                   std::string& error) {
    std::string letters;
    for (const char c : code) {
        if (c != '-' && c != ' ') {
            letters += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    if (letters.compare(0, 3, kPrefix) != 0 || letters.size() < 3 + 52 + 4 + 1) {
        error = "not a player key's code (it starts VK1- and goes on for a few dozen letters)";
        return false;
    }
    const std::string body = letters.substr(3, letters.size() - 3 - 4);
    std::string bytes;
    uint32_t bits = 0;
    int have = 0;
    for (const char c : body) {
        const char* at = std::strchr(kAlphabet, c);
        if (at == nullptr || c == '\0') {
            error = std::string("the code holds a letter no code has: '") + c + "'";
            return false;
        }
        bits = (bits << 5) | static_cast<uint32_t>(at - kAlphabet);
        have += 5;
        if (have >= 8) {
            bytes += static_cast<char>((bits >> (have - 8)) & 0xff);
            have -= 8;
        }
    }
    const uint32_t check = check_of(bytes);
    std::string expected;
    for (int shift = 15; shift >= 0; shift -= 5) {
        expected += kAlphabet[(check >> shift) & 31];
    }
    if (bytes.size() < 33 || letters.substr(letters.size() - 4) != expected) {
        error = "the code's check letters do not match: a letter was copied wrong";
        return false;
    }
    key.clear();
    for (size_t i = 0; i < 32; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        key += "0123456789abcdef"[b >> 4];
        key += "0123456789abcdef"[b & 15];
    }
    name = bytes.substr(32);
    return true;
}

int export_key(std::FILE* out, std::FILE* err) {
    std::string error;
    const std::optional<ScoreFolder> folder = ScoreFolder::open(error);
    std::optional<std::string> key = folder ? player_key(*folder, error) : std::nullopt;
    if (!key) {
        std::fprintf(err, "velmora: no player key: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "%s\n", key_code(*key, player_name(*folder)).c_str());
    return 0;
}

int import_key(const std::string& code, std::FILE* out, std::FILE* err) {
    std::string key, name, error;
    if (!read_key_code(code, key, name, error)) {
        std::fprintf(err, "velmora: %s\n", error.c_str());
        return 2;
    }
    const std::optional<ScoreFolder> folder = ScoreFolder::open(error);
    if (!folder || !keep_player_key(*folder, key, error) ||
        !folder->write_private(kNameFile, name + "\n")) {
        error = error.empty() ? folder->path() + "/" + kNameFile + " cannot be written" : error;
        std::fprintf(err, "velmora: the key is not kept: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(out, "velmora: the key of %s is kept in %s/%s: games sent from here go under %s\n",
                 name.c_str(), folder->path().c_str(), kFile, name.c_str());
    return 0;
}
