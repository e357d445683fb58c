// The last step of the program's end. Once every window has been freed
// (settings saved, a recording finished) nothing of the program's own is
// left to lose; what remains is Qt taking itself down, and that waits for
// Qt's worker pools. A name look-up in such a pool (the network access
// manager's) cannot be cancelled: on a name server that never answers it
// would hold the end up for as long as the system resolver waits.
#pragma once

#include <chrono>

// Ends the process with `status` when it is still running `limit` from now.
void EndProcessWithin(int status, std::chrono::milliseconds limit);
