// The application object the code under fuzzing needs (string conversions,
// timers, events), made once before the first input.
#pragma once

#include <QCoreApplication>

inline void StartFuzzApplication(const char* name)
{
  static int argc = 1;
  static char* argv[] = {const_cast<char*>(name), nullptr};
  static QCoreApplication app(argc, argv);
}
