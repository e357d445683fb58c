#include "platform/host_lookup.h"

#include <QHostAddress>
#include <QPointer>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

// The system resolver blocks for as long as its servers keep silent (the
// resolver's own time-outs, often tens of seconds). Qt's look-ups run it in
// pooled threads that the program's end waits for; ours run it on detached
// threads that nobody waits for: an asker that has gone leaves the thread to
// end on its own, and the program's end simply takes it away.

namespace {

std::atomic<int> g_resolverThreads{0};

class TMirrorLookup;

// Shared by one resolver thread and its asker. The thread adds names as it
// finds them; the asker reads them on its own thread. `asker` is null once
// the asker has gone, and is only used with the lock held.
struct TMailbox {
  std::mutex Lock;
  TMirrorLookup* Asker = nullptr;
  QStringList Names;
  QString Error;
  bool Finished = false;
};

THostResolver SystemResolver()
{
  return [](const QString& serviceName, const std::function<void(const QString&)>& found) -> QString {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(serviceName.toUtf8().constData(), nullptr, &hints, &list);
    if (rc != 0) return QString::fromLocal8Bit(gai_strerror(rc));
    if (!list) return QStringLiteral("域名没有地址");
    for (addrinfo* a = list; a; a = a->ai_next) {
      char host[NI_MAXHOST];
      // NI_NAMEREQD: an address without a reverse name is no use for HTTPS.
      if (getnameinfo(a->ai_addr, a->ai_addrlen, host, sizeof host, nullptr, 0, NI_NAMEREQD) == 0)
        found(QString::fromUtf8(host));
    }
    freeaddrinfo(list);
    return QString();
  };
}

// One look-up in flight, on the asker's thread.
class TMirrorLookup : public QObject {
public:
  TMirrorLookup(QObject* owner, int timeoutMs, THostLookup::TDone done)
      : QObject(owner), done_(std::move(done)), mailbox_(std::make_shared<TMailbox>())
  {
    mailbox_->Asker = this;
    QTimer::singleShot(timeoutMs, this, [this] { Finish(QStringLiteral("域名解析超时")); });
  }

  ~TMirrorLookup() override
  {
    std::lock_guard lock(mailbox_->Lock);
    mailbox_->Asker = nullptr;
  }

  void Start(const QString& serviceName, const THostResolver& resolver)
  {
    if (g_resolverThreads.load() >= kMaxResolverThreads)
      return Later(QStringLiteral("域名解析没有应答（仍有 %1 个解析在等待）").arg(kMaxResolverThreads));
    ++g_resolverThreads;
    try {
      std::thread(Resolve, mailbox_, serviceName, resolver).detach();
    } catch (const std::system_error& e) {
      --g_resolverThreads;
      Later(QStringLiteral("无法开始域名解析：%1").arg(QString::fromLocal8Bit(e.what())));
    }
  }

private:
  // Runs on the resolver thread: touches nothing but the mailbox.
  static void Resolve(std::shared_ptr<TMailbox> mailbox, QString serviceName, THostResolver resolver)
  {
    QString error = resolver(serviceName, [&mailbox](const QString& name) {
      std::lock_guard lock(mailbox->Lock);
      if (!mailbox->Names.contains(name)) mailbox->Names.push_back(name);
    });
    {
      std::lock_guard lock(mailbox->Lock);
      // Counted out before the answer is posted: an answered asker sees the thread gone.
      --g_resolverThreads;
      mailbox->Error = std::move(error);
      mailbox->Finished = true;
      // Queued to the asker's thread; a posted call dies with its receiver.
      if (mailbox->Asker)
        QMetaObject::invokeMethod(mailbox->Asker, [asker = mailbox->Asker] { asker->Finish(QString()); },
                                  Qt::QueuedConnection);
    }
  }

  void Later(const QString& error)
  {
    QTimer::singleShot(0, this, [this, error] { Finish(error); });
  }

  void Finish(const QString& why)
  {
    if (!done_) return;
    QStringList names;
    QString error = why;
    {
      std::lock_guard lock(mailbox_->Lock);
      names = mailbox_->Names;
      if (mailbox_->Finished && error.isEmpty()) error = mailbox_->Error;
    }
    auto done = std::move(done_);
    done_ = nullptr;
    deleteLater();
    // Names found before a time-out are still good mirrors.
    if (!names.isEmpty()) done(names, QString());
    else done({}, error.isEmpty() ? QStringLiteral("镜像地址没有主机名") : error);
  }

  THostLookup::TDone done_;
  std::shared_ptr<TMailbox> mailbox_;
};

class TSystemHostLookup : public THostLookup {
public:
  TSystemHostLookup(int timeoutMs, THostResolver resolver) : timeoutMs_(timeoutMs), resolver_(std::move(resolver)) {}
  void LookupMirrors(const QString& serviceName, TDone done) override
  {
    (new TMirrorLookup(&inFlight_, timeoutMs_, std::move(done)))->Start(serviceName, resolver_);
  }

private:
  int timeoutMs_;
  THostResolver resolver_;
  // Parent of the look-ups in flight: going, it abandons them unanswered.
  QObject inFlight_;
};

} // namespace

std::unique_ptr<THostLookup> CreateSystemHostLookup(int timeoutMs, THostResolver resolver)
{
  return std::make_unique<TSystemHostLookup>(timeoutMs, resolver ? std::move(resolver) : SystemResolver());
}

int RunningResolverThreads() { return g_resolverThreads.load(); }

void TMemoryHostLookup::LookupMirrors(const QString& serviceName, TDone done)
{
  ++lookups_;
  const auto it = table_.find(serviceName);
  QStringList names = it == table_.end() ? QStringList() : it->second;
  // Answered from the event loop, as the real resolver does.
  QTimer::singleShot(0, [names, done = std::move(done)] {
    done(names, names.isEmpty() ? QStringLiteral("域名没有地址") : QString());
  });
}
