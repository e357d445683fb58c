#include "skin_controls/skin_buttons.h"

#include "skin/skin_effects.h"
#include "skin/skin_utils.h"
#include "skin_controls/default_fills.h"
#include "skin_controls/skin_list_box.h"
#include "skin_controls/skin_panels.h"
#include "toolkit/forms.h"
#include "toolkit/image_list.h"

#include <QApplication>
#include <QPointer>

// ---------------------------------------------------------------- shared pieces

void TbsButtonSkin::Load(const TbsDataSkinControl* def, const TbsSkinGeometry& geometry)
{
  const auto* b = dynamic_cast<const TbsDataSkinButtonControl*>(def);
  if (!b) return;
  FontName = b->FontName;
  FontHeight = b->FontHeight;
  FontStyle = b->FontStyle;
  FontColor = b->FontColor;
  ActiveFontColor = b->ActiveFontColor;
  DownFontColor = b->DownFontColor;
  DisabledFontColor = b->DisabledFontColor;
  // Clipped like the skin rectangle: nothing beyond the picture is drawn.
  const QRect picture = geometry.SkinPicture ? geometry.SkinPicture->rect() : QRect();
  ActiveSkinRect = b->ActiveSkinRect.isEmpty() ? geometry.SkinRect : b->ActiveSkinRect.intersected(picture);
  DownSkinRect = b->DownSkinRect.isEmpty() ? ActiveSkinRect : b->DownSkinRect.intersected(picture);
  DisabledSkinRect = b->DisabledSkinRect.isEmpty() ? QRect() : b->DisabledSkinRect.intersected(picture);
  Morphing = b->Morphing;
  MorphKind = b->MorphKind;
  const auto* menu = dynamic_cast<const TbsDataSkinMenuButtonControl*>(def);
  TrackButtonRect = menu ? menu->TrackButtonRect : QRect();
}

TbsGlyphTextPlacement LayoutGlyphAndText(const QRect& r, QSize glyph, QSize text, int margin, int spacing, int layout,
                                         bool down)
{
  const int cx = r.left() + r.width() / 2;
  const int cy = r.top() + r.height() / 2;
  const int gw = glyph.width(), gh = glyph.height(), tw = text.width(), th = text.height();
  TbsGlyphTextPlacement p;
  switch (layout) {
  case blGlyphRight:
    if (margin == -1) {
      p.Text.setX(cx - (gw + tw + spacing) / 2);
      p.Glyph.setX(cx + (gw + tw + spacing) / 2 - gw);
    } else {
      p.Glyph.setX(r.left() + r.width() - gw - margin);
      p.Text.setX(p.Glyph.x() - spacing - tw);
    }
    p.Glyph.setY(cy - gh / 2);
    p.Text.setY(cy - th / 2);
    break;
  case blGlyphTop:
    if (margin == -1) {
      p.Glyph.setY(cy - (gh + th + spacing) / 2);
      p.Text.setY(cy + (gh + th + spacing) / 2 - th);
    } else {
      p.Glyph.setY(r.top() + margin);
      p.Text.setY(p.Glyph.y() + gh + spacing);
    }
    p.Glyph.setX(cx - gw / 2);
    p.Text.setX(cx - tw / 2);
    break;
  case blGlyphBottom:
    if (margin == -1) {
      p.Text.setY(cy - (gh + th + spacing) / 2);
      p.Glyph.setY(cy + (gh + th + spacing) / 2 - gh);
    } else {
      p.Glyph.setY(r.top() + r.height() - gh - margin);
      p.Text.setY(p.Glyph.y() - spacing - th);
    }
    p.Glyph.setX(cx - gw / 2);
    p.Text.setX(cx - tw / 2);
    break;
  default:  // blGlyphLeft
    if (margin == -1) {
      p.Glyph.setX(cx - (gw + tw + spacing) / 2);
      p.Text.setX(cx + (gw + tw + spacing) / 2 - tw);
    } else {
      p.Glyph.setX(r.left() + margin);
      p.Text.setX(r.left() + margin + gw + spacing);
    }
    p.Glyph.setY(cy - gh / 2);
    p.Text.setY(cy - th / 2);
    break;
  }
  if (down) {
    p.Glyph += QPoint(1, 1);
    p.Text += QPoint(1, 1);
  }
  return p;
}

