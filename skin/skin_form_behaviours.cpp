// The window behaviours of TbsSkinForm: snapping and the magnet events, the
// component's own window states and roll-up, the tray, the skinned system
// and tray menus, and the fade-in.
#include "skin/skin_form.h"

#include "skin/tray_icon.h"
#include "toolkit/window_log.h"

namespace {
constexpr int kFadeStep = 5;
constexpr int kFadeInterval = 10;

// What the system menu's and the tray menu's items are called, where a skin
// may replace their captions, and the built-in captions.
struct MenuEntry {
  const char* Name;
  const char* ResName;
  const char* Caption;
};
const MenuEntry kMinItem{"BSF_MINITEM", "MI_MINCAPTION", "最小化(&N)"};
const MenuEntry kMaxItem{"BSF_MAXITEM", "MI_MAXCAPTION", "最大化(&X)"};
const MenuEntry kRestoreItem{"BSF_RESTORE", "MI_RESTORECAPTION", "恢复(&R)"};
const MenuEntry kRollUpItem{"BSF_ROLLUP", "MI_ROLLUPCAPTION", "卷起"};
const MenuEntry kTrayItem{"BSF_MINTOTRAY", "MI_MINTOTRAYCAPTION", "最小化到托盘(&T)"};
const MenuEntry kCloseItem{"BSF_CLOSE", "MI_CLOSECAPTION", "关闭(&C)"};
const char* const kStandardNames[] = {"BSF_MINITEM", "BSF_MAXITEM", "BSF_CLOSE", "BSF_MINTOTRAY", "BSF_ROLLUP", "BSF_RESTORE"};
} // namespace

// ---------------------------------------------------------------- menus

QString TbsSkinForm::MenuCaption(const char* resName, const char* builtIn) const
{
  const TbsResourceStrData* strings = skinData_ ? skinData_->ResourceStrData() : nullptr;
  const QString replaced = strings ? strings->GetResString(QString::fromLatin1(resName)) : QString();
  return replaced.isEmpty() ? QString::fromUtf8(builtIn) : replaced;
}

void TbsSkinForm::CreateMenus()
{
  skinMenu_ = new TbsSkinMenu(this);
  skinMenu_->SetForm(form_);
  skinMenu_->OnMenuOpen = [this](TObject*) {
    skinMenuOpen_ = true;
    onSkinMenuOpen_(this);
  };
  skinMenu_->OnMenuClose = [this](TObject*) {
    skinMenuOpen_ = false;
    QPointer<TbsSkinForm> self(this);
    // A caption button held down for the menu comes up.
    for (int i = 0; i < int(objects_.size()); ++i)
      if (auto* b = dynamic_cast<TbsSkinButtonObject*>(Object(i)); b && b->Down && i != pressed_) {
        b->Down = false;
        RedrawObject(b);
      }
    if (self) onSkinMenuClose_(this);
  };
  defaultSystemMenu_ = new TbsSkinPopupMenu(this);
  defaultSystemMenu_->SetForm(form_);
  trayMenu_ = new TbsSkinPopupMenu(this);
  trayMenu_->SetForm(form_);
  TMenuItem* items = trayMenu_->Items();
  items->Add(TMenuItem::Create(QStringLiteral("TRAY_BSF_RESTORE"), MenuCaption(kRestoreItem.ResName, kRestoreItem.Caption),
                               QString(), [this](TObject*) { RestoreFromTray(); }));
  items->Add(TMenuItem::Create(QStringLiteral("TRAY_BSF_SEP"), QStringLiteral("-")));
  items->Add(TMenuItem::Create(QStringLiteral("TRAY_BSF_CLOSE"), MenuCaption(kCloseItem.ResName, kCloseItem.Caption),
                               QStringLiteral("Alt+F4"), [this](TObject*) {
                                 if (form_) form_->Close();
                               }));
}

