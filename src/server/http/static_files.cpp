#include "server/http/static_files.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string content_type_of(const std::string& path) {
    static const struct {
        const char* ending;
        const char* type;
    } kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".wasm", "application/wasm"},
        {".css", "text/css; charset=utf-8"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".json", "application/json"},
        {".replay", "text/plain; charset=utf-8"},
        {".txt", "text/plain; charset=utf-8"},
    };
    for (const auto& t : kTypes) {
        const std::string ending = t.ending;
        if (path.size() >= ending.size() &&
            path.compare(path.size() - ending.size(), ending.size(), ending) == 0) {
            return t.type;
        }
    }
    return "application/octet-stream";
}

}  // namespace

std::optional<StaticFile> find_static(const std::string& root, const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos ||
        path.find('\0') != std::string::npos || path.find('\\') != std::string::npos) {
        return std::nullopt;
    }
    char real_root[PATH_MAX];
    char real_file[PATH_MAX];
    const std::string wanted = root + (path == "/" ? "/index.html" : path);
    if (realpath(root.c_str(), real_root) == nullptr ||
        realpath(wanted.c_str(), real_file) == nullptr) {
        return std::nullopt;
    }
    // Symbolic links may not lead out of the folder either.
    const std::string inside = std::string(real_root) + "/";
    if (std::string(real_file).compare(0, inside.size(), inside) != 0) {
        return std::nullopt;
    }
    const int fd = open(real_file, O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) {
            close(fd);
        }
        return std::nullopt;
    }
    return StaticFile{fd, info.st_size, content_type_of(real_file)};
}
