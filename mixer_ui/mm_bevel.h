// The bevel every mixer control draws around itself, and the visual bases
// that own one: a windowed control, a window-less one and a container.
#pragma once

#include "mixer/mm_object.h"
#include "toolkit/std_controls.h"

#include <QRect>
#include <functional>
#include <vector>

// One ring set of the bevel: Width nested one-pixel rings starting at Rect,
// top and left edges in TopLeft, bottom and right edges in BottomRight.
struct TMMBevelFrame {
  QRect Rect;
  int Width;
  TColor TopLeft;
  TColor BottomRight;
};

class TMMBevel : public TMMObject {
  Q_OBJECT
  Q_PROPERTY(TControl::TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)
  Q_PROPERTY(TControl::TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
  Q_PROPERTY(int BevelInnerWidth READ BevelInnerWidth WRITE SetBevelInnerWidth)
  Q_PROPERTY(int BevelOuterWidth READ BevelOuterWidth WRITE SetBevelOuterWidth)
  Q_PROPERTY(mm::TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
  Q_PROPERTY(int BorderSpace READ BorderSpace WRITE SetBorderSpace)
  Q_PROPERTY(int BorderColor READ BorderColor WRITE SetBorderColor)
  Q_PROPERTY(int BorderSpaceColor READ BorderSpaceColor WRITE SetBorderSpaceColor)
  Q_PROPERTY(int InnerLightColor READ InnerLightColor WRITE SetInnerLightColor)
  Q_PROPERTY(int InnerShadowColor READ InnerShadowColor WRITE SetInnerShadowColor)
  Q_PROPERTY(int OuterLightColor READ OuterLightColor WRITE SetOuterLightColor)
  Q_PROPERTY(int OuterShadowColor READ OuterShadowColor WRITE SetOuterShadowColor)

public:
  enum ColorIndex { ciBorder, ciBorderSpace, ciInnerLight, ciInnerShadow, ciOuterLight, ciOuterShadow };

  explicit TMMBevel(QObject* parent = nullptr) : TMMObject(parent) {}

  TControl::TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TControl::TBevelCut value) { Set(bevelInner_, value); }
  TControl::TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TControl::TBevelCut value) { Set(bevelOuter_, value); }
  int BevelInnerWidth() const { return bevelInnerWidth_; }
  void SetBevelInnerWidth(int value) { Set(bevelInnerWidth_, value); }
  int BevelOuterWidth() const { return bevelOuterWidth_; }
  void SetBevelOuterWidth(int value) { Set(bevelOuterWidth_, value); }
  mm::TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(mm::TBorderStyle value) { Set(borderStyle_, value); }
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value) { Set(borderWidth_, value); }
  int BorderSpace() const { return borderSpace_; }
  void SetBorderSpace(int value) { Set(borderSpace_, value); }

  // The six colours, also by index (ColorIndex).
  TColor Color(int index) const { return colors_[index]; }
  void SetColor(int index, TColor value) { Set(colors_[index], value); }
  int BorderColor() const { return colors_[ciBorder]; }
  void SetBorderColor(int value) { SetColor(ciBorder, value); }
  int BorderSpaceColor() const { return colors_[ciBorderSpace]; }
  void SetBorderSpaceColor(int value) { SetColor(ciBorderSpace, value); }
  int InnerLightColor() const { return colors_[ciInnerLight]; }
  void SetInnerLightColor(int value) { SetColor(ciInnerLight, value); }
  int InnerShadowColor() const { return colors_[ciInnerShadow]; }
  void SetInnerShadowColor(int value) { SetColor(ciInnerShadow, value); }
  int OuterLightColor() const { return colors_[ciOuterLight]; }
  void SetOuterLightColor(int value) { SetColor(ciOuterLight, value); }
  int OuterShadowColor() const { return colors_[ciOuterShadow]; }
  void SetOuterShadowColor(int value) { SetColor(ciOuterShadow, value); }

  // Copies another bevel in one batch; anything else raises EConvertError.
  void Assign(const TPersistent* Source) override;

  // Pixels the frame takes on each side.
  int BevelExtent() const;

  // The frames PaintBevel draws into Rect, outside in, and the rectangle left
  // inside them. Without FillBorder the border is skipped but still insets.
  std::vector<TMMBevelFrame> BevelFrames(const QRect& Rect, bool FillBorder, QRect& InnerRect) const;
  // Draws the frame into Rect and gives the rectangle inside it.
  virtual void PaintBevel(TCanvas* Canvas, const QRect& Rect, QRect& InnerRect, bool FillBorder) const;

