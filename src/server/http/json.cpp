#include "server/http/json.h"

#include <cstdio>

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string json_error(const std::string& message) {
    return JsonObject().add("error", message).text();
}

void JsonObject::key_of(const std::string& key) {
    if (body.size() > 1) {
        body += ", ";
    }
    body += json_string(key) + ": ";
}

JsonObject& JsonObject::add(const std::string& key, const std::string& value) {
    key_of(key);
    body += json_string(value);
    return *this;
}

JsonObject& JsonObject::add(const std::string& key, long long value) {
    key_of(key);
    body += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::add_raw(const std::string& key, const std::string& json) {
    key_of(key);
    body += json;
    return *this;
}
