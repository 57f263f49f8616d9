// In the page there is nothing to quieten: the browser's OpenAL writes nothing while it opens
// its device, and the page has no file descriptors to point elsewhere.
#include "audio/quiet_stderr.h"

QuietStderr::QuietStderr() : saved(-1) {}

QuietStderr::~QuietStderr() {
    (void)saved;
}
