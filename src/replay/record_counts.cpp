#include "replay/record_counts.h"

#include <algorithm>
#include <string_view>

RecordCounts count_records(const std::string& text) {
    RecordCounts n;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const size_t space = std::min(text.find(' ', at), end);
        const std::string_view word(text.data() + at, space - at);
        ++n.lines;
        n.headers += word == "velmora-replay" || word == "rand";
        n.ticks += word == "t";
        n.frames += word == "d";
        n.keys += word == "k";
        n.seeds += word == "seed";
        n.overs += word == "over";
        n.ends += word == "end";
        at = end + 1;
    }
    return n;
}
