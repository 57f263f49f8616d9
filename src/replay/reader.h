// Reading a recording: untrusted text, taken in pieces as it arrives (from a file, a page or a
// request body) and checked record by record. Anything that is not a recording this build can
// replay is refused with the line and the problem ("3: unknown key 'x'"); memory grows with
// the length of the text, never with a number written in it, and no line is held beyond the
// longest a recording may have.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "replay/replay_file.h"

// Where a reading stands between two pieces of a recording read apart (a live game's batches):
// the next line's number and what the records so far allow next.
struct ReaderPosition {
    int line = 1;
    int version = kReplayVersion;
    uint32_t ticks = 0;
    bool any_game = false;
    bool ended = false;
};

class ReplayReader {
  public:
    // Fills `file`. A recording made with another random sequence than `probe` is refused.
    ReplayReader(const RandProbe& probe, ReplayFile& file);
    // The same, going on from `from`: the records read land in `file`, numbered on.
    ReplayReader(const RandProbe& probe, ReplayFile& file, const ReaderPosition& from);
    ~ReplayReader();
    ReplayReader(const ReplayReader&) = delete;
    ReplayReader& operator=(const ReplayReader&) = delete;

    // The next bytes of the text; false once it is known to be faulty.
    bool feed(const char* data, size_t size);
    // The text has ended: false if it is faulty or incomplete.
    bool finish();
    // "LINE: problem", once feed or finish has returned false.
    const std::string& error() const { return problem; }
    // The number of the line being read.
    int line_read() const { return line_number; }
    // Where it stands, once the text read so far ends on a whole line.
    ReaderPosition position() const;

  private:
    bool take_line();

    class Records;
    std::unique_ptr<Records> records;  // the record-by-record checks
    std::string line;                  // the line being read, without its newline
    int line_number = 1;
    bool failed = false;
    std::string problem;
};

// A whole recording from `in` or from `text`; false with `error` ("LINE: problem").
bool read_replay(std::FILE* in, const RandProbe& probe, ReplayFile& file, std::string& error);
bool read_replay_text(const std::string& text, const RandProbe& probe, ReplayFile& file,
                      std::string& error);
