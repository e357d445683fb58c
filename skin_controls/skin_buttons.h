// Skinned push buttons: TbsSkinButton (windowed, focusable; definition
// "button"), TbsSkinSpeedButton (window-less tool button; "toolbutton") and
// TbsSkinMenuSpeedButton (a speed button that opens a popup menu).
//
// Four looks come from rectangles of one skin picture: normal (skinrect), hot
// (activeskinrect), down (downskinrect) and disabled (disabledskinrect). A
// glyph strip (or an image of the tool bar's lists) and the caption are laid
// out in the stretched client area. Buttons can repeat while held, form groups
// of which one member is down, and cross-fade between the normal and hot looks.
// The timers are the toolkit's (QTimer); their ticks are public so that the
// rules can be driven without waiting.
#pragma once

#include "skin/skin_definitions.h"
#include "skin_controls/skin_control.h"

#include <QTimer>
#include <functional>
#include <memory>

class TImageList;
class TbsSkinToolBar;

// Glyph positions relative to the caption.
enum TbsButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A popup menu opened by a menu speed button reports that it closed.
constexpr quint32 WM_SKINMENUCLOSED = 1228;

// What a button copies from a TbsDataSkinButtonControl at every look-up.
struct TbsButtonSkin {
  QString FontName = QStringLiteral("Arial");
  int FontHeight = 14;
  int FontStyle = 0;
  TColor FontColor = 0, ActiveFontColor = 0, DownFontColor = 0, DisabledFontColor = 0;
  QRect ActiveSkinRect, DownSkinRect, DisabledSkinRect;
  bool Morphing = false;
  TbsMorphKind MorphKind = TbsMorphKind::mkDefault;
  QRect TrackButtonRect;  // menu buttons only

  // Copies the definition when it is a button definition (else keeps the values);
  // empty hot and down rectangles fall back to the normal and hot ones.
  void Load(const TbsDataSkinControl* def, const TbsSkinGeometry& geometry);
  // The caption's font for a look: the definition's (or `defaultFont` when the
  // skin's font is not wanted) in the colour of the look.
  void ApplyFont(TFont* font, bool useSkinFont, TFont* defaultFont, const TbsSkinData* data, bool enabled, bool hot,
                 bool down) const;
};

// Where the glyph and the caption go inside `r`.
struct TbsGlyphTextPlacement {
  QPoint Glyph, Text;
};
TbsGlyphTextPlacement LayoutGlyphAndText(const QRect& r, QSize glyph, QSize text, int margin, int spacing,
                                         int layout, bool down);
// Image 1..4 of a glyph strip for a look: 3 down, 4 hot, 2 disabled, else 1.
int ButtonGlyphNumber(bool down, bool hot, bool enabled, int numGlyphs);

// The glyph and caption of a button as one description.
struct TbsButtonContent {
  QString Caption;
  const TBitmap* Glyph = nullptr;  // strip; when empty, the image variant
  int NumGlyphs = 1;
  const TImageList* Images = nullptr;
  int ImageIndex = -1;
  bool ImageEnabled = true;
  int Margin = -1, Spacing = 1, Layout = blGlyphLeft;
  bool Enabled = true;
};
// Draws glyph and caption (in the canvas' font, clear brush) laid out in `r`.
void DrawButtonContent(TCanvas* canvas, const QRect& r, const TbsButtonContent& content, bool hot, bool down);

// The glyph strip and where it goes beside the caption, as both button kinds
// offer them. Every setter that changes something calls `changed` (a repaint).
class TbsButtonGlyph {
public:
  TbsButtonGlyph(TComponent* owner, std::function<void()> changed);
  // The picture outlives this part (the button frees it later): it stops calling back.
  ~TbsButtonGlyph() { glyph_->OnChange = {}; }
  TbsButtonGlyph(const TbsButtonGlyph&) = delete;
  TbsButtonGlyph& operator=(const TbsButtonGlyph&) = delete;

