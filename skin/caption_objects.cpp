#include "skin/caption_objects.h"

#include "skin/skin_draw.h"
#include "skin/skin_effects.h"
#include "skin/skin_form.h"
#include "skin/skin_utils.h"

#include <QPointer>
#include <algorithm>

namespace {
constexpr double kMorphStep = 0.2;
constexpr TColor kDefaultHotFrame = 0x800000;
constexpr TColor kDefaultHotFill = 13811126;
constexpr TColor kDefaultDownFill = 11899781;

// The picture's part under `source` at `size`, scaled by nearest neighbour.
QImage PartAt(const QImage& picture, const QRect& source, QSize size)
{
  QImage part = picture.copy(source).convertToFormat(QImage::Format_RGB32);
  if (part.size() != size) part = part.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return part;
}
} // namespace

// ---------------------------------------------------------------- base

TbsActiveSkinObject::TbsActiveSkinObject(TbsSkinForm* form, const TbsDataSkinObject& data)
    : IDName(data.IDName), Hint(data.Hint), SkinRect(data.SkinRect), ActiveSkinRect(data.ActiveSkinRect),
      InActiveSkinRect(data.InActiveSkinRect), SkinRectInAPicture(data.SkinRectInAPicture),
      PictureIndex(data.ActivePictureIndex), ObjectRect(data.SkinRect), Morphing(data.Morphing),
      MorphKind(data.MorphKind), form_(form)
{
  // An index that names no picture: the object has none, and no active image.
  if (!Picture()) {
    PictureIndex = -1;
    ActiveSkinRect = QRect();
  }
  if (IsNullRect(ActiveSkinRect)) Morphing = false;
}

const QImage* TbsActiveSkinObject::Picture() const { return form_->SkinImage(PictureIndex); }

const QImage* TbsActiveSkinObject::NormalPicture() const
{
  return SkinRectInAPicture ? Picture() : form_->FrameImage();
}

bool TbsActiveSkinObject::MorphPending() const { return (Active && MorphFactor < 1) || (!Active && MorphFactor > 0); }

bool TbsActiveSkinObject::MorphStep()
{
  if (!MorphPending()) return false;
  MorphFactor = std::clamp(MorphFactor + (Active ? kMorphStep : -kMorphStep), 0.0, 1.0);
  return true;
}

void TbsActiveSkinObject::CopyToObject(TCanvas& canvas, const QImage& picture, const QRect& source) const
{
  if (picture.isNull() || IsNullRect(source) || IsNullRect(ObjectRect)) return;
  const QRect part = source.intersected(picture.rect());
  if (part.isEmpty()) return;
  if (part == source) {
    canvas.DrawImage(ObjectRect, picture, source);
    return;
  }
  // Only what the picture holds; the rest of the object stays as it is.
  const double sx = double(ObjectRect.width()) / source.width(), sy = double(ObjectRect.height()) / source.height();
  const QRect dest(ObjectRect.x() + qRound((part.x() - source.x()) * sx), ObjectRect.y() + qRound((part.y() - source.y()) * sy),
                   qMax(1, qRound(part.width() * sx)), qMax(1, qRound(part.height() * sy)));
  canvas.DrawImage(dest, picture, part);
}

void TbsActiveSkinObject::DrawMorphed(TCanvas& canvas, const QImage& normalPicture, const QRect& normal,
                                      const QImage& activePicture, const QRect& active) const
{
  if (IsNullRect(ObjectRect)) return;
  TbsEffectBmp image(PartAt(normalPicture, normal, ObjectRect.size()));
  const TbsEffectBmp target(PartAt(activePicture, active, ObjectRect.size()));
  ApplyMorph(image, target, MorphKind, MorphFactor);
  canvas.DrawImage(ObjectRect, image.Image(), image.Image().rect());
}

