// Colours, fonts, pens, brushes, 24-bit bitmaps and the canvas that draws with
// them. The canvas draws through a QPainter on a bitmap or, during a paint, on
// a window; measuring text needs neither.
#pragma once

#include "toolkit/component.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <memory>
#include <mutex>
#include <optional>

class QIODevice;

// Colours are 0x00BBGGRR values; 0x80000000 | n names system colour n.
using TColor = qint32;

constexpr TColor RGB(int r, int g, int b) { return TColor((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16)); }
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

constexpr TColor SystemColor(int index) { return TColor(0x80000000u | unsigned(index)); }
constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1), clActiveCaption = SystemColor(2),
                 clInactiveCaption = SystemColor(3), clMenu = SystemColor(4), clWindow = SystemColor(5),
                 clWindowFrame = SystemColor(6), clMenuText = SystemColor(7), clWindowText = SystemColor(8),
                 clCaptionText = SystemColor(9), clActiveBorder = SystemColor(10),
                 clInactiveBorder = SystemColor(11), clAppWorkSpace = SystemColor(12),
                 clHighlight = SystemColor(13), clHighlightText = SystemColor(14), clBtnFace = SystemColor(15),
                 clBtnShadow = SystemColor(16), clGrayText = SystemColor(17), clBtnText = SystemColor(18),
                 clInactiveCaptionText = SystemColor(19), clBtnHighlight = SystemColor(20),
                 cl3DDkShadow = SystemColor(21), cl3DLight = SystemColor(22), clInfoText = SystemColor(23),
                 clInfoBk = SystemColor(24);

// A system colour resolved to 0x00BBGGRR (the classic desktop scheme, fixed so
// that the program looks the same on every machine); other colours unchanged.
TColor ColorToRGB(TColor color);
QColor ColorToQColor(TColor color);
TColor QColorToColor(const QColor& color);
// Colour names for descriptions ("clBtnFace", "clRed"...), table "TColor".
const std::vector<TIntegerIdents::Ident>& ColorIdents();

constexpr int kScreenPixelsPerInch = 96;
// The largest font height in pixels, either sign.
constexpr int kMaxFontHeight = 4096;

// ---------------------------------------------------------------- font

class TFont : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Charset", "TFontCharset")
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(int Size READ Size WRITE SetSize STORED false)
  Q_PROPERTY(TFontStyles Style READ Style WRITE SetStyle)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(int Charset READ Charset WRITE SetCharset)
public:
  enum TFontStyle { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
  Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
  Q_FLAG(TFontStyles)

  explicit TFont(QObject* parent = nullptr) : TPersistent(parent) {}

  QString Name() const { return name_; }
  void SetName(const QString& v);
  // Negative: character height in pixels (without internal leading);
  // positive: cell height (with it).
  int Height() const { return height_; }
  // Clamped to [-kMaxFontHeight, kMaxFontHeight].
  void SetHeight(int v);
  // Points at 96 pixels per inch.
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  int Charset() const { return charset_; }
  void SetCharset(int v);

  void Assign(const TPersistent* source) override;
  bool Equals(const TFont& other) const;
  // The Qt font with the height rule applied, and its metrics (both cached).
  QFont ToQFont() const;
  const QFontMetrics& Metrics() const;

private:
  QString name_ = QStringLiteral("MS Sans Serif");
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  int charset_ = 1;  // DEFAULT_CHARSET
  void Reset();
  mutable std::optional<QFont> cache_;
  mutable std::optional<QFontMetrics> metrics_;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TFont::TFontStyles)

// ---------------------------------------------------------------- pen, brush

class TPen : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Color", "TColor")
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(TPenStyle Style READ Style WRITE SetStyle)
public:
  enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
  Q_ENUM(TPenStyle)
  explicit TPen(QObject* parent = nullptr) : TPersistent(parent) {}
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  int Width() const { return width_; }
  void SetWidth(int v);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle v);
  QPen ToQPen() const;

