// Runs the event loop until a condition holds or the time is up.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

// Sleeps in the event loop between looks instead of spinning: the tests share
// two cores with the program, the sound server and each other. Events wake it
// at once; the tick catches conditions set outside the loop (another thread,
// another process) within a few milliseconds.
template <typename Pred>
bool PumpUntil(Pred pred, int ms = 5000)
{
  const QDeadlineTimer deadline(ms);
  QTimer tick;
  tick.start(5);
  while (!pred()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}