void TbsActiveSkinObject::DrawBaseLook(TCanvas& canvas, bool paintNormal)
{
  const QImage* own = Picture();
  if (!form_->FormActive() && Enabled && own && !IsNullRect(InActiveSkinRect)) {
    CopyToObject(canvas, *own, InActiveSkinRect);
    return;
  }
  const QImage* normal = NormalPicture();
  if (Morphing && MorphPending() && own && normal && !IsNullRect(ActiveSkinRect)) {
    DrawMorphed(canvas, *normal, SkinRect, *own, ActiveSkinRect);
    return;
  }
  if (!Active || IsNullRect(ActiveSkinRect) || !own) {
    // Normal image; one in the frame picture shows already unless asked for.
    if (normal && (SkinRectInAPicture || paintNormal)) CopyToObject(canvas, *normal, SkinRect);
    return;
  }
  CopyToObject(canvas, *own, ActiveSkinRect);
}

void TbsActiveSkinObject::Draw(TCanvas& canvas, bool paintNormal) { DrawBaseLook(canvas, paintNormal); }

void TbsActiveSkinObject::Redraw() { form_->RedrawObject(this); }

void TbsActiveSkinObject::StartMorph()
{
  if (Morphing) form_->StartMorph();
  else Redraw();
}

void TbsActiveSkinObject::DblClick() {}

void TbsActiveSkinObject::MouseDown(int x, int y, TMouseButton button)
{
  form_->ObjectEvent(TbsObjectEventKind::Down, this, x, y, button);
}

void TbsActiveSkinObject::MouseUp(int x, int y, TMouseButton button)
{
  if (MouseIn) form_->ObjectEvent(TbsObjectEventKind::Up, this, x, y, button);
}

void TbsActiveSkinObject::MouseMove(int x, int y) { form_->ObjectEvent(TbsObjectEventKind::Move, this, x, y); }

void TbsActiveSkinObject::MouseEnter()
{
  MouseIn = true;
  Active = true;
  StartMorph();
  form_->ObjectEvent(TbsObjectEventKind::Enter, this);
}

void TbsActiveSkinObject::MouseLeave()
{
  MouseIn = false;
  Active = false;
  StartMorph();
  form_->ObjectEvent(TbsObjectEventKind::Leave, this);
}

// ---------------------------------------------------------------- buttons

TbsSkinButtonObject::TbsSkinButtonObject(TbsSkinForm* form, const TbsDataSkinButton& data)
    : TbsActiveSkinObject(form, data), DownRect(data.DownRect), DisableSkinRect(data.DisableSkinRect)
{
}

bool TbsSkinButtonObject::DrawOwn(TCanvas& canvas, const QRect& r) const
{
  const QImage* own = Picture();
  if (!own || IsNullRect(r)) return false;
  CopyToObject(canvas, *own, r);
  return true;
}

void TbsSkinButtonObject::Draw(TCanvas& canvas, bool paintNormal)
{
  if (!Enabled && DrawOwn(canvas, DisableSkinRect)) return;
  if (Down && MouseIn && DrawOwn(canvas, DownRect)) return;
  DrawBaseLook(canvas, paintNormal);
}

void TbsSkinButtonObject::MouseDown(int x, int y, TMouseButton button)
{
  if (button == mbLeft && Enabled) {
    Down = true;
    Redraw();
  }
  TbsActiveSkinObject::MouseDown(x, y, button);
}

void TbsSkinButtonObject::MouseUp(int x, int y, TMouseButton button)
{
  if (button == mbLeft && Down) {
    Down = false;
    Redraw();
  }
  TbsActiveSkinObject::MouseUp(x, y, button);
}

void TbsSkinButtonObject::MouseEnter()
{
  TbsActiveSkinObject::MouseEnter();
  if (Down) Redraw();
}

void TbsSkinButtonObject::MouseLeave()
{
  TbsActiveSkinObject::MouseLeave();
  if (Down) Redraw();
}

TbsSkinStdButtonObject::TbsSkinStdButtonObject(TbsSkinForm* form, const TbsDataSkinStdButton& data)
    : TbsSkinButtonObject(form, data), Command(data.Command), RestoreRect(data.RestoreRect),
      RestoreActiveRect(data.RestoreActiveRect), RestoreDownRect(data.RestoreDownRect),
      RestoreInActiveRect(data.RestoreInActiveRect)
{
}

