// A player's key: 32 random bytes from the system's generator, kept in the score folder
// (player-key, mode 0600), sent with every game so that the name it was first sent under stays
// this player's (the server keeps only a slow hash of it). To play under that name from another
// device, the key goes there as a short code: the key and the name in base 32, four letters a
// group, and a group of check letters, which catches a letter copied wrong.
#pragma once

#include <optional>
#include <string>

#include "desktop/score_file.h"

// The folder's key, made (and kept) if it has none yet; nothing, with `error`, if it can be
// neither read nor made.
std::optional<std::string> player_key(const ScoreFolder& folder, std::string& error);
// Keeps `key` as the folder's key, in place of any; false with `error`.
bool keep_player_key(const ScoreFolder& folder, const std::string& key, std::string& error);

// The name this player's games go under: the one its key came with (player-name, from
// --import-key), else the one the high-score table used last, else the login name.
std::string player_name(const ScoreFolder& folder);
// The name this player's games now go under (one the server took with its key).
void remember_player_name(const ScoreFolder& folder, const std::string& name);

// "VK1-ABCD-EFGH-...-WXYZ": the key (64 hex digits) and the name, and its check group.
std::string key_code(const std::string& key, const std::string& name);
// The key and the name a code holds; false, with `error`, if it is not a whole, right code
// (dashes, spaces and case do not matter).
bool read_key_code(const std::string& code, std::string& key, std::string& name,
                   std::string& error);

// velmora --export-key and --import-key CODE: said on `out`, or what went wrong on `err`; the
// exit status.
int export_key(std::FILE* out, std::FILE* err);
int import_key(const std::string& code, std::FILE* out, std::FILE* err);
