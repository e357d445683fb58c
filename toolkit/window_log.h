// Position reports and placements of top-level windows, at debug level:
// QT_LOGGING_RULES="velmora.window.debug=true" shows what a window manager
// reported and what the program made of it.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWindow)
