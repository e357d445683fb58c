// Pixel surfaces of the meters: TMMDIBCanvas keeps an 8-bit (palette) or
// 24-bit picture that is written pixel by pixel between BeginDraw and EndDraw
// and copied to the screen in one piece; TMMDIBGraphicControl is the
// window-less control that owns one and paints at once through the toolkit's
// repaint; TBitmapCache shares back buffers of equal size between sliders.
#pragma once

#include "mixer_ui/mm_bevel.h"
#include "toolkit/graphics.h"

#include <QImage>
#include <QVector>
#include <functional>

VELMORA_EXCEPTION(EMMDIBError, Exception);

class TMMDIBCanvas : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int BitsPerPixel READ BitsPerPixel WRITE SetBitsPerPixel)
  Q_PROPERTY(bool PaletteRealize READ PaletteRealize WRITE SetPaletteRealize)
  Q_PROPERTY(bool PaletteMapped READ PaletteMapped WRITE SetPaletteMapped)
  Q_PROPERTY(TBitmap* BackGroundBitmap READ BackGroundBitmap WRITE SetBackGroundBitmap)
  Q_PROPERTY(bool StretchBackGround READ StretchBackGround WRITE SetStretchBackGround)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
public:
  // `control` names the canvas in errors (its class name).
  explicit TMMDIBCanvas(QObject* control = nullptr);
  ~TMMDIBCanvas() override;

  int BitsPerPixel() const { return bitsPerPixel_; }
  // 8 or 24, else EMMDIBError "Bitlength not supported yet".
  void SetBitsPerPixel(int value);
  bool PaletteRealize() const { return paletteRealize_; }
  void SetPaletteRealize(bool value);
  bool PaletteMapped() const { return paletteMapped_; }
  void SetPaletteMapped(bool value) { paletteMapped_ = value; }
  TBitmap* BackGroundBitmap() const { return background_; }
  // Copies the picture (none or an empty one: no background).
  void SetBackGroundBitmap(TBitmap* value);
  bool StretchBackGround() const { return stretchBackground_; }
  void SetStretchBackGround(bool value);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int value) { SetSize(value, height_); }
  void SetHeight(int value) { SetSize(width_, value); }
  // Each side at least 1; a change makes the bitmap stale.
  void SetSize(int width, int height);
  QRect ClipRect() const { return clip_; }

  // The surface, rebuilt first when stale.
  const QImage& Handle();
  bool Stale() const { return stale_; }
  bool Drawing() const { return drawing_; }
  // The 256 palette entries (0x00BBGGRR).
  const QVector<QRgb>& Palette() const { return palette_; }
  // Drops and makes the surfaces anew; refused while drawn on.
  void RebuildDIB();

  // One drawing pass in the whole process at a time (a process-wide lock).
  void BeginDraw();
  void EndDraw();
  // Colour of the fill primitives; at 8 bits the nearest palette entry.
  void SetDrawColor(TColor color);
  int DrawIndex() const { return drawIndex_; }
  // Pixel primitives, only between BeginDraw and EndDraw, clipped to ClipRect.
  void ClearAll();
  void CopyBackground();
  void CopyBackground(const TMMDIBCanvas* source);
  void FillRect(const QRect& r);
  // Only every second pixel of every second row.
  void FillRectDotted(const QRect& r);

  // The surface's pixel at (x, y) as 0x00BBGGRR.
  TColor PixelColor(int x, int y) const;
  // Draws the surface from (sx, sy) into `dest` on the painter (one copy).
  void CopyTo(QPainter& painter, const QRect& dest, int sx, int sy);

  // Raised by EndDraw: the picture changed.
  std::function<void()> OnDrawn;

private:
  void MarkStale();
  void BuildPalette();
  QImage ToSurfaceFormat(const QImage& picture) const;
  void FillSpan(const QRect& r, bool dotted);

  QObject* control_;
  int bitsPerPixel_ = 8;
  bool paletteRealize_ = false;
  bool paletteMapped_ = false;
  TBitmap* background_;
  bool stretchBackground_ = true;
  int width_ = 1, height_ = 1;
  QRect clip_{0, 0, 1, 1};
  QImage image_;
  QImage backgroundImage_;
  QVector<QRgb> palette_;
  bool stale_ = true;
  bool drawing_ = false;
  QRgb drawRgb_ = 0;
  int drawIndex_ = 0;
};

// A window-less mixer control drawing into its own DIB canvas.
class TMMDIBGraphicControl : public TMMGraphicControl {
  Q_OBJECT
  Q_PROPERTY(int Tag2 READ Tag2 WRITE SetTag2)
  Q_PROPERTY(TBitmap* Bitmap READ Bitmap WRITE SetBitmap)
  Q_PROPERTY(bool BitmapBackGround READ BitmapBackGround WRITE SetBitmapBackGround)
public:
  explicit TMMDIBGraphicControl(TComponent* AOwner);

  TMMDIBCanvas* DIBCanvas() const { return dib_; }
  int Tag2() const { return tag2_; }
  void SetTag2(int value) { tag2_ = value; }
  virtual int BitsPerPixel() const { return dib_->BitsPerPixel(); }
  virtual void SetBitsPerPixel(int value);
  TBitmap* Bitmap() const { return picture_; }
  void SetBitmap(TBitmap* value);
  bool BitmapBackGround() const { return usePicture_; }
  void SetBitmapBackGround(bool value);

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void Loaded() override;

  // Paints the control now, outside the paint cycle, when it can be seen.
  // Returns whether it painted.
  bool PaintDirect();

protected:
  void ApplyBackground();

private:
  TMMDIBCanvas* dib_;
  int tag2_ = 0;
  TBitmap* picture_;
  bool usePicture_ = false;
};

// Back buffers of the sliders, shared by size (all painting happens on the
// UI thread and fills a buffer whole before copying it out).
class TBitmapCache {
public:
  // A bitmap of exactly that size, shared with other holders of that size.
  static TBitmap* AcquireBitmap(int width, int height);
  // Drops one hold; the last one frees the bitmap. Clears `bitmap`.
  static void ReleaseBitmap(TBitmap*& bitmap);
  // Distinct bitmaps held now (0: the cache is gone).
  static int Count();
};
