// Player names on the leaderboard: 1 to 20 characters once spaces are trimmed from both ends,
// each a printable Unicode letter or digit, a space, '-', '_' or '.'. Anything else is refused
// with the reason, in words.
#pragma once

#include <optional>
#include <string>

// The name, trimmed, or nothing with `error` set. `raw` is the query's value, already
// percent-decoded: its bytes must be UTF-8.
std::optional<std::string> valid_name(const std::string& raw, std::string& error);

// The name as names are told apart: two names with the same key are one player's.
std::string name_key(const std::string& name);