int ButtonGlyphNumber(bool down, bool hot, bool enabled, int numGlyphs)
{
  if (down && hot && numGlyphs > 2) return 3;
  if (hot && numGlyphs > 3) return 4;
  if (enabled || numGlyphs < 2) return 1;
  return 2;
}

namespace {
// The caption as shown: "&&" is a literal "&", a single "&" marks the accelerator.
QString ShownCaption(const QString& caption)
{
  QString out;
  for (int i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (i + 1 < caption.size() && caption[i + 1] == u'&') out += u'&';
      ++i;
      if (i < caption.size() && caption[i] != u'&') out += caption[i];
      continue;
    }
    out += caption[i];
  }
  return out;
}

// The accelerator letter of a caption (upper case), or a null character.
QChar AccelChar(const QString& caption)
{
  for (int i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    return caption[i + 1].toUpper();
  }
  return QChar();
}

void FrameAndFill(TBitmap& bitmap, TColor frame, TColor fill, bool withFrame)
{
  const QRect r(0, 0, bitmap.Width(), bitmap.Height());
  TCanvas* c = bitmap.Canvas();
  c->Brush()->SetColor(fill);
  c->FillRect(r);
  if (!withFrame) return;
  c->Brush()->SetColor(frame);
  c->FrameRect(r);
}

// The window the focus is in, when it is `form`'s.
TWinControl* FocusedControlOf(TForm* form)
{
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
    if (TWinControl* c = FindControl(w)) return c->GetParentForm() == form ? c : nullptr;
  return nullptr;
}

// A fade step, kept on whole thousandths so that five steps make exactly one.
double MorphStep(double factor, double step) { return std::clamp(std::round((factor + step) * 1000) / 1000, 0.0, 1.0); }

// One tick of the fade toward the hot look (or back); false once it is over.
bool MorphTick(double& factor, bool hot, bool morphing)
{
  if (morphing && hot && factor < 1) factor = MorphStep(factor, 0.2);
  else if (morphing && !hot && factor > 0) factor = MorphStep(factor, -0.2);
  else {
    factor = hot ? 1 : 0;
    return false;
  }
  return true;
}

// Of one button kind, raises the down members of `self`'s group beside it.
template <class Button> void RaiseOtherGroupMembers(Button* self)
{
  if (!self->Parent()) return;
  for (int i = 0; i < self->Parent()->ControlCount(); ++i) {
    TControl* other = self->Parent()->Controls(i);
    if (other == self || other->metaObject() != self->metaObject()) continue;
    auto* b = dynamic_cast<Button*>(other);
    if (b && b->GroupIndex() == self->GroupIndex() && b->Down()) b->SetDown(false);
  }
}

// Paints the normal look faded `factor` of the way into the hot one.
template <class DrawLook>
void PaintMorphed(TCanvas* canvas, int width, int height, const QRect& normalRect, const TbsButtonSkin& skin,
                  double factor, DrawLook drawLook)
{
  TBitmap normal, active;
  normal.SetSize(width, height);
  active.SetSize(width, height);
  drawLook(normal, normalRect, false, false);
  drawLook(active, skin.ActiveSkinRect, true, false);
  TbsEffectBmp blend(normal);
  ApplyMorph(blend, TbsEffectBmp(active), skin.MorphKind, factor);
  blend.Draw(canvas, 0, 0);
}

} // namespace

