// The program as a user meets it: a private X server (Xvfb), optionally with
// a window manager (openbox), the program started from a folder of its own,
// and the pointer moved with xdotool.
#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// Waits (polling, with a deadline) until `ready` holds; false on time-out.
bool WaitFor(const std::function<bool()>& ready, int timeoutMs);
// The deadline of a wait for something that will happen: generous, since
// the machine may be busy with other builds (a wait ends as soon as it holds).
constexpr int kReadyMs = 20000;

class TDesktop {
public:
  // Starts Xvfb (1280 x 1024) and, when asked, openbox and a notification
  // area (trayer) on it.
  explicit TDesktop(bool windowManager, bool trayHost = false);
  ~TDesktop();
  bool Ok() const { return ok_; }
  QString Display() const { return display_; }
  QString Error() const { return error_; }

  // xdotool on this display; its standard output.
  QString XDoTool(const QStringList& args) const;
  // xprop on this display; its standard output.
  QString XProp(const QStringList& args) const;
  void MovePointer(int x, int y) const;
  void Click(int x, int y) const;
  void DoubleClick(int x, int y) const;
  void RightClick(int x, int y) const;
  // Key names as xdotool takes them ("Down", "Return"), pressed in turn.
  void Keys(const QStringList& keys) const;
  // Gives the window the keyboard and types `text` into it.
  void TypeInto(const QString& window, const QString& text) const;
  // The shown windows of a process (menus and popup lists included), on the screen.
  QList<QRect> ProcessWindows(qint64 pid) const;
  // Right-clicks at `at` and waits (3 s at most) for a new window of the
  // process between 41 and `maxHeight` pixels high: the menu that opened; null when none did.
  QRect OpenContextMenu(QPoint at, qint64 pid, int maxHeight) const;
  // Presses the left button at `from`, moves in steps to `to` and releases there.
  // `beforeRelease` runs with the button still down at `to`.
  void Drag(QPoint from, QPoint to, const std::function<void()>& beforeRelease = {}) const;
  // Visible windows whose name matches exactly.
  QStringList VisibleWindows(const QString& name) const;
  // The window's client area on the screen; a null rectangle while it is not shown.
  QRect Geometry(const QString& window) const;
  QString WindowName(const QString& window) const;
  // The window manager has taken the window on (it set WM_STATE); always
  // true without a manager.
  bool TakenOnByManager(const QString& window) const;
  // Tells `window` it stands at `at` the way a window manager does (a
  // synthetic ConfigureNotify), as a late report from a busy manager would.
  void SendPositionReport(const QString& window, QPoint at) const;
  // Stops or continues the window manager (a busy manager that answers late).
  void PauseWindowManager(bool paused) const;
  // The window is a child of the root window (no manager's frame holds it).
  bool OnTheRootWindow(const QString& window) const;
  // The notification area's icon of a program (a small window of class `name`); null when none is shown.
  QRect TrayIcon(const QString& name) const;

private:
  // A program on this display, to its end (10 s at most); its standard output.
  QString RunOnDisplay(const QString& program, const QStringList& args) const;

  QProcess xvfb_, wm_, tray_;
  bool windowManager_ = false;
  QString display_, error_;
  bool ok_ = false;
};

class TProgram {
public:
  // A copy of the program in a folder of its own (settings live beside it),
  // with a private runtime and configuration folder and the sound server kept.
  explicit TProgram(const TDesktop& desktop);
  ~TProgram();

  QString Folder() const { return dir_.path(); }
  QString ConfigHome() const { return dir_.filePath("config"); }
  QString RuntimeDir() const { return dir_.filePath("runtime"); }
  void WriteSettings(const QByteArray& text) const;
  QByteArray Settings() const;
  QProcessEnvironment& Environment() { return env_; }
  // Starts the program through `command` (its arguments, then the program's path).
  void SetLauncher(QStringList command) { launcher_ = std::move(command); }

  // Starts another process of the program (same folder and environment).
  std::unique_ptr<QProcess> Launch() const;
  // Starts the program and waits for its main window; its id, "" on failure.
  QString Start();
  // Sends `signal` and waits for the end; true when it ended in time.
  bool End(int signal = 15, int timeoutMs = 20000);
  QProcess& Process() { return *process_; }
  QString Output();
  // A GET of `path` from the program's own web server on 127.0.0.1 (its
  // listening port found through /proc), as any other program would send it;
  // the whole answer, "" when there is none.
  QByteArray FetchFromOwnServer(const QString& path);
  // The main window's id once shown.
  QString Window() const { return window_; }

private:
  const TDesktop& desktop_;
  QTemporaryDir dir_;
  QProcessEnvironment env_;
  QStringList launcher_;
  std::unique_ptr<QProcess> process_;
  QString window_, output_;
};

// Opens the record window through the main window's tool bar (the main
// window shown at `mainWindow`); its window id, "" when it never came up.
QString OpenRecordWindow(const TDesktop& desktop, const QRect& mainWindow);

// The main window's caption.
inline const QString kMainCaption = QStringLiteral("Ostrel网络收音机");
inline const QString kRecordCaption = QStringLiteral("Velmora 节目录音");
