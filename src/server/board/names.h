// Player names on the leaderboard: 1 to 20 characters once spaces are trimmed from both ends,
// each a printable Unicode letter or digit, a space, '-', '_' or '.', in one script (as ICU's
// spoof checker counts them: Latin with a Cyrillic look-alike letter is two; Japanese's Han, kana
// and Latin together are one). Anything else is refused with the reason, in words.
#pragma once

#include <optional>
#include <string>

// The name, trimmed, or nothing with `error` set. `raw` is the query's value, already
// percent-decoded: its bytes must be UTF-8.
std::optional<std::string> valid_name(const std::string& raw, std::string& error);

// The name as names are told apart: its Unicode NFKC case folding (ICU), so that "Ana", "ANA"
// and "Ａｎａ" are one player's.
std::string name_key(const std::string& name);
// What the name looks like (ICU's confusable skeleton of its key): names whose letters look
// alike across alphabets ("TOP" in Latin, "ТОР" in Cyrillic) share one, and so one holder.
std::string name_skeleton(const std::string& name);