void DrawButtonContent(TCanvas* canvas, const QRect& r, const TbsButtonContent& ct, bool hot, bool down)
{
  const int n = std::max(1, ct.NumGlyphs);
  const bool useGlyph = ct.Glyph && !ct.Glyph->Empty();
  QSize glyph;
  if (useGlyph) glyph = QSize(ct.Glyph->Width() / n, ct.Glyph->Height());
  else if (ct.Images && ct.ImageIndex >= 0 && ct.ImageIndex < ct.Images->Count())
    glyph = QSize(ct.Images->Width(), ct.Images->Height());
  const QString shown = ShownCaption(ct.Caption);
  const QSize text = shown.isEmpty() ? QSize() : canvas->TextExtent(shown);
  const TbsGlyphTextPlacement p =
      LayoutGlyphAndText(r, glyph, text, ct.Margin, ct.Spacing, ct.Layout, hot && down);
  if (useGlyph)
    DrawGlyphFrame(canvas, p.Glyph.x(), p.Glyph.y(), ButtonGlyphNumber(down, hot, ct.Enabled, n), n, *ct.Glyph);
  else if (!glyph.isEmpty())
    ct.Images->Draw(canvas, p.Glyph.x(), p.Glyph.y(), ct.ImageIndex, ct.ImageEnabled);
  if (shown.isEmpty()) return;
  canvas->Brush()->SetStyle(TBrush::bsClear);
  QRect box(p.Text.x(), p.Text.y(), text.width() + 2, text.height());
  canvas->DrawText(ct.Caption, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TbsButtonSkin::ApplyFont(TFont* font, bool useSkinFont, TFont* defaultFont, const TbsSkinData* data,
                              bool enabled, bool hot, bool down) const
{
  if (useSkinFont) skin_fonts::ApplyDefinitionFont(font, FontName, FontHeight, FontStyle);
  else font->Assign(defaultFont);
  font->SetCharset(skin_fonts::SkinCharset(data, defaultFont->Charset()));
  TColor color = FontColor;
  if (!enabled) color = DisabledFontColor;
  else if (hot && down) color = DownFontColor;
  else if (hot) color = ActiveFontColor;
  font->SetColor(color);
}

TbsButtonGlyph::TbsButtonGlyph(TComponent* owner, std::function<void()> changed)
    : changed_(std::move(changed)), glyph_(new TBitmap(owner))
{
  glyph_->OnChange = [this](TPersistent*) { changed_(); };
}

void TbsButtonGlyph::SetGlyph(TBitmap* v)
{
  if (v && v != glyph_) glyph_->Assign(v);
  changed_();
}

void TbsButtonGlyph::SetNumGlyphs(int v)
{
  numGlyphs_ = std::clamp(v, 1, 4);
  changed_();
}

void TbsButtonGlyph::SetMargin(int v)
{
  if (v == margin_ || v < -1) return;
  margin_ = v;
  changed_();
}

void TbsButtonGlyph::SetSpacing(int v)
{
  if (v == spacing_) return;
  spacing_ = v;
  changed_();
}

void TbsButtonGlyph::SetLayout(int v)
{
  if (v == layout_ || v < blGlyphLeft || v > blGlyphBottom) return;
  layout_ = v;
  changed_();
}

void TbsButtonGlyph::Describe(TbsButtonContent& c) const
{
  c.Glyph = glyph_;
  c.NumGlyphs = numGlyphs_;
  c.Margin = margin_;
  c.Spacing = spacing_;
  c.Layout = layout_;
}

void TbsButtonTimer::Start(QObject* owner, int interval, std::function<void()> tick)
{
  timer_ = std::make_unique<QTimer>();
  timer_->setInterval(interval);
  QObject::connect(timer_.get(), &QTimer::timeout, owner, std::move(tick));
  timer_->start();
}

// ---------------------------------------------------------------- TbsSkinnedButton

template <class Base> TbsSkinnedButton<Base>::~TbsSkinnedButton()
{
  repeatTimer_.Stop();
  morphTimer_.Stop();
}

template <class Base> void TbsSkinnedButton<Base>::SetDown(bool v)
{
  if (v == down_) return;
  down_ = v;
  if (skin_.Morphing && CanMorph()) {
    morphFactor_ = 1;
    if (v) morphTimer_.Stop();
    else StartMorph();
  }
  this->Invalidate();
  if (groupIndex_ != 0 && down_ && !allowAllUp_) RaiseOtherGroupMembers(this);
}

template <class Base> void TbsSkinnedButton<Base>::StartMorph()
{
  if (!CanMorph()) return;
  if (!morphTimer_.Active()) morphTimer_.Start(this, 20, [this] { MorphTimerTick(); });
}

template <class Base> void TbsSkinnedButton<Base>::ResetMorph()
{
  morphTimer_.Stop();
  morphFactor_ = IsHot() && skin_.Morphing && this->skinControlIndex_ != -1 && CanMorph() ? 1 : 0;
}

template <class Base> void TbsSkinnedButton<Base>::MorphTimerTick()
{
  if (!MorphTick(morphFactor_, IsHot(), this->skinControlIndex_ != -1 && skin_.Morphing)) morphTimer_.Stop();
  this->Invalidate();
}

template <class Base> void TbsSkinnedButton<Base>::StartRepeat()
{
  repeatTimer_.Start(this, repeatInterval_, [this] { RepeatTimerTick(); });
}

template <class Base> void TbsSkinnedButton<Base>::LoadSkinDefinition()
{
  Base::LoadSkinDefinition();
  if (this->skinControlIndex_ == -1) skin_ = TbsButtonSkin();
  else skin_.Load(this->SkinDefinition(), this->geometry_);
}

template <class Base> void TbsSkinnedButton<Base>::ApplySkinData()
{
  Base::ApplySkinData();
  ResetMorph();
}

template <class Base> void TbsSkinnedButton<Base>::Enter()
{
  if (this->IsDesigning() || !TakesHover()) return;
  mouseInside_ = true;
  if (EnterChangesLook()) {
    if (down_) {
      if (skin_.Morphing) morphFactor_ = 1;
      this->Invalidate();
    } else if (skin_.Morphing && this->skinControlIndex_ != -1 && CanMorph()) {
      StartMorph();
    } else {
      this->Invalidate();
    }
  }
  if (down_ && repeatMode_ && groupIndex_ == 0) StartRepeat();
}

template <class Base> void TbsSkinnedButton<Base>::Leave()
{
  if (!StaysHotOnLeave()) mouseInside_ = false;
  if (skin_.Morphing && this->skinControlIndex_ != -1 && !down_ && CanMorph()) StartMorph();
  else this->Invalidate();
  if (down_) repeatTimer_.Stop();
}

template <class Base> void TbsSkinnedButton<Base>::MouseEnter()
{
  Base::MouseEnter();
  Enter();
}

template <class Base> void TbsSkinnedButton<Base>::MouseLeave()
{
  Base::MouseLeave();
  if (!this->IsDesigning()) Leave();
}

template <class Base> void TbsSkinnedButton<Base>::MouseMove(TShiftState Shift, int X, int Y)
{
  // A held button follows the mouse in and out (the press holds the mouse).
  if (pressing_ && Inside(X, Y) != mouseInside_) {
    if (Inside(X, Y)) Enter();
    else Leave();
  }
  Base::MouseMove(Shift, X, Y);
}

template <class Base>
void TbsSkinnedButton<Base>::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft) {
    if (!TakesPress()) return;
    pressing_ = true;
    if (!down_) {
      mouseInside_ = true;
      SetDown(true);
      if (repeatMode_ && groupIndex_ == 0) StartRepeat();
      else if (groupIndex_ != 0) {
        QPointer<QObject> self(this);
        ButtonClick();
        if (!self) return;
      }
      wasDownAtPress_ = false;
    } else if (groupIndex_ != 0) {
      wasDownAtPress_ = true;
    }
  }
  Base::MouseDown(Button, Shift, X, Y);
}

