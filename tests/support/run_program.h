// Runs a helper program (pactl, amixer, velmora-tool) to its end.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// All it printed (output, then errors), or a note that it did not finish within 10 s.
inline QString RunProgram(const QString& program, const QStringList& args)
{
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) return QStringLiteral("<%1 did not finish>").arg(program);
  return QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
}
