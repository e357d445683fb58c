#include "desktop_session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <cstdlib>
#include <xcb/xcb.h>

bool WaitFor(const std::function<bool()>& ready, int timeoutMs)
{
  QElapsedTimer t;
  t.start();
  for (;;) {
    if (ready()) return true;
    if (t.elapsed() > timeoutMs) return false;
    QThread::msleep(50);
  }
}

namespace {
QString Run(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(program, args);
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished();
    return QString();
  }
  return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

TDesktop::TDesktop(bool windowManager, bool trayHost) : windowManager_(windowManager)
{
  // Xvfb picks a free display itself and writes its number to our pipe.
  xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"});
  if (!xvfb_.waitForStarted(5000)) {
    error_ = "Xvfb cannot be started";
    return;
  }
  QByteArray number;
  WaitFor([&] {
    xvfb_.waitForReadyRead(50);
    number += xvfb_.readAllStandardOutput();
    return number.contains('\n') || xvfb_.state() != QProcess::Running;
  }, 10000);
  if (!number.contains('\n')) {
    error_ = "Xvfb did not say its display";
    return;
  }
  display_ = ":" + QString::fromLatin1(number.trimmed());
  if (windowManager) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    wm_.setProcessEnvironment(env);
    wm_.start("openbox", {"--sm-disable"});
    if (!wm_.waitForStarted(5000)) {
      error_ = "openbox cannot be started";
      return;
    }
    // The manager is there once it has announced itself on the root window.
    if (!WaitFor([&] { return Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, env).contains("window id"); }, 10000)) {
      error_ = "openbox did not come up";
      return;
    }
  }
  if (trayHost) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    tray_.setProcessEnvironment(env);
    tray_.setProcessChannelMode(QProcess::MergedChannels);
    // Now and then (a busy machine) trayer never maps its panel: a fresh one does.
    bool shown = false;
    for (int attempt = 0; attempt < 3 && !shown; ++attempt) {
      if (tray_.state() != QProcess::NotRunning) {
        tray_.kill();
        tray_.waitForFinished();
      }
      tray_.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "100",
                             "--height", "24"});
      shown = tray_.waitForStarted(5000) &&
              WaitFor([&] { return !XDoTool({"search", "--onlyvisible", "--class", "trayer"}).isEmpty(); }, 10000);
    }
    if (!shown) {
      error_ = "trayer did not come up: " + QString::fromLocal8Bit(tray_.readAll());
      return;
    }
  }
  ok_ = true;
}

TDesktop::~TDesktop()
{
  for (QProcess* p : {&tray_, &wm_, &xvfb_}) {
    if (p->state() == QProcess::NotRunning) continue;
    p->terminate();
    if (!p->waitForFinished(5000)) {
      p->kill();
      p->waitForFinished();
    }
  }
}

QString TDesktop::RunOnDisplay(const QString& program, const QStringList& args) const
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display_);
  return Run(program, args, env);
}

QString TDesktop::XDoTool(const QStringList& args) const { return RunOnDisplay("xdotool", args); }

QString TDesktop::XProp(const QStringList& args) const { return RunOnDisplay("xprop", args); }

void TDesktop::MovePointer(int x, int y) const { XDoTool({"mousemove", "--sync", QString::number(x), QString::number(y)}); }

void TDesktop::Click(int x, int y) const
{
  MovePointer(x, y);
  XDoTool({"click", "1"});
}

void TDesktop::DoubleClick(int x, int y) const
{
  MovePointer(x, y);
  XDoTool({"click", "--repeat", "2", "--delay", "80", "1"});
}

void TDesktop::RightClick(int x, int y) const
{
  MovePointer(x, y);
  XDoTool({"click", "3"});
}

void TDesktop::Keys(const QStringList& keys) const { XDoTool(QStringList{"key", "--delay", "60"} + keys); }

void TDesktop::TypeInto(const QString& window, const QString& text) const
{
  XDoTool({"windowfocus", "--sync", window});
  XDoTool({"type", "--delay", "20", text});
}

QList<QRect> TDesktop::ProcessWindows(qint64 pid) const
{
  QList<QRect> out;
  for (const QString& id : XDoTool({"search", "--onlyvisible", "--pid", QString::number(pid)}).split('\n', Qt::SkipEmptyParts))
    if (const QRect r = Geometry(id); !r.isNull()) out << r;
  return out;
}

