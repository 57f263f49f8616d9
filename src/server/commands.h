// velmora-server's commands besides serving, run on the database from the command line:
//
//   admin [--db URL] list [--board B] [--name N] [--since DATE]   the games, hidden ones too
//   admin [--db URL] hide GAME | unhide GAME | ban NAME | release NAME [--reason TEXT]
//   admin [--db URL] log                                          what operators did
//   backup FILE [--db sqlite:PATH]          a consistent copy of an SQLite database, in use
//
// The database is --db, else $VELMORA_DB, else sqlite:./velmora-scores.db.
#pragma once

#include <cstdio>

// `velmora-server admin ARGS...` and `velmora-server backup ARGS...` (argv from the command's
// name on): the exit status.
int admin_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
int backup_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err);
