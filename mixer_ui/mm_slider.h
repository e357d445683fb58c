// The track bar of the mixer controls: TMMScale draws tick marks beside the
// groove; TMMCustomSlider is the groove, a rectangular thumb, optional scales
// and end pictures, with mouse and keyboard handling and an optional
// logarithmic (dB-like) mapping between the thumb and the value.
#pragma once

#include "mixer_ui/mm_bevel.h"
#include "mixer_ui/mm_ui_types.h"
#include "toolkit/controls.h"

VELMORA_EXCEPTION(EMMScaleError, Exception);

class TMMScale : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Color", "TColor")
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(mmui::TMMScaleStyle Style READ Style WRITE SetStyle)
  Q_PROPERTY(int TickCount READ TickCount WRITE SetTickCount)
  Q_PROPERTY(int EnlargeEvery READ EnlargeEvery WRITE SetEnlargeEvery)
  Q_PROPERTY(int Size READ Size WRITE SetSize)
  Q_PROPERTY(mmui::TMMScaleOrigin Origin READ Origin WRITE SetOrigin)
  Q_PROPERTY(bool Connect READ Connect WRITE SetConnect)
public:
  explicit TMMScale(QObject* parent = nullptr) : TPersistent(parent) {}

  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Set(visible_, v); }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Set(color_, v); }
  TMMScaleStyle Style() const { return style_; }
  void SetStyle(TMMScaleStyle v) { Set(style_, v); }
  int TickCount() const { return tickCount_; }
  void SetTickCount(int v) { Set(tickCount_, std::max(v, 2)); }
  int EnlargeEvery() const { return enlargeEvery_; }
  void SetEnlargeEvery(int v) { Set(enlargeEvery_, std::max(v, 1)); }
  int Size() const { return size_; }
  void SetSize(int v) { Set(size_, std::max(v, 1)); }
  TMMScaleOrigin Origin() const { return origin_; }
  void SetOrigin(TMMScaleOrigin v) { Set(origin_, v); }
  bool Connect() const { return connect_; }
  void SetConnect(bool v) { Set(connect_, v); }

  // Copies another scale's eight properties with one notification.
  void Assign(const TPersistent* source) override;
  // Thickness across the scale.
  int ScaleExtent() const;

  TCanvas* Canvas() const { return canvas_; }
  void SetCanvas(TCanvas* canvas) { canvas_ = canvas; }
  // Draws into `r` (along its longer side); `grooveBefore`: the groove lies
  // above (or left of) the rectangle. EMMScaleError without a canvas.
  void DrawScale(const QRect& r, bool grooveBefore);
  // Offset of tick i from the start of a scale of length L.
  int TickOffset(int i, int L) const;

private:
  template <typename T>
  void Set(T& field, T value)
  {
    if (field == value) return;
    field = value;
    Changed();
  }
  void Line(int x0, int y0, int x1, int y1, bool horizontalLine);

  bool visible_ = true;
  TColor color_ = clBlack;
  TMMScaleStyle style_ = stColor;
  int tickCount_ = 11;
  int enlargeEvery_ = 5;
  int size_ = 7;
  TMMScaleOrigin origin_ = soInner;
  bool connect_ = false;
  TCanvas* canvas_ = nullptr;
  bool updating_ = false;
};

using TMMThumbDrawEvent = TEvent<TObject*, TCanvas*, QRect, bool, bool>;
using TMMGrooveDrawEvent = TEvent<TObject*, TCanvas*, QRect, bool>;
Q_DECLARE_METATYPE(TMMThumbDrawEvent)
Q_DECLARE_METATYPE(TMMGrooveDrawEvent)

