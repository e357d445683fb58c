// The bases of every skinned control: a control names the definition it wants
// (SkinDataName) in the skin of a TbsSkinData and paints itself from the
// definition's picture, or in a plain default look when there is none.
//
//   TbsSkinControl / TbsSkinCustomControl                windowed
//   TbsGraphicSkinControl / TbsGraphicSkinCustomControl  window-less
//
// The definition is looked up again on every paint, resize and skin change
// (never cached), so a control always shows the current skin. The custom
// classes copy the definition's geometry (TbsSkinGeometry) and fit the skin
// rectangle to the control: nine parts (smBoth), three parts side by side
// (smHorizontal: the height is the skin rectangle's), stacked (smVertical),
// or the rectangle as it is (smFixed: the control takes its size).
//
// Skin changes arrive as the skin notices SKN_CHANGING and SKN_CHANGE (WParam
// the sending skin data; skin/skin_control_notices.h delivers them).
#pragma once

#include "skin/skin_data.h"
#include "skin/skin_draw.h"
#include "skin_controls/skin_binding.h"
#include "toolkit/controls.h"

#include <QImage>
#include <QPointer>

class TbsDataSkinCustomControl;

enum TbsStretchMode { smNone = -1, smFixed = 0, smBoth = 1, smHorizontal = 2, smVertical = 3 };

// The geometry a custom control copies from its definition, and what it
// derives from it for the control's current size.
class TbsSkinGeometry {
public:
  int SkinControlIndex = -1;
  QPoint LTPoint, RTPoint, LBPoint, RBPoint;
  QRect SkinRect, ClientRect;  // picture coordinates; skin-rectangle coordinates
  QPoint StretchedRightTop, StretchedLeftBottom, StretchedRightBottom;
  QRect StretchedClientRect;
  const QImage* SkinPicture = nullptr;  // into the skin's pictures, not owned
  const QImage* SkinMask = nullptr;
  TbsStretchMode StretchMode = smNone;

  // Looks `name` up (exact, case counts) in a loaded skin; the index, or -1.
  static int FindDefinition(const TbsSkinData* data, const QString& name);
  // The definition at `index`, or nullptr.
  static const TbsDataSkinControl* Definition(const TbsSkinData* data, int index);
  // Copies the definition at `index` (or forgets everything for -1).
  void Load(const TbsSkinData* data, int index);
  void Clear();

  int SkinWidth() const { return SkinRect.width(); }
  int SkinHeight() const { return SkinRect.height(); }
  // Adjusts a wanted size to what the definition allows and moves the
  // stretched points to it.
  void CalcSkinSize(int& width, int& height);
  // Moves the stretched points to the size without changing it.
  void StretchTo(int width, int height);
  // A rectangle of the skin rectangle moved to a control of that size.
  QRect MapSkinRect(const QRect& r, int width, int height) const;
  // Paints `source` of `picture` (same geometry as SkinRect) into `bitmap`,
  // fitted to a width × height control. smFixed resizes the bitmap to the
  // source; smHorizontal to the width and the source's height.
  void DrawStretchedPicture(TBitmap& bitmap, const QImage* picture, const QRect& source, int width, int height) const;
  // The window shape from the mask for a control of that size; none without a mask.
  std::optional<QRegion> MaskRegion(int width, int height) const;

  TbsFramePoints SourcePoints() const { return {LTPoint, RTPoint, LBPoint, RBPoint, ClientRect}; }
  TbsFramePoints StretchedPoints() const
  {
    return {LTPoint, StretchedRightTop, StretchedLeftBottom, StretchedRightBottom, StretchedClientRect};
  }
};

// The font and charset rules shared by the skinned controls.
namespace skin_fonts {
// `font` := the definition's name, height and style (the colour stays).
void ApplyDefinitionFont(TFont* font, const QString& name, int height, int style);
// The charset of the skin's string table when there is one, else `fallback`.
int SkinCharset(const TbsSkinData* data, int fallback);
} // namespace skin_fonts

