#include "skin/skin_form.h"

#include "skin/skin_control_notices.h"

#include "skin/skin_effects.h"
#include "skin/skin_regions.h"
#include "skin/skin_utils.h"
#include "skin/tray_icon.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>
#include <QWidget>
#include <climits>

namespace {
constexpr int kHoverInterval = 50;
constexpr int kMorphInterval = 20;
constexpr int kSmallIcon = 16;

// The built-in hints of the caption buttons and their replaceable names.
struct CommandHint {
  TbsStdCommand Command;
  const char* ResName;
  const char* Text;
};
const CommandHint kHints[] = {
    {TbsStdCommand::cmClose, "CLOSEBUTTON_HINT", "关闭"},
    {TbsStdCommand::cmMaximize, "MAXBUTTON_HINT", "最大化"},
    {TbsStdCommand::cmMinimize, "MINBUTTON_HINT", "最小化"},
    {TbsStdCommand::cmSysMenu, "MENUBUTTON_HINT", "系统菜单"},
    {TbsStdCommand::cmRollUp, "ROLLUPBUTTON_HINT", "卷起"},
    {TbsStdCommand::cmMinimizeToTray, "TRAYBUTTON_HINT", "最小化到托盘"},
};
// The tray button where the desktop has no notification area to hide into.
const char* const kNoTrayHint = "桌面没有通知区域，不能最小化到托盘";

// The order of the automatic row of caption buttons.
const TbsStdCommand kRowOrder[] = {TbsStdCommand::cmClose, TbsStdCommand::cmMaximize, TbsStdCommand::cmMinimize,
                                   TbsStdCommand::cmRollUp, TbsStdCommand::cmMinimizeToTray};

bool LeftEdge(int edge) { return edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT; }
bool TopEdge(int edge) { return edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT; }
} // namespace

// ---------------------------------------------------------------- life

TbsSkinForm::TbsSkinForm(TComponent* AOwner)
    : TComponent(AOwner), defCaptionFont_(new TFont(this)), defInactiveCaptionFont_(new TFont(this)),
      defMenuItemFont_(new TFont(this)), logo_(new TBitmap(this))
{
  for (TFont* f : {defCaptionFont_, defInactiveCaptionFont_, defMenuItemFont_}) {
    f->SetName(QStringLiteral("Arial"));
    f->SetHeight(14);
  }
  defCaptionFont_->SetStyle(TFont::fsBold);
  defCaptionFont_->SetColor(clBtnText);
  defInactiveCaptionFont_->SetStyle(TFont::fsBold);
  defInactiveCaptionFont_->SetColor(clBtnShadow);
  hoverTimer_.setInterval(kHoverInterval);
  morphTimer_.setInterval(kMorphInterval);
  animationTimer_.setInterval(TbsSkinAnimateObject::kTick);
  QObject::connect(&hoverTimer_, &QTimer::timeout, this, [this] { HoverTick(); });
  QObject::connect(&morphTimer_, &QTimer::timeout, this, [this] { MorphTick(); });
  QObject::connect(&animationTimer_, &QTimer::timeout, this, [this] { AnimationTick(); });
  CursorPos = [] { return QCursor::pos(); };
  QObject::connect(&fadeTimer_, &QTimer::timeout, this, [this] { FadeTick(); });

  form_ = qobject_cast<TForm*>(AOwner);
  if (!form_) return;
  CreateMenus();
  form_->SetBorderIcons(TForm::TBorderIcons());
  form_->SetAutoScroll(false);
  if (form_->IsDesigning()) return;
  previous_ = form_->WindowProc();
  // The hook outlives this component: once it is gone, messages go on as before.
  QPointer<TbsSkinForm> self(this);
  TControl::TWndMethod previous = previous_;
  form_->SetWindowProc([self, previous](TMessage& m) {
    if (self && !self->IsDestroying()) self->WindowMessage(m);
    else previous(m);
  });
  form_->SetOwnFrame(true);
}

TbsSkinForm::~TbsSkinForm()
{
  hoverTimer_.stop();
  morphTimer_.stop();
  animationTimer_.stop();
  fadeTimer_.stop();
  if (skinMenu_) skinMenu_->CloseAll();
  FreeObjects();
  if (watched_) watched_->removeEventFilter(this);
  if (form_ && !form_->IsDestroying() && !form_->IsDesigning()) {
    form_->SetWindowRegion(QRegion());
    const int cw = form_->ClientWidth(), ch = form_->ClientHeight();
    form_->SetNonClientMargins(QMargins());
    form_->SetClientSize(cw, ch);
    form_->SetOwnFrame(false);
  }
}

void TbsSkinForm::Loaded()
{
  TComponent::Loaded();
  if (IsDesigning()) return;
  ApplySkin();
  BindTrayIcon();
  if (alphaBlend_) SetAlphaBlend(true);
}

void TbsSkinForm::Notification(TComponent* AComponent, TOperation Operation)
{
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == menusSkinData_) menusSkinData_ = nullptr;
  if (AComponent == trayIcon_) trayIcon_ = nullptr;
  if (AComponent == systemMenu_) systemMenu_ = nullptr;
  if (AComponent == skinData_) {
    skinData_ = nullptr;
    if (!IsDestroying() && !IsLoading() && !IsDesigning()) ApplySkin();
  }
}

// ---------------------------------------------------------------- properties

void TbsSkinForm::SetSkinData(TbsSkinData* v)
{
  if (!ReplaceReference(skinData_, v)) return;
  if (!IsDesigning() && !IsLoading()) ApplySkin();
}

void TbsSkinForm::SetMenusSkinData(TbsSkinData* v)
{
  ReplaceReference(menusSkinData_, v);
}

void TbsSkinForm::SetBorderIcons(TbsBorderIcons v)
{
  if (v == borderIcons_) return;
  borderIcons_ = v;
  if (IsLoading() || IsDesigning()) return;
  UpdateObjectAvailability();
  UpdateLayout();
  InvalidateFrame();
}

void TbsSkinForm::SetHideCaptionButtons(bool v)
{
  if (v == hideCaptionButtons_) return;
  hideCaptionButtons_ = v;
  if (IsLoading() || IsDesigning()) return;
  UpdateObjectAvailability();
  UpdateLayout();
  InvalidateFrame();
}

void TbsSkinForm::SetShowIcon(bool v)
{
  if (v == showIcon_) return;
  showIcon_ = v;
  UpdateLayout();
  InvalidateFrame();
}

