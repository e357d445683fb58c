#include "app/form_main.h"

#include "app/all_classes.h"
#include "app/app_icon.h"
#include "app/form_record.h"
#include "app/player_desktop.h"
#include "app/schedule_desktop.h"
#include "app/user_messages.h"
#include "app/settings_location.h"
#include "browser/directory_server.h"
#include "browser/embedded_browser.h"
#include "browser/site_addresses.h"
#include "skin/skin_form.h"
#include "skin/tray_icon.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_message.h"
#include "skin_controls/skin_panels.h"
#include "toolkit/form_reader.h"
#include "toolkit/ini_file.h"
#include "toolkit/timer.h"
#include "toolkit/window_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStringDecoder>
#include <QWidget>
#include <cstdio>

namespace {
const QString kSection = QStringLiteral("main");
const QString kHintOnTop = QStringLiteral("取消窗口总在最前面");
const QString kHintNotOnTop = QStringLiteral("设定窗口总在最前面");
const QString kNoBrowser = QStringLiteral("没有找到可以打开网页的浏览器。请在浏览器中访问：%1");

// Mouse moves anywhere over the status bar, its panels included (the panels
// would otherwise take them), reach the main window's handler.
class StatusBarMouseWatch : public QObject {
public:
  StatusBarMouseWatch(QWidget* bar, std::function<void(QPoint)> onMove)
      : QObject(bar), bar_(bar), onMove_(std::move(onMove))
  {
  }
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    if (event->type() == QEvent::MouseMove) {
      auto* w = static_cast<QWidget*>(watched);
      onMove_(w->mapTo(bar_, static_cast<QMouseEvent*>(event)->position().toPoint()));
    } else if (event->type() == QEvent::Enter) {
      auto* w = static_cast<QWidget*>(watched);
      onMove_(w->mapTo(bar_, static_cast<QEnterEvent*>(event)->position().toPoint()));
    }
    return false;
  }

private:
  QWidget* bar_;
  std::function<void(QPoint)> onMove_;
};

// Mouse moves over the window's own frame (not its controls, which take
// their own moves).
class FrameMouseWatch : public QObject {
public:
  FrameMouseWatch(QWidget* window, std::function<void()> onMove) : QObject(window), onMove_(std::move(onMove)) {}
  bool eventFilter(QObject*, QEvent* event) override
  {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) onMove_();
    return false;
  }

private:
  std::function<void()> onMove_;
};
} // namespace

QString UserStationListFile() { return QDir(UserConfigFolder()).filePath(QStringLiteral("stations.txt")); }

TForm_Main::TForm_Main(TComponent* AOwner, TBareForm) : TForm(AOwner)
{
  CursorPos = [] { return Screen->CursorPos(); };
  const TSettingsLocation loc = SettingsLocator ? SettingsLocator() : MainFormSettingsLocation();
  SettingsReadPath = loc.ReadPath;
  SettingsWritePath = loc.WritePath;
}

TForm_Main::TForm_Main(TComponent* AOwner) : TForm_Main(AOwner, BareForm)
{
  ReadComponentFile(FormDescriptionPath(QStringLiteral("Form_Main")), this);
}

void TForm_Main::FormCreate(QObject*)
{
  if (Handle()) Handle()->setWindowIcon(AppIcon());
  KeepBarsInView();
  LoadSettings();
  if (auto* tray = FindComponent<TbsTrayIcon>("bsTrayIcon1")) tray->SetIconVisible(true);
  // Docked at the top edge the window stays on top; floating, it stays on top
  // as the user left it.
  const bool storedOnTop = stayOnTop_;
  Dock(Top() <= 0);
  if (!docked_ && storedOnTop) SetStayOnTopState(true);
  WatchStatusBarMouse();
  ShowMakerSite(FindComponent<TbsSkinLinkLabel>("bsSkinLinkLabel1"), MakerSiteAddress());
  TDirectoryServer::Instance()->SetUserListFile(UserStationListFile());
  if (auto* browser = FindComponent<TEmbeddedBrowser>("EmbeddedBrowser1")) OpenStationDirectory(*browser);
  if (!IsDesigning()) scheduler_ = AttachScheduleToMainWindow(*this, AttachPlayerToMainWindow(*this));
}

