// The scheduled recordings in the running program: the scheduler on the
// program's schedule file, recording with the program's player (or a silent
// one) and the record window's tags, telling the user by a desktop
// notification (a tray balloon where there is no notification service, a
// box of the program's own where there is neither) and in the tray icon's
// hint, and keeping the system awake while it records.
#pragma once

#include "schedule/scheduler.h"

#include <QPointer>
#include <QStringList>

class TForm_Main;
class TPlayerDesktop;
class TbsMessageForm;
class TbsTrayIcon;

// Tells the user about scheduled recordings: a desktop notification, else
// `tray`'s balloon, else (a bare X session) the skinned message box, shown
// without waiting for an answer so nothing stops; always on stderr too.
// Notices that come while the box is open join it.
class TScheduleNotices {
public:
  explicit TScheduleNotices(TbsTrayIcon* tray, QString busAddress = QString());
  ~TScheduleNotices();
  void Tell(const QString& title, const QString& text);
  // The box open now, or null.
  TbsMessageForm* Box() const { return box_; }

private:
  QPointer<TbsTrayIcon> tray_;
  QString busAddress_;  // "": the session bus
  QPointer<TbsMessageForm> box_;
  QStringList shown_;   // what the open box says
};

// The services of the running program: the wall and steady clocks, the
// station recording, notices (TScheduleNotices) and logind's inhibitor.
TScheduler::TServices ProgramScheduleServices(TbsTrayIcon* tray);

// Made on the main window and started; owned by it. Its status goes into the
// tray hint through `desktop` (may be null).
TScheduler* AttachScheduleToMainWindow(TForm_Main& form, TPlayerDesktop* desktop);