private:
  template <typename T>
  void Set(T& field, T value)
  {
    if (field == value) return;
    field = value;
    Changed();
  }

  TControl::TBevelCut bevelInner_ = TControl::bvNone;
  TControl::TBevelCut bevelOuter_ = TControl::bvLowered;
  int bevelInnerWidth_ = 1;
  int bevelOuterWidth_ = 1;
  mm::TBorderStyle borderStyle_ = mm::bsNone;
  int borderWidth_ = 0;
  int borderSpace_ = 0;
  TColor colors_[6] = {clBtnFace, clBlack, clBtnHighlight, clBtnShadow, clBtnHighlight, clBtnShadow};
};

// Bevel handling shared by the three visual bases: the bevel is owned, its
// changes reach the control, and it is cut off before it is freed.
class TMMBevelOwner {
public:
  explicit TMMBevelOwner(std::function<void()> changed);
  ~TMMBevelOwner();
  TMMBevelOwner(const TMMBevelOwner&) = delete;
  TMMBevelOwner& operator=(const TMMBevelOwner&) = delete;
  TMMBevel* Bevel() const { return bevel_; }
  int Extent() const { return bevel_ ? bevel_->BevelExtent() : 0; }

private:
  TMMBevel* bevel_;
};

// The bevel part of the three visual bases over their toolkit base. A
// template because moc allows no templated Q_OBJECT class: the bases add the
// property.
template <class Base>
class TMMBevelled : public Base {
public:
  explicit TMMBevelled(TComponent* AOwner) : Base(AOwner) {}
  TMMBevel* Bevel() const { return bevel_.Bevel(); }
  void SetBevel(TMMBevel* value) { bevel_.Bevel()->Assign(value); }
  int BevelExtent() const { return bevel_.Extent(); }
  // The area inside the bevel: (0, 0, Width, Height) inset by BevelExtent.
  QRect InnerRect() const
  {
    const int by = BevelExtent();
    return QRect(0, 0, this->Width(), this->Height()).adjusted(by, by, -by, -by);
  }

protected:
  virtual void BevelChanged() { this->Invalidate(); }

private:
  TMMBevelOwner bevel_{[this] { BevelChanged(); }};
};

// A windowed mixer control (the slider) with a bevel around it.
class TMMCustomControl : public TMMBevelled<TCustomControl> {
  Q_OBJECT
  Q_PROPERTY(TMMBevel* Bevel READ Bevel WRITE SetBevel)
public:
  explicit TMMCustomControl(TComponent* AOwner);

protected:
  void Paint() override;
};

// A window-less mixer control (meters, DIB controls) with a bevel around it.
class TMMGraphicControl : public TMMBevelled<TGraphicControl> {
  Q_OBJECT
  Q_PROPERTY(TMMBevel* Bevel READ Bevel WRITE SetBevel)
public:
  explicit TMMGraphicControl(TComponent* AOwner);

protected:
  void Paint() override;
};

// A container (the mixer block) whose only frame is its bevel; children are
// aligned inside it.
class TMMCustomPanel : public TMMBevelled<TPanel> {
  Q_OBJECT
  Q_PROPERTY(TMMBevel* Bevel READ Bevel WRITE SetBevel)
public:
  explicit TMMCustomPanel(TComponent* AOwner);
  void AdjustClientRect(QRect& rect) const override;

protected:
  void Paint() override;
  void BevelChanged() override;
};