// What a custom control shows without a definition: its default size and
// font; and whether the skin's font is wanted when there is one. Both custom
// bases hold one.
class TbsDefaultLook {
public:
  // `skinned` tells whether the control has a definition now; `fontChanged`
  // runs after every change of the default font.
  TbsDefaultLook(TControl* owner, std::function<bool()> skinned, std::function<void()> fontChanged);
  // The font outlives this part (the control frees it later): it stops calling back.
  ~TbsDefaultLook() { font_->OnChange = {}; }
  TbsDefaultLook(const TbsDefaultLook&) = delete;
  TbsDefaultLook& operator=(const TbsDefaultLook&) = delete;

  int Width() const { return width_; }
  // Without a definition a positive value resizes the control at once (not
  // while its window is being read).
  void SetWidth(int v);
  int Height() const { return height_; }
  void SetHeight(int v);
  TFont* Font() const { return font_; }
  // Copies the font.
  void SetFont(TFont* v);
  bool UseSkinFont() const { return useSkinFont_; }
  // False when it was already so.
  bool SetUseSkinFont(bool v);
  // The plain look's size: the default width and height where set, else the control's.
  QSize Size() const;

private:
  TControl* owner_;
  std::function<bool()> skinned_;
  int width_ = 0;
  int height_ = 0;
  TFont* font_;  // owned by the control
  bool useSkinFont_ = true;
};

// ---------------------------------------------------------------- shared parts

// What every skinned control does over its base (TCustomControl or
// TGraphicControl): the skin reference, the definition look-up, the skin
// notices and the off-screen paint. A template because moc allows no
// templated Q_OBJECT class: the four classes below add the properties.
template <class Base>
class TbsSkinnedControl : public Base {
public:
  explicit TbsSkinnedControl(TComponent* AOwner);

  TbsSkinData* SkinData() const { return binding_.Data(); }
  virtual void SetSkinData(TbsSkinData* value);
  QString SkinDataName() const { return binding_.Name(); }
  // Takes effect at the next look-up.
  void SetSkinDataName(const QString& value) { binding_.SetName(value); }
  int SkinControlIndex() const { return skinControlIndex_; }
  // The definition the last look-up found, or nullptr.
  const TbsDataSkinControl* SkinDefinition() const { return binding_.Definition(skinControlIndex_); }

  virtual void LoadSkinDefinition() { skinControlIndex_ = binding_.FindDefinition(); }
  // Look-up and repaint; the custom classes also fit the size.
  virtual void ApplySkinData();
  // The skin is about to change: forget the definition.
  virtual void SkinDataChanging() { skinControlIndex_ = -1; }

  void WndProc(TMessage& Message) override;
  void Loaded() override;

protected:
  // Paint the whole control into an off-screen bitmap of its size.
  virtual void DrawDefaultLook(TBitmap&) {}
  virtual void DrawSkinLook(TBitmap&) {}
  void Paint() override { PaintBuffered(this->Canvas()); }
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // OnMouseEnter / OnMouseLeave are not raised while designing.
  void MouseEnter() override;
  void MouseLeave() override;
  bool SkinLoaded() const { return binding_.Loaded(); }
  // Off-screen painting of the client area.
  void PaintBuffered(TCanvas* canvas);

  int skinControlIndex_ = -1;

private:
  TbsSkinBinding binding_{this, QString()};
};

// A custom control's part over TbsSkinControl or TbsGraphicSkinControl: the
// default look and the definition's geometry fitted to the control's size.
template <class Base>
class TbsSkinnedCustomControl : public Base {
public:
  explicit TbsSkinnedCustomControl(TComponent* AOwner) : Base(AOwner) {}