  TBitmap* Glyph() const { return glyph_; }
  // Copies the picture; repaints even when it is the same one.
  void SetGlyph(TBitmap* v);
  int NumGlyphs() const { return numGlyphs_; }
  // Clamped to 1..4 (normal, disabled, down, hot).
  void SetNumGlyphs(int v);
  int Margin() const { return margin_; }
  // -1 centres; below -1 is refused.
  void SetMargin(int v);
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  int Layout() const { return layout_; }
  // A TbsButtonLayout; other values are refused.
  void SetLayout(int v);
  // Fills the glyph's part of a button's content.
  void Describe(TbsButtonContent& content) const;

private:
  std::function<void()> changed_;
  TBitmap* glyph_;  // owned by the button
  int numGlyphs_ = 1;
  int margin_ = -1;
  int spacing_ = 1;
  int layout_ = blGlyphLeft;
};

// Repeating and fading timers, made when first started and dropped when stopped.
class TbsButtonTimer {
public:
  void Start(QObject* owner, int interval, std::function<void()> tick);
  void Stop() { timer_.reset(); }
  bool Active() const { return timer_ && timer_->isActive(); }
  int Interval() const { return timer_ ? timer_->interval() : 0; }

private:
  std::unique_ptr<QTimer> timer_;
};

// ---------------------------------------------------------------- shared part

// What both button kinds do over their base (TbsSkinCustomControl or
// TbsGraphicSkinCustomControl): being down, groups, repeating while held,
// following the mouse in and out, and fading toward the hot look. A template
// because moc allows no templated Q_OBJECT class: the buttons add the
// properties. The hooks say where the windowed button's focus changes a rule.
template <class Base>
class TbsSkinnedButton : public Base {
public:
  explicit TbsSkinnedButton(TComponent* AOwner) : Base(AOwner) {}
  ~TbsSkinnedButton() override;

  bool RepeatMode() const { return repeatMode_; }
  void SetRepeatMode(bool v) { repeatMode_ = v; }
  int RepeatInterval() const { return repeatInterval_; }
  // Below 10 ms the button would starve the event loop: raised to 10.
  void SetRepeatInterval(int v) { repeatInterval_ = std::max(v, 10); }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v) { allowAllUp_ = v; }
  bool Down() const { return down_; }
  // Going down raises the other down members of the group (unless all may be up).
  void SetDown(bool v);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v) { groupIndex_ = v; }
  TBitmap* Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(TBitmap* v) { glyph_.SetGlyph(v); }
  int NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int v) { glyph_.SetNumGlyphs(v); }
  int Margin() const { return glyph_.Margin(); }
  void SetMargin(int v) { glyph_.SetMargin(v); }
  int Spacing() const { return glyph_.Spacing(); }
  void SetSpacing(int v) { glyph_.SetSpacing(v); }
  int Layout() const { return glyph_.Layout(); }
  void SetLayout(int v) { glyph_.SetLayout(v); }

  bool MouseInside() const { return mouseInside_; }
  bool Pressing() const { return pressing_; }
  double MorphFactor() const { return morphFactor_; }
  const TbsButtonSkin& ButtonSkin() const { return skin_; }
  // The button's click.
  virtual void ButtonClick() = 0;

  // Timer ticks and their state.
  bool RepeatTimerActive() const { return repeatTimer_.Active(); }
  int RepeatTimerInterval() const { return repeatTimer_.Interval(); }
  void RepeatTimerTick() { ButtonClick(); }
  bool MorphTimerActive() const { return morphTimer_.Active(); }
  void MorphTimerTick();

  void LoadSkinDefinition() override;
  void ApplySkinData() override;

