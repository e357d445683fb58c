#include "toolkit/graphics.h"

#include "toolkit/bmp_codec.h"
#include "toolkit/regular_file.h"

#include <QFile>
#include <QFontMetrics>
#include <QIODevice>
#include <cmath>

// ---------------------------------------------------------------- colours

namespace {
// The classic desktop scheme; fixed rather than read from the running desktop
// so that windows and tests see the same colours everywhere.
constexpr TColor kSystemColors[] = {
    RGB(212, 208, 200),  // scroll bar
    RGB(58, 110, 165),   // background
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application work space
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3-D dark shadow
    RGB(212, 208, 200),  // 3-D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
};

int MulDivRound(int a, int b, int c)
{
  if (c == 0) return -1;
  return int(std::lround(double(a) * b / c));
}
} // namespace

TColor ColorToRGB(TColor color)
{
  if (color < 0) {
    const int index = color & 0xFF;
    if (index < int(std::size(kSystemColors))) return kSystemColors[index];
    return clBlack;
  }
  if (color == clNone || color == clDefault) return clBlack;
  return color & 0xFFFFFF;
}

QColor ColorToQColor(TColor color)
{
  const TColor c = ColorToRGB(color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor QColorToColor(const QColor& color) { return RGB(color.red(), color.green(), color.blue()); }

const std::vector<TIntegerIdents::Ident>& ColorIdents()
{
  static const std::vector<TIntegerIdents::Ident> idents = {
      {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
      {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
      {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
      {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
      {"clNone", clNone}, {"clDefault", clDefault},
      {"clScrollBar", clScrollBar}, {"clBackground", clBackground}, {"clActiveCaption", clActiveCaption},
      {"clInactiveCaption", clInactiveCaption}, {"clMenu", clMenu}, {"clWindow", clWindow},
      {"clWindowFrame", clWindowFrame}, {"clMenuText", clMenuText}, {"clWindowText", clWindowText},
      {"clCaptionText", clCaptionText}, {"clActiveBorder", clActiveBorder},
      {"clInactiveBorder", clInactiveBorder}, {"clAppWorkSpace", clAppWorkSpace},
      {"clHighlight", clHighlight}, {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace},
      {"clBtnShadow", clBtnShadow}, {"clGrayText", clGrayText}, {"clBtnText", clBtnText},
      {"clInactiveCaptionText", clInactiveCaptionText}, {"clBtnHighlight", clBtnHighlight},
      {"cl3DDkShadow", cl3DDkShadow}, {"cl3DLight", cl3DLight}, {"clInfoText", clInfoText},
      {"clInfoBk", clInfoBk},
  };
  return idents;
}

// ---------------------------------------------------------------- font

void TFont::SetName(const QString& v)
{
  if (v == name_) return;
  name_ = v;
  Reset();
  Changed();
}

void TFont::SetHeight(int v)
{
  // No text is drawn larger; the bound keeps negation and scaling in range.
  v = std::clamp(v, -kMaxFontHeight, kMaxFontHeight);
  if (v == height_) return;
  height_ = v;
  Reset();
  Changed();
}

int TFont::Size() const { return -MulDivRound(height_, 72, kScreenPixelsPerInch); }

void TFont::SetSize(int points)
{
  SetHeight(-MulDivRound(std::clamp(points, -kMaxFontHeight, kMaxFontHeight), kScreenPixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles v)
{
  if (v == style_) return;
  style_ = v;
  Reset();
  Changed();
}

void TFont::SetColor(TColor v)
{
  if (v == color_) return;
  color_ = v;
  Changed();
}

void TFont::SetCharset(int v)
{
  if (v == charset_) return;
  charset_ = v;
  Changed();
}

void TFont::Assign(const TPersistent* source)
{
  auto* f = qobject_cast<const TFont*>(source);
  if (!f) return TPersistent::Assign(source);
  if (Equals(*f)) return;
  name_ = f->name_;
  height_ = f->height_;
  style_ = f->style_;
  color_ = f->color_;
  charset_ = f->charset_;
  Reset();
  Changed();
}

bool TFont::Equals(const TFont& o) const
{
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_;
}

void TFont::Reset()
{
  cache_.reset();
  metrics_.reset();
}

const QFontMetrics& TFont::Metrics() const
{
  if (!metrics_) metrics_.emplace(ToQFont());
  return *metrics_;
}

QFont TFont::ToQFont() const
{
  if (cache_) return *cache_;
  QFont f(name_);
  f.setBold(style_.testFlag(fsBold));
  f.setItalic(style_.testFlag(fsItalic));
  f.setUnderline(style_.testFlag(fsUnderline));
  f.setStrikeOut(style_.testFlag(fsStrikeOut));
  if (height_ < 0) {
    // Qt's pixel size is the character (em) height.
    f.setPixelSize(-height_);
  } else if (height_ > 0) {
    // Cell height: scale so that ascent + descent comes to the height.
    f.setPixelSize(height_);
    const int cell = QFontMetrics(f).height();
    if (cell > 0 && cell != height_) f.setPixelSize(std::max(1, int(std::lround(double(height_) * height_ / cell))));
  } else {
    f.setPixelSize(13);
  }
  cache_ = f;
  return f;
}

// ---------------------------------------------------------------- pen, brush

void TPen::SetColor(TColor v)
{
  if (v == color_) return;
  color_ = v;
  Changed();
}

void TPen::SetWidth(int v)
{
  v = std::max(v, 0);
  if (v == width_) return;
  width_ = v;
  Changed();
}

void TPen::SetStyle(TPenStyle v)
{
  if (v == style_) return;
  style_ = v;
  Changed();
}

QPen TPen::ToQPen() const
{
  if (style_ == psClear) return QPen(Qt::NoPen);
  QPen p(ColorToQColor(color_));
  p.setWidth(width_ <= 1 ? 0 : width_);  // 0 = cosmetic one pixel
  p.setCapStyle(Qt::SquareCap);
  p.setJoinStyle(Qt::MiterJoin);
  switch (style_) {
  case psDash: p.setStyle(Qt::DashLine); break;
  case psDot: p.setStyle(Qt::DotLine); break;
  case psDashDot: p.setStyle(Qt::DashDotLine); break;
  case psDashDotDot: p.setStyle(Qt::DashDotDotLine); break;
  default: break;
  }
  return p;
}

void TBrush::SetColor(TColor v)
{
  if (v == color_ && style_ != bsClear) return;
  color_ = v;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle v)
{
  if (v == style_) return;
  style_ = v;
  Changed();
}

QBrush TBrush::ToQBrush() const
{
  const QColor c = ColorToQColor(color_);
  switch (style_) {
  case bsClear: return QBrush(Qt::NoBrush);
  case bsHorizontal: return QBrush(c, Qt::HorPattern);
  case bsVertical: return QBrush(c, Qt::VerPattern);
  case bsFDiagonal: return QBrush(c, Qt::FDiagPattern);
  case bsBDiagonal: return QBrush(c, Qt::BDiagPattern);
  case bsCross: return QBrush(c, Qt::CrossPattern);
  case bsDiagCross: return QBrush(c, Qt::DiagCrossPattern);
  default: return QBrush(c);
  }
}

// ---------------------------------------------------------------- canvas

TCanvas::TCanvas() : pen_(new TPen(this)), brush_(new TBrush(this)), font_(new TFont(this)) {}

TCanvas::~TCanvas() { Flush(); }

void TCanvas::BeginPaint(QPainter* painter)
{
  Flush();
  painter_ = painter;
  ++lendDepth_;
}

void TCanvas::EndPaint()
{
  if (lendDepth_ > 0 && --lendDepth_ == 0) painter_ = nullptr;
}

void TCanvas::AttachImage(TBitmap* bitmap, QImage* image)
{
  Flush();
  bitmap_ = bitmap;
  image_ = image;
}

void TCanvas::Flush()
{
  if (own_) {
    own_.reset();
    if (lendDepth_ == 0) painter_ = nullptr;
  }
}

QPainter& TCanvas::Painter()
{
  if (!painter_) {
    if (!image_ || image_->isNull()) throw EInvalidOperation(QStringLiteral("Canvas does not allow drawing"));
    own_ = std::make_unique<QPainter>(image_);
    painter_ = own_.get();
  }
  return *painter_;
}

QRect TCanvas::ClipRect() const
{
  if (painter_ && painter_->hasClipping()) return painter_->clipBoundingRect().toAlignedRect();
  if (painter_ && painter_->device()) return QRect(0, 0, painter_->device()->width(), painter_->device()->height());
  if (image_) return image_->rect();
  return QRect();
}

void TCanvas::ApplyPen(QPainter& p) const { p.setPen(pen_->ToQPen()); }
void TCanvas::ApplyBrush(QPainter& p) const { p.setBrush(brush_->ToQBrush()); }

void TCanvas::Changed()
{
  if (OnChange) OnChange();
}

void TCanvas::LineTo(int x, int y)
{
  QPainter& p = Painter();
  ApplyPen(p);
  const QPoint from = penPos_;
  QPoint to(x, y);
  const int dx = to.x() - from.x(), dy = to.y() - from.y();
  // The end point is not drawn.
  if (dx != 0 || dy != 0) {
    if (dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy))
      to -= QPoint((dx > 0) - (dx < 0), (dy > 0) - (dy < 0));
    p.drawLine(from, to);
  }
  penPos_ = QPoint(x, y);
  Changed();
}

void TCanvas::Polyline(const QList<QPoint>& points)
{
  if (points.size() < 2) return;
  QPainter& p = Painter();
  ApplyPen(p);
  p.drawPolyline(points.data(), int(points.size()));
  Changed();
}

void TCanvas::Polygon(const QList<QPoint>& points)
{
  if (points.size() < 2) return;
  QPainter& p = Painter();
  ApplyPen(p);
  ApplyBrush(p);
  p.drawPolygon(points.data(), int(points.size()));
  Changed();
}

void TCanvas::Rectangle(const QRect& r)
{
  if (r.isEmpty()) return;
  QPainter& p = Painter();
  if (pen_->Style() == TPen::psClear) {
    if (brush_->Style() != TBrush::bsClear) p.fillRect(r, brush_->ToQBrush());
  } else {
    ApplyPen(p);
    ApplyBrush(p);
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
  Changed();
}

void TCanvas::Ellipse(const QRect& r)
{
  if (r.isEmpty()) return;
  QPainter& p = Painter();
  ApplyPen(p);
  ApplyBrush(p);
  p.drawEllipse(r.adjusted(0, 0, -1, -1));
  Changed();
}

void TCanvas::FillRect(const QRect& r)
{
  if (r.isEmpty() || brush_->Style() == TBrush::bsClear) return;
  Painter().fillRect(r, brush_->ToQBrush());
  Changed();
}

void TCanvas::FrameRect(const QRect& r)
{
  if (r.isEmpty()) return;
  QPainter& p = Painter();
  const QColor c = ColorToQColor(brush_->Color());
  p.fillRect(QRect(r.left(), r.top(), r.width(), 1), c);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
  Changed();
}

void TCanvas::Frame3D(QRect& r, TColor topColor, TColor bottomColor, int width)
{
  QPainter& p = Painter();
  const QColor top = ColorToQColor(topColor), bottom = ColorToQColor(bottomColor);
  for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), top);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), top);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottom);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottom);
    r.adjust(1, 1, -1, -1);
  }
  Changed();
}

void TCanvas::TextOut(int x, int y, const QString& text)
{
  QPainter& p = Painter();
  p.setFont(font_->ToQFont());
  const QFontMetrics& fm = font_->Metrics();
  const int w = fm.horizontalAdvance(text);
  if (brush_->Style() != TBrush::bsClear) p.fillRect(QRect(x, y, w, fm.height()), brush_->ToQBrush());
  p.setPen(ColorToQColor(font_->Color()));
  p.drawText(x, y + fm.ascent(), text);
  penPos_ = QPoint(x + w, y);
  Changed();
}

void TCanvas::TextRect(const QRect& r, int x, int y, const QString& text)
{
  QPainter& p = Painter();
  p.save();
  p.setClipRect(r, Qt::IntersectClip);
  if (brush_->Style() != TBrush::bsClear) p.fillRect(r, brush_->ToQBrush());
  p.setFont(font_->ToQFont());
  p.setPen(ColorToQColor(font_->Color()));
  p.drawText(x, y + font_->Metrics().ascent(), text);
  p.restore();
  Changed();
}

int TCanvas::DrawText(const QString& text, QRect& r, unsigned flags)
{
  const QFont f = font_->ToQFont();
  const QFontMetrics& fm = font_->Metrics();
  int qflags = 0;
  qflags |= (flags & DT_CENTER) ? Qt::AlignHCenter : (flags & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
  qflags |= (flags & DT_VCENTER) ? Qt::AlignVCenter : (flags & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
  const bool wrap = (flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE);
  if (wrap) qflags |= Qt::TextWordWrap;
  if (flags & DT_SINGLELINE) qflags |= Qt::TextSingleLine;
  if (flags & DT_EXPANDTABS) qflags |= Qt::TextExpandTabs;
  qflags |= (flags & DT_NOPREFIX) ? 0 : Qt::TextShowMnemonic;
  QString shown = text;
  if (!wrap && (flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))) {
    const Qt::TextElideMode mode = (flags & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight;
    shown = fm.elidedText(text, mode, std::max(0, r.width()), qflags & Qt::TextShowMnemonic);
  }
  if (flags & DT_CALCRECT) {
    const QRect bounds = wrap ? fm.boundingRect(QRect(r.left(), r.top(), std::max(1, r.width()), 100000),
                                                qflags & ~(Qt::AlignVCenter | Qt::AlignBottom), shown)
                              : fm.boundingRect(QRect(r.left(), r.top(), 100000, 100000),
                                                Qt::AlignLeft | Qt::AlignTop | (qflags & Qt::TextShowMnemonic), shown);
    r.setWidth(wrap ? r.width() : bounds.width());
    r.setHeight(wrap ? std::max(bounds.height(), fm.height()) : fm.height());
    return r.height();
  }
  QPainter& p = Painter();
  p.save();
  if (!(flags & DT_NOCLIP)) p.setClipRect(r, Qt::IntersectClip);
  p.setFont(f);
  p.setPen(ColorToQColor(font_->Color()));
  QRect used;
  p.drawText(r, qflags, shown, &used);
  p.restore();
  Changed();
  return used.height();
}

int TCanvas::TextWidth(const QString& text) const { return font_->Metrics().horizontalAdvance(text); }

int TCanvas::TextHeight(const QString&) const { return font_->Metrics().height(); }

QSize TCanvas::TextExtent(const QString& text) const
{
  const QFontMetrics& fm = font_->Metrics();
  return QSize(fm.horizontalAdvance(text), fm.height());
}

void TCanvas::Draw(int x, int y, const TBitmap* bitmap)
{
  if (!bitmap || bitmap->Empty()) return;
  Painter().drawImage(x, y, bitmap->ImageForDrawing());
  Changed();
}

void TCanvas::StretchDraw(const QRect& r, const TBitmap* bitmap)
{
  if (!bitmap || bitmap->Empty() || r.isEmpty()) return;
  Painter().drawImage(r, bitmap->ImageForDrawing());
  Changed();
}

void TCanvas::DrawImage(const QRect& dest, const QImage& image, const QRect& source)
{
  if (image.isNull() || dest.isEmpty()) return;
  Painter().drawImage(dest, image, source);
  Changed();
}

void TCanvas::CopyRect(const QRect& dest, TCanvas* source, const QRect& sourceRect)
{
  if (!source || !source->image_) throw EInvalidOperation(QStringLiteral("Canvas does not allow drawing"));
  source->Flush();
  if (source == this) {
    // Copy through a detached image: a painter cannot read its own target.
    const QImage copy = image_->copy(sourceRect);
    DrawImage(dest, copy, copy.rect());
    return;
  }
  QPainter& p = Painter();
  const auto mode = p.compositionMode();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(dest, *source->image_, sourceRect);
  p.setCompositionMode(mode);
  Changed();
}

TColor TCanvas::Pixel(int x, int y)
{
  if (!image_ || !image_->valid(x, y)) return -1;
  Flush();
  return QColorToColor(image_->pixelColor(x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
  if (!image_) throw EInvalidOperation(QStringLiteral("Canvas does not allow drawing"));
  if (!image_->valid(x, y)) return;
  Flush();
  image_->setPixelColor(x, y, ColorToQColor(color));
  Changed();
}

// ---------------------------------------------------------------- bitmap

TBitmap::TBitmap(QObject* parent) : TPersistent(parent) {}

TBitmap::~TBitmap()
{
  if (canvas_) canvas_->Flush();
}

void TBitmap::SetSize(int width, int height)
{
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width() && height == Height()) return;
  if (width > kMaxBmpDimension || height > kMaxBmpDimension || qint64(width) * height > kMaxBmpPixels)
    throw EOutOfResources(QStringLiteral("Bitmap of %1 x %2 pixels is too large").arg(width).arg(height));
  if (canvas_) canvas_->Flush();
  QImage next;
  if (width > 0 && height > 0) {
    next = QImage(width, height, QImage::Format_BGR888);
    if (next.isNull()) throw EOutOfResources(QStringLiteral("Out of memory for a %1 x %2 bitmap").arg(width).arg(height));
    next.fill(Qt::black);
    if (!image_.isNull()) {
      QPainter p(&next);
      p.drawImage(0, 0, image_);
    }
  }
  image_ = next;
  Changed();
}

TCanvas* TBitmap::Canvas()
{
  if (!canvas_) {
    canvas_ = new TCanvas();
    canvas_->setParent(this);
    canvas_->AttachImage(this, &image_);
    canvas_->OnChange = [this] { Changed(); };
  }
  return canvas_;
}

uchar* TBitmap::ScanLine(int y)
{
  if (y < 0 || y >= Height()) throw EInvalidGraphicOperation(QStringLiteral("Scan line index out of range"));
  if (canvas_) canvas_->Flush();
  return image_.scanLine(y);
}

const uchar* TBitmap::ScanLine(int y) const
{
  if (y < 0 || y >= Height()) throw EInvalidGraphicOperation(QStringLiteral("Scan line index out of range"));
  if (canvas_) canvas_->Flush();
  return image_.constScanLine(y);
}

void TBitmap::SetTransparent(bool v)
{
  if (v == transparent_) return;
  transparent_ = v;
  Changed();
}

TColor TBitmap::TransparentColor() const
{
  if (transparentMode_ == tmFixed && transparentColor_ != clDefault) return transparentColor_;
  if (image_.isNull()) return clDefault;
  if (canvas_) canvas_->Flush();
  return QColorToColor(image_.pixelColor(0, Height() - 1));
}

void TBitmap::SetTransparentColor(TColor v)
{
  if (v == transparentColor_) return;
  transparentColor_ = v;
  transparentMode_ = v == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode v)
{
  if (v == transparentMode_) return;
  transparentMode_ = v;
  if (v == tmAuto) transparentColor_ = clDefault;
  Changed();
}

void TBitmap::LoadFromFile(const QString& path)
{
  // A picture file of 256 MB is far beyond any BMP the program shows.
  SetImage(DecodeBmp(ReadRegularFileOrRaise(path, 256 * 1024 * 1024)));
}

void TBitmap::LoadFromStream(QIODevice& stream)
{
  const qint64 start = stream.pos();
  const QByteArray data = stream.readAll();
  TBmpInfo info;
  const QImage decoded = DecodeBmp(data, &info);
  SetImage(decoded);
  // Leave the stream just after the picture, as a reader of a longer stream expects.
  if (!stream.isSequential() && info.FileSize > 0 && info.FileSize < data.size()) stream.seek(start + info.FileSize);
}

void TBitmap::LoadFromData(const QByteArray& bmp)
{
  if (bmp.isEmpty()) {
    SetImage(QImage());
    return;
  }
  SetImage(DecodeBmp(bmp));
}

void TBitmap::SaveToFile(const QString& path) const
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    throw EFCreateError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, f.errorString()));
  SaveToStream(f);
  if (!f.flush() || f.error() != QFileDevice::NoError)
    throw EInOutError(QStringLiteral("Cannot write file \"%1\". %2").arg(path, f.errorString()));
}

void TBitmap::SaveToStream(QIODevice& stream) const
{
  const QByteArray data = Data();
  if (stream.write(data) != data.size())
    throw EInOutError(QStringLiteral("Stream write error: %1").arg(stream.errorString()));
}

QByteArray TBitmap::Data() const
{
  if (Empty()) return QByteArray();
  if (canvas_) canvas_->Flush();
  return EncodeBmp(image_.convertToFormat(QImage::Format_RGB888), 24);
}

void TBitmap::SetData(const QByteArray& bmp) { LoadFromData(bmp); }

void TBitmap::Assign(const TPersistent* source)
{
  auto* b = qobject_cast<const TBitmap*>(source);
  if (!b) return TPersistent::Assign(source);
  if (b == this) return;
  transparent_ = b->transparent_;
  transparentColor_ = b->transparentColor_;
  transparentMode_ = b->transparentMode_;
  SetImage(b->Image());
}

const QImage& TBitmap::Image() const
{
  if (canvas_) canvas_->Flush();
  return image_;
}

void TBitmap::SetImage(const QImage& image)
{
  if (!image.isNull() && (image.width() > kMaxBmpDimension || image.height() > kMaxBmpDimension))
    throw EOutOfResources(QStringLiteral("Bitmap of %1 x %2 pixels is too large").arg(image.width()).arg(image.height()));
  if (canvas_) canvas_->Flush();
  image_ = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_BGR888);
  Changed();
}

