// The fields of a recording's records, read strictly: plain decimal numbers within their
// field's range, check values of eight lowercase hex digits, and the summaries' outcomes. Each
// refusal sets `error` to the problem, without the line number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "replay/replay_file.h"

// The largest tick number a recording may hold.
constexpr uint32_t kMaxTick = 2147483647;

// The words of a line, split at every single space (so "a  b" has an empty word).
std::vector<std::string> split(const std::string& line);
// A whole number in plain decimal digits, at most `max`; `field` names it in the error.
bool parse_number(const std::string& word, uint32_t max, const char* field, uint32_t& out,
                  std::string& error);
bool parse_check(const std::string& word, uint32_t& out, std::string& error);
// "ticks=N level=L score=S lives=V", the words after the record's name (words[0]).
bool parse_outcome(const std::vector<std::string>& words, Outcome& o, std::string& error);
