// LD_PRELOAD shim for the real-window tests, each log a file named by the environment and each
// line starting with the monotonic clock in milliseconds:
// - VELMORA_TICK_LOG: every glutTimerFunc call (the game arms its timer once per tick), with
//   the delay and the toolkit's elapsed time the game read last (GLUT_ELAPSED_TIME, -1 for
//   none): the game's own clock, which no stamp taken by the shim can be late to;
// - VELMORA_SWAP_LOG: every picture shown, and with VELMORA_PICTURE_BOX="x y width height"
//   (window pixels, from the bottom left) which pixels of that box it lit, in hexadecimal, a
//   bit a pixel, row by row: when a picture first showed what a key did;
// - VELMORA_KEY_LOG: every key the game's keyboard callback is given, as it arrives;
// - VELMORA_HOLD_TICKS and VELMORA_HOLD_DIR: the game held after chosen ticks (hold_after).
// Each call is then handed on to the toolkit.
// With VELMORA_FAKE_VSYNC=HZ it also plays a driver that offers swap control
// (GLX_MESA_swap_control) and, once asked for it, makes each swap wait for the next of HZ
// refreshes a second, as vsync does; VELMORA_VSYNC_LOG notes each interval asked for.
#include <GL/gl.h>
#include <GL/glut.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

double now_ms() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// One log; a write that fails closes it rather than slow the game down.
class Log {
  public:
    explicit Log(const char* variable) {
        const char* path = std::getenv(variable);
        fd = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644) : -1;
    }
    bool on() const { return fd >= 0; }
    void line(const std::string& text) {
        const std::string out = format("%.3f", now_ms()) + text + "\n";
        if (fd >= 0 && write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
            close(fd);
            fd = -1;
        }
    }
    static std::string format(const char* pattern, ...) {
        char text[64];
        va_list args;
        va_start(args, pattern);
        std::vsnprintf(text, sizeof text, pattern, args);
        va_end(args);
        return text;
    }

  private:
    int fd;
};