void TbsSkinForm::SetLogoBitMap(TBitmap* v)
{
  if (v) logo_->Assign(v);
  else logo_->SetSize(0, 0);
  if (form_) form_->Invalidate();
}

void TbsSkinForm::SetLogoBitMapStretch(bool v)
{
  logoStretch_ = v;
  if (form_) form_->Invalidate();
}

void TbsSkinForm::SetLogoBitMapTransparent(bool v)
{
  logoTransparent_ = v;
  if (form_) form_->Invalidate();
}

void TbsSkinForm::SetUseDefaultObjectHint(bool v)
{
  useDefaultObjectHint_ = v;
  RefreshObjectHints();
}

// ---------------------------------------------------------------- state

bool TbsSkinForm::HasBorder() const { return form_ && form_->BorderStyle() != TForm::bsNone; }

bool TbsSkinForm::Sizeable() const
{
  return form_ && (form_->BorderStyle() == TForm::bsSizeable || form_->BorderStyle() == TForm::bsSizeToolWin);
}

bool TbsSkinForm::ToolWindow() const
{
  return form_ && (form_->BorderStyle() == TForm::bsToolWindow || form_->BorderStyle() == TForm::bsSizeToolWin);
}


int TbsSkinForm::ObjectIndex(const QString& name) const
{
  for (size_t i = 0; i < objects_.size(); ++i)
    if (objects_[i]->IDName == name) return int(i);
  return -1;
}

TbsActiveSkinObject* TbsSkinForm::Object(int index) const
{
  if (index < 0 || index >= int(objects_.size())) return nullptr;
  return objects_[size_t(index)].get();
}

TbsSkinCaptionObject* TbsSkinForm::CaptionObject() const
{
  for (const auto& o : objects_)
    if (auto* c = dynamic_cast<TbsSkinCaptionObject*>(o.get())) return c;
  return nullptr;
}

const QImage* TbsSkinForm::SkinImage(int index) const
{
  if (index < 0 || index >= int(images_.size()) || images_[size_t(index)].isNull()) return nullptr;
  return &images_[size_t(index)];
}

const QImage* TbsSkinForm::FrameImage() const
{
  if (!active_ && !inactiveFrameImage_.isNull()) return &inactiveFrameImage_;
  return frameImage_.isNull() ? nullptr : &frameImage_;
}

QMargins TbsSkinForm::FrameMargins() const
{
  if (!HasBorder()) return QMargins();
  if (skinInUse_) return SkinFrameMargins(skinData_->FormInfo(), skinData_->FramePicture().Image.size());
  return DefaultFrameMargins(ToolWindow());
}

QSize TbsSkinForm::MinimumSize() const
{
  TbsSizeLimitsInput in;
  in.SkinInUse = skinInUse_;
  if (skinInUse_) {
    in.Picture = skinData_->FramePicture().Image.size();
    in.ClientRect = skinData_->FormInfo().ClientRect;
  }
  in.CaptionHeight = ToolWindow() ? kDefaultToolCaptionHeight : kDefaultCaptionHeight;
  in.MinWidth = minWidth_;
  in.MinHeight = minHeight_;
  in.Minimized = Minimized();
  in.RolledUp = rolledUp_;
  // Never a window of nothing, whatever the skin says.
  return MinimumFrameSize(in).expandedTo(QSize(1, 1));
}

QSize TbsSkinForm::MaximumSize() const
{
  const TMonitor monitor = Screen->MonitorFromWindow(form_);
  const QRect area = maximizeOnFullScreen_ ? monitor.BoundsRect : monitor.WorkareaRect;
  if (area.isEmpty()) return QSize(INT_MAX, INT_MAX);
  return area.size();
}

QPoint TbsSkinForm::WindowPoint(QPoint screen) const
{
  if (!form_) return screen;
  const QMargins m = form_->NonClientMargins();
  return screen - (form_->ClientOrigin() - QPoint(m.left(), m.top()));
}

QPoint TbsSkinForm::CurrentCursor() const { return CursorPos ? CursorPos() : QCursor::pos(); }

bool TbsSkinForm::CommandToggled(TbsStdCommand command) const
{
  switch (command) {
  case TbsStdCommand::cmMaximize: return Maximized();
  case TbsStdCommand::cmMinimize: return Minimized();
  case TbsStdCommand::cmRollUp: return rolledUp_;
  default: return false;
  }
}

QString TbsSkinForm::FormCaption() const { return form_ ? form_->Caption() : QString(); }

int TbsSkinForm::CaptionCharset() const
{
  if (skinData_ && skinData_->ResourceStrData()) return skinData_->ResourceStrData()->CharSet();
  return defCaptionFont_->Charset();
}

QImage TbsSkinForm::SmallIcon() const
{
  QIcon icon;
  if (form_ && form_->HandleAllocated()) icon = form_->Handle()->windowIcon();
  if (icon.isNull()) icon = QApplication::windowIcon();
  if (icon.isNull() && QApplication::style()) icon = QApplication::style()->standardIcon(QStyle::SP_TitleBarMenuButton);
  return icon.isNull() ? QImage() : icon.pixmap(kSmallIcon, kSmallIcon).toImage();
}

// ---------------------------------------------------------------- skin

void TbsSkinForm::FreeObjects()
{
  hover_ = previousHover_ = pressed_ = -1;
  objects_.clear();
  defaultButtonData_.clear();
  ++generation_;
}

void TbsSkinForm::ClearMarks()
{
  for (const auto& o : objects_) {
    if (auto* b = dynamic_cast<TbsSkinButtonObject*>(o.get())) b->Down = false;
    if (o.get() != CaptionObject()) o->Active = false;
    o->MouseIn = false;
  }
  hover_ = previousHover_ = pressed_ = -1;
  // A grab held for a pressed button goes too (not the move loop's own).
  if (watched_ && QWidget::mouseGrabber() == watched_ && !(form_ && form_->InMoveSize())) watched_->releaseMouse();
}