void TbsSkinStdButtonObject::Draw(TCanvas& canvas, bool paintNormal)
{
  if (!form_->SkinInUse()) {
    DrawDefault(canvas);
    return;
  }
  const QImage* own = Picture();
  if (own && !IsNullRect(RestoreRect) && form_->CommandToggled(Command)) {
    if (!Enabled && DrawOwn(canvas, DisableSkinRect)) return;
    if (!form_->FormActive() && DrawOwn(canvas, RestoreInActiveRect)) return;
    if (Down && MouseIn && DrawOwn(canvas, RestoreDownRect)) return;
    if (!IsNullRect(RestoreActiveRect) && Morphing && MorphPending()) {
      DrawMorphed(canvas, *own, RestoreRect, *own, RestoreActiveRect);
      return;
    }
    if (MouseIn && DrawOwn(canvas, RestoreActiveRect)) return;
    DrawOwn(canvas, RestoreRect);
    return;
  }
  if (Command == TbsStdCommand::cmSysMenu && form_->ShowIcon() && SkinRectInAPicture) {
    const QImage icon = form_->SmallIcon();
    if (!icon.isNull()) {
      canvas.DrawImage(ObjectRect, icon, icon.rect());
      return;
    }
  }
  TbsSkinButtonObject::Draw(canvas, paintNormal);
}

void TbsSkinStdButtonObject::DrawDefault(TCanvas& canvas) const
{
  const QRect r = ObjectRect;
  if (IsNullRect(r)) return;
  const bool pressed = Down && MouseIn;
  canvas.Brush()->SetColor(clBtnFace);
  canvas.FillRect(r);
  if (MouseIn || Down) {
    canvas.Brush()->SetColor(kDefaultHotFrame);
    canvas.FrameRect(r);
    canvas.Brush()->SetColor(pressed ? kDefaultDownFill : kDefaultHotFill);
    canvas.FillRect(r.adjusted(1, 1, -1, -1));
  }
  const QRect glyphRect = pressed ? r.translated(1, 1) : r;
  const TColor color = Enabled ? clBtnText : clBtnShadow;
  const bool toggled = form_->CommandToggled(Command);
  switch (Command) {
  case TbsStdCommand::cmClose: DrawGlyph(&canvas, glyphRect, TbsGlyph::Close, color); break;
  case TbsStdCommand::cmMaximize: DrawGlyph(&canvas, glyphRect, toggled ? TbsGlyph::Restore : TbsGlyph::Maximize, color); break;
  case TbsStdCommand::cmMinimize: DrawGlyph(&canvas, glyphRect, toggled ? TbsGlyph::Restore : TbsGlyph::Minimize, color); break;
  case TbsStdCommand::cmRollUp: DrawGlyph(&canvas, glyphRect, toggled ? TbsGlyph::RollDown : TbsGlyph::RollUp, color); break;
  case TbsStdCommand::cmMinimizeToTray: DrawGlyph(&canvas, glyphRect, TbsGlyph::Square, color); break;
  case TbsStdCommand::cmSysMenu: {
    const QImage icon = form_->ShowIcon() ? form_->SmallIcon() : QImage();
    if (!icon.isNull()) canvas.DrawImage(glyphRect, icon, icon.rect());
    else DrawGlyph(&canvas, glyphRect, TbsGlyph::DropDown, color);
    break;
  }
  default: break;
  }
}

void TbsSkinStdButtonObject::DblClick()
{
  if (Command == TbsStdCommand::cmSysMenu) form_->RunCommand(TbsStdCommand::cmClose, this);
}

void TbsSkinStdButtonObject::MouseDown(int x, int y, TMouseButton button)
{
  QPointer<TbsSkinForm> form(form_);
  const unsigned generation = form_->ObjectGeneration();
  TbsSkinButtonObject::MouseDown(x, y, button);
  if (!form || form->ObjectGeneration() != generation) return;
  if (button == mbLeft && Enabled && Command == TbsStdCommand::cmSysMenu) form_->ShowSystemMenuUnder(this);
}

void TbsSkinStdButtonObject::MouseUp(int x, int y, TMouseButton button)
{
  const bool click = button == mbLeft && Down && MouseIn && Enabled;
  QPointer<TbsSkinForm> form(form_);
  const unsigned generation = form_->ObjectGeneration();
  auto gone = [&] { return !form || form->ObjectGeneration() != generation; };
  // Close runs once the button is drawn released; the others before.
  const bool before = click && Command != TbsStdCommand::cmClose && Command != TbsStdCommand::cmSysMenu;
  if (before) {
    form_->RunCommand(Command, this);
    if (gone()) return;
  }
  TbsSkinButtonObject::MouseUp(x, y, button);
  if (gone()) return;
  if (click && Command == TbsStdCommand::cmClose) form_->RunCommand(Command, this);
}

