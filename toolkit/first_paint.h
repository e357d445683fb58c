// Work that waits until a widget has been painted for the first time: the
// window is on screen before slow things (the web engine, devices) start.
#pragma once

#include <functional>

class QWidget;

// Runs `then` once, on the UI thread, right after the first paint of `widget`
// has been flushed; never when the widget goes before it is painted.
void RunAfterFirstPaint(QWidget* widget, std::function<void()> then);