QImage TBitmap::ImageForDrawing() const
{
  const QImage& img = Image();
  if (!transparent_ || img.isNull()) return img;
  const QRgb key = ColorToQColor(TransparentColor()).rgb();
  QImage out = img.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((row[x] & 0xFFFFFF) == (key & 0xFFFFFF)) row[x] = 0;
  }
  return out;
}

// ---------------------------------------------------------------- regions

namespace Regions {
QRegion Rect(const QRect& r) { return QRegion(r); }
QRegion Union(const QRegion& a, const QRegion& b) { return a.united(b); }

QRegion FromMask(const QImage& mask, TColor color, QPoint offset)
{
  if (mask.isNull()) return QRegion();
  const QImage img = mask.convertToFormat(QImage::Format_RGB32);
  const QRgb key = ColorToQColor(color).rgb() & 0xFFFFFF;
  std::vector<QRect> runs;
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    int x = 0;
    while (x < img.width()) {
      if ((row[x] & 0xFFFFFF) != key) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < img.width() && (row[x] & 0xFFFFFF) == key) ++x;
      runs.emplace_back(offset.x() + start, offset.y() + y, x - start, 1);
    }
  }
  QRegion region;
  // Rows of one-pixel-high runs, sorted top to bottom, left to right: a valid band list.
  if (!runs.empty()) region.setRects(runs.data(), int(runs.size()));
  return region;
}
} // namespace Regions

void RegisterGraphicsClasses()
{
  TIntegerIdents::Register("TColor", ColorIdents());
  TIntegerIdents::Register("TFontCharset", {{"ANSI_CHARSET", 0},
                                            {"DEFAULT_CHARSET", 1},
                                            {"SYMBOL_CHARSET", 2},
                                            {"SHIFTJIS_CHARSET", 128},
                                            {"HANGEUL_CHARSET", 129},
                                            {"GB2312_CHARSET", 134},
                                            {"CHINESEBIG5_CHARSET", 136},
                                            {"OEM_CHARSET", 255}});
}