protected:
  // Whether the button fades now (a transparent speed button does not).
  virtual bool CanMorph() const { return true; }
  // Whether the button looks hot: the mouse is in (or the focus, for a button).
  virtual bool IsHot() const { return mouseInside_; }
  // Whether the mouse may make the button hot at all.
  virtual bool TakesHover() const { return true; }
  // Whether the mouse coming in changes the look.
  virtual bool EnterChangesLook() const { return groupIndex_ == 0 || !down_; }
  // Whether the button stays hot when the mouse goes.
  virtual bool StaysHotOnLeave() const { return false; }
  // Whether a left press is taken (false drops it unseen).
  virtual bool TakesPress() { return true; }

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void EnabledChanged() override;
  // The end of a left press: up again and the click for a plain button, for a
  // group member that may be all up the second press raises it.
  void ReleasePress(TMouseButton Button, int X, int Y);
  bool Inside(int x, int y) const { return QRect(0, 0, this->Width(), this->Height()).contains(x, y); }
  void Enter();
  void Leave();
  void StartMorph();
  void ResetMorph();
  void StartRepeat();

  bool repeatMode_ = false;
  int repeatInterval_ = 100;
  bool allowAllUp_ = false;
  bool down_ = false;
  int groupIndex_ = 0;
  TbsButtonGlyph glyph_{this, [this] { this->Invalidate(); }};
  bool mouseInside_ = false;
  bool pressing_ = false;
  bool wasDownAtPress_ = false;
  double morphFactor_ = 0;
  TbsButtonTimer repeatTimer_, morphTimer_;
  TbsButtonSkin skin_;
};

extern template class TbsSkinnedButton<TbsSkinCustomControl>;
extern template class TbsSkinnedButton<TbsGraphicSkinCustomControl>;

// ---------------------------------------------------------------- TbsSkinButton

class TbsSkinButton : public TbsSkinnedButton<TbsSkinCustomControl> {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Layout", "TbsButtonLayout")
  Q_CLASSINFO("IntegerIdents:ModalResult", "TModalResult")
  Q_PROPERTY(bool RepeatMode READ RepeatMode WRITE SetRepeatMode)
  Q_PROPERTY(int RepeatInterval READ RepeatInterval WRITE SetRepeatInterval)
  Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE SetAllowAllUp)
  Q_PROPERTY(bool CanFocused READ CanFocused WRITE SetCanFocused)
  Q_PROPERTY(bool Down READ Down WRITE SetDown)
  Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
  Q_PROPERTY(TBitmap* Glyph READ Glyph WRITE SetGlyph)
  Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
  Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
  Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
  Q_PROPERTY(int Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(bool Default READ Default WRITE SetDefault)
  Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
  Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
  explicit TbsSkinButton(TComponent* AOwner);

  bool CanFocused() const { return canFocused_; }
  void SetCanFocused(bool v);
  // A group member takes no focus.
  void SetGroupIndex(int v);
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }

  bool ActiveDefault() const { return activeDefault_; }
  // The button's click: modal result, action or OnClick.
  void ButtonClick() override;
  // The focus moved in this button's window to `focused` (nullptr: elsewhere).
  void FocusChanged(TWinControl* focused);

  void WndProc(TMessage& Message) override;

protected:
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void Paint() override;
  bool IsHot() const override { return mouseInside_ || (Focused() && canFocused_); }
  bool EnterChangesLook() const override { return groupIndex_ != 0 ? !down_ : !Focused() || down_; }
  // A default button that answers Enter keeps its hot look.
  bool StaysHotOnLeave() const override { return canFocused_ && default_ && activeDefault_ && !Focused(); }
  bool TakesPress() override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void KeyUp(int& Key, TShiftState Shift) override;
  void KeyPress(QChar& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void TextChanged() override;
  void CreateHandle() override;

private:
  TbsButtonContent Content() const;
  void DrawLook(TBitmap& bitmap, const QRect& source, bool hot, bool down);
  // The dotted frame of the focused button inside `area`.
  void DrawFocus(TCanvas* canvas, const QRect& area);

  bool canFocused_ = true;
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = 0;
  bool activeDefault_ = false;
  bool spaceDown_ = false;
};

// ---------------------------------------------------------------- TbsSkinSpeedButton