void TForm_Main::FormDestroy(QObject*)
{
  // A scheduled recording ends whole and is marked interrupted before the player goes.
  if (scheduler_) scheduler_->Shutdown();
  SaveSettings();
}

void TForm_Main::FormCloseQuery(QObject*, bool& CanClose)
{
  // Closing ends the program: a running recording goes only when the user
  // says so. The session's end asks nobody; the record window finishes the
  // file as it is freed.
  if (EndingWithSession) return;
  if (auto* record = qobject_cast<TForm_Record*>(RecordWindow())) CanClose = record->MayStopRecording();
}

void TForm_Main::KeepBarsInView()
{
  auto* frame = FindComponent<TbsSkinForm>("bsSkinForm1");
  if (!frame) return;
  // Never smaller than the frame with the tool bar and the status bar: the
  // size loop and stored placements keep to it.
  int bars = 0;
  for (const char* name : {"bsSkinToolBar1", "bsSkinStatusBar1"})
    if (auto* bar = FindComponent<TControl>(name); bar && bar->Visible()) bars += bar->Height();
  const QMargins m = NonClientMargins();
  frame->SetMinHeight(m.top() + m.bottom() + bars);
}

int TForm_Main::MinimumHeight() const
{
  auto* frame = FindComponent<TbsSkinForm>("bsSkinForm1");
  return frame ? frame->MinimumSize().height() : 1;
}

void TForm_Main::bsSkinSpeedButtonRefeshClick(QObject*)
{
  try {
    if (auto* browser = FindComponent<TEmbeddedBrowser>("EmbeddedBrowser1")) browser->Refresh();
  } catch (...) {
    // A failed refresh changes nothing the user relies on.
  }
}

void TForm_Main::bsSkinSpeedButton_SetTopClic(QObject*) { SetStayOnTopState(!stayOnTop_); }

void TForm_Main::bsSkinSpeedButtonRecordClick(QObject*)
{
  // A click that comes before the record window was made after the first
  // paint makes it now rather than being lost.
  CreateSecondaryWindows();
  if (TForm* form = RecordWindow()) {
    form->SetVisible(true);
    form->BringToFront();
  }
}

void TForm_Main::bsSkinForm1MagnetTopIn(QObject*) { Dock(true); }
void TForm_Main::bsSkinForm1MagnetTopOut(QObject*) { Dock(false); }

void TForm_Main::bsSkinForm1RestoreFromTray(QObject*)
{
  if (docked_) {
    PlaceDocked(0);
    // The auto-hide check that ran when the window went to the tray would
    // hide it again before the user reached it: Timer2 hands over to it.
    if (auto* t = FindComponent<TTimer>("Timer1")) t->SetEnabled(false);
    if (auto* t = FindComponent<TTimer>("Timer2")) t->SetEnabled(true);
  }
  if (auto* tray = FindComponent<TbsTrayIcon>("bsTrayIcon1")) tray->SetIconVisible(true);
  BringToFront();
}

void TForm_Main::bsSkinStatusBar1MouseMove(QObject*, TShiftState, int, int)
{
  if (docked_ && Top() < 0) {
    PlaceDocked(0);
    if (auto* t = FindComponent<TTimer>("Timer1")) t->SetEnabled(true);
  }
}

void TForm_Main::Timer1Timer(QObject*)
{
  qCDebug(lcWindow) << "auto-hide check: mouse near" << MouseNear() << "top" << Top();
  if (MouseNear()) return;
  // Only the bottom 5 pixels (the status bar's edge) stay on screen.
  PlaceDocked(5 - Height());
  if (auto* t = FindComponent<TTimer>("Timer1")) t->SetEnabled(false);
}

