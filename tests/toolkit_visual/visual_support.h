// Helpers of the visual toolkit tests.
#pragma once

#include "support/pixels.h"
#include "support/pump.h"
#include "toolkit/controls.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <functional>

// The colour of a pixel as 0x00BBGGRR.
inline TColor PixelAt(const QImage& image, int x, int y) { return QColorToColor(image.pixelColor(x, y)); }

// Counts the pixels of a colour inside a rectangle.
inline int CountColor(const QImage& image, const QRect& r, TColor color)
{
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (image.valid(x, y) && PixelAt(image, x, y) == ColorToRGB(color)) ++n;
  return n;
}

// Counts pixels close to a colour (text is smoothed at its edges).
inline int CountNear(const QImage& image, const QRect& r, TColor color, int tolerance = 60)
{
  return CountNearColor(image, r, color, tolerance);
}
