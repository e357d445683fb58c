// Runs a script in a web page and waits for its result.
#pragma once

#include "support/pump.h"

#include <QVariant>
#include <QWebEnginePage>

// An invalid QVariant when the page gave no answer within `ms`.
inline QVariant RunPageScript(QWebEnginePage* page, const QString& script, int ms = 10000)
{
  QVariant result;
  bool done = false;
  page->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  PumpUntil([&] { return done; }, ms);
  return result;
}
