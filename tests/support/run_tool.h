// Runs velmora-tool to its end, as the tests of its commands need it.
#pragma once

#include "support/pump.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

struct TToolRun {
  int ExitCode = -1;
  QString Out, Err;
};

struct TToolOptions {
  std::function<void(QProcessEnvironment&)> Adjust;  // the tool's environment
  QString WorkDir;                                   // the tool must not depend on where it starts
  std::function<void()> ChildSetup;                  // in the tool's process before it starts (limits, signals)
  bool ServeEvents = false;  // this process's event loop runs meanwhile (a fake server in the test)
  int TimeoutMs = 60000;
};

// Off any display, with a private runtime folder (it keeps Qt's start-up
// notice out of stderr); the sound server stays reachable from there.
inline TToolRun RunVelmoraTool(const QStringList& args, const TToolOptions& options = {})
{
  static QTemporaryDir runtime;
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!env.contains("PULSE_SERVER") && env.contains("XDG_RUNTIME_DIR"))
    env.insert("PULSE_SERVER", "unix:" + env.value("XDG_RUNTIME_DIR") + "/pulse/native");
  env.insert("XDG_RUNTIME_DIR", runtime.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  if (options.Adjust) options.Adjust(env);
  QProcess p;
  p.setProcessEnvironment(env);
  if (!options.WorkDir.isEmpty()) p.setWorkingDirectory(options.WorkDir);
  if (options.ChildSetup) p.setChildProcessModifier(options.ChildSetup);
  p.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"), args);
  const bool ended = options.ServeEvents ? PumpUntil([&] { return p.state() == QProcess::NotRunning; }, options.TimeoutMs)
                                         : p.waitForFinished(options.TimeoutMs);
  EXPECT_TRUE(ended) << args.join(' ').toStdString();
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
