// A PulseAudio server of the test's own (a null sink, an anonymous socket), so
// that stopping it leaves the shared one alone. Started as a daemon: Start
// returns once it serves. Clients reach it through PULSE_SERVER=unix:Socket().
#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <sys/types.h>

class TPrivateSoundServer {
public:
  TPrivateSoundServer() = default;
  ~TPrivateSoundServer() { Stop(); }
  TPrivateSoundServer(const TPrivateSoundServer&) = delete;
  TPrivateSoundServer& operator=(const TPrivateSoundServer&) = delete;

  bool Start()
  {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    p.setProcessEnvironment(env);
    p.start("pulseaudio", {"-n", "-D", "--use-pid-file=yes", "--exit-idle-time=-1", "--disallow-exit",
                           "--load=module-null-sink sink_name=private_sink",
                           "--load=module-native-protocol-unix auth-anonymous=1 socket=" + Socket()});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return false;
    QFile pidFile(dir_.filePath("pulse/pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return false;
    pid_ = pidFile.readAll().trimmed().toInt();
    return pid_ > 0;
  }
  void Stop()
  {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
    pid_ = 0;
  }
  QString Socket() const { return dir_.filePath("native"); }
  pid_t Pid() const { return pid_; }

private:
  QTemporaryDir dir_;
  pid_t pid_ = 0;
};