void TbsSkinForm::ApplySkin()
{
  if (!form_ || IsDesigning()) return;
  changePending_ = false;
  ClearMarks();
  FreeObjects();
  skinInUse_ = skinData_ && !skinData_->IsEmptySkin() && !skinData_->FramePicture().Empty();
  images_.clear();
  frameImage_ = inactiveFrameImage_ = QImage();
  if (skinInUse_) {
    for (const TbsSkinPicture& p : skinData_->SkinPictures())
      images_.push_back(p.Empty() ? QImage() : p.Image.convertToFormat(QImage::Format_RGB32));
    frameImage_ = skinData_->FramePicture().Image.convertToFormat(QImage::Format_RGB32);
    if (!skinData_->InactiveFramePicture().Empty())
      inactiveFrameImage_ = skinData_->InactiveFramePicture().Image.convertToFormat(QImage::Format_RGB32);
  }
  UpdateClientTile();
  if (HasBorder()) {
    if (skinInUse_) BuildObjects();
    else BuildDefaultObjects();
  }
  UpdateObjectAvailability();
  ApplyFrameMargins();
  EnforceMinimumSize();
  if (rolledUp_) form_->SetHeight(MinimumSize().height());
  UpdateLayout();
  UpdateRegion();
  active_ = form_->Active();
  if (TbsSkinCaptionObject* caption = CaptionObject()) {
    caption->Active = active_;
    caption->MorphFactor = active_ ? 1 : 0;
  }
  InvalidateFrame();
  if (form_->HandleAllocated()) form_->Invalidate();
  if (!objects_.empty()) hoverTimer_.start();
  QPointer<TbsSkinForm> self(this);
  onChangeSkinData_(this);
  if (!self) return;
  if (clientWidth_ > 0) form_->SetClientWidth(clientWidth_);
  if (clientHeight_ > 0) form_->SetClientHeight(clientHeight_);
}

void TbsSkinForm::BuildObjects()
{
  for (const auto& definition : skinData_->SkinObjects())
    if (auto object = CreateCaptionObject(this, *definition)) objects_.push_back(std::move(object));
}

void TbsSkinForm::BuildDefaultObjects()
{
  static const std::pair<const char*, TbsStdCommand> kButtons[] = {
      {"closebutton", TbsStdCommand::cmClose},   {"maxbutton", TbsStdCommand::cmMaximize},
      {"minbutton", TbsStdCommand::cmMinimize},  {"rollupbutton", TbsStdCommand::cmRollUp},
      {"sysmenubutton", TbsStdCommand::cmSysMenu}, {"traybutton", TbsStdCommand::cmMinimizeToTray}};
  const int size = ToolWindow() ? kDefaultToolButtonSize : kDefaultButtonSize;
  for (const auto& [name, command] : kButtons) {
    auto data = std::make_unique<TbsDataSkinStdButton>(QString::fromLatin1(name));
    data->Command = command;
    data->SkinRectInAPicture = true;  // not part of any frame picture: an unusable one hides
    data->SkinRect = QRect(0, 0, size, size);
    objects_.push_back(std::make_unique<TbsSkinStdButtonObject>(this, *data));
    defaultButtonData_.push_back(std::move(data));
  }
}

void TbsSkinForm::UpdateObjectAvailability()
{
  for (const auto& o : objects_) o->Visible = o->Enabled = true;
  for (const auto& o : objects_) {
    TbsStdCommand command;
    if (!ObjectCommand(o.get(), &command)) continue;
    if (hideCaptionButtons_) {
      o->Enabled = false;
      o->Visible = !o->SkinRectInAPicture;
      continue;
    }
    auto* animate = dynamic_cast<TbsSkinAnimateObject*>(o.get());
    if (animate && !animate->ButtonStyle) continue;
    if (command == TbsStdCommand::cmDefault) {
      bool visible = false;
      onActivateCustomObject_(this, o->IDName, visible);
      o->Visible = visible;
      continue;
    }
    const bool usable = command == TbsStdCommand::cmClose ||
                        (command == TbsStdCommand::cmMaximize && (borderIcons_ & biMaximize)) ||
                        (command == TbsStdCommand::cmMinimize && (borderIcons_ & biMinimize)) ||
                        (command == TbsStdCommand::cmRollUp && (borderIcons_ & biRollUp)) ||
                        (command == TbsStdCommand::cmSysMenu && (borderIcons_ & biSystemMenu)) ||
                        (command == TbsStdCommand::cmMinimizeToTray && (borderIcons_ & biMinimizeToTray));
    if (!usable) {
      o->Enabled = false;
      o->Visible = !o->SkinRectInAPicture;
    }
  }
  if (Object(hover_) && !(Object(hover_)->Visible && Object(hover_)->Enabled)) SetHover(-1);
  RefreshObjectHints();
}

void TbsSkinForm::RefreshObjectHints()
{
  if (!useDefaultObjectHint_) return;
  const TbsResourceStrData* strings = skinData_ ? skinData_->ResourceStrData() : nullptr;
  for (const auto& o : objects_) {
    TbsStdCommand command;
    if (!ObjectCommand(o.get(), &command)) continue;
    for (const CommandHint& h : kHints) {
      if (h.Command != command) continue;
      const QString replaced = strings ? strings->GetResString(QString::fromLatin1(h.ResName)) : QString();
      o->Hint = replaced.isEmpty() ? QString::fromUtf8(h.Text) : replaced;
      // A button that cannot work says why rather than doing nothing without a word.
      if (command == TbsStdCommand::cmMinimizeToTray && trayIcon_ && !trayIcon_->CanHideToTray())
        o->Hint = QString::fromUtf8(kNoTrayHint);
    }
  }
}

void TbsSkinForm::UpdateClientTile()
{
  clientTile_ = QImage();
  if (skinInUse_) {
    const TbsDataSkinFormInfo& info = skinData_->FormInfo();
    if (const QImage* bg = SkinImage(info.BGPictureIndex)) clientTile_ = *bg;
    else if (!IsNullRect(info.ClientRect)) clientTile_ = frameImage_.copy(info.ClientRect);
  }
  clientTilePixmap_ = clientTile_.isNull() ? QPixmap() : QPixmap::fromImage(clientTile_);
}

void TbsSkinForm::ApplyFrameMargins()
{
  const QMargins m = FrameMargins();
  if (m == form_->NonClientMargins()) return;
  // The client area keeps its size: the window grows or shrinks around it.
  const int cw = form_->ClientWidth(), ch = form_->ClientHeight();
  form_->SetNonClientMargins(m);
  form_->SetClientSize(cw, ch);
}

void TbsSkinForm::EnforceMinimumSize()
{
  const QSize min = MinimumSize();
  const int w = form_->Width(), h = form_->Height();
  if (w < min.width() && h < min.height()) form_->SetBounds(form_->Left(), form_->Top(), min.width(), min.height());
  else if (w < min.width()) form_->SetWidth(min.width());
  else if (h < min.height()) form_->SetHeight(min.height());
}

// ---------------------------------------------------------------- layout