template <class Base> void TbsSkinnedButton<Base>::ReleasePress(TMouseButton Button, int X, int Y)
{
  if (Button != mbLeft || !pressing_) return;
  pressing_ = false;
  const bool inside = Inside(X, Y);
  if (groupIndex_ == 0) {
    down_ = false;
    repeatTimer_.Stop();
    this->Invalidate();
    if (skin_.Morphing) StartMorph();
    if (inside) ButtonClick();
  } else if (down_ && allowAllUp_ && wasDownAtPress_ && inside) {
    SetDown(false);
    ButtonClick();
  }
}

template <class Base> void TbsSkinnedButton<Base>::EnabledChanged()
{
  Base::EnabledChanged();
  mouseInside_ = false;
  ResetMorph();
  this->Invalidate();
}

template class TbsSkinnedButton<TbsSkinCustomControl>;
template class TbsSkinnedButton<TbsGraphicSkinCustomControl>;

// ---------------------------------------------------------------- TbsSkinButton

TbsSkinButton::TbsSkinButton(TComponent* AOwner) : TbsSkinnedButton(AOwner)
{
  SetSkinDataName(QStringLiteral("button"));
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
  // The button raises its click itself.
  SetControlStyle(ControlStyle() & ~TControlStyle(csClickEvents));
  QObject::connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    TForm* form = GetParentForm();
    if (!form || !now) return;
    for (QWidget* w = now; w; w = w->parentWidget())
      if (TWinControl* c = FindControl(w)) {
        if (c->GetParentForm() == form) FocusChanged(c);
        return;
      }
  });
}

void TbsSkinButton::SetCanFocused(bool v)
{
  if (v == canFocused_) return;
  canFocused_ = v;
  SetTabStop(v);
  if (HandleAllocated() && !v) Handle()->setFocusPolicy(Qt::NoFocus);
}

