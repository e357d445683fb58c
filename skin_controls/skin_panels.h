// Skinned containers: TbsSkinPanel (definition "panel") with an optional
// caption strip that can carry a check box and a roll-up arrow;
// TbsSkinToolBar ("toolpanel"), the strip of speed buttons that lends them its
// image lists and scrolls them when they do not fit; TbsSkinStatusBar
// ("statusbar"), which hands its skin on to its skinned children.
#pragma once

#include "skin_controls/skin_control.h"

#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

class TImageList;
class TbsDataSkinPanelControl;
class TbsDataSkinButtonControl;

// Frame of panels and labels without a definition (named integers "bvFrame"...).
enum class TbsSkinBorderStyle { bvFrame, bvRaised, bvLowered, bvNone };

// The one-pixel frame of a border style on `r` (nothing for bvNone).
void DrawSkinBorder(TCanvas* canvas, const QRect& r, int borderStyle);

class TbsSkinPanel : public TbsSkinCustomControl {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:BorderStyle", "TbsSkinBorderStyle")
  Q_PROPERTY(bool CheckedMode READ CheckedMode WRITE SetCheckedMode)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(TNotifyEvent OnChecked READ OnChecked WRITE SetOnChecked)
  Q_PROPERTY(bool AutoEnabledControls READ AutoEnabledControls WRITE SetAutoEnabledControls)
  Q_PROPERTY(TBitmap* Glyph READ Glyph WRITE SetGlyph)
  Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
  Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
  Q_PROPERTY(int RealHeight READ RealHeight WRITE SetRealHeight)
  Q_PROPERTY(bool RollUpMode READ RollUpMode WRITE SetRollUpMode)
  Q_PROPERTY(bool RollUpState READ RollUpState WRITE SetRollUpState)
  Q_PROPERTY(bool CaptionMode READ CaptionMode WRITE SetCaptionMode)
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(int DefaultCaptionHeight READ DefaultCaptionHeight WRITE SetDefaultCaptionHeight)
  Q_PROPERTY(TAlignment DefaultAlignment READ DefaultAlignment WRITE SetDefaultAlignment)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
  explicit TbsSkinPanel(TComponent* AOwner);

  bool CheckedMode() const { return checkedMode_; }
  void SetCheckedMode(bool v);
  bool Checked() const { return checked_; }
  // Raises OnChecked on every assignment, an unchanged one too.
  void SetChecked(bool v);
  TNotifyEvent OnChecked() const { return onChecked_; }
  void SetOnChecked(const TNotifyEvent& e) { onChecked_ = e; }
  bool AutoEnabledControls() const { return autoEnabledControls_; }
  void SetAutoEnabledControls(bool v) { autoEnabledControls_ = v; }
  TBitmap* Glyph() const { return glyph_; }
  void SetGlyph(TBitmap* v);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  int RealHeight() const { return realHeight_; }
  void SetRealHeight(int v) { realHeight_ = v; }
  bool RollUpMode() const { return rollUpMode_; }
  void SetRollUpMode(bool v);
  bool RollUpState() const { return rollUpState_; }
  void SetRollUpState(bool v);
  bool CaptionMode() const { return captionMode_; }
  void SetCaptionMode(bool v);
  int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int v);
  int DefaultCaptionHeight() const { return defaultCaptionHeight_; }
  void SetDefaultCaptionHeight(int v);
  TAlignment DefaultAlignment() const { return defaultAlignment_; }
  void SetDefaultAlignment(TAlignment v);

  // The definition's caption rectangle at the panel's size (empty without one).
  QRect MappedCaptionRect() const { return mappedCaptionRect_; }
  int HiddenChildCount() const { return int(hiddenChildren_.size()); }

  void LoadSkinDefinition() override;
  void ApplySkinData() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void AdjustClientRect(QRect& rect) const override;

protected:
  void Paint() override;
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void TextChanged() override;
  void EnabledChanged() override;
  const TbsDataSkinPanelControl* PanelDefinition() const;
  bool HasDefinition() const { return skinControlIndex_ != -1 && !IsDesigning(); }
  // The client area the children share.
  QRect PanelClientRect() const;
  void DrawCaptionStrip(TCanvas* canvas, QRect strip);
  void DrawDefaultCaption(TCanvas* canvas);
  void RollUp();
  void RollDown();

private:
  bool checkedMode_ = false;
  bool checked_ = false;
  TNotifyEvent onChecked_;
  bool autoEnabledControls_ = true;
  TBitmap* glyph_;
  int numGlyphs_ = 1;
  int spacing_ = 2;
  int realHeight_ = -1;
  bool rollUpMode_ = false;
  bool rollUpState_ = false;
  bool captionMode_ = false;
  int borderStyle_ = int(TbsSkinBorderStyle::bvFrame);
  int defaultCaptionHeight_ = 22;
  TAlignment defaultAlignment_ = taLeftJustify;
  QRect mappedCaptionRect_;
  std::vector<QPointer<TControl>> hiddenChildren_;
};

// ---------------------------------------------------------------- tool bar