void TbsSkinForm::UpdateLayout()
{
  if (!form_) return;
  if (!skinInUse_) {
    PlaceDefaultObjects();
    return;
  }
  geometry_ = MapFrameGeometry(skinData_->FormInfo(), skinData_->FramePicture().Image.size(),
                               QSize(form_->Width(), form_->Height()));
  PlaceObjects();
}

void TbsSkinForm::PlaceObjects()
{
  const TbsDataSkinFormInfo& info = skinData_->FormInfo();
  const QSize picture = skinData_->FramePicture().Image.size();
  for (const auto& o : objects_) o->ObjectRect = PlaceSkinRect(o->SkinRect, info, picture, geometry_.Dx(), geometry_.Dy());
  AutoLayoutButtons();
}

void TbsSkinForm::AutoLayoutButtons()
{
  const TbsDataSkinFormInfo& info = skinData_->FormInfo();
  const bool usesCaption = IsNullRect(geometry_.ButtonsRect);
  const QRect area = usesCaption ? geometry_.CaptionRect : geometry_.ButtonsRect;
  if (IsNullRect(area)) return;
  auto laidOut = [](const TbsActiveSkinObject* o, TbsStdCommand* command) {
    return o->Visible && o->SkinRectInAPicture && ObjectCommand(o, command);
  };
  std::vector<TbsActiveSkinObject*> row;
  TbsActiveSkinObject* sysMenu = nullptr;
  for (TbsStdCommand wanted : kRowOrder)
    for (const auto& o : objects_) {
      TbsStdCommand command;
      if (laidOut(o.get(), &command) && command == wanted) row.push_back(o.get());
    }
  for (const auto& o : objects_) {
    TbsStdCommand command;
    if (!laidOut(o.get(), &command)) continue;
    if (command == TbsStdCommand::cmDefault) row.push_back(o.get());
    if (command == TbsStdCommand::cmSysMenu && !sysMenu) sysMenu = o.get();
  }
  auto sizeOf = [this](const TbsActiveSkinObject* o) {
    auto* std = dynamic_cast<const TbsSkinStdButtonObject*>(o);
    if (std && std->Command == TbsStdCommand::cmSysMenu && showIcon_) return QSize(kSmallIcon, kSmallIcon);
    return o->SkinRect.size();
  };
  auto centredTop = [&area](QSize s) { return area.y() + area.height() / 2 - s.height() / 2; };
  const int offset = info.ButtonsOffset;
  TbsSkinCaptionObject* caption = CaptionObject();
  if (!info.ButtonsInLeft) {
    int x = area.x() + area.width();
    for (TbsActiveSkinObject* o : row) {
      const QSize s = sizeOf(o);
      o->ObjectRect = QRect(x - s.width(), area.y(), s.width(), s.height());
      x -= s.width() + offset;
    }
    if (!usesCaption) return;
    if (caption) caption->ObjectRect.setRight(x + offset - 1);
    if (sysMenu) {
      const QSize s = sizeOf(sysMenu);
      sysMenu->ObjectRect = QRect(area.x(), centredTop(s), s.width(), s.height());
      if (caption) caption->ObjectRect.setLeft(area.x() + s.width());
    }
    return;
  }
  if (usesCaption && sysMenu) row.push_back(sysMenu);
  int x = area.x();
  for (TbsActiveSkinObject* o : row) {
    const QSize s = sizeOf(o);
    o->ObjectRect = QRect(x, o == sysMenu ? centredTop(s) : area.y(), s.width(), s.height());
    x += s.width() + offset;
  }
  if (usesCaption && caption) caption->ObjectRect.setLeft(x - offset);
}

void TbsSkinForm::PlaceDefaultObjects()
{
  if (!form_) return;
  const int size = ToolWindow() ? kDefaultToolButtonSize : kDefaultButtonSize;
  int x = form_->Width() - kDefaultBorder;
  for (TbsStdCommand wanted : kRowOrder)
    for (const auto& o : objects_) {
      TbsStdCommand command;
      if (!o->Visible || !ObjectCommand(o.get(), &command) || command != wanted) continue;
      o->ObjectRect = QRect(x - size, 4, size, size);
      x -= size;
    }
  for (const auto& o : objects_) {
    TbsStdCommand command;
    if (o->Visible && ObjectCommand(o.get(), &command) && command == TbsStdCommand::cmSysMenu) {
      const int s = showIcon_ ? kSmallIcon : size;
      o->ObjectRect = QRect(kDefaultBorder, 4, s, s);
    }
  }
}

void TbsSkinForm::SizeChanged()
{
  const QSize min = MinimumSize();
  if (form_->Width() >= min.width() && form_->Height() >= min.height()) {
    UpdateLayout();
    UpdateRegion();
  }
  InvalidateFrame();
}

void TbsSkinForm::ClampSizing(QRect& r, int edge)
{
  const QSize min = MinimumSize(), max = MaximumSize();
  const int w = std::clamp(r.width(), min.width(), std::max(min.width(), max.width()));
  const int h = std::clamp(r.height(), min.height(), std::max(min.height(), max.height()));
  if (w != r.width()) {
    if (LeftEdge(edge)) r.setLeft(r.left() + r.width() - w);
    else r.setWidth(w);
  }
  if (h != r.height()) {
    if (TopEdge(edge)) r.setTop(r.top() + r.height() - h);
    else r.setHeight(h);
  }
}

// ---------------------------------------------------------------- region

void TbsSkinForm::UpdateRegion()
{
  maskBands_.clear();
  if (!form_) return;
  if (!HasBorder() || !skinInUse_ || skinData_->FrameMask().Empty()) {
    form_->SetWindowRegion(QRegion());
    return;
  }
  const QImage& mask = skinData_->FrameMask().Image;
  TbsFramePoints source = geometry_.Source, target = geometry_.Target;
  source.ClientRect = skinData_->FormInfo().MaskRectArea;
  target.ClientRect = geometry_.MaskRectArea;
  const int W = form_->Width(), H = form_->Height();
  const QRect pictureRect(QPoint(0, 0), mask.size());
  const std::optional<QRegion> region = RegionFromMaskBands(source, target, W, H, pictureRect, mask);
  TBitmap left, top, right, bottom;
  BuildMaskBands(source, target, W, H, pictureRect, mask, left, top, right, bottom);
  maskBands_.push_back({QRect(0, 0, top.Width(), top.Height()), top.Image()});
  maskBands_.push_back({QRect(0, top.Height(), left.Width(), left.Height()), left.Image()});
  maskBands_.push_back({QRect(W - right.Width(), top.Height(), right.Width(), right.Height()), right.Image()});
  maskBands_.push_back({QRect(0, H - bottom.Height(), bottom.Width(), bottom.Height()), bottom.Image()});
  form_->SetWindowRegion(region ? *region : QRegion());
}