QRect TDesktop::OpenContextMenu(QPoint at, qint64 pid, int maxHeight) const
{
  const QList<QRect> before = ProcessWindows(pid);
  RightClick(at.x(), at.y());
  QRect menu;
  WaitFor([&] {
    for (const QRect& r : ProcessWindows(pid))
      if (!before.contains(r) && r.height() > 40 && r.height() < maxHeight) menu = r;
    return !menu.isNull();
  }, 3000);
  return menu;
}

QString OpenRecordWindow(const TDesktop& desktop, const QRect& mainWindow)
{
  // The tool bar's record button, below the skinned caption.
  constexpr int kRecordButtonX = 66, kRecordButtonY = 36;
  // A window just mapped may miss the first click; each try comes in from
  // outside, as a hand would, so the button sees the pointer enter.
  WaitFor([&] {
    desktop.MovePointer(mainWindow.left() - 20, mainWindow.top() - 20);
    desktop.Click(mainWindow.left() + kRecordButtonX, mainWindow.top() + kRecordButtonY);
    return WaitFor([&] { return !desktop.VisibleWindows(kRecordCaption).isEmpty(); }, 2000);
  }, kReadyMs);
  const QStringList shown = desktop.VisibleWindows(kRecordCaption);
  return shown.isEmpty() ? QString() : shown.first();
}

void TDesktop::Drag(QPoint from, QPoint to, const std::function<void()>& beforeRelease) const
{
  MovePointer(from.x(), from.y());
  XDoTool({"mousedown", "1"});
  constexpr int kSteps = 6;
  for (int i = 1; i <= kSteps; ++i) {
    MovePointer(from.x() + (to.x() - from.x()) * i / kSteps, from.y() + (to.y() - from.y()) * i / kSteps);
    QThread::msleep(40);
  }
  if (beforeRelease) beforeRelease();
  XDoTool({"mouseup", "1"});
}

QRect TDesktop::TrayIcon(const QString& name) const
{
  for (const QString& id : XDoTool({"search", "--onlyvisible", "--class", name}).split('\n', Qt::SkipEmptyParts)) {
    const QRect r = Geometry(id);
    if (r.width() <= 32 && r.height() <= 32 && !r.isNull()) return r;
  }
  return QRect();
}

QStringList TDesktop::VisibleWindows(const QString& name) const
{
  const QStringList ids = XDoTool({"search", "--onlyvisible", "--name", "."}).split('\n', Qt::SkipEmptyParts);
  QStringList out;
  for (const QString& id : ids)
    if (WindowName(id) == name) out << id;
  return out;
}

QRect TDesktop::Geometry(const QString& window) const
{
  // xwininfo's absolute corner (xdotool counts a manager's frame twice).
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display_);
  QRect r;
  const QString info = Run("xwininfo", {"-id", window}, env);
  if (!info.contains("Map State: IsViewable")) return QRect();
  for (QString line : info.split('\n')) {
    line = line.trimmed();
    const int v = line.section(':', 1).trimmed().toInt();
    if (line.startsWith("Absolute upper-left X:")) r.moveLeft(v);
    else if (line.startsWith("Absolute upper-left Y:")) r.moveTop(v);
    else if (line.startsWith("Width:")) r.setWidth(v);
    else if (line.startsWith("Height:")) r.setHeight(v);
  }
  return r;
}

void TDesktop::SendPositionReport(const QString& window, QPoint at) const
{
  const QRect now = Geometry(window);
  xcb_connection_t* c = xcb_connect(display_.toLatin1().constData(), nullptr);
  if (!xcb_connection_has_error(c)) {
    xcb_configure_notify_event_t e{};
    e.response_type = XCB_CONFIGURE_NOTIFY;
    e.event = e.window = xcb_window_t(window.toULong());
    e.x = int16_t(at.x());
    e.y = int16_t(at.y());
    e.width = uint16_t(now.width());
    e.height = uint16_t(now.height());
    xcb_send_event(c, false, e.window, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&e));
    // A round trip: the event is on its way before the caller goes on.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
  xcb_disconnect(c);
}

bool TDesktop::TakenOnByManager(const QString& window) const
{
  if (!windowManager_) return true;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display_);
  return Run("xprop", {"-id", window, "WM_STATE"}, env).contains("Normal");
}

void TDesktop::PauseWindowManager(bool paused) const
{
  if (wm_.state() == QProcess::Running) ::kill(pid_t(wm_.processId()), paused ? SIGSTOP : SIGCONT);
}

