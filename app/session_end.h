// Ends the program the way closing the main window does when the session
// ends: on SIGTERM, SIGINT or SIGHUP, and when the session manager asks the
// program to save its data at logout. The handler runs on the UI thread.
#pragma once

#include <functional>

// Catches the three signals from the very start of the program, before there
// is anything to close: they are handled once WatchSessionEnd has been called.
void CatchSessionEndSignals();
// Installs the handlers once; `onEnd` runs (on the UI thread) for each request.
void WatchSessionEnd(std::function<void()> onEnd);
// Puts back the signal handlers there were before and forgets `onEnd`.
void StopWatchingSessionEnd();