bool TbsSkinForm::MaskTransparentAt(QPoint p) const
{
  for (const MaskBand& band : maskBands_) {
    if (band.Image.isNull() || !PointIn(band.Place, p)) continue;
    const QPoint q = p - band.Place.topLeft();
    if (!band.Image.valid(q)) continue;
    return (band.Image.pixel(q) & 0xFFFFFF) != 0;
  }
  // Outside every band: nothing of the mask there.
  return true;
}

// ---------------------------------------------------------------- hit-test and mouse

int TbsSkinForm::HitTest(QPoint p)
{
  if (!form_ || !HasBorder()) return HTCLIENT;
  if (!skinInUse_) {
    bool overButton = false;
    for (const auto& o : objects_) overButton = overButton || (o->Visible && PointIn(o->ObjectRect, p));
    return DefaultHitTest(QSize(form_->Width(), form_->Height()), form_->NonClientMargins(), Sizeable() && !Maximized(),
                          overButton, p);
  }
  if (geometry_.Window != QSize(form_->Width(), form_->Height())) UpdateLayout();
  TbsHitTestInput in;
  in.Geometry = &geometry_;
  if (TbsSkinCaptionObject* caption = CaptionObject(); caption && caption->Visible) in.CaptionObject = caption->ObjectRect;
  in.RolledUpOrMinimized = rolledUp_ || Minimized();
  in.Maximized = Maximized();
  in.Sizeable = Sizeable();
  in.ObjectHovered = Object(hover_) != nullptr;
  in.InMoveSize = inMove_;
  if (!maskBands_.empty()) in.MaskTransparent = [this](QPoint q) { return MaskTransparentAt(q); };
  return SkinHitTest(in, p);
}

void TbsSkinForm::EvaluateHover(QPoint p, bool evenInactive)
{
  if ((!active_ && !evenInactive) || inMove_) return;
  int found = -1;
  for (size_t i = 0; i < objects_.size(); ++i) {
    const TbsActiveSkinObject* o = objects_[i].get();
    if (o->Visible && o->Enabled && PointIn(o->ObjectRect, p)) {
      found = int(i);
      break;
    }
  }
  if (pressed_ >= 0 && found != pressed_) found = -1;
  SetHover(found);
}

void TbsSkinForm::SetHover(int index)
{
  if (!Object(index)) index = -1;
  if (index == hover_) return;
  const int old = hover_;
  previousHover_ = old;
  hover_ = index;
  const unsigned generation = generation_;
  QPointer<TbsSkinForm> self(this);
  if (TbsActiveSkinObject* o = Object(old)) o->MouseLeave();
  if (!self || generation != generation_) return;
  if (TbsActiveSkinObject* o = Object(index)) o->MouseEnter();
  if (!self || generation != generation_) return;
  if (showObjectHint_ && ObjectHintHandler) {
    ObjectHintHandler(QString());
    if (TbsActiveSkinObject* o = Object(index)) ObjectHintHandler(o->Hint);
  }
}

void TbsSkinForm::PressAt(QPoint p, TMouseButton button, int hit)
{
  // A press on the frame of an inactive window activates it and reaches its buttons too.
  if (!active_ && watched_ && watched_->isVisible()) watched_->activateWindow();
  EvaluateHover(p, true);
  if (TbsActiveSkinObject* o = Object(hover_)) {
    pressed_ = hover_;
    QPointer<TbsSkinForm> self(this);
    o->MouseDown(p.x(), p.y(), button);
    if (!self) return;
  }
  if (button == mbRight && hit == HTCAPTION) {
    const QRect atCursor(CurrentCursor(), QSize(1, 1));
    if (SystemMenuHandler) SystemMenuHandler(atCursor);
    else ShowSystemMenu(atCursor);
  }
}

void TbsSkinForm::ReleasePressed(QPoint p, TMouseButton button)
{
  TbsActiveSkinObject* o = Object(pressed_);
  // Released off the object (the hover may lag behind): it is left first.
  if (o && hover_ == pressed_ && !PointIn(o->ObjectRect, p)) {
    const unsigned generation = generation_;
    pressed_ = -1;
    SetHover(-1);
    if (generation != generation_) return;
  }
  pressed_ = -1;
  if (o) o->MouseUp(p.x(), p.y(), button);
}

void TbsSkinForm::HoverTick()
{
  if (!form_ || inMove_) return;
  if (active_) {
    const QPoint p = WindowPoint(CurrentCursor());
    const QMargins m = form_->NonClientMargins();
    const QRect client(m.left(), m.top(), form_->ClientWidth(), form_->ClientHeight());
    if (PointIn(client, p) || !PointIn(QRect(0, 0, form_->Width(), form_->Height()), p)) {
      if (pressed_ < 0) SetHover(-1);
    } else {
      EvaluateHover(p);
    }
  }
  // Idle until the next hit on an object starts it again.
  if (hover_ < 0 && pressed_ < 0) hoverTimer_.stop();
}

void TbsSkinForm::AnimationTick()
{
  bool running = false;
  for (const auto& o : objects_) {
    auto* a = dynamic_cast<TbsSkinAnimateObject*>(o.get());
    if (!a || !a->Animating) continue;
    if (a->AnimationStep()) RedrawObject(a);
    running = running || a->Animating;
  }
  if (!running) animationTimer_.stop();
}

void TbsSkinForm::MorphTick()
{
  bool running = false;
  for (const auto& o : objects_) {
    if (!o->Morphing) continue;
    if (o->MorphStep()) RedrawObject(o.get());
    running = running || o->MorphPending();
  }
  if (!running) morphTimer_.stop();
}

void TbsSkinForm::StartAnimation()
{
  if (!animationTimer_.isActive()) animationTimer_.start();
}

void TbsSkinForm::StartMorph()
{
  if (!morphTimer_.isActive()) morphTimer_.start();
}