class TMMCustomSlider : public TMMCustomControl {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:ThumbColor", "TColor")
  Q_CLASSINFO("IntegerIdents:GrooveColor", "TColor")
  Q_CLASSINFO("IntegerIdents:FocusColor", "TColor")
  Q_CLASSINFO("IntegerIdents:DisabledColor", "TColor")
  Q_PROPERTY(TMMBevel* Groove READ Groove WRITE SetGroove)
  Q_PROPERTY(mmui::TMMOrientation Orientation READ Orientation WRITE SetOrientation)
  Q_PROPERTY(int GrooveSize READ GrooveSize WRITE SetGrooveSize)
  Q_PROPERTY(int ThumbWidth READ ThumbWidth WRITE SetThumbWidth)
  Q_PROPERTY(int ThumbHeight READ ThumbHeight WRITE SetThumbHeight)
  Q_PROPERTY(mmui::TMMThumbStyle ThumbStyle READ ThumbStyle WRITE SetThumbStyle)
  Q_PROPERTY(int ThumbColor READ ThumbColor WRITE SetThumbColor)
  Q_PROPERTY(int GrooveColor READ GrooveColor WRITE SetGrooveColor)
  Q_PROPERTY(int FocusColor READ FocusColor WRITE SetFocusColor)
  Q_PROPERTY(int DisabledColor READ DisabledColor WRITE SetDisabledColor)
  Q_PROPERTY(mmui::TMMFocusAction FocusAction READ FocusAction WRITE SetFocusAction)
  Q_PROPERTY(bool HandCursor READ HandCursor WRITE SetHandCursor)
  Q_PROPERTY(TMMScale* Scale READ Scale WRITE SetScale)
  Q_PROPERTY(mmui::TMMScalePos ScalePosition READ ScalePosition WRITE SetScalePosition)
  Q_PROPERTY(int ScaleDistance READ ScaleDistance WRITE SetScaleDistance)
  Q_PROPERTY(TBitmap* PicLeft READ PicLeft WRITE SetPicLeft)
  Q_PROPERTY(TBitmap* PicRight READ PicRight WRITE SetPicRight)
  Q_PROPERTY(bool Logarithmic READ Logarithmic WRITE SetLogarithmic)
  Q_PROPERTY(int Sensitivity READ Sensitivity WRITE SetSensitivity)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)
  Q_PROPERTY(TNotifyEvent OnTrack READ OnTrack WRITE SetOnTrack)
  Q_PROPERTY(TNotifyEvent OnTrackEnd READ OnTrackEnd WRITE SetOnTrackEnd)
  Q_PROPERTY(TMMThumbDrawEvent OnDrawThumb READ OnDrawThumb WRITE SetOnDrawThumb)
  Q_PROPERTY(TMMGrooveDrawEvent OnDrawGroove READ OnDrawGroove WRITE SetOnDrawGroove)

public:
  explicit TMMCustomSlider(TComponent* AOwner);
  ~TMMCustomSlider() override;

  TMMBevel* Groove() const { return groove_; }
  void SetGroove(TMMBevel* v) { groove_->Assign(v); }
  TMMOrientation Orientation() const { return orientation_; }
  void SetOrientation(TMMOrientation v);
  int GrooveSize() const { return grooveSize_; }
  void SetGrooveSize(int v) { SetAndRepaint(grooveSize_, std::clamp(v, 0, 255)); }
  int ThumbWidth() const { return thumbWidth_; }
  void SetThumbWidth(int v) { SetAndRepaint(thumbWidth_, std::clamp(v, 0, 255)); }
  int ThumbHeight() const { return thumbHeight_; }
  void SetThumbHeight(int v) { SetAndRepaint(thumbHeight_, std::clamp(v, 0, 255)); }
  TMMThumbStyle ThumbStyle() const { return thumbStyle_; }
  void SetThumbStyle(TMMThumbStyle v) { SetAndRepaint(thumbStyle_, v); }
  TColor ThumbColor() const { return thumbColor_; }
  void SetThumbColor(TColor v) { SetAndRepaint(thumbColor_, v); }
  TColor GrooveColor() const { return grooveColor_; }
  void SetGrooveColor(TColor v) { SetAndRepaint(grooveColor_, v); }
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor v) { SetAndRepaint(focusColor_, v); }
  TColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor v) { SetAndRepaint(disabledColor_, v); }
  TMMFocusAction FocusAction() const { return focusAction_; }
  void SetFocusAction(TMMFocusAction v) { SetAndRepaint(focusAction_, v); }
  bool HandCursor() const { return handCursor_; }
  void SetHandCursor(bool v) { handCursor_ = v; }
  TMMScale* Scale() const { return scale_; }
  void SetScale(TMMScale* v) { scale_->Assign(v); }
  TMMScalePos ScalePosition() const { return scalePosition_; }
  void SetScalePosition(TMMScalePos v) { SetAndRepaint(scalePosition_, v); }
  int ScaleDistance() const { return scaleDistance_; }
  void SetScaleDistance(int v) { SetAndRepaint(scaleDistance_, v); }
  TBitmap* PicLeft() const { return picLeft_; }
  void SetPicLeft(TBitmap* v);
  TBitmap* PicRight() const { return picRight_; }
  void SetPicRight(TBitmap* v);
  bool Logarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool v);
  int Sensitivity() const { return sensitivity_; }
  // Clamped to -96 .. -20.
  void SetSensitivity(int v);

  // The logical position (after the logarithmic mapping).
  int Position() const;
  void SetPosition(int v);
  int MinPosition() const { return minPosition_; }
  int MaxPosition() const { return maxPosition_; }
  void SetRange(int min, int max);
  int RawPosition() const { return rawPosition_; }
  // Clamps into the range; true when the thumb position changed.
  bool SetRawPosition(int p, bool force = false);
  int LineSize() const { return lineSize_; }
  void SetLineSize(int v) { lineSize_ = v; }
  int PageSize() const { return pageSize_; }
  void SetPageSize(int v) { pageSize_ = v; }
  bool Dragging() const { return dragging_; }
  bool Tracking() const { return tracking_; }
  bool Blink() const { return blink_; }

  // Logarithmic mapping between logical and raw positions.
  int LogicalToRaw(int v) const;
  int RawToLogical(int p) const;
  // The track (inside the bevel, less the end pictures) and the thumb in it.
  QRect TrackRect() const;
  QRect CalcThumbRect() const;
  QRect ThumbRect() const { return thumbRect_; }

  const TNotifyEvent& OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }
  const TNotifyEvent& OnTrack() const { return onTrack_; }
  void SetOnTrack(const TNotifyEvent& e) { onTrack_ = e; }
  const TNotifyEvent& OnTrackEnd() const { return onTrackEnd_; }
  void SetOnTrackEnd(const TNotifyEvent& e) { onTrackEnd_ = e; }
  const TMMThumbDrawEvent& OnDrawThumb() const { return onDrawThumb_; }
  void SetOnDrawThumb(const TMMThumbDrawEvent& e) { onDrawThumb_ = e; }
  const TMMGrooveDrawEvent& OnDrawGroove() const { return onDrawGroove_; }
  void SetOnDrawGroove(const TMMGrooveDrawEvent& e) { onDrawGroove_ = e; }

  void Loaded() override;
  // The picture Paint draws: the whole control (for tests and tools).
  QImage Render();