  int DefaultWidth() const { return defaultLook_.Width(); }
  void SetDefaultWidth(int v) { defaultLook_.SetWidth(v); }
  int DefaultHeight() const { return defaultLook_.Height(); }
  void SetDefaultHeight(int v) { defaultLook_.SetHeight(v); }
  TFont* DefaultFont() const { return defaultLook_.Font(); }
  void SetDefaultFont(TFont* v) { defaultLook_.SetFont(v); }
  bool UseSkinFont() const { return defaultLook_.UseSkinFont(); }
  void SetUseSkinFont(bool v)
  {
    if (defaultLook_.SetUseSkinFont(v)) this->Invalidate();
  }

  const TbsSkinGeometry& Geometry() const { return geometry_; }
  TbsStretchMode StretchMode() const { return geometry_.StretchMode; }
  QRect StretchedClientRect() const { return geometry_.StretchedClientRect; }
  QRect MapSkinRect(const QRect& r) const { return geometry_.MapSkinRect(r, this->Width(), this->Height()); }

  void LoadSkinDefinition() override;
  void ApplySkinData() override;
  void SkinDataChanging() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
  virtual void DefaultFontChanged() {}
  virtual void CalcSkinSize(int& width, int& height) { geometry_.CalcSkinSize(width, height); }
  // Shapes the window after the skin's mask; a window-less control has none.
  virtual void UpdateSkinRegion() {}
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override
  {
    DrawStretchedPicture(bitmap, geometry_.SkinPicture, geometry_.SkinRect);
  }
  void DrawStretchedPicture(TBitmap& bitmap, const QImage* picture, const QRect& source) const
  {
    geometry_.DrawStretchedPicture(bitmap, picture, source, this->Width(), this->Height());
  }
  void Paint() override;

  TbsSkinGeometry geometry_;

private:
  TbsDefaultLook defaultLook_{
      this, [this] { return this->skinControlIndex_ != -1; }, [this] { DefaultFontChanged(); }};
};

// ---------------------------------------------------------------- windowed

class TbsSkinControl : public TbsSkinnedControl<TCustomControl> {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(QString SkinDataName READ SkinDataName WRITE SetSkinDataName)

public:
  explicit TbsSkinControl(TComponent* AOwner) : TbsSkinnedControl(AOwner) {}
};

class TbsSkinCustomControl : public TbsSkinnedCustomControl<TbsSkinControl> {
  Q_OBJECT
  Q_PROPERTY(int DefaultWidth READ DefaultWidth WRITE SetDefaultWidth)
  Q_PROPERTY(int DefaultHeight READ DefaultHeight WRITE SetDefaultHeight)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)

public:
  explicit TbsSkinCustomControl(TComponent* AOwner) : TbsSkinnedCustomControl(AOwner) {}

protected:
  void UpdateSkinRegion() override;

private:
  bool regionSet_ = false;
};

// ---------------------------------------------------------------- window-less

class TbsGraphicSkinControl : public TbsSkinnedControl<TGraphicControl> {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(QString SkinDataName READ SkinDataName WRITE SetSkinDataName)

public:
  explicit TbsGraphicSkinControl(TComponent* AOwner) : TbsSkinnedControl(AOwner) {}
};

class TbsGraphicSkinCustomControl : public TbsSkinnedCustomControl<TbsGraphicSkinControl> {
  Q_OBJECT
  Q_PROPERTY(int DefaultWidth READ DefaultWidth WRITE SetDefaultWidth)
  Q_PROPERTY(int DefaultHeight READ DefaultHeight WRITE SetDefaultHeight)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)

public:
  explicit TbsGraphicSkinCustomControl(TComponent* AOwner) : TbsSkinnedCustomControl(AOwner) {}
};

extern template class TbsSkinnedControl<TCustomControl>;
extern template class TbsSkinnedControl<TGraphicControl>;
extern template class TbsSkinnedCustomControl<TbsSkinControl>;
extern template class TbsSkinnedCustomControl<TbsGraphicSkinControl>;

// Fills a rectangle of a bitmap canvas in one colour.
void FillBitmap(TBitmap& bitmap, const QRect& r, TColor color);
