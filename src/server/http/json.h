// The few JSON objects the service answers with, written out: strings escaped as JSON wants
// (the names are valid UTF-8 by then), numbers as they are.
#pragma once

#include <string>

class JsonObject {
  public:
    JsonObject& add(const std::string& key, const std::string& value);
    JsonObject& add(const std::string& key, const char* value) {
        return add(key, std::string(value));
    }
    JsonObject& add(const std::string& key, long long value);
    JsonObject& add(const std::string& key, int value) {
        return add(key, static_cast<long long>(value));
    }
    JsonObject& add(const std::string& key, long value) {
        return add(key, static_cast<long long>(value));
    }
    JsonObject& add_bool(const std::string& key, bool value) {
        return add_raw(key, value ? "true" : "false");
    }
    // `json` is already JSON (an object, an array).
    JsonObject& add_raw(const std::string& key, const std::string& json);
    std::string text() const { return body + "}"; }

  private:
    void key_of(const std::string& key);
    std::string body = "{";
};

// s as a JSON string, quotes included.
std::string json_string(const std::string& s);
// {"error": message}
std::string json_error(const std::string& message);
