// Files that stand where the program's own should be: FIFOs, links to
// devices. A reader that blocks on a FIFO is released by a writer after a
// while, so such a fault fails the test instead of hanging it.
#pragma once

#include <QFile>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

inline bool MakeFifo(const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

// While it lives, a reader still on `fifo` after 5 s is released by writers
// that come and go; Released() says whether that was needed.
class TFifoWatch {
public:
  explicit TFifoWatch(const QString& fifo) : path_(QFile::encodeName(fifo))
  {
    thread_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, std::chrono::seconds(5), [this] { return stop_; })) return;
      released_ = true;
      do {
        const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
      } while (!wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stop_; }));
    });
  }
  ~TFifoWatch()
  {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool Released()
  {
    std::lock_guard lock(mutex_);
    return released_;
  }
  TFifoWatch(const TFifoWatch&) = delete;
  TFifoWatch& operator=(const TFifoWatch&) = delete;

private:
  QByteArray path_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool released_ = false;
  std::thread thread_;
};