// ---------------------------------------------------------------- caption

TbsSkinCaptionObject::TbsSkinCaptionObject(TbsSkinForm* form, const TbsDataSkinCaption& data)
    : TbsActiveSkinObject(form, data), FontName(data.FontName), FontHeight(data.FontHeight), FontStyle(data.FontStyle),
      FontColor(data.FontColor), ActiveFontColor(data.ActiveFontColor), Alignment(data.Alignment),
      TextRect(data.TextRect), Shadow(data.Shadow), ShadowColor(data.ShadowColor),
      ActiveShadowColor(data.ActiveShadowColor), FrameRect(data.FrameRect), ActiveFrameRect(data.ActiveFrameRect),
      FrameTextRect(data.FrameTextRect), FrameLeftOffset(data.FrameLeftOffset), FrameRightOffset(data.FrameRightOffset)
{
}

void TbsSkinCaptionObject::MouseEnter()
{
  MouseIn = true;
  form_->ObjectEvent(TbsObjectEventKind::Enter, this);
}

void TbsSkinCaptionObject::MouseLeave()
{
  MouseIn = false;
  form_->ObjectEvent(TbsObjectEventKind::Leave, this);
}

QRect TbsSkinCaptionObject::TextArea() const
{
  if (IsNullRect(TextRect)) return QRect();
  QRect a = TextRect.translated(ObjectRect.topLeft());
  a.setRight(a.right() + ObjectRect.width() - SkinRect.width());
  if (!IsNullRect(FrameRect)) {
    a.setLeft(a.left() + FrameTextRect.left());
    a.setTop(a.top() + FrameTextRect.top());
    a.setRight(a.right() + (FrameTextRect.x() + FrameTextRect.width()) - FrameRect.width());
  }
  return a;
}

void TbsSkinCaptionObject::SetFont(TCanvas& canvas) const
{
  TFont* f = canvas.Font();
  f->SetName(FontName);
  f->SetHeight(FontHeight);
  TFont::TFontStyles style;
  if (FontStyle & kbsFontBold) style |= TFont::fsBold;
  if (FontStyle & kbsFontItalic) style |= TFont::fsItalic;
  if (FontStyle & kbsFontUnderline) style |= TFont::fsUnderline;
  if (FontStyle & kbsFontStrikeOut) style |= TFont::fsStrikeOut;
  f->SetStyle(style);
  f->SetColor(form_->FormActive() ? ActiveFontColor : FontColor);
  f->SetCharset(form_->CaptionCharset());
}

void TbsSkinCaptionObject::DrawText(TCanvas& canvas, QPoint origin)
{
  SetFont(canvas);
  layout_.Color = canvas.Font()->Color();
  const QRect area = TextArea();
  if (IsNullRect(area)) return;
  const QString text = TruncateWithEllipsis(&canvas, form_->FormCaption(), area.width());
  const int tw = canvas.TextWidth(text), th = canvas.TextHeight(text);
  const int y = area.y() + area.height() / 2 - th / 2;
  int x = area.x();
  if (Alignment == TbsAlignment::taRightJustify) x = area.x() + area.width() - tw;
  else if (Alignment == TbsAlignment::taCenter) x = area.x() + (area.width() - tw) / 2;
  layout_.Text = text;
  layout_.TextBounds = QRect(x, y, tw, th);

  const QImage* own = Picture();
  if (!IsNullRect(FrameRect) && own) {
    const QRect source = Active && !IsNullRect(ActiveFrameRect) ? ActiveFrameRect : FrameRect;
    const int width = FrameRect.width() + tw - FrameTextRect.width();
    if (width > 0) {
      TBitmap plate;
      BuildHorzStrip3(FrameLeftOffset, FrameRightOffset, source, *own, width, plate);
      layout_.Plate = QRect(x - FrameTextRect.x(), y - FrameTextRect.y(), plate.Width(), plate.Height());
      canvas.Draw(layout_.Plate.x() - origin.x(), layout_.Plate.y() - origin.y(), &plate);
    }
  }
  canvas.Brush()->SetStyle(TBrush::bsClear);
  if (Shadow) {
    const TColor keep = canvas.Font()->Color();
    canvas.Font()->SetColor(form_->FormActive() ? ActiveShadowColor : ShadowColor);
    canvas.TextOut(x + 1 - origin.x(), y + 1 - origin.y(), text);
    canvas.Font()->SetColor(keep);
  }
  canvas.TextOut(x - origin.x(), y - origin.y(), text);
}

