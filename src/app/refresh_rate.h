// The desktop display's refresh rate, for pacing the pictures between frames.
#pragma once

// The rate of the screen the current GL context draws on, in Hz, as XRandR tells it; 0 if it
// cannot tell (no XRandR library, a server without the extension).
int display_refresh_rate();
