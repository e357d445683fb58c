// The main window: tool bar (refresh, stay on top, record), the station
// directory in the embedded browser, a status bar with the maker's link. It
// keeps its placement in "mainform.ini", lives in the notification area when
// minimized, and when docked at the top edge of the screen it stays on top
// and slides up out of sight whenever the mouse leaves it.
#pragma once

#include "app/app_forms.h"
#include "app/settings_location.h"
#include "toolkit/forms.h"

#include <functional>

class TEmbeddedBrowser;
class TSpeedButton;
class TTimer;
class TTrayIcon;

class TForm_Main : public TForm {
  Q_OBJECT
public:
  explicit TForm_Main(TComponent* AOwner);
  TForm_Main(TComponent* AOwner, TBareForm);

  Q_INVOKABLE void FormCreate(QObject* Sender);
  Q_INVOKABLE void FormDestroy(QObject* Sender);
  Q_INVOKABLE void bsSkinSpeedButtonRefeshClick(QObject* Sender);
  Q_INVOKABLE void bsSkinSpeedButton_SetTopClic(QObject* Sender);
  Q_INVOKABLE void bsSkinSpeedButtonRecordClick(QObject* Sender);
  Q_INVOKABLE void bsSkinForm1MagnetTopIn(QObject* Sender);
  Q_INVOKABLE void bsSkinForm1MagnetTopOut(QObject* Sender);
  Q_INVOKABLE void bsSkinForm1RestoreFromTray(QObject* Sender);
  Q_INVOKABLE void bsSkinStatusBar1MouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
  Q_INVOKABLE void Timer1Timer(QObject* Sender);
  Q_INVOKABLE void Timer2Timer(QObject* Sender);

  bool StayOnTopState() const { return stayOnTop_; }
  bool Docked() const { return docked_; }

  // The stay-on-top operation: topmost or not, the button's image and hint.
  void SetStayOnTopState(bool value);
  // The dock operation: stay on top, and the auto-hide check runs, or not.
  void Dock(bool value);
  // The cursor lies strictly inside the client area widened by 5 pixels left,
  // right and down and 35 up (over the caption).
  bool MouseNear() const;

  void LoadSettings();
  void SaveSettings();

  // Seams for tests: where the cursor is, where the settings live (chosen
  // when the window is made, before its description runs FormCreate).
  std::function<QPoint()> CursorPos;
  QString SettingsReadPath;
  QString SettingsWritePath;
  static inline std::function<TSettingsLocation()> SettingsLocator;

private:
  template <typename T>
  T* Find(const char* name) const
  {
    return qobject_cast<T*>(FindComponent(QString::fromLatin1(name)));
  }

  bool stayOnTop_ = false;
  bool docked_ = false;
};

void RegisterMainWindowClasses();
