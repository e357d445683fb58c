#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kInk(0x1f, 0x4e, 0x8c);
const QColor kAccent(0x2f, 0x80, 0xed);
const QColor kRecord(0xd9, 0x30, 0x25);

QImage Canvas(int size)
{
  QImage img(size, size, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  return img;
}

// A radio with an antenna: the program's mark.
QImage DrawAppIcon(int size)
{
  QImage img = Canvas(size);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(9, 11), QPointF(22, 3));
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawRoundedRect(QRectF(3, 11, 26, 18), 4, 4);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(11, 20), 5, 5);
  p.setBrush(kInk);
  p.drawEllipse(QPointF(11, 20), 2.2, 2.2);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(19, 15, 7, 2.2), 1, 1);
  p.drawRoundedRect(QRectF(19, 19, 7, 2.2), 1, 1);
  p.drawRoundedRect(QRectF(19, 23, 7, 2.2), 1, 1);
  return img;
}
} // namespace

QImage AppIconImage(int size) { return DrawAppIcon(size); }

QIcon AppIcon()
{
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

QImage ToolbarImage(int index)
{
  QImage img = Canvas(16);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
  case 0: {  // refresh: a circular arrow
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 270 * 16);
    QPainterPath head;
    head.moveTo(10.5, 1.5);
    head.lineTo(14.5, 4.5);
    head.lineTo(9.5, 6.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPath(head);
    break;
  }
  case 1: {  // home (not used by the window)
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    QPainterPath roof;
    roof.moveTo(8, 2);
    roof.lineTo(15, 8);
    roof.lineTo(1, 8);
    roof.closeSubpath();
    p.drawPath(roof);
    p.drawRect(QRectF(4, 8, 8, 6));
    break;
  }
  case 2:    // stay-on-top off: an open pin
  case 3: {  // stay-on-top on: a pushed pin, highlighted
    const bool on = index == 3;
    if (on) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xfd, 0xe6, 0x8a));
      p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    }
    p.translate(8, 8);
    p.rotate(on ? 0 : 45);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? kRecord : kInk);
    p.drawRoundedRect(QRectF(-3.5, -7, 7, 2.5), 1, 1);
    p.drawRect(QRectF(-2, -5, 4, 5));
    p.drawRoundedRect(QRectF(-5, 0, 10, 2.2), 1, 1);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, 2.5), QPointF(0, 7));
    break;
  }
  case 4: {  // record: a red dot in a ring
    p.setPen(QPen(kRecord.darker(130), 1.2));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kRecord);
    p.drawEllipse(QPointF(8, 8), 4, 4);
    break;
  }
  default: break;
  }
  return img;
}