void TbsSkinForm::SetFrameCursor(int hit)
{
  int id = crDefault;
  switch (hit) {
  case HTLEFT: case HTRIGHT: id = crSizeWE; break;
  case HTTOP: case HTBOTTOM: id = crSizeNS; break;
  case HTTOPLEFT: case HTBOTTOMRIGHT: id = crSizeNWSE; break;
  case HTTOPRIGHT: case HTBOTTOMLEFT: id = crSizeNESW; break;
  default: break;
  }
  if (!watched_) return;
  if (id != crDefault) {
    watched_->setCursor(ToolkitCursor(id));
    frameCursor_ = true;
  } else if (frameCursor_) {
    frameCursor_ = false;
    if (form_->Cursor() == crDefault) watched_->unsetCursor();
    else watched_->setCursor(ToolkitCursor(form_->Cursor()));
  }
}

// ---------------------------------------------------------------- commands and events

void TbsSkinForm::RunCommand(TbsStdCommand command, TbsActiveSkinObject* object)
{
  if (!form_) return;
  if (CommandHandler && CommandHandler(command, object)) return;
  switch (command) {
  case TbsStdCommand::cmClose: form_->Close(); break;
  case TbsStdCommand::cmMaximize: SetWindowState(Maximized() ? TForm::wsNormal : TForm::wsMaximized); break;
  case TbsStdCommand::cmMinimize:
    if (alwaysMinimizeToTray_) MinimizeToTray();
    else SetWindowState(Minimized() ? TForm::wsNormal : TForm::wsMinimized);
    break;
  case TbsStdCommand::cmMinimizeToTray: MinimizeToTray(); break;
  case TbsStdCommand::cmRollUp: SetRollUpState(!rolledUp_); break;
  case TbsStdCommand::cmSysMenu: ShowSystemMenuUnder(object); break;
  default: break;
  }
}

void TbsSkinForm::CaptionDoubleClick()
{
  // A sizeable window maximizes and restores; every other case rolls up (or down).
  if (Sizeable() && Minimized()) RunCommand(TbsStdCommand::cmMinimize, nullptr);
  else if (Sizeable() && Maximized()) RunCommand(TbsStdCommand::cmMaximize, nullptr);
  else if (Sizeable() && !rolledUp_ && (borderIcons_ & biMaximize)) RunCommand(TbsStdCommand::cmMaximize, nullptr);
  else if (borderIcons_ & biRollUp) RunCommand(TbsStdCommand::cmRollUp, nullptr);
}

void TbsSkinForm::ShowSystemMenuUnder(const TbsActiveSkinObject* object)
{
  if (!form_) return;
  const QMargins m = form_->NonClientMargins();
  const QPoint origin = form_->ClientOrigin() - QPoint(m.left(), m.top());
  const QRect anchor = object ? object->ObjectRect.translated(origin) : QRect(CurrentCursor(), QSize(1, 1));
  if (SystemMenuHandler) SystemMenuHandler(anchor);
  else ShowSystemMenu(anchor);
}

void TbsSkinForm::ObjectEvent(TbsObjectEventKind kind, const TbsActiveSkinObject* o, int x, int y, TMouseButton button)
{
  switch (kind) {
  case TbsObjectEventKind::Enter: onMouseEnter_(this, o->IDName); break;
  case TbsObjectEventKind::Leave: onMouseLeave_(this, o->IDName); break;
  case TbsObjectEventKind::Down: onMouseDown_(this, o->IDName, x, y, o->ObjectRect, button); break;
  case TbsObjectEventKind::Up: onMouseUp_(this, o->IDName, x, y, o->ObjectRect, button); break;
  case TbsObjectEventKind::Move: onMouseMove_(this, o->IDName, x, y, o->ObjectRect); break;
  }
}

void TbsSkinForm::PaintUserObject(const TbsActiveSkinObject* o, TCanvas& canvas)
{
  onPaint_(this, o->IDName, &canvas, o->ObjectRect);
}

void TbsSkinForm::UpdateActive()
{
  const bool now = form_->Active();
  if (now == active_) return;
  active_ = now;
  if (TbsSkinCaptionObject* caption = CaptionObject()) {
    caption->Active = now;
    if (caption->Morphing) StartMorph();
  }
  InvalidateFrame();
  if (now) onActivate_(this);
  else onDeActivate_(this);
}

// ---------------------------------------------------------------- painting

void TbsSkinForm::RedrawObject(const TbsActiveSkinObject* object)
{
  if (!object || !HasBorder() || !form_->HandleAllocated()) return;
  form_->Handle()->update(object->ObjectRect);
}

void TbsSkinForm::InvalidateFrame()
{
  if (!form_ || !HasBorder() || !form_->HandleAllocated()) return;
  const QMargins m = form_->NonClientMargins();
  QRegion frame(0, 0, form_->Width(), form_->Height());
  frame -= QRegion(m.left(), m.top(), form_->ClientWidth(), form_->ClientHeight());
  form_->Handle()->update(frame);
}

void TbsSkinForm::PaintFrame(TCanvas& canvas, const QRect& clip)
{
  if (!form_ || !HasBorder()) return;
  const int W = form_->Width(), H = form_->Height();
  const QSize min = MinimumSize();
  if (W < min.width() || H < min.height()) return;
  if (!skinInUse_) {
    PlaceDefaultObjects();
    PaintDefaultFrame(canvas);
    return;
  }
  if (geometry_.Window != QSize(W, H)) UpdateLayout();
  const QImage* picture = FrameImage();
  if (!picture) return;
  const TbsDataSkinFormInfo& info = skinData_->FormInfo();
  TbsStretchFlags stretch;
  stretch.Left = info.LeftStretch;
  stretch.Top = info.TopStretch;
  stretch.Right = info.RightStretch;
  stretch.Bottom = info.BottomStretch;
  TBitmap left, top, right, bottom;
  BuildFrameBands(geometry_.Source, geometry_.Target, W, H, picture->rect(), *picture, stretch, left, top, right,
                  bottom);
  const std::pair<TBitmap*, QRect> bands[] = {
      {&top, QRect(0, 0, top.Width(), top.Height())},
      {&left, QRect(0, top.Height(), left.Width(), left.Height())},
      {&right, QRect(W - right.Width(), top.Height(), right.Width(), right.Height())},
      {&bottom, QRect(0, H - bottom.Height(), bottom.Width(), bottom.Height())}};
  const bool effect = !active_ && info.AutoRenderingInActiveImage;
  for (const auto& [band, place] : bands) {
    if (band->Empty() || place.isEmpty() || !place.intersects(clip)) continue;
    // Objects go into every band they touch, where they are.
    TCanvas* bc = band->Canvas();
    QPainter& painter = bc->Painter();
    painter.save();
    painter.translate(-place.topLeft());
    for (const auto& o : objects_)
      if (o->Visible && o->ObjectRect.intersects(place)) o->Draw(*bc, false);
    painter.restore();
    bc->Flush();
    if (effect) ApplyInactiveEffect(*band, info.InActiveEffect);
    canvas.Draw(place.x(), place.y(), band);
  }
}