private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
};

class TBrush : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Color", "TColor")
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(TBrushStyle Style READ Style WRITE SetStyle)
public:
  enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
  Q_ENUM(TBrushStyle)
  explicit TBrush(QObject* parent = nullptr) : TPersistent(parent) {}
  TColor Color() const { return color_; }
  // Setting a colour makes a clear brush solid.
  void SetColor(TColor v);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle v);
  QBrush ToQBrush() const;

private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

// ---------------------------------------------------------------- canvas

class TBitmap;

// DrawText flags.
enum : unsigned {
  DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800, DT_END_ELLIPSIS = 0x8000, DT_PATH_ELLIPSIS = 0x4000,
  DT_WORD_ELLIPSIS = 0x40000,
};

class TCanvas : public QObject {
  Q_OBJECT
public:
  TCanvas();
  ~TCanvas() override;

  TPen* Pen() const { return pen_; }
  TBrush* Brush() const { return brush_; }
  TFont* Font() const { return font_; }

  // Drawing happens only while the canvas has a painter: one lent for a paint
  // (BeginPaint/EndPaint) or one that a bitmap canvas opens on its bitmap.
  void BeginPaint(QPainter* painter);
  void EndPaint();
  bool HandleAllocated() const { return painter_ != nullptr || image_ != nullptr; }
  // The painter to draw with; raises EInvalidOperation "Canvas does not allow
  // drawing" without one.
  QPainter& Painter();
  // Area that may be drawn (the whole surface, or the paint's clip).
  QRect ClipRect() const;
  // Ends a bitmap canvas' own painter so that the bitmap can be read.
  void Flush();
  // Keeps other threads from drawing on this canvas meanwhile (nestable).
  void Lock() { lock_.lock(); }
  bool TryLock() { return lock_.try_lock(); }
  void Unlock() { lock_.unlock(); }

  QPoint PenPos() const { return penPos_; }
  void MoveTo(int x, int y) { penPos_ = QPoint(x, y); }
  // Line from the pen position to (x, y), the end pixel excluded.
  void LineTo(int x, int y);
  void Polyline(const QList<QPoint>& points);
  void Polygon(const QList<QPoint>& points);
  // Outline with the pen, filled with the brush (right and bottom exclusive).
  void Rectangle(const QRect& r);
  void Rectangle(int l, int t, int r, int b) { Rectangle(QRect(QPoint(l, t), QPoint(r - 1, b - 1))); }
  void Ellipse(const QRect& r);
  void FillRect(const QRect& r);
  void FrameRect(const QRect& r);
  // Each ring: top and left in `topColor`, bottom and right in `bottomColor`;
  // `r` shrinks by one pixel per ring.
  void Frame3D(QRect& r, TColor topColor, TColor bottomColor, int width);

  void TextOut(int x, int y, const QString& text);
  // Text at (x, y), clipped to `r`; the brush fills `r` unless clear.
  void TextRect(const QRect& r, int x, int y, const QString& text);
  // Text in a rectangle by DT_ flags. With DT_CALCRECT, `r` gets the size the
  // text needs and nothing is drawn. Returns the text height.
  int DrawText(const QString& text, QRect& r, unsigned flags);
  int TextWidth(const QString& text) const;
  int TextHeight(const QString& text) const;
  QSize TextExtent(const QString& text) const;

  void Draw(int x, int y, const TBitmap* bitmap);
  void StretchDraw(const QRect& r, const TBitmap* bitmap);
  // Copies `source` (a bitmap canvas) rectangle to `dest`, scaling when the sizes differ.
  void CopyRect(const QRect& dest, TCanvas* source, const QRect& sourceRect);
  void DrawImage(const QRect& dest, const QImage& image, const QRect& source);

  // Pixel access: works on bitmap canvases (clBlack/-1 outside).
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

