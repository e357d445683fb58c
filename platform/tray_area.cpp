#include "platform/tray_area.h"

#include <QSystemTrayIcon>
#include <QTimer>

namespace {

TTrayAreaFactory& Factory()
{
  static TTrayAreaFactory factory;
  return factory;
}

// Qt's tray icon. Qt re-docks a shown icon when a panel takes the tray over;
// the poll only tells the owner that an area came (back), so that an icon it
// wanted while there was none gets added then.
class TTrayAreaQt : public TTrayArea {
public:
  TTrayAreaQt()
  {
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason r) {
      if (!OnMouse) return;
      switch (r) {
      case QSystemTrayIcon::Trigger:
        // Qt reports the press; the release follows at once as far as we can tell.
        OnMouse(TTrayMouseAction::LeftDown);
        if (OnMouse) OnMouse(TTrayMouseAction::LeftUp);
        break;
      case QSystemTrayIcon::DoubleClick:
        OnMouse(TTrayMouseAction::LeftDoubleClick);
        break;
      case QSystemTrayIcon::Context:
        OnMouse(TTrayMouseAction::RightDown);
        if (OnMouse) OnMouse(TTrayMouseAction::RightUp);
        break;
      case QSystemTrayIcon::MiddleClick:
        OnMouse(TTrayMouseAction::MiddleDown);
        if (OnMouse) OnMouse(TTrayMouseAction::MiddleUp);
        break;
      default:
        break;
      }
    });
    available_ = QSystemTrayIcon::isSystemTrayAvailable();
    poll_.setInterval(1000);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      const bool now = QSystemTrayIcon::isSystemTrayAvailable();
      const bool came = now && !available_;
      available_ = now;
      if (came && OnAreaCreated) OnAreaCreated();
    });
    poll_.start();
  }

  bool Available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
  void Show(const QIcon& icon, const QString& tip) override
  {
    icon_.setIcon(icon);
    icon_.setToolTip(tip);
    if (!Available()) {
      icon_.hide();
      return;
    }
    if (icon_.isVisible()) return;
    icon_.show();
  }
  void Hide() override { icon_.hide(); }
  bool Shown() const override { return icon_.isVisible() && Available(); }
  QRect Geometry() const override { return icon_.geometry(); }
  void ShowMessage(const QString& title, const QString& text) override
  {
    if (icon_.isVisible()) icon_.showMessage(title, text, QSystemTrayIcon::Information, 10000);
  }

private:
  QSystemTrayIcon icon_;
  QTimer poll_;
  bool available_ = false;
};

} // namespace

std::unique_ptr<TTrayArea> CreateDesktopTrayArea() { return std::make_unique<TTrayAreaQt>(); }

std::unique_ptr<TTrayArea> CreateTrayArea()
{
  if (Factory()) return Factory()();
  return CreateDesktopTrayArea();
}

void SetTrayAreaFactory(TTrayAreaFactory factory) { Factory() = std::move(factory); }
