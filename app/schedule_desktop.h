// The scheduled recordings in the running program: the scheduler on the
// program's schedule file, recording with the program's player (or a silent
// one) and the record window's tags, telling the user by a desktop
// notification (a tray balloon where there is no notification service) and
// in the tray icon's hint, and keeping the system awake while it records.
#pragma once

#include "schedule/scheduler.h"

class TForm_Main;
class TPlayerDesktop;
class TbsTrayIcon;

// The services of the running program: the wall and steady clocks, the
// station recording, notifications (desktop, else `tray`'s balloon) and
// logind's inhibitor.
TScheduler::TServices ProgramScheduleServices(TbsTrayIcon* tray);

// Made on the main window and started; owned by it. Its status goes into the
// tray hint through `desktop` (may be null).
TScheduler* AttachScheduleToMainWindow(TForm_Main& form, TPlayerDesktop* desktop);
