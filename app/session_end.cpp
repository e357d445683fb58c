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
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[3];
bool g_installed = false;
bool g_watching = false;

// Only async-signal-safe work here: the UI thread reads the pipe.
void OnSignal(int)
{
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
}
} // namespace

void CatchSessionEndSignals()
{
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  if (g_installed) return;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &sa, &g_previous[i]);
  g_installed = true;
}

void WatchSessionEnd(std::function<void()> onEnd)
{
  g_onEnd = std::move(onEnd);
  CatchSessionEndSignals();
  if (g_pipe[0] < 0 || g_watching) return;
  g_watching = true;
  // A signal caught before this point waits in the pipe and is handled on
  // the first pass of the event loop.
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char buf[64];
    while (read(g_pipe[0], buf, sizeof buf) > 0) {
    }
    if (g_onEnd) g_onEnd();
  });
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    QObject::connect(gui, &QGuiApplication::commitDataRequest, [](QSessionManager&) {
      if (g_onEnd) g_onEnd();
    });
  }
}

void StopWatchingSessionEnd()
{
  g_onEnd = nullptr;
  if (!g_installed) return;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  g_installed = false;
}
