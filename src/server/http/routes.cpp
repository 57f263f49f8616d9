#include "server/http/routes.h"

#include "server/http/json.h"

Answer error_answer(int status, const std::string& message) {
    return Answer{status, json_error(message)};
}

Routes::Routes(Leaderboard& board, const RouteSetup& setup) {
    api(board, setup);
    attempts(board);
    admin(board, setup);
}

namespace {

std::vector<std::string> segments(const std::string& path) {
    std::vector<std::string> out;
    for (size_t at = 1; at <= path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        out.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// Whether `path` is the row's, its {parts} into `parts`.
bool matches(const char* pattern, const std::vector<std::string>& path,
             std::vector<std::string>& parts) {
    const std::vector<std::string> want = segments(pattern);
    if (want.size() != path.size()) {
        return false;
    }
    std::vector<std::string> found;
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i].front() == '{') {
            if (path[i].empty()) {
                return false;
            }
            found.push_back(path[i]);
        } else if (want[i] != path[i]) {
            return false;
        }
    }
    parts = std::move(found);
    return true;
}

}  // namespace

const Route* Routes::find(const std::string& method, const std::string& path,
                          std::vector<std::string>& parts, std::string& allowed) const {
    const std::string asked = method == "HEAD" ? "GET" : method;
    const std::vector<std::string> path_segments = segments(path);
    allowed.clear();
    for (const Route& row : rows) {
        std::vector<std::string> found;
        if (!matches(row.path, path_segments, found)) {
            continue;
        }
        if (asked == row.method) {
            parts = std::move(found);
            return &row;
        }
        allowed += (allowed.empty() ? "" : ", ") + std::string(row.method);
    }
    return nullptr;
}

bool is_api_path(const std::string& path) {
    return path == "/healthz" || path == "/metrics" || path.compare(0, 5, "/api/") == 0 ||
           path == "/api";
}