void TbsSkinCaptionObject::Draw(TCanvas& canvas, bool)
{
  layout_ = TextLayout();
  const QImage* own = Picture();
  const QImage* normal = NormalPicture();
  const bool morphing = Morphing && MorphPending();
  if (!own || IsNullRect(ActiveSkinRect) || (!Active && !morphing) || !normal || IsNullRect(ObjectRect)) {
    DrawText(canvas, QPoint());
    return;
  }
  // The caption's own background: its fixed ends kept, the middle repeated.
  const TbsDataSkinFormInfo& info = form_->SkinData()->FormInfo();
  const int fixedLeft = std::max(0, info.LTPoint.x() - SkinRect.x());
  const int fixedRight = std::max(0, SkinRect.x() + SkinRect.width() - info.RTPoint.x());
  auto build = [&](const QImage& picture, const QRect& source) {
    QImage out(ObjectRect.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    if (fixedLeft == 0 && fixedRight == 0) {
      p.drawImage(out.rect(), picture, source);
    } else {
      TBitmap middle;
      BuildHorzTiled(fixedLeft, fixedRight, source, picture, out.width(), middle);
      p.drawImage(QRect(0, 0, out.width(), out.height()), middle.Image());
      p.drawImage(QRect(0, 0, fixedLeft, out.height()), picture, QRect(source.x(), source.y(), fixedLeft, source.height()));
      p.drawImage(QRect(out.width() - fixedRight, 0, fixedRight, out.height()), picture,
                  QRect(source.x() + source.width() - fixedRight, source.y(), fixedRight, source.height()));
    }
    return out;
  };
  TbsEffectBmp image(morphing || !Active ? build(*normal, SkinRect) : build(*own, ActiveSkinRect));
  if (morphing) ApplyMorph(image, TbsEffectBmp(build(*own, ActiveSkinRect)), MorphKind, MorphFactor);
  if (!form_->FormActive() && form_->SkinData()->FormInfo().AutoRenderingInActiveImage)
    ApplyInactiveEffect(image, form_->SkinData()->FormInfo().InActiveEffect);
  TBitmap buffer;
  image.AssignTo(buffer);
  DrawText(*buffer.Canvas(), ObjectRect.topLeft());
  buffer.Canvas()->Flush();
  canvas.Draw(ObjectRect.x(), ObjectRect.y(), &buffer);
}

// ---------------------------------------------------------------- animation

TbsSkinAnimateObject::TbsSkinAnimateObject(TbsSkinForm* form, const TbsDataSkinAnimate& data)
    : TbsActiveSkinObject(form, data), CountFrames(std::max(1, data.CountFrames)), Cycle(data.Cycle),
      ButtonStyle(data.ButtonStyle), Command(data.Command), Interval(std::max(kTick, data.TimerInterval))
{
  Morphing = false;
}

QRect TbsSkinAnimateObject::FrameRect(int n) const
{
  n = std::clamp(n, 1, CountFrames);
  return QRect(ActiveSkinRect.x() + (n - 1) * SkinRect.width(), ActiveSkinRect.y(), SkinRect.width(), SkinRect.height());
}

bool TbsSkinAnimateObject::AnimationStep()
{
  if (!Animating) return false;
  if (Elapsed < Interval) {
    Elapsed += kTick;
    return false;
  }
  Elapsed = kTick;
  if (Forward) {
    if (Frame >= CountFrames) {
      if (!Cycle || CountFrames < 2) {
        Animating = false;
        return false;
      }
      Frame = 1;
    } else {
      ++Frame;
    }
    if (Frame >= CountFrames && !Cycle) Animating = false;
    return true;
  }
  // Backward ends at the first frame; it never wraps round to replay the strip.
  if (Frame <= 1) {
    Frame = 1;
    Animating = false;
    return false;
  }
  --Frame;
  if (Frame <= 1) Animating = false;
  return true;
}

void TbsSkinAnimateObject::ResetAnimation()
{
  Animating = false;
  Forward = true;
  Frame = 1;
  Elapsed = kTick;
}

void TbsSkinAnimateObject::Draw(TCanvas& canvas, bool paintNormal)
{
  const QImage* own = Picture();
  if (Enabled && !form_->FormActive() && own && !IsNullRect(InActiveSkinRect)) {
    CopyToObject(canvas, *own, InActiveSkinRect);
    return;
  }
  if (Enabled && own && !IsNullRect(ActiveSkinRect) && !IsNullRect(SkinRect)) {
    CopyToObject(canvas, *own, FrameRect(Frame));
    return;
  }
  const QImage* normal = NormalPicture();
  if (normal && (SkinRectInAPicture || paintNormal)) CopyToObject(canvas, *normal, SkinRect);
}

void TbsSkinAnimateObject::MouseEnter()
{
  MouseIn = true;
  if (ButtonStyle) {
    Forward = true;
    Animating = true;
    form_->StartAnimation();
  }
  form_->ObjectEvent(TbsObjectEventKind::Enter, this);
}

void TbsSkinAnimateObject::MouseLeave()
{
  MouseIn = false;
  Forward = false;
  Animating = true;
  form_->StartAnimation();
  form_->ObjectEvent(TbsObjectEventKind::Leave, this);
}

void TbsSkinAnimateObject::MouseUp(int x, int y, TMouseButton button)
{
  QPointer<TbsSkinForm> form(form_);
  const unsigned generation = form_->ObjectGeneration();
  TbsActiveSkinObject::MouseUp(x, y, button);
  if (!form || form->ObjectGeneration() != generation) return;
  if (button == mbLeft && MouseIn && ButtonStyle && Enabled) form_->RunCommand(Command, this);
}

void TbsSkinAnimateObject::DblClick()
{
  if (Command == TbsStdCommand::cmSysMenu) form_->RunCommand(TbsStdCommand::cmClose, this);
}

// ---------------------------------------------------------------- user object

TbsUserObject::TbsUserObject(TbsSkinForm* form, const TbsDataUserObject& data) : TbsActiveSkinObject(form, data) {}

void TbsUserObject::Draw(TCanvas& canvas, bool) { form_->PaintUserObject(this, canvas); }

// ---------------------------------------------------------------- factory

std::unique_ptr<TbsActiveSkinObject> CreateCaptionObject(TbsSkinForm* form, const TbsDataSkinObject& data)
{
  if (dynamic_cast<const TbsDataSkinMenuItem*>(&data) || dynamic_cast<const TbsDataSkinMainMenuItem*>(&data) ||
      dynamic_cast<const TbsDataSkinMainMenuBarButton*>(&data))
    return nullptr;
  if (auto* d = dynamic_cast<const TbsDataSkinStdButton*>(&data)) return std::make_unique<TbsSkinStdButtonObject>(form, *d);
  if (auto* d = dynamic_cast<const TbsDataSkinButton*>(&data)) return std::make_unique<TbsSkinButtonObject>(form, *d);
  if (auto* d = dynamic_cast<const TbsDataSkinCaption*>(&data)) return std::make_unique<TbsSkinCaptionObject>(form, *d);
  if (auto* d = dynamic_cast<const TbsDataSkinAnimate*>(&data)) return std::make_unique<TbsSkinAnimateObject>(form, *d);
  if (auto* d = dynamic_cast<const TbsDataUserObject*>(&data)) return std::make_unique<TbsUserObject>(form, *d);
  return nullptr;
}

bool ObjectCommand(const TbsActiveSkinObject* object, TbsStdCommand* command)
{
  if (auto* a = dynamic_cast<const TbsSkinAnimateObject*>(object)) {
    *command = a->Command;
    return true;
  }
  if (auto* s = dynamic_cast<const TbsSkinStdButtonObject*>(object)) {
    *command = s->Command;
    return true;
  }
  return false;
}
