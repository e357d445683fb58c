#include "platform/display_check.h"

#include <xcb/xcb.h>

QString UnreachableDisplay()
{
  const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) return QString();
  const QString display = qEnvironmentVariable("DISPLAY");
  const QString need = QStringLiteral("Velmora网络广播需要一个图形桌面（X11，或 Wayland 下的 XWayland）。");
  if (display.isEmpty()) {
    // A Wayland session without XWayland: Qt may still pick its own plugin.
    if (platform.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return QString();
    return QStringLiteral("没有图形显示（DISPLAY 未设置）：") + need;
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool failed = xcb_connection_has_error(connection) != 0;
  xcb_disconnect(connection);
  if (!failed) return QString();
  return QStringLiteral("无法连接到图形显示“%1”：").arg(display) + need;
}