template <typename F>
F real_one(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The lit pixels of the picture box in the back buffer, about to be shown.
std::string box_lit() {
    static int box[4] = {0, 0, 0, 0};
    static const bool boxed = [] {
        const char* text = std::getenv("VELMORA_PICTURE_BOX");
        return text && std::sscanf(text, "%d %d %d %d", &box[0], &box[1], &box[2], &box[3]) == 4 &&
               box[2] > 0 && box[3] > 0;
    }();
    if (!boxed) {
        return "";
    }
    using ReadPixels = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
    static const ReadPixels read =
        reinterpret_cast<ReadPixels>(dlsym(RTLD_DEFAULT, "glReadPixels"));
    std::vector<unsigned char> rgb(static_cast<size_t>(box[2] * box[3] * 3));
    read(box[0], box[1], box[2], box[3], GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::string hex = " ";
    for (size_t i = 0; i < rgb.size() / 3; i += 4) {
        int nibble = 0;
        for (size_t j = i; j < i + 4; ++j) {
            const bool lit =
                j < rgb.size() / 3 && rgb[j * 3] + rgb[j * 3 + 1] + rgb[j * 3 + 2] > 300;
            nibble = nibble << 1 | (lit ? 1 : 0);
        }
        hex += "0123456789abcdef"[nibble];
    }
    return hex;
}

// The fake driver's refresh rate (0: none) and the swap interval the game asked for.
const double fake_hz = [] {
    const char* hz = std::getenv("VELMORA_FAKE_VSYNC");
    return hz ? std::atof(hz) : 0.0;
}();
unsigned swap_interval = 0;

int fake_swap_interval(unsigned interval) {
    static Log log("VELMORA_VSYNC_LOG");
    log.line(Log::format(" %u", interval));
    swap_interval = interval;
    return 0;
}

void wait_for_refresh() {
    const double period = 1000 / fake_hz;
    const double until = (static_cast<long long>(now_ms() / period) + 1) * period;
    for (double left = until - now_ms(); left > 0; left = until - now_ms()) {
        usleep(static_cast<useconds_t>(left * 1000));
    }
}

// VELMORA_HOLD_TICKS="60 62 65" with VELMORA_HOLD_DIR=DIR: right after each of those ticks the
// game makes DIR/held-N and waits until DIR/go-N is there. A key a test sends meanwhile is
// taken before the next tick, however slow the machine (the toolkit reads input, then timers).
void hold_after(int tick) {
    static const std::vector<int> ticks = [] {
        std::vector<int> out;
        const char* text = std::getenv("VELMORA_HOLD_TICKS");
        for (const char* at = text; at != nullptr && *at != '\0';) {
            char* end = nullptr;
            out.push_back(static_cast<int>(std::strtol(at, &end, 10)));
            at = end != at ? end : nullptr;
        }
        return out;
    }();
    const char* dir = std::getenv("VELMORA_HOLD_DIR");
    bool held = false;
    for (const int t : ticks) {
        held = held || t == tick;
    }
    if (!held || dir == nullptr) {
        return;
    }
    const std::string at = std::string(dir) + "/held-" + std::to_string(tick);
    const std::string go = std::string(dir) + "/go-" + std::to_string(tick);
    close(open(at.c_str(), O_WRONLY | O_CREAT, 0644));
    while (access(go.c_str(), F_OK) != 0) {
        usleep(1000);
    }
}

int elapsed_read = -1;  // the last GLUT_ELAPSED_TIME the game was given

using KeyboardFunc = void (*)(unsigned char, int, int);
KeyboardFunc game_keyboard = nullptr;

void logged_keyboard(unsigned char key, int x, int y) {
    static Log log("VELMORA_KEY_LOG");
    log.line(Log::format(" %d", key));
    game_keyboard(key, x, y);
}

}  // namespace

extern "C" int glutGet(GLenum what) {
    using Get = int (*)(GLenum);
    static const Get real = real_one<Get>("glutGet");
    const int value = real(what);
    if (what == GLUT_ELAPSED_TIME) {
        elapsed_read = value;
    }
    return value;
}

extern "C" void glutTimerFunc(unsigned int msecs, void (*callback)(int), int value) {
    using TimerFunc = void (*)(unsigned int, void (*)(int), int);
    static const TimerFunc real = real_one<TimerFunc>("glutTimerFunc");
    static Log log("VELMORA_TICK_LOG");
    static int armed = 0;  // main arms the first tick; each tick then arms the next
    log.line(Log::format(" %u %d", msecs, elapsed_read));
    hold_after(armed++);
    real(msecs, callback, value);
}

extern "C" void glutSwapBuffers() {
    using SwapBuffers = void (*)();
    static const SwapBuffers real = real_one<SwapBuffers>("glutSwapBuffers");
    static Log log("VELMORA_SWAP_LOG");
    const std::string lit = log.on() ? box_lit() : "";
    if (fake_hz > 0 && swap_interval > 0) {
        wait_for_refresh();
    }
    real();
    log.line(lit);
}

extern "C" void glutKeyboardFunc(KeyboardFunc callback) {
    using SetKeyboard = void (*)(KeyboardFunc);
    static const SetKeyboard real = real_one<SetKeyboard>("glutKeyboardFunc");
    game_keyboard = callback;
    real(callback ? logged_keyboard : nullptr);
}

extern "C" const char* glXQueryExtensionsString(Display* display, int screen) {
    using Query = const char* (*)(Display*, int);
    static const Query real = real_one<Query>("glXQueryExtensionsString");
    static std::string with;
    with = real(display, screen);
    if (fake_hz > 0) {
        with += " GLX_MESA_swap_control ";
    }
    return with.c_str();
}

extern "C" __GLXextFuncPtr glXGetProcAddressARB(const GLubyte* name) {
    using GetProc = __GLXextFuncPtr (*)(const GLubyte*);
    static const GetProc real = real_one<GetProc>("glXGetProcAddressARB");
    if (fake_hz > 0 && std::string(reinterpret_cast<const char*>(name)) == "glXSwapIntervalMESA") {
        return reinterpret_cast<__GLXextFuncPtr>(fake_swap_interval);
    }
    return real(name);
}
