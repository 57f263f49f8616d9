#include "desktop/refresh_rate.h"

#include <GL/glx.h>
#include <dlfcn.h>

#include <cstring>

// XRandR is opened at run time: the game runs (at the assumed 60 Hz) on a system without it,
// and builds without its headers. It stays loaded: the display calls back into it as it closes.
namespace {

struct ScreenConfig;
using GetInfo = ScreenConfig* (*)(Display*, Window);
using CurrentRate = short (*)(ScreenConfig*);
using FreeInfo = void (*)(ScreenConfig*);

}  // namespace

int display_refresh_rate() {
    Display* const display = glXGetCurrentDisplay();
    void* const lib = display ? dlopen("libXrandr.so.2", RTLD_LAZY | RTLD_LOCAL) : nullptr;
    if (!lib) {
        return 0;
    }
    const auto get_info = reinterpret_cast<GetInfo>(dlsym(lib, "XRRGetScreenInfo"));
    const auto current_rate = reinterpret_cast<CurrentRate>(dlsym(lib, "XRRConfigCurrentRate"));
    const auto free_info = reinterpret_cast<FreeInfo>(dlsym(lib, "XRRFreeScreenConfigInfo"));
    int rate = 0;
    int event = 0;
    int error = 0;
    using Query = int (*)(Display*, int*, int*);
    const auto query = reinterpret_cast<Query>(dlsym(lib, "XRRQueryExtension"));
    if (get_info && current_rate && free_info && query && query(display, &event, &error)) {
        if (ScreenConfig* const config = get_info(display, DefaultRootWindow(display))) {
            rate = current_rate(config);
            free_info(config);
        }
    }
    return rate > 0 && rate <= 1000 ? rate : 0;
}

namespace {

bool offers(Display* display, const char* extension) {
    const char* const all = glXQueryExtensionsString(display, DefaultScreen(display));
    const size_t n = std::strlen(extension);
    for (const char* at = all; at && (at = std::strstr(at, extension)) != nullptr; at += n) {
        if ((at == all || at[-1] == ' ') && (at[n] == ' ' || at[n] == '\0')) {
            return true;
        }
    }
    return false;
}

template <typename F>
F entry(const char* name) {
    return reinterpret_cast<F>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

}  // namespace

bool sync_to_refresh(bool on) {
    Display* const display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable) {
        return false;
    }
    const int interval = on ? 1 : 0;
    if (offers(display, "GLX_EXT_swap_control")) {
        using SwapIntervalEXT = void (*)(Display*, GLXDrawable, int);
        if (const auto set = entry<SwapIntervalEXT>("glXSwapIntervalEXT")) {
            set(display, drawable, interval);
            return true;
        }
    }
    if (offers(display, "GLX_MESA_swap_control")) {
        using SwapIntervalMESA = int (*)(unsigned);
        if (const auto set = entry<SwapIntervalMESA>("glXSwapIntervalMESA")) {
            return set(static_cast<unsigned>(interval)) == 0;
        }
    }
    // SGI's cannot turn the wait off: 0 is an error there.
    if (on && offers(display, "GLX_SGI_swap_control")) {
        using SwapIntervalSGI = int (*)(int);
        if (const auto set = entry<SwapIntervalSGI>("glXSwapIntervalSGI")) {
            return set(interval) == 0;
        }
    }
    return false;
}