TMenuItem* TbsSkinForm::SystemMenuItem(const char* name) const
{
  const MenuEntry* entries[] = {&kMinItem, &kMaxItem, &kRestoreItem, &kRollUpItem, &kTrayItem, &kCloseItem};
  for (const MenuEntry* e : entries) {
    if (qstrcmp(e->Name, name) != 0) continue;
    const QString shortCut = e == &kCloseItem ? QStringLiteral("Alt+F4") : QString();
    QPointer<TbsSkinForm> self(const_cast<TbsSkinForm*>(this));
    TNotifyEvent action;
    if (e == &kMinItem)
      action = [self](TObject*) {
        if (!self) return;
        if (self->alwaysMinimizeToTray_) self->MinimizeToTray();
        else self->SetWindowState(TForm::wsMinimized);
      };
    else if (e == &kMaxItem)
      action = [self](TObject*) { if (self) self->SetWindowState(TForm::wsMaximized); };
    else if (e == &kRestoreItem)
      action = [self](TObject*) {
        if (!self) return;
        if (self->rolledUp_) self->SetRollUpState(false);
        else self->SetWindowState(TForm::wsNormal);
      };
    else if (e == &kRollUpItem)
      action = [self](TObject*) { if (self) self->SetRollUpState(true); };
    else if (e == &kTrayItem)
      action = [self](TObject*) { if (self) self->MinimizeToTray(); };
    else
      action = [self](TObject*) { if (self && self->form_) self->form_->Close(); };
    return TMenuItem::Create(QString::fromLatin1(e->Name), MenuCaption(e->ResName, e->Caption), shortCut, action);
  }
  return nullptr;
}

TbsSkinPopupMenu* TbsSkinForm::BuildSystemMenu()
{
  const bool canRollUp = (borderIcons_ & biRollUp) && !rolledUp_ && !Minimized();
  // The user's menu hears OnPopup as when it pops up itself, so its owner can bring it up to date.
  if (systemMenu_) systemMenu_->OnPopup()(systemMenu_);
  if (systemMenu_ && useDefaultSysMenu_) {
    TMenuItem* items = systemMenu_->Items();
    for (int i = items->Count() - 1; i >= 0; --i)
      for (const char* name : kStandardNames)
        if (items->Items(i)->Name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
          items->Delete(i);
          break;
        }
    // Each goes in at the top: they end up in the reverse order.
    if (borderIcons_ & biMinimizeToTray) items->Insert(0, SystemMenuItem("BSF_MINTOTRAY"));
    if (canRollUp) items->Insert(0, SystemMenuItem("BSF_ROLLUP"));
    if ((borderIcons_ & biMaximize) && !Maximized()) items->Insert(0, SystemMenuItem("BSF_MAXITEM"));
    if (Minimized() || Maximized() || rolledUp_) items->Insert(0, SystemMenuItem("BSF_RESTORE"));
    if ((borderIcons_ & biMinimize) && !Minimized()) items->Insert(0, SystemMenuItem("BSF_MINITEM"));
    items->Add(SystemMenuItem("BSF_CLOSE"));
    return systemMenu_;
  }
  if (systemMenu_) return systemMenu_;
  TMenuItem* items = defaultSystemMenu_->Items();
  items->Clear();
  if ((borderIcons_ & biMinimize) && !Minimized()) items->Add(SystemMenuItem("BSF_MINITEM"));
  if ((borderIcons_ & biMaximize) && !Maximized()) items->Add(SystemMenuItem("BSF_MAXITEM"));
  if (Minimized() || Maximized() || rolledUp_) items->Add(SystemMenuItem("BSF_RESTORE"));
  if (canRollUp) items->Add(SystemMenuItem("BSF_ROLLUP"));
  if (borderIcons_ & biMinimizeToTray) items->Add(SystemMenuItem("BSF_MINTOTRAY"));
  if (items->Count() > 0) items->Add(TMenuItem::Create(QStringLiteral("BSF_SEP"), QStringLiteral("-")));
  items->Add(SystemMenuItem("BSF_CLOSE"));
  return defaultSystemMenu_;
}

void TbsSkinForm::ShowSystemMenu(const QRect& anchor)
{
  if (!form_ || !skinMenu_) return;
  TbsSkinPopupMenu* menu = BuildSystemMenu();
  skinMenu_->SetUseSkinFont(useSkinFontInMenu_);
  skinMenu_->SetDefaultMenuItemHeight(defMenuItemHeight_);
  skinMenu_->SetDefaultMenuItemFont(defMenuItemFont_);
  skinMenu_->SetAlphaBlend(menusAlphaBlend_);
  skinMenu_->SetAlphaBlendAnimation(menusAlphaBlendAnimation_);
  skinMenu_->SetAlphaBlendValue(menusAlphaBlendValue_);
  skinMenu_->Popup(form_, menu->SkinData() ? menu->SkinData() : MenuSkinData(), false, menu->Items(), anchor);
}