bool TDesktop::OnTheRootWindow(const QString& window) const
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display_);
  for (const QString& line : Run("xwininfo", {"-id", window, "-children"}, env).split('\n'))
    if (line.trimmed().startsWith("Parent window id:")) return line.contains("(the root window)");
  return false;
}

QString TDesktop::WindowName(const QString& window) const { return XDoTool({"getwindowname", window}).trimmed(); }

// ---------------------------------------------------------------- program

TProgram::TProgram(const TDesktop& desktop) : desktop_(desktop)
{
  QFile::copy(QStringLiteral(VELMORA_BINARY_DIR "/app/velmora"), dir_.filePath("velmora"));
  QDir(dir_.path()).mkdir("runtime");
  QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  env_ = QProcessEnvironment::systemEnvironment();
  // The sound server stays reachable while the runtime folder is the program's own.
  if (!env_.contains("PULSE_SERVER") && env_.contains("XDG_RUNTIME_DIR"))
    env_.insert("PULSE_SERVER", "unix:" + env_.value("XDG_RUNTIME_DIR") + "/pulse/native");
  env_.insert("XDG_RUNTIME_DIR", RuntimeDir());
  env_.insert("XDG_CONFIG_HOME", ConfigHome());
  env_.insert("DISPLAY", desktop.Display());
  env_.insert("QT_QPA_PLATFORM", "xcb");
  env_.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  env_.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // No online directory: what these tests see must not depend on the network.
  env_.insert("VELMORA_DIRECTORY_URL", "");
}

TProgram::~TProgram()
{
  if (process_ && process_->state() != QProcess::NotRunning) {
    process_->kill();
    process_->waitForFinished();
  }
}

void TProgram::WriteSettings(const QByteArray& text) const
{
  QFile f(dir_.filePath("mainform.ini"));
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
}

QByteArray TProgram::Settings() const
{
  QFile f(dir_.filePath("mainform.ini"));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<QProcess> TProgram::Launch() const
{
  auto p = std::make_unique<QProcess>();
  p->setProcessEnvironment(env_);
  p->setProcessChannelMode(QProcess::MergedChannels);
  if (launcher_.isEmpty()) p->start(dir_.filePath("velmora"), {});
  else p->start(launcher_.first(), launcher_.mid(1) << dir_.filePath("velmora"));
  return p;
}

QString TProgram::Start()
{
  output_.clear();
  window_.clear();
  process_ = Launch();
  if (!process_->waitForStarted(10000)) return QString();
  WaitFor([&] {
    if (process_->state() != QProcess::Running) return true;
    const QStringList windows = desktop_.VisibleWindows(kMainCaption);
    if (!windows.isEmpty()) window_ = windows.first();
    return !window_.isEmpty();
  }, 30000);
  return window_;
}

bool TProgram::End(int signal, int timeoutMs)
{
  if (!process_ || process_->state() == QProcess::NotRunning) return true;
  ::kill(pid_t(process_->processId()), signal);
  return process_->waitForFinished(timeoutMs);
}

QString TProgram::Output()
{
  if (process_) output_ += QString::fromLocal8Bit(process_->readAll());
  return output_;
}

QByteArray TProgram::FetchFromOwnServer(const QString& path)
{
  if (!process_) return QByteArray();
  // The program's sockets, by inode.
  QSet<QString> inodes;
  const QString fds = QStringLiteral("/proc/%1/fd").arg(process_->processId());
  for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
    const QString target = fd.symLinkTarget().section('/', -1);
    if (target.startsWith("socket:[")) inodes << target.mid(8).chopped(1);
  }
  QFile table("/proc/net/tcp");
  if (!table.open(QIODevice::ReadOnly)) return QByteArray();
  for (const QByteArray& line : table.readAll().split('\n')) {
    const QList<QByteArray> f = line.simplified().split(' ');
    // sl local remote state ... inode (field 9); 0A is LISTEN, 0100007F is 127.0.0.1.
    if (f.size() < 10 || f[3] != "0A" || !inodes.contains(QString::fromLatin1(f[9]))) continue;
    if (!f[1].startsWith("0100007F:")) continue;
    const quint16 port = quint16(f[1].mid(9).toUInt(nullptr, 16));
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", port);
    if (!socket.waitForConnected(5000)) continue;
    socket.write("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000)) reply += socket.readAll();
    reply += socket.readAll();
    if (reply.startsWith("HTTP/1.1 ")) return reply;
  }
  return QByteArray();
}
