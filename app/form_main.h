// The main window: tool bar (refresh, stay on top, record), the station
// directory in the embedded browser, a status bar with the maker's link. It
// keeps its placement in "mainform.ini", lives in the notification area when
// minimized, and when docked at the top edge of the screen it stays on top
// and slides up out of sight whenever the mouse leaves it.
#pragma once

#include "app/app_forms.h"
#include "app/settings_location.h"
#include "toolkit/forms.h"

#include <QRect>
#include <functional>
#include <vector>

class TEmbeddedBrowser;
class TTimer;

class TScheduler;

class TForm_Main : public TForm {
  Q_OBJECT
public:
  explicit TForm_Main(TComponent* AOwner);
  TForm_Main(TComponent* AOwner, TBareForm);

  Q_INVOKABLE void FormCreate(QObject* Sender);
  Q_INVOKABLE void FormDestroy(QObject* Sender);
  // During a recording the user is asked first; No keeps everything running.
  Q_INVOKABLE void FormCloseQuery(QObject* Sender, bool& CanClose);
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

  // Another start of the program asked for the window: out of the tray, or
  // back from the top edge (as after a restore), and to the front.
  void BringBack();

  // Set when the session ends the program: nothing may wait for the user
  // then, so a failed save goes to stderr instead of a message box.
  bool EndingWithSession = false;

  // Seams for tests: where the cursor is, where the settings live (chosen
  // when the window is made, before its description runs FormCreate).
  std::function<QPoint()> CursorPos;
  QString SettingsReadPath;
  QString SettingsWritePath;
  static inline std::function<TSettingsLocation()> SettingsLocator;
  // The scheduled recordings (null while designing).
  TScheduler* Scheduler() const { return scheduler_; }

private:
  TScheduler* scheduler_ = nullptr;
  // Docked placement: slid out of sight the window is placed by the program
  // alone (window managers keep windows on screen), shown it is managed again.
  void PlaceDocked(int top);
  // The frame keeps the window at least as tall as its frame with both bars.
  void KeepBarsInView();
  int MinimumHeight() const;
  void WatchStatusBarMouse();

  bool stayOnTop_ = false;
  bool docked_ = false;
};

// `window` whole on `workArea`, at least `minHeight` tall: floating (top
// above 0) wholly inside it, docked (top 0 or less) at the screen's top edge:
// slid away as the program leaves it (top 5 - height), else shown (top 0).
QRect PlacementOnWorkArea(QRect window, int minHeight, const QRect& workArea);
// Links that cannot be opened (no browser on the desktop) tell the user in a box.
void ReportLinksThatOpenNothing();

// The status bar's link to the maker's site; an empty address shows none and opens nothing.
void ShowMakerSite(class TbsSkinLinkLabel* link, const QString& address);
// stations.txt in the user's configuration folder.
QString UserStationListFile();

void RegisterMainWindowClasses();