  // The bitmap this canvas draws on, if any.
  TBitmap* Bitmap() const { return bitmap_; }

  // Raised after drawing on a bitmap canvas changed its pixels.
  std::function<void()> OnChange;

protected:
  friend class TBitmap;
  void AttachImage(TBitmap* bitmap, QImage* image);
  void ApplyPen(QPainter& p) const;
  void ApplyBrush(QPainter& p) const;
  void Changed();

private:
  TPen* pen_;
  TBrush* brush_;
  TFont* font_;
  QPoint penPos_;
  QPainter* painter_ = nullptr;        // lent or own
  std::unique_ptr<QPainter> own_;       // on image_
  QImage* image_ = nullptr;
  TBitmap* bitmap_ = nullptr;
  int lendDepth_ = 0;
  std::recursive_mutex lock_;
};

// ---------------------------------------------------------------- bitmap

VELMORA_EXCEPTION(EInvalidGraphicOperation, Exception);

// A 24-bit device-independent picture: rows of blue, green, red bytes, each
// row padded to 4 bytes, addressed top-down through ScanLine. Published as a
// BMP file ("Data") in descriptions.
class TBitmap : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:TransparentColor", "TColor")
  Q_PROPERTY(QByteArray Data READ Data WRITE SetData)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(int TransparentColor READ TransparentColor WRITE SetTransparentColor)
  Q_PROPERTY(TTransparentMode TransparentMode READ TransparentMode WRITE SetTransparentMode)
public:
  enum TTransparentMode { tmAuto, tmFixed };
  Q_ENUM(TTransparentMode)

  explicit TBitmap(QObject* parent = nullptr);
  ~TBitmap() override;

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  bool Empty() const { return image_.isNull(); }
  // New size; existing pixels at the top-left stay, new ones are black. A
  // size beyond the guard raises EOutOfResources.
  void SetSize(int width, int height);
  void SetWidth(int w) { SetSize(w, Height()); }
  void SetHeight(int h) { SetSize(Width(), h); }

  TCanvas* Canvas();
  // Row y: Width() pixels of 3 bytes (blue, green, red). EInvalidGraphicOperation
  // "Scan line index out of range" for a bad row.
  uchar* ScanLine(int y);
  const uchar* ScanLine(int y) const;
  int BytesPerLine() const { return int(image_.bytesPerLine()); }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  // tmAuto: the bottom-left pixel's colour; tmFixed: the stored one.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor v);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode v);

  // Reads a BMP file (1, 4, 8, 24 bits); EFOpenError when it cannot be opened,
  // EInvalidGraphic when it is not a sound BMP (the bitmap stays unchanged).
  void LoadFromFile(const QString& path);
  void LoadFromStream(QIODevice& stream);
  void LoadFromData(const QByteArray& bmp);
  // Writes a complete 24-bit BMP file.
  void SaveToFile(const QString& path) const;
  void SaveToStream(QIODevice& stream) const;
  QByteArray Data() const;
  void SetData(const QByteArray& bmp);

  void Assign(const TPersistent* source) override;
  // The pixels (Format_BGR888), and replacing them (converted).
  const QImage& Image() const;
  void SetImage(const QImage& image);
  // The picture with its transparent colour made transparent (when Transparent).
  QImage ImageForDrawing() const;
  void Changed() { TPersistent::Changed(); }

private:
  QImage image_;
  TCanvas* canvas_ = nullptr;
  bool transparent_ = false;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
};

// Region helpers over QRegion (a window's shape).
namespace Regions {
QRegion Rect(const QRect& r);
QRegion Union(const QRegion& a, const QRegion& b);
// The pixels of `mask` whose colour is `color` (0x00BBGGRR), moved by the offset.
QRegion FromMask(const QImage& mask, TColor color, QPoint offset = {});
} // namespace Regions

// Registers fonts, pens, brushes, bitmaps and the colour names.
void RegisterGraphicsClasses();
