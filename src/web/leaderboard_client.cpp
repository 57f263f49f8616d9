// In the page, the leaderboard is the page's own (its Leaderboard table and Submit score
// button): the desktop's commands have nothing to run on.
#include "app/leaderboard_client.h"

namespace {

int desktop_only(std::FILE* err) {
    std::fprintf(err,
                 "velmora: --submit and --leaderboard are the desktop's; the page sends "
                 "its games with Submit score\n");
    return 2;
}

}  // namespace

int submit_recording(const std::string&, const std::string&, const std::string&, std::FILE*,
                     std::FILE* err) {
    return desktop_only(err);
}

int print_leaderboard(const std::string&, const std::string&, std::FILE*, std::FILE* err) {
    return desktop_only(err);
}

std::string leaderboard_server(const std::string& option) {
    return option;
}
