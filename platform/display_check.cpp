#include "platform/display_check.h"

#include "platform/local_socket.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <xcb/xcb.h>

namespace {
// A Wayland session without XWayland: Qt can still show the windows if its
// own Wayland plugin is installed and the compositor answers. Without either,
// Qt falls back to X and aborts.
bool WaylandUsable()
{
  QString socket = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (socket.isEmpty()) return false;
  const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  if (plugins.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty()) return false;
  if (!socket.startsWith(QLatin1Char('/'))) socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + socket;
  return LocalSocketListens(QFile::encodeName(socket));
}
} // namespace

QString UnreachableDisplay()
{
  const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) return QString();
  const QString display = qEnvironmentVariable("DISPLAY");
  const QString need = QStringLiteral("Velmora网络广播需要一个图形桌面（X11，或 Wayland 下的 XWayland）。");
  if (display.isEmpty()) {
    if (platform.isEmpty() && WaylandUsable()) return QString();
    return QStringLiteral("没有图形显示（DISPLAY 未设置）：") + need;
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool failed = xcb_connection_has_error(connection) != 0;
  xcb_disconnect(connection);
  if (!failed) return QString();
  return QStringLiteral("无法连接到图形显示“%1”：").arg(display) + need;
}
