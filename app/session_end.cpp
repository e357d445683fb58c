#include "app/session_end.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};
std::function<void()> g_onEnd;

// Only async-signal-safe work here: the UI thread reads the pipe.
void OnSignal(int)
{
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
}
} // namespace

void WatchSessionEnd(std::function<void()> onEnd)
{
  g_onEnd = std::move(onEnd);
  if (g_pipe[0] >= 0) return;
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char buf[64];
    while (read(g_pipe[0], buf, sizeof buf) > 0) {
    }
    if (g_onEnd) g_onEnd();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    QObject::connect(gui, &QGuiApplication::commitDataRequest, [](QSessionManager&) {
      if (g_onEnd) g_onEnd();
    });
  }
}
