// Runs the event loop until a condition holds or the time is up.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

template <typename Pred>
bool PumpUntil(Pred pred, int ms)
{
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}
