// Bases of the mixer components: the change-reporting object with update
// batching, the bevel every mixer control draws around itself, and the roots
// of the component tree.
#pragma once

#include "mixer/mm_types.h"
#include "toolkit/component.h"

#include <QRect>
#include <functional>
#include <vector>

// A persistent object that reports its changes (OnChange, inherited from
// TPersistent) and can batch them between BeginUpdate and EndUpdate.
class TMMObject : public TPersistent {
  Q_OBJECT
public:
  explicit TMMObject(QObject* parent = nullptr) : TPersistent(parent) {}

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Fired when a batch of changes begins.
  std::function<void(TPersistent*)> OnChanging;

protected:
  virtual void DoChange(bool Starting);
  virtual void Changing();
  // Fires OnChange unless a batch is open.
  virtual void Changed();

private:
  int updateCount_ = 0;
};

// One ring set of the bevel: Width nested one-pixel rings starting at Rect,
// top and left edges in TopLeft, bottom and right edges in BottomRight.
struct TMMBevelFrame {
  QRect Rect;
  int Width;
  mm::TColor TopLeft;
  mm::TColor BottomRight;
};

class TMMBevel : public TMMObject {
  Q_OBJECT
  Q_PROPERTY(mm::TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)
  Q_PROPERTY(mm::TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
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

  mm::TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(mm::TBevelCut value) { Set(bevelInner_, value); }
  mm::TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(mm::TBevelCut value) { Set(bevelOuter_, value); }
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
  mm::TColor Color(int index) const { return colors_[index]; }
  void SetColor(int index, mm::TColor value) { Set(colors_[index], value); }
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

private:
  template <typename T>
  void Set(T& field, T value)
  {
    if (field == value) return;
    field = value;
    Changed();
  }

  mm::TBevelCut bevelInner_ = mm::bvNone;
  mm::TBevelCut bevelOuter_ = mm::bvLowered;
  int bevelInnerWidth_ = 1;
  int bevelOuterWidth_ = 1;
  mm::TBorderStyle borderStyle_ = mm::bsNone;
  int borderWidth_ = 0;
  int borderSpace_ = 0;
  mm::TColor colors_[6] = {mm::clBtnFace, mm::clBlack, mm::clBtnHighlight, mm::clBtnShadow, mm::clBtnHighlight,
                           mm::clBtnShadow};
};

// Root of all mixer components.
class TMMComponent : public TComponent {
  Q_OBJECT
public:
  explicit TMMComponent(TComponent* AOwner) : TComponent(AOwner) {}
};

// Root of devices, lines, mixer controls and connectors.
class TMMNonVisualComponent : public TMMComponent {
  Q_OBJECT
public:
  explicit TMMNonVisualComponent(TComponent* AOwner) : TMMComponent(AOwner) {}
};
