// What an operator does to run the board, from the command line on the server's database
// (velmora-server admin ...) or over HTTP for tools (/api/v1/admin/..., only with the token
// given at start-up in --admin-token-file; without one those paths are not there). Each change
// goes to the log with who made it and why.
//
//   list [--board B] [--name N] [--since DATE]   the games, newest first, hidden ones too
//   hide GAME [--reason TEXT]                    off every board, its recording kept
//   unhide GAME [--reason TEXT]
//   ban NAME [--reason TEXT]                     refuses it new games and hides its games
//   release NAME [--reason TEXT]                 frees it for a new key
//   log                                          what operators did
#pragma once

#include <cstdio>
#include <string>

#include "server/api.h"
#include "server/store.h"

// `velmora-server admin ARGS...` (argv from "admin" on); the exit status.
int admin_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// An /api/v1/admin/ request; `token_hash` the SHA-256 of the operator's token, "" when none was
// given (every such path is then not found).
Answer admin_request(const Request& request, Store& store, const std::string& token_hash);
bool is_admin_path(const std::string& path);

// `velmora-server backup FILE [--db URL]`: a consistent copy of an SQLite database, made while
// servers go on using it; the exit status.
int backup_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