protected:
  void Paint() override;
  void Resize() override;
  void EnabledChanged() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void KeyUp(int& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  // The thumb moved: OnChange (not while loading).
  virtual void Change();
  void Track();
  void TrackEnd();

private:
  template <typename T>
  void SetAndRepaint(T& field, T value)
  {
    if (field == value) return;
    field = value;
    Invalidate();
  }
  void PaintSlider(TCanvas* c, TBitmap* buffer);
  void PaintThumb(TCanvas* c, TBitmap* buffer, const QRect& r);
  void Checker(TBitmap* buffer, const QRect& r, TColor color);
  void AcquireBackBuffer();
  bool HasFocus() const;
  int TravelLength() const;
  int PointToRaw(int x, int y) const;
  void BlinkTick();

  TMMBevel* groove_;
  TMMScale* scale_;
  TBitmap* picLeft_;
  TBitmap* picRight_;
  TMMOrientation orientation_ = orHorizontal;
  int grooveSize_ = 3;
  int thumbWidth_ = 11;
  int thumbHeight_ = 23;
  TMMThumbStyle thumbStyle_ = tsRect;
  TColor thumbColor_ = clBtnFace;
  TColor grooveColor_ = clBtnFace;
  TColor focusColor_ = clActiveCaption;
  TColor disabledColor_ = clWhite;
  TMMFocusAction focusAction_ = faFocusRect;
  bool handCursor_ = false;
  TMMScalePos scalePosition_ = spBelowOrRight;
  int scaleDistance_ = 10;
  bool logarithmic_ = false;
  int sensitivity_ = -24;
  int minPosition_ = 0;
  int maxPosition_ = 10;
  int rawPosition_ = 0;
  int lineSize_ = 1;
  int pageSize_ = 5;
  bool dragging_ = false;
  QPoint dragStart_;
  int dragStartRaw_ = 0;
  bool tracking_ = false;
  QRect thumbRect_;
  bool blink_ = false;
  TBitmap* backBuffer_ = nullptr;
  int ownCursor_ = crDefault;
  TNotifyEvent onChange_, onTrack_, onTrackEnd_;
  TMMThumbDrawEvent onDrawThumb_;
  TMMGrooveDrawEvent onDrawGroove_;
};