class TbsSkinToolBar : public TbsSkinPanel {
  Q_OBJECT
  Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(TImageList* HotImages READ HotImages WRITE SetHotImages)
  Q_PROPERTY(TImageList* DisabledImages READ DisabledImages WRITE SetDisabledImages)
  Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
  Q_PROPERTY(bool ShowCaptions READ ShowCaptions WRITE SetShowCaptions)
  Q_PROPERTY(bool AutoShowHideCaptions READ AutoShowHideCaptions WRITE SetAutoShowHideCaptions)
  Q_PROPERTY(int WidthWithCaptions READ WidthWithCaptions WRITE SetWidthWithCaptions)
  Q_PROPERTY(int WidthWithoutCaptions READ WidthWithoutCaptions WRITE SetWidthWithoutCaptions)
  Q_PROPERTY(bool CanScroll READ CanScroll WRITE SetCanScroll)
  Q_PROPERTY(bool HotScroll READ HotScroll WRITE SetHotScroll)
  Q_PROPERTY(int ScrollOffset READ ScrollOffset WRITE SetScrollOffset)
  Q_PROPERTY(int ScrollTimerInterval READ ScrollTimerInterval WRITE SetScrollTimerInterval)

public:
  enum TScrollDirection { sdNone, sdLeft, sdRight };
  // Hit-test answers for the arrows.
  static constexpr int HTSCROLLLEFT = 100, HTSCROLLRIGHT = 101;
  static constexpr int kArrowWidth = 12;

  explicit TbsSkinToolBar(TComponent* AOwner);
  ~TbsSkinToolBar() override;

  TImageList* Images() const { return images_; }
  void SetImages(TImageList* v);
  TImageList* HotImages() const { return hotImages_; }
  void SetHotImages(TImageList* v);
  TImageList* DisabledImages() const { return disabledImages_; }
  void SetDisabledImages(TImageList* v);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  bool ShowCaptions() const { return showCaptions_; }
  void SetShowCaptions(bool v);
  bool AutoShowHideCaptions() const { return autoShowHideCaptions_; }
  void SetAutoShowHideCaptions(bool v) { autoShowHideCaptions_ = v; }
  int WidthWithCaptions() const { return widthWithCaptions_; }
  void SetWidthWithCaptions(int v) { widthWithCaptions_ = v; }
  int WidthWithoutCaptions() const { return widthWithoutCaptions_; }
  void SetWidthWithoutCaptions(int v) { widthWithoutCaptions_ = v; }
  bool CanScroll() const { return canScroll_; }
  void SetCanScroll(bool v);
  bool HotScroll() const { return hotScroll_; }
  void SetHotScroll(bool v) { hotScroll_ = v; }
  int ScrollOffset() const { return scrollOffset_; }
  void SetScrollOffset(int v);
  int ScrollTimerInterval() const { return scrollTimerInterval_; }
  void SetScrollTimerInterval(int v);

  bool ArrowsShown() const { return arrowsShown_; }
  int ScrollPosition() const { return scrollPos_; }
  // The largest right edge of the visible children, unscrolled.
  int ContentExtent() const;
  // One scroll step; false when the position could not move.
  bool ScrollStep(TScrollDirection direction);
  bool ScrollTimerActive() const { return scrollTimer_ && scrollTimer_->isActive(); }
  void ScrollTimerTick();
  // Shows or hides the arrows for the current content and width.
  void UpdateScrolling();

  void SetSkinData(TbsSkinData* value) override;
  void LoadSkinDefinition() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void AdjustClientRect(QRect& rect) const override;
  void WndProc(TMessage& Message) override;
  void Loaded() override;

protected:
  void DrawSkinLook(TBitmap& bitmap) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void InsertControl(TControl* c) override;

private:
  void ForEachSpeedButton(const std::function<void(class TbsSkinSpeedButton*)>& f) const;
  void ShowArrows(bool show);
  void StartScrolling(TScrollDirection direction);
  void StopScrolling();
  void DrawArrows(TCanvas* canvas);
  int HitArrow(QPoint clientPoint) const;

  TImageList* images_ = nullptr;
  TImageList* hotImages_ = nullptr;
  TImageList* disabledImages_ = nullptr;
  bool flat_ = false;
  bool showCaptions_ = false;
  bool autoShowHideCaptions_ = false;
  int widthWithCaptions_ = 0;
  int widthWithoutCaptions_ = 0;
  bool canScroll_ = false;
  bool hotScroll_ = false;
  int scrollOffset_ = 0;
  int scrollTimerInterval_ = 50;

  int scrollPos_ = 0;
  int lastClientWidth_ = 0;
  bool arrowsShown_ = false;
  bool updatingScroll_ = false;
  int hotArrow_ = 0, pressedArrow_ = 0;
  TScrollDirection scrolling_ = sdNone;
  std::unique_ptr<QTimer> scrollTimer_;
  const TbsDataSkinButtonControl* resizeButton_ = nullptr;
};

// ---------------------------------------------------------------- status bar

class TbsSkinStatusBar : public TbsSkinPanel {
  Q_OBJECT
public:
  explicit TbsSkinStatusBar(TComponent* AOwner);
  // Also gives the skin to every windowed skinned child.
  void SetSkinData(TbsSkinData* value) override;
};
