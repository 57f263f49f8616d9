// The desktop display's refresh rate, and the driver's waiting for it (vsync), for pacing the
// pictures between frames.
#pragma once

// The rate of the screen the current GL context draws on, in Hz, as XRandR tells it; 0 if it
// cannot tell (no XRandR library, a server without the extension).
int display_refresh_rate();

// Asks the driver to show each swap at the display's next refresh (on) or at once (off), for
// the current GL context, where it offers swap control (GLX_EXT, _MESA or _SGI_swap_control);
// false where it does not, or where it refused.
bool sync_to_refresh(bool on);