bool TbsSkinForm::ClosesSkinMenu(quint32 msg) const
{
  switch (msg) {
  case WM_MOVE: case WM_SIZE: case WM_KILLFOCUS: case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN:
  case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    return true;
  default: return false;
  }
}

// ---------------------------------------------------------------- tray

void TbsSkinForm::SetTrayIcon(TbsTrayIcon* v)
{
  if (!ReplaceReference(trayIcon_, v)) return;
  if (IsDesigning()) {
    SetBorderIcons(v ? borderIcons_ | biMinimizeToTray : borderIcons_ & ~TbsBorderIcons(biMinimizeToTray));
  }
  if (trayIcon_ && !IsLoading()) BindTrayIcon();
}

void TbsSkinForm::BindTrayIcon()
{
  if (!trayIcon_) return;
  if (!alwaysShowInTray_) trayIcon_->SetIconVisible(false);
  trayIcon_->SetMinimizeToTray(false);
  if (IsDesigning() || trayIcon_->PopupMenu()) return;
  trayIcon_->SetPopupMenu(trayMenu_);
  QPointer<TbsSkinForm> self(this);
  trayIcon_->SetOnDblClick([self](TObject*) {
    if (self) self->RestoreFromTray();
  });
}

void TbsSkinForm::SetSystemMenu(TbsSkinPopupMenu* v)
{
  if (!ReplaceReference(systemMenu_, v)) return;
}

void TbsSkinForm::MinimizeToTray()
{
  // Hiding with no notification area would leave no way back.
  if (!trayIcon_ || !trayIcon_->CanHideToTray()) return;
  trayIcon_->SetMinimizeToTray(true);
  trayIcon_->MinimizeMainToTray();
  onMinimizeToTray_(this);
}

void TbsSkinForm::RestoreFromTray()
{
  if (!trayIcon_) return;
  trayIcon_->SetMinimizeToTray(false);
  trayIcon_->RestoreMainWindow();
  if (!alwaysShowInTray_) trayIcon_->SetIconVisible(false);
  onRestoreFromTray_(this);
}

// ---------------------------------------------------------------- window states

bool TbsSkinForm::IsMainForm() const { return form_ && Application->MainForm() == form_; }

void TbsSkinForm::SetWindowState(TForm::TWindowState v)
{
  if (!form_ || v == windowState_) return;
  const bool mainMinimized = v == TForm::wsMinimized && IsMainForm();
  const TForm::TWindowState was = windowState_;
  if (!mainMinimized) windowState_ = v;
  switch (v) {
  case TForm::wsMinimized: Minimize(); break;
  case TForm::wsMaximized: Maximize(); break;
  case TForm::wsNormal: Restore(); break;
  }
  if (was != windowState_) {
    UpdateObjectAvailability();
    InvalidateFrame();
  }
}

void TbsSkinForm::Minimize()
{
  if (IsMainForm()) {
    // The application goes to the task bar (or, with MinimizeToTray, the tray icon takes it).
    if (form_->HandleAllocated() && form_->Visible()) form_->Handle()->showMinimized();
    return;
  }
  if (normalBounds_.isEmpty()) normalBounds_ = form_->BoundsRect();
  const QSize size = MinimumSize();
  std::vector<QPoint> taken;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TForm* other = Screen->Forms(i);
    if (other == form_ || !other->Visible() || other == Application->MainForm()) continue;
    for (int c = 0; c < other->ComponentCount(); ++c)
      if (auto* frame = qobject_cast<TbsSkinForm*>(other->Components(c)); frame && frame->Minimized())
        taken.push_back(QPoint(other->Left(), other->Top()));
  }
  const QRect area = Screen->MonitorFromWindow(form_).WorkareaRect;
  const QPoint at = area.isEmpty() ? form_->BoundsRect().topLeft() : MinimizedSlot(area, size, taken);
  form_->SetBounds(at.x(), at.y(), size.width(), size.height());
}