void TForm_Main::PlaceDocked(int top)
{
  // Unmanaged before the move out of sight, managed after the move back:
  // the manager never sees a window it would pull back onto the screen.
  if (top < 0) {
    SetManagedByWindowSystem(false);
    SetTop(top);
  } else {
    SetTop(top);
    SetManagedByWindowSystem(true);
  }
}

void TForm_Main::WatchStatusBarMouse()
{
  auto* bar = FindComponent<TbsSkinStatusBar>("bsSkinStatusBar1");
  if (!bar || IsDesigning()) return;
  QWidget* barWidget = bar->Handle();
  auto* watch = new StatusBarMouseWatch(barWidget, [this, bar](QPoint p) {
    Guarded([&] { bsSkinStatusBar1MouseMove(bar, TShiftState(), p.x(), p.y()); });
  });
  barWidget->installEventFilter(watch);
  for (QWidget* child : barWidget->findChildren<QWidget*>()) child->installEventFilter(watch);
  // Slid away, the strip left on screen is the status bar's last row and the
  // skinned frame's bottom band under it: a move over the band counts too.
  if (QWidget* own = Handle()) {
    auto* frameWatch = new FrameMouseWatch(own, [this, bar] {
      Guarded([&] { bsSkinStatusBar1MouseMove(bar, TShiftState(), 0, 0); });
    });
    own->installEventFilter(frameWatch);
  }
}

void ShowMakerSite(TbsSkinLinkLabel* link, const QString& address)
{
  if (!link) return;
  link->SetCaption(MakerSiteCaption(address));
  link->SetURL(address);
  link->SetCursor(address.isEmpty() ? crDefault : crHandPoint);
}

void ReportLinksThatOpenNothing()
{
  // Without a browser Qt only writes to stderr; the user clicked in the window
  // and is told there.
  auto& open = TbsSkinLinkLabel::OpenUrl();
  open = [desktopOpen = open](const QString& url) {
    if (desktopOpen && desktopOpen(url)) return true;
    ShowUserMessage(kNoBrowser.arg(url), mtWarning, mbOK);
    // The box told the user; the label would only report the same failure again.
    return true;
  };
}

void TForm_Main::BringBack()
{
  auto* frame = FindComponent<TbsSkinForm>("bsSkinForm1");
  auto* tray = FindComponent<TbsTrayIcon>("bsTrayIcon1");
  if (frame && tray && tray->MinimizeToTray()) {
    frame->RestoreFromTray();
    return;
  }
  // Minimized by the window system (not to the tray): shown normally again.
  if (HandleAllocated() && Handle()->isMinimized()) Handle()->showNormal();
  bsSkinForm1RestoreFromTray(this);
}

void TForm_Main::Timer2Timer(QObject*)
{
  if (!MouseNear()) return;
  if (auto* t = FindComponent<TTimer>("Timer2")) t->SetEnabled(false);
  if (auto* t = FindComponent<TTimer>("Timer1")) t->SetEnabled(true);
}

void TForm_Main::SetStayOnTopState(bool value)
{
  stayOnTop_ = value;
  SetFormStyle(value ? fsStayOnTop : fsNormal);
  if (!IsLoading() && !IsDesigning()) SetVisible(true);
  if (auto* button = FindComponent<TbsSkinSpeedButton>("bsSkinSpeedButton_SetTop")) {
    button->SetImageIndex(value ? 3 : 2);
    button->SetHint(value ? kHintOnTop : kHintNotOnTop);
  }
}

void TForm_Main::Dock(bool value)
{
  qCDebug(lcWindow) << "docked" << value;
  docked_ = value;
  SetStayOnTopState(value);
  if (!value) SetManagedByWindowSystem(true);
  if (auto* t = FindComponent<TTimer>("Timer1")) t->SetEnabled(value);
}