void TbsSkinButton::CreateHandle()
{
  TbsSkinCustomControl::CreateHandle();
  if (!canFocused_) widget_->setFocusPolicy(Qt::NoFocus);
}

void TbsSkinButton::SetGroupIndex(int v)
{
  groupIndex_ = v;
  if (v != 0) SetCanFocused(false);
}

void TbsSkinButton::SetDefault(bool v)
{
  default_ = v;
  if (canFocused_) FocusChanged(FocusedControlOf(GetParentForm()));
}

void TbsSkinButton::FocusChanged(TWinControl* focused)
{
  const bool skinButton = qobject_cast<TbsSkinButton*>(focused) != nullptr;
  activeDefault_ = skinButton ? focused == this : default_;
  if (!canFocused_ || !default_) return;
  if (skinButton && focused != this && mouseInside_) {
    mouseInside_ = false;
    Invalidate();
  } else if (!skinButton && !mouseInside_) {
    if (skin_.Morphing) morphFactor_ = 1;
    mouseInside_ = true;
    Invalidate();
  }
}

void TbsSkinButton::ButtonClick()
{
  if (canFocused_)
    if (TForm* form = GetParentForm()) form->SetModalResult(modalResult_);
  Click();
}

void TbsSkinButton::WndProc(TMessage& m)
{
  if (m.Msg == CM_DIALOGKEY) {
    if (m.WParam == VK_RETURN && activeDefault_ && Enabled()) {
      ButtonClick();
      m.Result = 1;
    } else if (m.WParam == VK_ESCAPE && cancel_ && canFocused_ && CanFocus()) {
      ButtonClick();
      m.Result = 1;
    }
    return;
  }
  if (m.Msg == CM_DIALOGCHAR) {
    const QChar accel = AccelChar(Caption());
    if (canFocused_ && CanFocus() && !accel.isNull() && QChar(char16_t(m.WParam)).toUpper() == accel) {
      if (HandleAllocated() && Handle()->isVisible()) SetFocus();
      ButtonClick();
      m.Result = 1;
    }
    return;
  }
  TbsSkinCustomControl::WndProc(m);
}

bool TbsSkinButton::TakesPress()
{
  if (canFocused_ && !Focused() && !IsDesigning() && HandleAllocated() && Handle()->isVisible()) {
    if (CanFocus()) SetFocus();
    // Refused focus drops the press. A window being activated by this very
    // click (the window manager's answer may come after the press) already
    // names the button as its focus widget.
    if (!Focused() && Handle()->window()->focusWidget() != Handle()) return false;
  }
  return true;
}

void TbsSkinButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  QPointer<TbsSkinButton> self(this);
  ReleasePress(Button, X, Y);
  // The click may have freed or hidden the button.
  if (self && Visible()) TbsSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TbsSkinButton::KeyDown(int& Key, TShiftState Shift)
{
  bool taken = false;
  if (canFocused_) {
    if (Key == VK_SPACE) {
      spaceDown_ = true;
      SetDown(true);
      if (repeatMode_) ButtonClick();
    } else if (Key == VK_RETURN) {
      ButtonClick();
      taken = true;
    }
  }
  TbsSkinCustomControl::KeyDown(Key, Shift);
  if (taken) Key = 0;
}

void TbsSkinButton::KeyUp(int& Key, TShiftState Shift)
{
  // Only the release of a Space pressed on this button clicks, once.
  if (canFocused_ && Key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    SetDown(false);
    QPointer<TbsSkinButton> self(this);
    ButtonClick();
    if (!self) return;
  }
  TbsSkinCustomControl::KeyUp(Key, Shift);
}

void TbsSkinButton::KeyPress(QChar& Key)
{
  TbsSkinCustomControl::KeyPress(Key);
  // A button takes no text: a letter is an accelerator of the window.
  if (canFocused_ && Key.isLetterOrNumber() && !(QGuiApplication::keyboardModifiers() & Qt::AltModifier))
    if (TForm* form = GetParentForm()) static_cast<TComponent*>(form)->Perform(CM_DIALOGCHAR, Key.unicode());
}

void TbsSkinButton::DoEnter()
{
  TbsSkinCustomControl::DoEnter();
  if (!canFocused_) return;
  if (skin_.Morphing && skinControlIndex_ != -1) StartMorph();
  Invalidate();
}

