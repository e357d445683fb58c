// Window-frame behaviours of the main window while it has the plain look:
// the docking notifications at the end of a move (top exactly 0 of the
// screen gives "in", anything else "out"), snapping to the work area's top
// edge within MagneticSize, and minimizing to the notification area with a
// restore notification. The skinned frame takes this role later; the main
// window's handlers stay the same.
#pragma once

#include "toolkit/forms.h"

#include <QPointer>
#include <QTimer>

class QSystemTrayIcon;

// The notification-area icon (Qt's), stand-in for the skinned tray component.
class TTrayIcon : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool IconVisible READ IconVisible WRITE SetIconVisible)
  Q_PROPERTY(TNotifyEvent OnClick READ OnClick WRITE SetOnClick)
public:
  explicit TTrayIcon(TComponent* AOwner);
  ~TTrayIcon() override;

  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  bool IconVisible() const { return visible_; }
  void SetIconVisible(bool v);
  TNotifyEvent OnClick() const { return onClick_; }
  void SetOnClick(const TNotifyEvent& e) { onClick_ = e; }
  // Whether the desktop has a notification area at all.
  static bool Available();
  void Loaded() override;

private:
  void Update();
  QString hint_;
  bool visible_ = false;
  TNotifyEvent onClick_;
  QSystemTrayIcon* icon_ = nullptr;
};

class TPlainFormFrame : public TComponent {
  Q_OBJECT
  Q_PROPERTY(bool Magnetic READ Magnetic WRITE SetMagnetic)
  Q_PROPERTY(int MagneticSize READ MagneticSize WRITE SetMagneticSize)
  Q_PROPERTY(TTrayIcon* TrayIcon READ TrayIcon WRITE SetTrayIcon)
  Q_PROPERTY(TNotifyEvent OnMagnetTopIn READ OnMagnetTopIn WRITE SetOnMagnetTopIn)
  Q_PROPERTY(TNotifyEvent OnMagnetTopOut READ OnMagnetTopOut WRITE SetOnMagnetTopOut)
  Q_PROPERTY(TNotifyEvent OnRestoreFromTray READ OnRestoreFromTray WRITE SetOnRestoreFromTray)
public:
  // The end of a move: no further move for this long.
  static constexpr int kMoveSettleMs = 250;

  explicit TPlainFormFrame(TComponent* AOwner);

  bool Magnetic() const { return magnetic_; }
  void SetMagnetic(bool v) { magnetic_ = v; }
  int MagneticSize() const { return magneticSize_; }
  void SetMagneticSize(int v) { magneticSize_ = qMax(0, v); }
  TTrayIcon* TrayIcon() const { return tray_; }
  void SetTrayIcon(TTrayIcon* v);
  TNotifyEvent OnMagnetTopIn() const { return onIn_; }
  void SetOnMagnetTopIn(const TNotifyEvent& e) { onIn_ = e; }
  TNotifyEvent OnMagnetTopOut() const { return onOut_; }
  void SetOnMagnetTopOut(const TNotifyEvent& e) { onOut_ = e; }
  TNotifyEvent OnRestoreFromTray() const { return onRestore_; }
  void SetOnRestoreFromTray(const TNotifyEvent& e) { onRestore_ = e; }

  // The user finished moving the window: snap, then raise in or out.
  void EndOfMove();
  // Hides the window and shows the tray icon (when there is a notification area).
  void MinimizeToTray();
  // Brings the window back from the tray and raises OnRestoreFromTray.
  void RestoreFromTray();
  bool InTray() const { return inTray_; }

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  TForm* Form() const;
  void Attach();

  bool magnetic_ = false;
  int magneticSize_ = 10;
  TTrayIcon* tray_ = nullptr;
  TNotifyEvent onIn_, onOut_, onRestore_;
  QTimer settle_;
  QPointer<QWidget> watched_;
  bool inTray_ = false;
};

void RegisterPlainFrameClasses();
