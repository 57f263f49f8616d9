// The leaderboard's answers as the desktop reads them: JSON, each field taken only if it is
// there and of its kind, so that a server that answers oddly never stops the client.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// The body's JSON, or a null value if it is not JSON.
inline nlohmann::json parsed(const std::string& body) {
    return nlohmann::json::parse(body, nullptr, false);
}

// A field, or "" or 0 where it is missing or of another kind.
inline std::string text_of(const nlohmann::json& o, const char* key) {
    return o.is_object() && o.contains(key) && o[key].is_string() ? o[key].get<std::string>() : "";
}

inline long long number_of(const nlohmann::json& o, const char* key) {
    return o.is_object() && o.contains(key) && o[key].is_number_integer() ? o[key].get<long long>()
                                                                          : 0;
}
