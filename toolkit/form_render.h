// Pictures of windows without showing them: what `velmora-tool form render`
// writes, and what tests compare against.
#pragma once

#include "toolkit/controls.h"

#include <QImage>

// Paints the control and everything on it, at its current size.
QImage RenderControlImage(TWinControl* control);

// Reads a window description (designing: no devices, nothing shown), lays it
// out and paints it. EReadError for a broken description, EInvalidOperation
// when its root is not a window.
QImage RenderDescriptionFile(const QString& path);