void TbsSkinForm::Maximize()
{
  if (normalBounds_.isEmpty()) normalBounds_ = form_->BoundsRect();
  const TMonitor monitor = Screen->MonitorFromWindow(form_);
  QRect area = maximizeOnFullScreen_ ? monitor.BoundsRect : monitor.WorkareaRect;
  if (area.isEmpty()) return;
  if (!maximizeOnFullScreen_ && area == monitor.BoundsRect) area.adjust(1, 1, -1, -1);
  form_->SetBounds(area.x(), area.y(), area.width(), area.height());
}

void TbsSkinForm::Restore()
{
  rolledUpWhileMaximized_ = false;
  // Nothing remembered: the window keeps its bounds rather than shrink to nothing.
  if (!normalBounds_.isEmpty()) {
    const QRect r = normalBounds_;
    normalBounds_ = QRect();
    form_->SetBounds(r.x(), r.y(), r.width(), r.height());
  }
  if (rolledUp_) form_->SetHeight(MinimumSize().height());
  UpdateLayout();
  form_->Realign();
  if (!objects_.empty()) hoverTimer_.start();
}

void TbsSkinForm::SetRollUpState(bool v)
{
  if (!form_ || v == rolledUp_ || !(borderIcons_ & biRollUp) || Minimized()) return;
  // Rolled up before it was maximized: it stays so until restored.
  if (Maximized() && rolledUp_ && !rolledUpWhileMaximized_) return;
  if (v) {
    rollUpHeight_ = form_->Height();
    rolledUp_ = true;
    form_->SetHeight(MinimumSize().height());
  } else {
    rolledUp_ = false;
    form_->SetHeight(std::max(rollUpHeight_, MinimumSize().height()));
  }
  if (Maximized()) rolledUpWhileMaximized_ = rolledUp_;
  UpdateObjectAvailability();
  InvalidateFrame();
  onChangeRollUpState_(this);
}

// ---------------------------------------------------------------- moves

QPoint TbsSkinForm::DragPosition(QPoint proposed) const
{
  if (!form_) return proposed;
  if (Maximized()) return QPoint(form_->Left(), form_->Top());
  if (!magnetic_) return proposed;
  const QRect area = Screen->MonitorFromWindow(form_).WorkareaRect;
  if (area.isEmpty()) return proposed;
  return SnapToEdges(proposed, QSize(form_->Width(), form_->Height()), area, magneticSize_);
}

void TbsSkinForm::MoveLoopEnded()
{
  if (!magnetic_ || !form_) return;
  if (skinInUse_) InvalidateFrame();
  // By the top alone, whether or not anything changed.
  qCDebug(lcWindow) << form_->Name() << "move loop ended at" << QPoint(form_->Left(), form_->Top());
  if (form_->Top() == 0) onMagnetTopIn_(this);
  else onMagnetTopOut_(this);
}

// ---------------------------------------------------------------- transparency

void TbsSkinForm::SetAlphaBlend(bool v)
{
  alphaBlend_ = v;
  if (!form_ || IsLoading() || IsDesigning()) return;
  form_->SetAlphaBlendValue(alphaBlendValue_);
  form_->SetAlphaBlend(v);
}

void TbsSkinForm::SetAlphaBlendValue(int v)
{
  alphaBlendValue_ = qBound(0, v, 255);
  if (!form_ || IsLoading() || IsDesigning() || !alphaBlend_) return;
  form_->SetAlphaBlendValue(alphaBlendValue_);
}

void TbsSkinForm::WindowShown()
{
  if (!alphaBlend_ && !alphaBlendAnimation_) return;
  // Where the window system offers no opacity the window is simply shown.
  fadeOpacity_ = alphaBlendAnimation_ ? 0 : (alphaBlend_ ? alphaBlendValue_ : 255);
  form_->SetAlphaBlendValue(fadeOpacity_);
  form_->SetAlphaBlend(true);
  if (alphaBlendAnimation_) fadeTimer_.start(kFadeInterval);
}

void TbsSkinForm::FadeTick()
{
  const int target = alphaBlend_ ? alphaBlendValue_ : 255;
  fadeOpacity_ = std::min(target, fadeOpacity_ + kFadeStep);
  form_->SetAlphaBlendValue(fadeOpacity_);
  if (fadeOpacity_ < target) return;
  fadeTimer_.stop();
  if (target == 255) form_->SetAlphaBlend(false);
}

void TbsSkinForm::WindowHidden()
{
  fadeTimer_.stop();
  if (alphaBlend_ && form_) form_->SetAlphaBlend(false);
}
