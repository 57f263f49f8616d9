#include "app/refresh_rate.h"

#include <GL/glx.h>
#include <dlfcn.h>

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