class TbsSkinSpeedButton : public TbsSkinnedButton<TbsGraphicSkinCustomControl> {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Layout", "TbsButtonLayout")
  Q_PROPERTY(int WidthWithCaption READ WidthWithCaption WRITE SetWidthWithCaption)
  Q_PROPERTY(int WidthWithoutCaption READ WidthWithoutCaption WRITE SetWidthWithoutCaption)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool RepeatMode READ RepeatMode WRITE SetRepeatMode)
  Q_PROPERTY(int RepeatInterval READ RepeatInterval WRITE SetRepeatInterval)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
  Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE SetAllowAllUp)
  Q_PROPERTY(bool Down READ Down WRITE SetDown)
  Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
  Q_PROPERTY(bool ShowCaption READ ShowCaption WRITE SetShowCaption)
  Q_PROPERTY(TBitmap* Glyph READ Glyph WRITE SetGlyph)
  Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
  Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
  Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
  Q_PROPERTY(int Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
  explicit TbsSkinSpeedButton(TComponent* AOwner);

  int WidthWithCaption() const { return widthWithCaption_; }
  void SetWidthWithCaption(int v) { widthWithCaption_ = v; }
  int WidthWithoutCaption() const { return widthWithoutCaption_; }
  void SetWidthWithoutCaption(int v) { widthWithoutCaption_ = v; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  bool Transparent() const { return !(ControlStyle() & csOpaque); }
  void SetTransparent(bool v);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool v);

  void ButtonClick() override { Click(); }

protected:
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void Paint() override;
  bool CanMorph() const override { return !Transparent(); }
  bool TakesHover() const override { return Enabled(); }
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void TextChanged() override { Invalidate(); }
  // The tool bar this button sits on, if any.
  TbsSkinToolBar* ToolBar() const;
  TbsButtonContent Content(bool hot, bool down) const;
  void DrawLook(TBitmap& bitmap, const QRect& source, bool hot, bool down);
  // Hot look with a part of the down picture (menu buttons).
  virtual void DrawLookOverlay(TBitmap&, bool /*hot*/, bool /*down*/) {}

private:
  void PaintTransparent();

  int widthWithCaption_ = 0;
  int widthWithoutCaption_ = 0;
  int imageIndex_ = 0;
  bool flat_ = false;
  bool showCaption_ = true;
};

// ---------------------------------------------------------------- TbsSkinMenuSpeedButton

// Opens a popup menu below itself. Until the skinned popup menu joins, the
// menu is a callback: it opens the menu at a screen point and returns; the
// menu reports its closing with WM_SKINMENUCLOSED.
class TbsSkinMenuSpeedButton : public TbsSkinSpeedButton {
  Q_OBJECT
  Q_PROPERTY(bool TrackButtonMode READ TrackButtonMode WRITE SetTrackButtonMode)
  Q_PROPERTY(TNotifyEvent OnShowTrackMenu READ OnShowTrackMenu WRITE SetOnShowTrackMenu)
  Q_PROPERTY(TNotifyEvent OnHideTrackMenu READ OnHideTrackMenu WRITE SetOnHideTrackMenu)

public:
  explicit TbsSkinMenuSpeedButton(TComponent* AOwner);

  std::function<void(QPoint screenPos)> SkinPopupMenu;

  bool TrackButtonMode() const { return trackButtonMode_; }
  void SetTrackButtonMode(bool v);
  TNotifyEvent OnShowTrackMenu() const { return onShowTrackMenu_; }
  void SetOnShowTrackMenu(const TNotifyEvent& e) { onShowTrackMenu_ = e; }
  TNotifyEvent OnHideTrackMenu() const { return onHideTrackMenu_; }
  void SetOnHideTrackMenu(const TNotifyEvent& e) { onHideTrackMenu_ = e; }
  bool MenuOpen() const { return menuOpen_; }
  // The part of the button that opens the menu in track-button mode.
  QRect TrackButtonArea() const;

  void WndProc(TMessage& Message) override;

protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void DrawLookOverlay(TBitmap& bitmap, bool hot, bool down) override;

private:
  bool trackButtonMode_ = false;
  bool menuOpen_ = false;
  bool ignoreRelease_ = false;
  TNotifyEvent onShowTrackMenu_, onHideTrackMenu_;
};