void TbsSkinButton::DoExit()
{
  TbsSkinCustomControl::DoExit();
  if (!canFocused_) return;
  repeatTimer_.Stop();
  spaceDown_ = false;
  if (groupIndex_ == 0) down_ = false;
  if (skin_.Morphing && skinControlIndex_ != -1) StartMorph();
  Invalidate();
}

void TbsSkinButton::TextChanged() { Invalidate(); }

TbsButtonContent TbsSkinButton::Content() const
{
  TbsButtonContent c;
  c.Caption = Caption();
  glyph_.Describe(c);
  c.Enabled = Enabled();
  return c;
}

void TbsSkinButton::DrawLook(TBitmap& bitmap, const QRect& source, bool hot, bool down)
{
  DrawStretchedPicture(bitmap, geometry_.SkinPicture, source);
  TCanvas* c = bitmap.Canvas();
  skin_.ApplyFont(c->Font(), UseSkinFont(), DefaultFont(), SkinData(), Enabled(), hot, down);
  DrawButtonContent(c, geometry_.StretchedClientRect, Content(), hot, down);
  DrawFocus(c, geometry_.StretchedClientRect);
}

void TbsSkinButton::DrawFocus(TCanvas* canvas, const QRect& area)
{
  // The keyboard's button is marked apart from the one under the mouse.
  if (!Focused() || !canFocused_ || !Enabled()) return;
  const QRect r = area.adjusted(1, 1, -2, -2);
  if (r.width() > 2 && r.height() > 2) DrawFocusFrame(canvas, r);
}

void TbsSkinButton::Paint()
{
  if (Width() <= 0 || Height() <= 0) return;
  LoadSkinDefinition();
  geometry_.StretchTo(Width(), Height());
  if (skinControlIndex_ != -1 && skin_.Morphing && morphFactor_ > 0 && morphFactor_ < 1 && Enabled()) {
    PaintMorphed(Canvas(), Width(), Height(), geometry_.SkinRect, skin_, morphFactor_,
                 [this](TBitmap& b, const QRect& r, bool hot, bool down) { DrawLook(b, r, hot, down); });
    return;
  }
  PaintBuffered(Canvas());
}

void TbsSkinButton::DrawSkinLook(TBitmap& bitmap)
{
  const bool focusedLook = Focused() && canFocused_;
  if (!Enabled() && !skin_.DisabledSkinRect.isEmpty()) DrawLook(bitmap, skin_.DisabledSkinRect, false, false);
  else if (down_ && (groupIndex_ != 0 || mouseInside_ || (focusedLook && !pressing_)))
    DrawLook(bitmap, skin_.DownSkinRect, true, true);
  else if (focusedLook || mouseInside_ || (skin_.Morphing && morphFactor_ == 1))
    DrawLook(bitmap, skin_.ActiveSkinRect, true, false);
  else DrawLook(bitmap, geometry_.SkinRect, false, false);
}

void TbsSkinButton::DrawDefaultLook(TBitmap& bitmap)
{
  const bool focusedLook = Focused() && canFocused_;
  const bool down = down_ && (groupIndex_ != 0 || mouseInside_ || (focusedLook && !pressing_));
  const bool hot = mouseInside_ || focusedLook;
  if (down) FrameAndFill(bitmap, clNavy, kDownFill, true);
  else if (hot) FrameAndFill(bitmap, clNavy, kHotFill, true);
  else FrameAndFill(bitmap, clBtnShadow, clBtnFace, true);
  TCanvas* c = bitmap.Canvas();
  c->Font()->Assign(DefaultFont());
  if (!Enabled()) c->Font()->SetColor(clBtnShadow);
  DrawButtonContent(c, QRect(0, 0, Width(), Height()), Content(), hot || down, down);
  DrawFocus(c, QRect(2, 2, Width() - 4, Height() - 4));
}

// ---------------------------------------------------------------- TbsSkinSpeedButton

TbsSkinSpeedButton::TbsSkinSpeedButton(TComponent* AOwner) : TbsSkinnedButton(AOwner)
{
  SetSkinDataName(QStringLiteral("toolbutton"));
  SetBounds(0, 0, 25, 25);
  SetControlStyle(TControlStyle(csCaptureMouse | csOpaque | csDoubleClicks));
}

TbsSkinToolBar* TbsSkinSpeedButton::ToolBar() const { return qobject_cast<TbsSkinToolBar*>(Parent()); }

