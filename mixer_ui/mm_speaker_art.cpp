// The speaker pictures at the ends of the balance slider, drawn in code: a
// speaker facing outward with sound waves, on a fuchsia key colour (the
// bottom-left pixel) that is drawn transparent.
#include "mixer_ui/mm_block.h"

#include <QPainter>
#include <QPainterPath>

QImage SpeakerPicture(bool right)
{
  QImage image(17, 20, QImage::Format_RGB32);
  image.fill(QColor(255, 0, 255));
  QPainter p(&image);
  // Drawn facing left, mirrored for the right end.
  if (right) {
    p.translate(17, 0);
    p.scale(-1, 1);
  }
  p.setPen(Qt::black);
  p.setBrush(QColor(128, 128, 128));
  p.drawRect(11, 7, 4, 6);                       // magnet
  p.drawPolygon(QPolygon({{11, 7}, {7, 3}, {7, 17}, {11, 13}}));  // cone
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRect(1, 6, 6, 8), 90 * 16, 180 * 16);   // near wave
  p.drawArc(QRect(-2, 3, 9, 14), 100 * 16, 160 * 16);  // far wave
  return image;
}
