// How many of each record a piece of a recording holds, told by each line's first word alone:
// a live batch's size and its end, seen before any of it is read for real (reader.h reads it).
#pragma once

#include <string>

struct RecordCounts {
    long lines = 0;
    long headers = 0;  // the format's and the random sequence's lines
    long ticks = 0;
    long frames = 0;
    long keys = 0;
    long seeds = 0;
    long overs = 0;
    long ends = 0;
};
RecordCounts count_records(const std::string& text);
