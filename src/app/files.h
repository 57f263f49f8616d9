// The desktop's own files (the score folder's, the settings): read whole, and written whole
// or not at all.
#pragma once

#include <sys/types.h>

#include <string>

// mkdir -p: each folder of `path` made if missing, private to its owner as the XDG folders are.
bool make_folders(const std::string& path);
// A file's whole text; false if it cannot be read.
bool read_text(const std::string& path, std::string& text);
// Writes `text` to `path`, in the folder `dir`, so that it is there whole or not at all: a
// temporary file, flushed, renamed over it, and the folder flushed so the rename lasts.
bool replace_file(const std::string& dir, const std::string& path, const std::string& text,
                  mode_t mode = 0644);
// Now, in UTC, as `format` (strftime's) writes it.
std::string utc_now(const char* format);
// For file names: no colons ("20261208T211117Z").
std::string compact_date();
