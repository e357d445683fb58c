// Whether the X display the program would open is there. Qt's display plugin
// ends the process with an abort when it cannot connect (a closed remote
// session leaves DISPLAY naming a server that is gone); asked first, the
// program can say why and end cleanly.
#pragma once

#include <QString>

// Empty when the display opens (or when Qt will not use X: another
// QT_QPA_PLATFORM, or no DISPLAY but a Wayland session Qt can show windows
// on); else what is wrong, in the user's words.
QString UnreachableDisplay();
