// Process-wide state that a test changes and must put back, whatever way the
// test ends: environment variables, signal dispositions, resource limits,
// and what a test catches of stderr.
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

// Sets (or, with no value, removes) an environment variable until the end of the scope.
class TScopedEnv {
public:
  explicit TScopedEnv(const char* name) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
  {
    qunsetenv(name);
  }
  TScopedEnv(const char* name, const QByteArray& value) : TScopedEnv(name) { qputenv(name, value); }
  ~TScopedEnv()
  {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

// Files may grow to `bytes` at most until the end of the scope; writes past it
// fail with EFBIG, as on a full disk, instead of raising SIGXFSZ.
class TScopedFileSizeLimit {
public:
  explicit TScopedFileSizeLimit(rlim_t bytes)
  {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit small = old_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~TScopedFileSizeLimit()
  {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  TScopedFileSizeLimit(const TScopedFileSizeLimit&) = delete;
  TScopedFileSizeLimit& operator=(const TScopedFileSizeLimit&) = delete;

private:
  rlimit old_{};
  void (*oldHandler_)(int) = SIG_DFL;
};

// What the process writes to stderr while the object lives (up to a pipe's
// capacity; a pipe, so that no file-size limit of the test cuts it short).
class TStderrCapture {
public:
  TStderrCapture()
  {
    if (pipe2(pipe_, O_NONBLOCK) != 0) return;
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    dup2(pipe_[1], STDERR_FILENO);
  }
  ~TStderrCapture()
  {
    Stop();
    if (pipe_[0] >= 0) close(pipe_[0]);
  }
  QByteArray Text()
  {
    Stop();
    QByteArray text;
    char buf[4096];
    for (ssize_t n; pipe_[0] >= 0 && (n = read(pipe_[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    return text;
  }
  TStderrCapture(const TStderrCapture&) = delete;
  TStderrCapture& operator=(const TStderrCapture&) = delete;

private:
  void Stop()
  {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    close(pipe_[1]);
    saved_ = -1;
  }
  int pipe_[2] = {-1, -1};
  int saved_ = -1;
};