void TbsSkinSpeedButton::SetImageIndex(int v)
{
  imageIndex_ = v;
  if (ToolBar()) Invalidate();
}

void TbsSkinSpeedButton::SetTransparent(bool v)
{
  if (v == Transparent()) return;
  SetControlStyle(v ? ControlStyle() & ~TControlStyle(csOpaque) : ControlStyle() | csOpaque);
  if (v) {
    morphTimer_.Stop();
    morphFactor_ = 0;
  }
  Invalidate();
}

void TbsSkinSpeedButton::SetFlat(bool v)
{
  flat_ = v;
  SetTransparent(v);
  Invalidate();
}

void TbsSkinSpeedButton::SetShowCaption(bool v)
{
  if (v == showCaption_) return;
  showCaption_ = v;
  if (widthWithCaption_ > 0 && widthWithoutCaption_ > 0) SetWidth(v ? widthWithCaption_ : widthWithoutCaption_);
  else Invalidate();
}

void TbsSkinSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  QPointer<TbsSkinSpeedButton> self(this);
  ReleasePress(Button, X, Y);
  if (self) TbsGraphicSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

TbsButtonContent TbsSkinSpeedButton::Content(bool hot, bool down) const
{
  TbsButtonContent c;
  c.Caption = showCaption_ ? Caption() : QString();
  glyph_.Describe(c);
  c.Enabled = Enabled();
  c.ImageIndex = imageIndex_;
  if (glyph_.Glyph()->Empty())
    if (TbsSkinToolBar* bar = ToolBar()) {
      if (!Enabled() && bar->DisabledImages()) {
        c.Images = bar->DisabledImages();
        c.ImageEnabled = true;
      } else if ((hot || down) && bar->HotImages()) {
        c.Images = bar->HotImages();
      } else {
        c.Images = bar->Images();
        c.ImageEnabled = Enabled();
      }
    }
  return c;
}

void TbsSkinSpeedButton::DrawLook(TBitmap& bitmap, const QRect& source, bool hot, bool down)
{
  DrawStretchedPicture(bitmap, geometry_.SkinPicture, source);
  DrawLookOverlay(bitmap, hot, down);
  TCanvas* c = bitmap.Canvas();
  skin_.ApplyFont(c->Font(), UseSkinFont(), DefaultFont(), SkinData(), Enabled(), hot, down);
  DrawButtonContent(c, geometry_.StretchedClientRect, Content(hot, down), hot, down);
}

void TbsSkinSpeedButton::Paint()
{
  if (Width() <= 0 || Height() <= 0) return;
  LoadSkinDefinition();
  geometry_.StretchTo(Width(), Height());
  const bool skinned = skinControlIndex_ != -1;
  const bool downLook = down_ && (groupIndex_ != 0 || mouseInside_);
  if (skinned && skin_.Morphing && morphFactor_ > 0 && morphFactor_ < 1 && !Transparent()) {
    PaintMorphed(Canvas(), Width(), Height(), geometry_.SkinRect, skin_, morphFactor_,
                 [this](TBitmap& b, const QRect& r, bool hot, bool down) { DrawLook(b, r, hot, down); });
    return;
  }
  const bool hotLook = mouseInside_ || (skinned && skin_.Morphing && morphFactor_ == 1);
  if (Transparent() && !downLook && !hotLook) {
    PaintTransparent();
    return;
  }
  PaintBuffered(Canvas());
}

void TbsSkinSpeedButton::PaintTransparent()
{
  // Glyph and caption straight onto what the parent painted.
  TCanvas* c = Canvas();
  if (skinControlIndex_ != -1) {
    skin_fonts::ApplyDefinitionFont(c->Font(), skin_.FontName, skin_.FontHeight, skin_.FontStyle);
    c->Font()->SetColor(Enabled() ? skin_.FontColor : skin_.DisabledFontColor);
    DrawButtonContent(c, geometry_.StretchedClientRect, Content(false, false), false, false);
  } else {
    c->Font()->Assign(DefaultFont());
    if (!Enabled()) c->Font()->SetColor(clBtnShadow);
    DrawButtonContent(c, QRect(0, 0, Width(), Height()), Content(false, false), false, false);
  }
}