void TbsSkinForm::PaintDefaultFrame(TCanvas& canvas)
{
  const int W = form_->Width(), H = form_->Height();
  const int captionHeight = ToolWindow() ? kDefaultToolCaptionHeight : kDefaultCaptionHeight;
  QRect ring(0, 0, W, H);
  canvas.Frame3D(ring, cl3DLight, cl3DDkShadow, 1);
  canvas.Frame3D(ring, clBtnHighlight, clBtnShadow, 1);
  canvas.Frame3D(ring, clBtnFace, clBtnFace, 1);
  const int top = kDefaultBorder;
  canvas.Brush()->SetColor(clBtnFace);
  canvas.FillRect(QRect(kDefaultBorder, top, W - 2 * kDefaultBorder, captionHeight));
  // The grip lines run between the system-menu button and the buttons on the right.
  int left = kDefaultBorder + 2, right = W - kDefaultBorder - 2;
  for (const auto& o : objects_) {
    TbsStdCommand command;
    if (!o->Visible || !ObjectCommand(o.get(), &command)) continue;
    if (command == TbsStdCommand::cmSysMenu) left = std::max(left, o->ObjectRect.x() + o->ObjectRect.width() + 2);
    else right = std::min(right, o->ObjectRect.x() - 2);
  }
  for (int row = 2, i = 0; row <= captionHeight - 4; ++row, ++i) {
    canvas.Brush()->SetColor(i % 2 == 0 ? clBtnShadow : clBtnHighlight);
    canvas.FillRect(QRect(left, top + row, std::max(0, right - left), 1));
  }
  canvas.Font()->Assign(active_ ? defCaptionFont_ : defInactiveCaptionFont_);
  const QString text = TruncateWithEllipsis(&canvas, FormCaption(), std::max(0, right - left - 5));
  const int tw = canvas.TextWidth(text), th = canvas.TextHeight(text);
  const QRect box(left + (right - left) / 2 - (tw + 5) / 2, top, tw + 5, captionHeight);
  canvas.Brush()->SetColor(clBtnFace);
  canvas.FillRect(box);
  canvas.Brush()->SetStyle(TBrush::bsClear);
  canvas.TextOut(box.x() + 3, top + captionHeight / 2 - th / 2, text);
  for (const auto& o : objects_)
    if (o->Visible) o->Draw(canvas, true);
}

void TbsSkinForm::PaintClientBackground(TCanvas& canvas)
{
  if (!form_) return;
  const QRect client = form_->ClientRect();
  if (skinInUse_ && !clientTilePixmap_.isNull()) {
    canvas.Painter().drawTiledPixmap(client, clientTilePixmap_);
  } else {
    canvas.Brush()->SetColor(clBtnFace);
    canvas.FillRect(client);
  }
  if (logo_->Empty()) return;
  if (logoStretch_) {
    canvas.StretchDraw(client, logo_);
    return;
  }
  logo_->SetTransparent(logoTransparent_);
  const int x = std::max(0, client.width() / 2 - logo_->Width() / 2);
  const int y = std::max(0, client.height() / 2 - logo_->Height() / 2);
  canvas.Draw(x, y, logo_);
}

// ---------------------------------------------------------------- messages

void TbsSkinForm::PassOn(TMessage& m)
{
  if (previous_) previous_(m);
}

void TbsSkinForm::WatchWidget()
{
  if (!form_->HandleAllocated()) return;
  QWidget* w = form_->Handle();
  if (w == watched_) return;
  if (watched_) watched_->removeEventFilter(this);
  watched_ = w;
  watched_->installEventFilter(this);
}

bool TbsSkinForm::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == watched_ && !IsDestroying()) {
    if (event->type() == QEvent::WindowTitleChange) {
      InvalidateFrame();
    } else if (event->type() == QEvent::Show) {
      WindowShown();
    } else if (event->type() == QEvent::Hide) {
      WindowHidden();
    } else if (event->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(event);
      if (ShowFrameHint(help->globalPos())) return true;
    } else if (event->type() == QEvent::MouseButtonRelease && pressed_ >= 0) {
      // The release after a press on an object ends it wherever it happens.
      auto* me = static_cast<QMouseEvent*>(event);
      const TMouseButton button = me->button() == Qt::RightButton ? mbRight : me->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
      ReleasePressed(WindowPoint(me->globalPosition().toPoint()), button);
    }
  }
  return TComponent::eventFilter(watched, event);
}

bool TbsSkinForm::ShowFrameHint(QPoint screen)
{
  // A hover handler of its own shows the hints already.
  if (!showObjectHint_ || ObjectHintHandler || !form_) return false;
  const QPoint p = WindowPoint(screen);
  const QMargins m = form_->NonClientMargins();
  if (QRect(m.left(), m.top(), form_->ClientWidth(), form_->ClientHeight()).contains(p)) return false;
  RefreshObjectHints();
  for (const auto& o : objects_) {
    if (!o->Visible || !PointIn(o->ObjectRect, p) || o->Hint.isEmpty()) continue;
    ShowToolkitHint(form_, screen, o->Hint);
    return true;
  }
  QToolTip::hideText();
  return true;
}

void TbsSkinForm::SkinNotice(TMessage& m)
{
  TbsSkinData* sender = SkinNoticeSender(m);
  const bool own = sender && sender == skinData_;
  switch (m.Msg) {
  case SKN_CHANGING:
    if (!own) return;
    skinInUse_ = false;
    hoverTimer_.stop();
    morphTimer_.stop();
    animationTimer_.stop();
    ClearMarks();
    FreeObjects();
    SendSkinNoticeToControls(form_, SKN_CHANGING, sender);
    // A load that fails sends no SKN_CHANGE: the default frame then.
    changePending_ = true;
    QMetaObject::invokeMethod(
        this, [this] {
          if (changePending_) ApplySkin();
        },
        Qt::QueuedConnection);
    return;
  case SKN_CHANGE:
    if (own) ApplySkin();
    SendSkinNoticeToControls(form_, SKN_CHANGE, sender);
    return;
  case SKN_RESSTRINGS:
    if (own) RefreshObjectHints();
    SendSkinNoticeToControls(form_, SKN_RESSTRINGS, sender);
    return;
  default: return;
  }
}

