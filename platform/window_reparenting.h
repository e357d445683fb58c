// Word from the X server that one of the program's windows was given another
// parent: a window manager framing or unframing it late. Qt reports no
// position for that, so whoever placed the window hears it here.
#pragma once

#include <QtGui/qwindowdefs.h>
#include <functional>

// Calls `reparented` with the window's id for every such notice. Does nothing
// off X11 (or before the application object exists); a later call replaces
// the handler.
void WatchWindowReparenting(std::function<void(WId window)> reparented);
