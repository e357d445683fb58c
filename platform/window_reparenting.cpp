#include "platform/window_reparenting.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <xcb/xproto.h>

namespace {
class ReparentFilter : public QAbstractNativeEventFilter {
public:
  std::function<void(WId)> reparented;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
  {
    if (eventType != "xcb_generic_event_t" || !reparented) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_REPARENT_NOTIFY) return false;
    reparented(WId(static_cast<const xcb_reparent_notify_event_t*>(message)->window));
    return false;
  }
};
} // namespace

void WatchWindowReparenting(std::function<void(WId window)> reparented)
{
  static ReparentFilter* filter = nullptr;
  if (!qApp || QGuiApplication::platformName() != QLatin1String("xcb")) return;
  if (!filter) {
    filter = new ReparentFilter;
    qApp->installNativeEventFilter(filter);
  }
  filter->reparented = std::move(reparented);
}