void TbsSkinForm::WindowMessage(TMessage& m)
{
  if (IsDesigning() || (IsLoading() && m.Msg != SKN_CHANGING && m.Msg != SKN_CHANGE)) {
    PassOn(m);
    return;
  }
  WatchWidget();
  if (skinMenuOpen_ && skinMenu_ && (ClosesSkinMenu(m.Msg) || (m.Msg == WM_ACTIVATE && m.WParam == 0))) {
    if (ObjectHintHandler) ObjectHintHandler(QString());
    QPointer<TbsSkinForm> self(this);
    skinMenu_->CloseAll();
    if (!self) return;
  }
  switch (m.Msg) {
  case SKN_CHANGING:
  case SKN_CHANGE:
  case SKN_CHANGED:
  case SKN_RESSTRINGS: {
    QPointer<TbsSkinForm> self(this);
    SkinNotice(m);
    if (self) PassOn(m);
    return;
  }
  default: break;
  }
  if (FramePaintMessage(m) || FrameMouseMessage(m) || WindowStateMessage(m) || SizeMoveMessage(m)) return;
  PassOn(m);
}

// WM_NCPAINT, WM_ERASEBKGND: the frame and the client background from the skin.
bool TbsSkinForm::FramePaintMessage(TMessage& m)
{
  switch (m.Msg) {
  case WM_NCPAINT:
    if (TCanvas* canvas = PaintCanvasOf(m)) PaintFrame(*canvas, canvas->ClipRect());
    return true;
  case WM_ERASEBKGND:
    if (TCanvas* canvas = PaintCanvasOf(m)) PaintClientBackground(*canvas);
    m.Result = 1;
    return true;
  default: return false;
  }
}

// The mouse on the frame: hit tests, the cursor, hover, presses on its objects.
bool TbsSkinForm::FrameMouseMessage(TMessage& m)
{
  switch (m.Msg) {
  case WM_NCHITTEST: {
    const QPoint p = WindowPoint(MouseLParamPoint(m.LParam));
    m.Result = HitTest(p);
    if (m.Result == HTOBJECT && !hoverTimer_.isActive()) {
      EvaluateHover(p);
      hoverTimer_.start();
    }
    return true;
  }
  case WM_NCMOUSEMOVE: {
    PassOn(m);
    const QPoint p = WindowPoint(MouseLParamPoint(m.LParam));
    SetFrameCursor(int(m.WParam));
    EvaluateHover(p);
    if (TbsActiveSkinObject* o = Object(pressed_ >= 0 ? pressed_ : hover_)) o->MouseMove(p.x(), p.y());
    return true;
  }
  case WM_NCLBUTTONDOWN:
  case WM_NCRBUTTONDOWN: {
    PassOn(m);
    PressAt(WindowPoint(MouseLParamPoint(m.LParam)), m.Msg == WM_NCRBUTTONDOWN ? mbRight : mbLeft, int(m.WParam));
    return true;
  }
  case WM_NCLBUTTONUP:
  case WM_NCRBUTTONUP:
    PassOn(m);
    ReleasePressed(WindowPoint(MouseLParamPoint(m.LParam)), m.Msg == WM_NCRBUTTONUP ? mbRight : mbLeft);
    return true;
  case WM_LBUTTONUP:
  case WM_RBUTTONUP: {
    const QMargins margins = form_->NonClientMargins();
    PassOn(m);
    ReleasePressed(MouseLParamPoint(m.LParam) + QPoint(margins.left(), margins.top()),
                   m.Msg == WM_RBUTTONUP ? mbRight : mbLeft);
    return true;
  }
  case WM_NCLBUTTONDBLCLK:
    PassOn(m);
    if (int(m.WParam) == HTCAPTION) CaptionDoubleClick();
    else if (TbsActiveSkinObject* o = Object(hover_)) o->DblClick();
    return true;
  case WM_MOUSEMOVE:
  case CM_MOUSELEAVE:
    PassOn(m);
    SetFrameCursor(HTCLIENT);
    if (m.Msg == CM_MOUSELEAVE && pressed_ < 0) SetHover(-1);
    return true;
  default: return false;
  }
}

// WM_ACTIVATE: the frame follows the window's active state; WM_DESTROY: the effects end.
bool TbsSkinForm::WindowStateMessage(TMessage& m)
{
  switch (m.Msg) {
  case WM_ACTIVATE: {
    QPointer<TbsSkinForm> self(this);
    PassOn(m);
    if (self) UpdateActive();
    return true;
  }
  case WM_DESTROY:
    hoverTimer_.stop();
    morphTimer_.stop();
    animationTimer_.stop();
    PassOn(m);
    return true;
  default: return false;
  }
}

// Sizing and moving: the skin's limits, snapping, and no effects while it runs.
bool TbsSkinForm::SizeMoveMessage(TMessage& m)
{
  switch (m.Msg) {
  case WM_SIZE:
    PassOn(m);
    SizeChanged();
    return true;
  case WM_SIZING:
    PassOn(m);
    if (QRect* r = DraggedRectOf(m)) ClampSizing(*r, int(m.WParam));
    return true;
  case WM_MOVING:
    PassOn(m);
    if (QRect* r = DraggedRectOf(m)) r->moveTopLeft(DragPosition(r->topLeft()));
    return true;
  case WM_ENTERSIZEMOVE:
    PassOn(m);
    for (const auto& o : objects_) {
      if (auto* a = dynamic_cast<TbsSkinAnimateObject*>(o.get())) a->ResetAnimation();
      if (o.get() != CaptionObject()) o->MorphFactor = 0;
    }
    hoverTimer_.stop();
    morphTimer_.stop();
    animationTimer_.stop();
    ClearMarks();
    inMove_ = true;
    InvalidateFrame();
    return true;
  case WM_EXITSIZEMOVE:
    // The toolkit's loop is not modal: the move ends here.
    inMove_ = false;
    ClearMarks();
    InvalidateFrame();
    {
      QPointer<TbsSkinForm> self(this);
      PassOn(m);
      if (self) MoveLoopEnded();
    }
    return true;
  default: return false;
  }
}

// ---------------------------------------------------------------- helpers

void RegisterSkinFormClasses()
{
  TComponentClasses::Register<TbsSkinForm>();
  TEventTypes::Register<TbsObjectNameEvent>();
  TEventTypes::Register<TbsObjectMouseEvent>();
  TEventTypes::Register<TbsObjectMouseMoveEvent>();
  TEventTypes::Register<TbsObjectPaintEvent>();
  TEventTypes::Register<TbsActivateCustomObjectEvent>();
}
