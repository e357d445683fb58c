// The skinned scroll bar: a track, a thumb and two arrow buttons drawn from
// "hscrollbar", "vscrollbar" or "bothhscrollbar" (or a built-in look), thumb
// drags mapped onto the range, arrow and page steps repeated on a timer.
//
// The skin names the buttons by direction of the value: the up button
// increases Position (right end, or bottom), the down button decreases it.
#pragma once

#include "skin_controls/skin_control.h"

#include <QTimer>

// Turns wheel angles into whole notches of 120 units, keeping the rest, so a
// touchpad's many small deltas add up instead of each counting as a notch.
class TbsWheelNotches {
public:
  // Whole notches in `delta` plus what was left over (+ away from the user).
  int Add(int delta);
  void Reset() { rest_ = 0; }

private:
  int rest_ = 0;
};

class TbsSkinScrollBar : public TbsSkinCustomControl {
  Q_OBJECT
  Q_PROPERTY(TScrollBarKind Kind READ Kind WRITE SetKind)
  Q_PROPERTY(int Min READ Min WRITE SetMin)
  Q_PROPERTY(int Max READ Max WRITE SetMax)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)
  Q_PROPERTY(int PageSize READ PageSize WRITE SetPageSize)
  Q_PROPERTY(int SmallChange READ SmallChange WRITE SetSmallChange)
  Q_PROPERTY(int LargeChange READ LargeChange WRITE SetLargeChange)
  Q_PROPERTY(bool CanFocused READ CanFocused WRITE SetCanFocused)
  Q_PROPERTY(bool Both READ Both WRITE SetBoth)
  Q_PROPERTY(int BothMarkerWidth READ BothMarkerWidth WRITE SetBothMarkerWidth)
  Q_PROPERTY(QString BothSkinDataName READ BothSkinDataName WRITE SetBothSkinDataName)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
  Q_PROPERTY(TNotifyEvent OnLastChange READ OnLastChange WRITE SetOnLastChange)
  Q_PROPERTY(TNotifyEvent OnUpButtonClick READ OnUpButtonClick WRITE SetOnUpButtonClick)
  Q_PROPERTY(TNotifyEvent OnDownButtonClick READ OnDownButtonClick WRITE SetOnDownButtonClick)
  Q_PROPERTY(TNotifyEvent OnPageUp READ OnPageUp WRITE SetOnPageUp)
  Q_PROPERTY(TNotifyEvent OnPageDown READ OnPageDown WRITE SetOnPageDown)

public:
  enum TScrollBarKind { sbHorizontal, sbVertical };
  Q_ENUM(TScrollBarKind)
  enum TPart { NoPart = -1, ThumbPart = 0, UpButtonPart = 1, DownButtonPart = 2 };
  enum TAutoAction { aaNone = 0, aaStepToMin = 1, aaStepToMax = 2, aaPageToMin = 3, aaPageToMax = 4 };

  explicit TbsSkinScrollBar(TComponent* AOwner);

  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind v);
  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  int Position() const { return position_; }
  // Clamped to [Min, max(Min, Max - PageSize + 1)]; a change repaints and raises OnChange.
  void SetPosition(int v);
  int PageSize() const { return pageSize_; }
  // Taken only when the page fits the range from Position on.
  void SetPageSize(int v);
  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int v);
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int v);
  bool CanFocused() const { return canFocused_; }
  void SetCanFocused(bool v);
  bool Both() const { return both_; }
  void SetBoth(bool v);
  int BothMarkerWidth() const { return bothMarkerWidth_; }
  void SetBothMarkerWidth(int v);
  QString BothSkinDataName() const { return bothSkinDataName_; }
  void SetBothSkinDataName(const QString& v) { bothSkinDataName_ = v; }
  // All four at once, without OnChange (owners mirror a list's scroll state).
  void AssignRange(int min, int max, int pageSize, int position);

  // The highest position the range and page allow.
  int MaxPosition() const;

  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }
  TNotifyEvent OnLastChange() const { return onLastChange_; }
  void SetOnLastChange(const TNotifyEvent& e) { onLastChange_ = e; }
  TNotifyEvent OnUpButtonClick() const { return onUpButtonClick_; }
  void SetOnUpButtonClick(const TNotifyEvent& e) { onUpButtonClick_ = e; }
  TNotifyEvent OnDownButtonClick() const { return onDownButtonClick_; }
  void SetOnDownButtonClick(const TNotifyEvent& e) { onDownButtonClick_ = e; }
  TNotifyEvent OnPageUp() const { return onPageUp_; }
  void SetOnPageUp(const TNotifyEvent& e) { onPageUp_ = e; }
  TNotifyEvent OnPageDown() const { return onPageDown_; }
  void SetOnPageDown(const TNotifyEvent& e) { onPageDown_ = e; }

  // Current layout (computed on demand).
  QRect PartRect(TPart part);
  QRect TrackArea();
  int HotPart() const { return hotPart_; }
  int CapturedPart() const { return capturedPart_; }
  bool ThumbDragging() const { return thumbDragging_; }
  // The repeat timer (window timer 1): its tick is public so tests drive it.
  bool RepeatActive() const { return timer_.isActive(); }
  int RepeatInterval() const { return timer_.interval(); }
  void RepeatTimerTick();

  void WndProc(TMessage& Message) override;

protected:
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  void EnabledChanged() override;

private:
  struct Part {
    QRect Rect;
    bool Hot = false, Down = false;
  };
  void CalcLayout();
  void CopyDefinition();
  int Along(QPoint p) const { return kind_ == sbHorizontal ? p.x() : p.y(); }
  int TrackStart() const;
  int TrackEnd() const;
  int PositionAtOffset(double fraction) const;
  void UpdateHotPart(QPoint p);
  void StepUp();
  void StepDown();
  void PageTowardMin();
  void PageTowardMax();
  void StartRepeat(int interval);
  void StopRepeat();
  void DrawDefaultBox(TCanvas* canvas, const QRect& r, bool hot, bool down) const;

  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0, max_ = 100, position_ = 0, pageSize_ = 0;
  int smallChange_ = 1, largeChange_ = 1;
  bool canFocused_ = false;
  bool both_ = false;
  int bothMarkerWidth_ = 19;
  QString bothSkinDataName_ = QStringLiteral("bothhscrollbar");
  QString normalSkinDataName_;

  Part parts_[3];
  int hotPart_ = NoPart, capturedPart_ = NoPart;
  QRect stretchedTrackArea_;
  int minThumbLength_ = 16;
  int thumbBreadth_ = 0;
  int thumbTravelStart_ = 0, thumbTravelEnd_ = 0, thumbOffset_ = 0, thumbHalf_ = 0;
  bool thumbDragging_ = false;
  int dragOrigin_ = 0, dragStartOffset_ = 0;
  bool leftButtonHeld_ = false;
  QPoint lastPointer_;
  int autoAction_ = aaNone;
  bool firstDelay_ = false;
  QTimer timer_;
  TbsWheelNotches wheel_;

  // The definition's rectangles, with the fallbacks applied.
  struct SkinParts {
    QRect TrackArea, UpButton, DownButton;
    QRect ActiveUp, DownUp, ActiveDown, DownDown;
    QRect Thumb, ActiveThumb, DownThumb, Glyph, ActiveGlyph, DownGlyph;
    int ThumbOffset1 = 0, ThumbOffset2 = 0;
  } skin_;

  TNotifyEvent onChange_, onLastChange_, onUpButtonClick_, onDownButtonClick_, onPageUp_, onPageDown_;
};
