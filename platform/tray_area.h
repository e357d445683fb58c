// The notification area of the desktop panel: one icon with a tip, the mouse
// actions on it, and word when the area comes (back) after the panel
// (re)started. TrayAreaQt is the desktop's (Qt's system tray icon);
// TrayAreaMemory stands in for tests.
#pragma once

#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

enum class TTrayMouseAction { LeftDown, LeftUp, LeftDoubleClick, RightDown, RightUp, MiddleDown, MiddleUp, Move };

class TTrayArea {
public:
  virtual ~TTrayArea() = default;
  // Whether the desktop has a notification area now.
  virtual bool Available() const = 0;
  // Adds the icon, or changes the one shown.
  virtual void Show(const QIcon& icon, const QString& tip) = 0;
  virtual void Hide() = 0;
  // The icon sits in a notification area now.
  virtual bool Shown() const = 0;
  // Where the icon is on the screen (empty when not docked or not known).
  virtual QRect Geometry() const { return QRect(); }
  // A balloon message at the icon (where the area shows them).
  virtual void ShowMessage(const QString& title, const QString& text) = 0;

  // Mouse actions on the icon.
  std::function<void(TTrayMouseAction)> OnMouse;
  // A notification area appeared (the panel started or restarted).
  std::function<void()> OnAreaCreated;
};

// The desktop's notification area, unless a factory is installed (tests).
std::unique_ptr<TTrayArea> CreateTrayArea();
using TTrayAreaFactory = std::function<std::unique_ptr<TTrayArea>()>;
// nullptr goes back to the desktop's.
void SetTrayAreaFactory(TTrayAreaFactory factory);
std::unique_ptr<TTrayArea> CreateDesktopTrayArea();

// In memory: available or not at the test's word, records what is shown, and
// lets the test act on the icon.
class TTrayAreaMemory : public TTrayArea {
public:
  bool Available() const override { return available; }
  void Show(const QIcon& i, const QString& t) override
  {
    icon = i;
    tip = t;
    ++showCalls;
    shown = available;
  }
  void Hide() override { shown = false; }
  bool Shown() const override { return shown; }
  void ShowMessage(const QString& title, const QString& text) override { messages.push_back(title + u'\n' + text); }

  // The panel goes away (the icon with it) or comes (back).
  void SetAvailable(bool on)
  {
    const bool was = available;
    available = on;
    if (!on) shown = false;
    if (on && !was && OnAreaCreated) OnAreaCreated();
  }
  void Act(TTrayMouseAction a)
  {
    if (OnMouse) OnMouse(a);
  }

  bool available = true;
  bool shown = false;
  int showCalls = 0;
  QIcon icon;
  QString tip;
  QStringList messages;
};
