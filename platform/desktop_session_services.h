// Two desktop services over D-Bus: notifications on the session bus
// (org.freedesktop.Notifications) and logind's sleep inhibitor on the system
// bus (org.freedesktop.login1). Both are optional: without the service the
// call says so and nothing else happens.
#pragma once

#include <QString>
#include <memory>

// Shows a notification; false when the session bus has no notification
// service. `busAddress` empty: the session bus.
bool SendDesktopNotification(const QString& title, const QString& text, const QString& icon = QString(),
                             const QString& busAddress = QString());

// Holds logind's "sleep" inhibitor while it lives (the file descriptor logind
// handed out is closed when it goes).
class TSleepInhibitor {
public:
  ~TSleepInhibitor();
  TSleepInhibitor(const TSleepInhibitor&) = delete;
  TSleepInhibitor& operator=(const TSleepInhibitor&) = delete;
  int Descriptor() const { return fd_; }

  // Asks logind not to suspend ("block"); null (and `error`) when there is no
  // logind on the system bus or it refuses. `busAddress` empty: the system bus.
  static std::unique_ptr<TSleepInhibitor> Acquire(const QString& who, const QString& why, QString* error = nullptr,
                                                  const QString& busAddress = QString());

private:
  explicit TSleepInhibitor(int fd) : fd_(fd) {}
  int fd_;
};