void TbsSkinSpeedButton::DrawSkinLook(TBitmap& bitmap)
{
  if (down_ && (groupIndex_ != 0 || mouseInside_)) DrawLook(bitmap, skin_.DownSkinRect, true, true);
  else if (mouseInside_ || (skin_.Morphing && morphFactor_ == 1)) DrawLook(bitmap, skin_.ActiveSkinRect, true, false);
  else if (Enabled() || skin_.DisabledSkinRect.isEmpty()) DrawLook(bitmap, geometry_.SkinRect, false, false);
  else DrawLook(bitmap, skin_.DisabledSkinRect, false, false);
}

void TbsSkinSpeedButton::DrawDefaultLook(TBitmap& bitmap)
{
  const bool down = down_ && (groupIndex_ != 0 || mouseInside_);
  const bool hot = mouseInside_;
  if (down) FrameAndFill(bitmap, clNavy, kDownFill, true);
  else if (hot) FrameAndFill(bitmap, clNavy, kHotFill, true);
  else FrameAndFill(bitmap, clBtnShadow, clBtnFace, !(flat_ && !IsDesigning()));
  TCanvas* c = bitmap.Canvas();
  c->Font()->Assign(DefaultFont());
  if (!Enabled()) c->Font()->SetColor(clBtnShadow);
  DrawButtonContent(c, QRect(0, 0, Width(), Height()), Content(hot, down), hot || down, down);
}

// ---------------------------------------------------------------- TbsSkinMenuSpeedButton

TbsSkinMenuSpeedButton::TbsSkinMenuSpeedButton(TComponent* AOwner) : TbsSkinSpeedButton(AOwner)
{
  SetSkinDataName(QStringLiteral("toolmenubutton"));
}

void TbsSkinMenuSpeedButton::SetTrackButtonMode(bool v)
{
  if (v == trackButtonMode_) return;
  trackButtonMode_ = v;
  Invalidate();
}

QRect TbsSkinMenuSpeedButton::TrackButtonArea() const
{
  if (skinControlIndex_ == -1 || skin_.TrackButtonRect.isEmpty())
    return QRect(std::max(0, Width() - 15), 0, std::min(15, Width()), Height());
  QRect r = skin_.TrackButtonRect;
  if (geometry_.StretchMode == smHorizontal) r.translate(Width() - geometry_.SkinWidth(), 0);
  else if (geometry_.StretchMode == smVertical) r.translate(0, Height() - geometry_.SkinHeight());
  return r;
}

void TbsSkinMenuSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && SkinPopupMenu && (!trackButtonMode_ || TrackButtonArea().contains(X, Y))) {
    pressing_ = false;
    ignoreRelease_ = true;
    menuOpen_ = true;
    SetDown(true);
    QPointer<TbsSkinMenuSpeedButton> self(this);
    SkinPopupMenu(ClientToScreen(QPoint(0, Height())));
    if (!self) return;
    if (OnShowTrackMenu()) OnShowTrackMenu()(this);
    return;
  }
  TbsSkinSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TbsSkinMenuSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && ignoreRelease_) {
    ignoreRelease_ = false;
    return;
  }
  TbsSkinSpeedButton::MouseUp(Button, Shift, X, Y);
}

void TbsSkinMenuSpeedButton::WndProc(TMessage& m)
{
  if (m.Msg == WM_SKINMENUCLOSED) {
    menuOpen_ = false;
    ignoreRelease_ = false;
    SetDown(false);
    Invalidate();
    if (OnHideTrackMenu()) OnHideTrackMenu()(this);
    return;
  }
  TbsSkinSpeedButton::WndProc(m);
}

void TbsSkinMenuSpeedButton::DrawSkinLook(TBitmap& bitmap)
{
  if (trackButtonMode_ && menuOpen_) DrawLook(bitmap, skin_.ActiveSkinRect, true, false);
  else TbsSkinSpeedButton::DrawSkinLook(bitmap);
}

void TbsSkinMenuSpeedButton::DrawLookOverlay(TBitmap& bitmap, bool hot, bool down)
{
  if (!trackButtonMode_ || !menuOpen_ || skinControlIndex_ == -1 || !hot || down) return;
  // The track part pressed: taken from the down picture.
  TBitmap pressed;
  DrawStretchedPicture(pressed, geometry_.SkinPicture, skin_.DownSkinRect);
  const QRect area = TrackButtonArea().intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
  if (area.isEmpty() || pressed.Empty()) return;
  bitmap.Canvas()->DrawImage(area, pressed.Image(), area);
}
