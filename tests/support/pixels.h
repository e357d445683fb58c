// Counting pixels of a picture a control painted.
#pragma once

#include "toolkit/graphics.h"

#include <QImage>
#include <QRect>
#include <cstdlib>

// Pixels within `tolerance` (sum of channel differences) of a colour: text is
// smoothed at its edges.
inline int CountNearColor(const QImage& image, const QRect& r, TColor color, int tolerance)
{
  const QColor want = ColorToQColor(color);
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      if (!image.valid(x, y)) continue;
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) + std::abs(c.blue() - want.blue()) <=
          tolerance)
        ++n;
    }
  return n;
}
