#include "app/form_main.h"

#include "app/app_icon.h"
#include "app/plain_frame.h"
#include "app/settings_location.h"
#include "browser/embedded_browser.h"
#include "browser/site_addresses.h"
#include "toolkit/form_reader.h"
#include "toolkit/ini_file.h"
#include "toolkit/std_controls.h"
#include "toolkit/timer.h"

#include <QFileInfo>

namespace {
const QString kSection = QStringLiteral("main");
const QString kHintOnTop = QStringLiteral("取消窗口总在最前面");
const QString kHintNotOnTop = QStringLiteral("设定窗口总在最前面");
} // namespace

TForm_Main::TForm_Main(TComponent* AOwner, TBareForm) : TForm(AOwner)
{
  CursorPos = [] { return Screen->CursorPos(); };
  const TSettingsLocation loc = SettingsLocator ? SettingsLocator() : MainFormSettingsLocation();
  SettingsReadPath = loc.readPath;
  SettingsWritePath = loc.writePath;
}

TForm_Main::TForm_Main(TComponent* AOwner) : TForm_Main(AOwner, BareForm)
{
  ReadComponentFile(FormDescriptionPath(QStringLiteral("Form_Main")), this);
}

void TForm_Main::FormCreate(QObject*)
{
  if (Handle()) Handle()->setWindowIcon(AppIcon());
  LoadSettings();
  if (auto* tray = Find<TTrayIcon>("bsTrayIcon1")) tray->SetIconVisible(true);
  Dock(Top() <= 0);
  if (auto* browser = Find<TEmbeddedBrowser>("EmbeddedBrowser1")) browser->Navigate(StationDirectoryUrl());
}

void TForm_Main::FormDestroy(QObject*) { SaveSettings(); }

void TForm_Main::bsSkinSpeedButtonRefeshClick(QObject*)
{
  try {
    if (auto* browser = Find<TEmbeddedBrowser>("EmbeddedBrowser1")) browser->Refresh();
  } catch (...) {
    // A failed refresh changes nothing the user relies on.
  }
}

void TForm_Main::bsSkinSpeedButton_SetTopClic(QObject*) { SetStayOnTopState(!stayOnTop_); }

void TForm_Main::bsSkinSpeedButtonRecordClick(QObject*)
{
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TForm* form = Screen->Forms(i);
    if (form->Name() != QLatin1String("Form_Record")) continue;
    form->SetVisible(true);
    form->BringToFront();
    return;
  }
}

void TForm_Main::bsSkinForm1MagnetTopIn(QObject*) { Dock(true); }
void TForm_Main::bsSkinForm1MagnetTopOut(QObject*) { Dock(false); }

void TForm_Main::bsSkinForm1RestoreFromTray(QObject*)
{
  if (docked_) {
    SetTop(0);
    if (auto* t = Find<TTimer>("Timer2")) t->SetEnabled(true);
  }
  if (auto* tray = Find<TTrayIcon>("bsTrayIcon1")) tray->SetIconVisible(true);
  BringToFront();
}

void TForm_Main::bsSkinStatusBar1MouseMove(QObject*, TShiftState, int, int)
{
  if (docked_ && Top() < 0) {
    SetTop(0);
    if (auto* t = Find<TTimer>("Timer1")) t->SetEnabled(true);
  }
}

void TForm_Main::Timer1Timer(QObject*)
{
  if (MouseNear()) return;
  // Only the bottom 5 pixels (the status bar's edge) stay on screen.
  SetTop(5 - Height());
  if (auto* t = Find<TTimer>("Timer1")) t->SetEnabled(false);
}

void TForm_Main::Timer2Timer(QObject*)
{
  if (!MouseNear()) return;
  if (auto* t = Find<TTimer>("Timer2")) t->SetEnabled(false);
  if (auto* t = Find<TTimer>("Timer1")) t->SetEnabled(true);
}

void TForm_Main::SetStayOnTopState(bool value)
{
  stayOnTop_ = value;
  SetFormStyle(value ? fsStayOnTop : fsNormal);
  if (!IsLoading() && !IsDesigning()) SetVisible(true);
  if (auto* button = Find<TSpeedButton>("bsSkinSpeedButton_SetTop")) {
    button->SetImageIndex(value ? 3 : 2);
    button->SetHint(value ? kHintOnTop : kHintNotOnTop);
  }
}

void TForm_Main::Dock(bool value)
{
  docked_ = value;
  SetStayOnTopState(value);
  if (auto* t = Find<TTimer>("Timer1")) t->SetEnabled(value);
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
  SetStayOnTopState(ini.ReadBool(kSection, QStringLiteral("FormTop"), false));
}

void TForm_Main::SaveSettings()
{
  if (SettingsWritePath.isEmpty()) return;
  try {
    TIniFile ini(SettingsWritePath);
    ini.WriteInteger(kSection, QStringLiteral("left"), Left());
    ini.WriteInteger(kSection, QStringLiteral("top"), Top());
    ini.WriteInteger(kSection, QStringLiteral("height"), Height());
    ini.WriteBool(kSection, QStringLiteral("FormTop"), stayOnTop_);
  } catch (const Exception& e) {
    // Say so rather than lose the placement without a word.
    Application->ShowException(e.Message());
  }
}

void RegisterMainWindowClasses()
{
  RegisterPlainFrameClasses();
  TComponentClasses::RegisterWith<TForm_Main>([](TComponent* owner) { return new TForm_Main(owner, BareForm); });
}