bool TForm_Main::MouseNear() const
{
  const QPoint cursor = CursorPos ? CursorPos() : Screen->CursorPos();
  QRect area(ClientOrigin(), ClientRect().size());
  const int left = area.left() - 5, top = area.top() - 35;
  const int right = area.left() + area.width() + 5, bottom = area.top() + area.height() + 5;
  return left < cursor.x() && cursor.x() < right && top < cursor.y() && cursor.y() < bottom;
}

void TForm_Main::LoadSettings()
{
  if (SettingsReadPath.isEmpty() || !QFileInfo::exists(SettingsReadPath)) return;
  std::unique_ptr<TMemIniFile> file;
  try {
    file = std::make_unique<TMemIniFile>(SettingsReadPath);
  } catch (const Exception&) {
    return;  // an unreadable file is like a missing one: the designed placement stays
  }
  TMemIniFile& ini = *file;
  SetLeft(ini.ReadInteger(kSection, QStringLiteral("left"), 500));
  SetTop(ini.ReadInteger(kSection, QStringLiteral("top"), 500));
  SetHeight(ini.ReadInteger(kSection, QStringLiteral("height"), 500));
  // A placement no screen shows, or shows only in part, would open a window
  // the user cannot reach or use and be saved back that way: it opens whole
  // on the work area instead.
  if (Screen->MonitorCount() > 0) {
    const QRect work = Screen->MonitorFromPoint(QPoint(Left(), Top())).WorkareaRect;
    const QRect placed = PlacementOnWorkArea(BoundsRect(), MinimumHeight(), work);
    if (placed != BoundsRect()) SetBounds(placed.left(), placed.top(), placed.width(), placed.height());
  }
  // Stored slid out of sight: placed by the program from the first show on,
  // before a window manager could pull it onto the screen.
  if (Top() < 0) SetManagedByWindowSystem(false);
  SetStayOnTopState(ini.ReadBool(kSection, QStringLiteral("FormTop"), false));
}

QRect PlacementOnWorkArea(QRect window, int minHeight, const QRect& workArea)
{
  if (workArea.isEmpty()) return window;
  const int width = std::min(window.width(), workArea.width());
  int height = std::clamp(window.height(), std::min(minHeight, workArea.height()), workArea.height());
  const int left = std::clamp(window.left(), workArea.left(), workArea.right() + 1 - width);
  int top = window.top();
  if (top <= 0) {
    // Docked at the top edge: slid away as the program leaves it (its 5-pixel
    // strip on screen), else shown.
    if (top != 5 - height) top = 0;
  } else {
    // Floating: below the top edge (at it, it would dock), the bottom on the work area.
    const int highest = std::max(workArea.top(), 1);
    height = std::min(height, workArea.bottom() + 1 - highest);
    top = std::clamp(top, highest, workArea.bottom() + 1 - height);
  }
  return QRect(left, top, width, height);
}

void TForm_Main::SaveSettings()
{
  if (SettingsWritePath.isEmpty()) return;
  try {
    QDir().mkpath(QFileInfo(SettingsWritePath).absolutePath());
    TIniFile ini(SettingsWritePath);
    ini.WriteInteger(kSection, QStringLiteral("left"), Left());
    ini.WriteInteger(kSection, QStringLiteral("top"), Top());
    ini.WriteInteger(kSection, QStringLiteral("height"), Height());
    ini.WriteBool(kSection, QStringLiteral("FormTop"), stayOnTop_);
  } catch (const Exception& e) {
    // Say so rather than lose the placement without a word; a session that
    // is ending waits for no one.
    if (EndingWithSession) {
      std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
      std::fflush(stderr);
    } else {
      // The program's report: in Chinese, in the skinned box.
      Application->HandleException(std::current_exception());
    }
  }
}

void RegisterMainWindowClasses()
{
  TComponentClasses::RegisterWith<TForm_Main>([](TComponent* owner) { return new TForm_Main(owner, BareForm); });
}
