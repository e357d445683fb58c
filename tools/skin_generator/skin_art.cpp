#include "tools/skin_generator/skin_art.h"

#include <QPainterPath>
#include <algorithm>
#include <map>
#include <vector>

namespace skin_art {

int WinColor(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

namespace {
QColor Mix(const QColor& a, const QColor& b, double t)
{
  return QColor(qRound(a.red() + (b.red() - a.red()) * t), qRound(a.green() + (b.green() - a.green()) * t),
                qRound(a.blue() + (b.blue() - a.blue()) * t));
}

void RoundedFrame(QPainter& p, const QRect& r, const QColor& top, const QColor& bottom, const QColor& border, int radius)
{
  p.save();
  p.setRenderHint(QPainter::Antialiasing, radius > 0);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(QPen(border, 1));
  p.setBrush(g);
  if (radius > 0)
    p.drawRoundedRect(f, radius, radius);
  else
    p.drawRect(f);
  p.restore();
}
} // namespace

void Face(QPainter& p, const QRect& r, Look look, int radius)
{
  using namespace colours;
  switch (look) {
  case Look::Normal: RoundedFrame(p, r, QColor(0xFF, 0xFF, 0xFF), QColor(0xE6, 0xEC, 0xF4), Border, radius); break;
  case Look::Hot: RoundedFrame(p, r, QColor(0xF4, 0xF8, 0xFF), AccentSoft, QColor(0x6B, 0x98, 0xE8), radius); break;
  case Look::Pressed: RoundedFrame(p, r, AccentPressed, AccentSoft, Accent, radius); break;
  case Look::Disabled: RoundedFrame(p, r, QColor(0xF3, 0xF5, 0xF8), QColor(0xF3, 0xF5, 0xF8), SoftBorder, radius); break;
  }
}

void Box(QPainter& p, const QRect& r, const QColor& fill, const QColor& border)
{
  p.fillRect(r, border);
  p.fillRect(r.adjusted(1, 1, -1, -1), fill);
}

void FieldBox(QPainter& p, const QRect& r, bool hot)
{
  Box(p, r, colours::Field, hot ? colours::Accent : colours::Border);
}

void Chevron(QPainter& p, const QRect& r, Arrow a, const QColor& c)
{
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  const QPointF m = QRectF(r).center();
  const double s = std::max(2.0, std::min(r.width(), r.height()) / 4.0);
  QPolygonF tri;
  switch (a) {
  case Arrow::Up: tri << QPointF(m.x() - s, m.y() + s / 2) << QPointF(m.x() + s + 1, m.y() + s / 2) << QPointF(m.x() + 0.5, m.y() - s / 2 - 1); break;
  case Arrow::Down: tri << QPointF(m.x() - s, m.y() - s / 2) << QPointF(m.x() + s + 1, m.y() - s / 2) << QPointF(m.x() + 0.5, m.y() + s / 2 + 1); break;
  case Arrow::Left: tri << QPointF(m.x() + s / 2, m.y() - s) << QPointF(m.x() + s / 2, m.y() + s + 1) << QPointF(m.x() - s / 2 - 1, m.y() + 0.5); break;
  case Arrow::Right: tri << QPointF(m.x() - s / 2, m.y() - s) << QPointF(m.x() - s / 2, m.y() + s + 1) << QPointF(m.x() + s / 2 + 1, m.y() + 0.5); break;
  }
  p.drawPolygon(tri);
  p.restore();
}

void ArrowButton(QPainter& p, const QRect& r, Arrow a, Look look)
{
  Face(p, r, look, 2);
  const QColor c = look == Look::Disabled ? colours::Disabled : look == Look::Normal ? colours::Glyph : colours::Accent;
  Chevron(p, r, a, c);
}

void CheckImage(QPainter& p, const QRect& r, bool checked, Look look)
{
  using namespace colours;
  const QColor border = look == Look::Disabled ? SoftBorder : look == Look::Normal ? Border : Accent;
  const QColor fill = look == Look::Disabled ? QColor(0xF3, 0xF5, 0xF8) : checked ? (look == Look::Disabled ? Disabled : Accent) : Field;
  RoundedFrame(p, r, fill, look == Look::Hot && !checked ? AccentSoft : fill, border, 2);
  if (checked) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(look == Look::Disabled ? Disabled : Field, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QRectF f(r);
    p.drawPolyline(QPolygonF() << QPointF(f.left() + 3, f.top() + 6.5) << QPointF(f.left() + 5.5, f.top() + 9)
                               << QPointF(f.left() + 10, f.top() + 3.5));
    p.restore();
  }
}

void RadioImage(QPainter& p, const QRect& r, bool checked, Look look)
{
  using namespace colours;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QColor border = look == Look::Disabled ? SoftBorder : look == Look::Normal ? Border : Accent;
  p.setPen(QPen(border, 1));
  p.setBrush(look == Look::Hot ? AccentSoft : look == Look::Disabled ? QColor(0xF3, 0xF5, 0xF8) : Field);
  p.drawEllipse(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
  if (checked) {
    p.setPen(Qt::NoPen);
    p.setBrush(look == Look::Disabled ? Disabled : Accent);
    p.drawEllipse(QRectF(r).adjusted(3.5, 3.5, -3.5, -3.5));
  }
  p.restore();
}

QColor CaptionRow(int y)
{
  // A bright top under a two-pixel accent line, settling into the frame colour.
  if (y < 2) return colours::Accent;
  return Mix(QColor(0xFF, 0xFF, 0xFF), QColor(0xDC, 0xE3, 0xEE), std::clamp((y - 2) / 27.0, 0.0, 1.0));
}

// ---------------------------------------------------------------- quantizer

namespace {
struct Bucket {
  std::vector<std::pair<QRgb, int>> Colours;  // colour, pixel count
  int Range(int shift) const
  {
    int lo = 255, hi = 0;
    for (const auto& [c, n] : Colours) {
      const int v = (c >> shift) & 0xFF;
      lo = std::min(lo, v), hi = std::max(hi, v);
    }
    return hi - lo;
  }
};
} // namespace

QImage Quantize(const QImage& source, int count)
{
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  std::map<QRgb, int> histogram;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) ++histogram[line[x] | 0xFF000000u];
  }
  std::vector<Bucket> buckets(1);
  for (const auto& e : histogram) buckets[0].Colours.push_back(e);
  // Split the bucket with the widest channel range until there are enough.
  while (int(buckets.size()) < count) {
    int best = -1, bestRange = 0, bestShift = 0;
    for (int i = 0; i < int(buckets.size()); ++i) {
      if (buckets[i].Colours.size() < 2) continue;
      for (int shift : {16, 8, 0}) {
        const int range = buckets[i].Range(shift);
        if (range > bestRange) best = i, bestRange = range, bestShift = shift;
      }
    }
    if (best < 0) break;
    Bucket& b = buckets[best];
    std::stable_sort(b.Colours.begin(), b.Colours.end(), [&](const auto& l, const auto& r) {
      return ((l.first >> bestShift) & 0xFF) < ((r.first >> bestShift) & 0xFF);
    });
    // Split at the median pixel.
    long total = 0, half = 0;
    for (const auto& c : b.Colours) total += c.second;
    size_t at = 0;
    while (at + 1 < b.Colours.size() && half + b.Colours[at].second <= total / 2) half += b.Colours[at++].second;
    if (at == 0) at = 1;
    Bucket upper;
    upper.Colours.assign(b.Colours.begin() + long(at), b.Colours.end());
    b.Colours.resize(at);
    buckets.push_back(std::move(upper));
  }
  QList<QRgb> table;
  std::map<QRgb, int> index;
  for (const Bucket& b : buckets) {
    double r = 0, g = 0, bl = 0, n = 0;
    for (const auto& [c, k] : b.Colours) r += qRed(c) * k, g += qGreen(c) * k, bl += qBlue(c) * k, n += k;
    for (const auto& c : b.Colours) index[c.first] = int(table.size());
    table.append(n > 0 ? qRgb(qRound(r / n), qRound(g / n), qRound(bl / n)) : qRgb(0, 0, 0));
  }
  while (table.size() < count) table.append(qRgb(0, 0, 0));
  QImage out(image.size(), QImage::Format_Indexed8);
  out.setColorTable(table);
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uchar* dst = out.scanLine(y);
    for (int x = 0; x < image.width(); ++x) dst[x] = uchar(index[line[x] | 0xFF000000u]);
  }
  return out;
}

} // namespace skin_art
