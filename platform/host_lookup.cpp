#include "platform/host_lookup.h"

#include <QDnsLookup>
#include <QHostInfo>
#include <QPointer>
#include <QTimer>

namespace {

// One look-up in flight: the A records, then every address's reverse name.
class TMirrorLookup : public QObject {
public:
  TMirrorLookup(const QString& serviceName, int timeoutMs, THostLookup::TDone done)
      : done_(std::move(done)), dns_(new QDnsLookup(QDnsLookup::A, serviceName, this))
  {
    connect(dns_, &QDnsLookup::finished, this, [this] { OnAddresses(); });
    QTimer::singleShot(timeoutMs, this, [this] { Finish(QStringLiteral("域名解析超时")); });
    dns_->lookup();
  }

private:
  void OnAddresses()
  {
    if (dns_->error() != QDnsLookup::NoError) return Finish(dns_->errorString());
    const auto records = dns_->hostAddressRecords();
    if (records.isEmpty()) return Finish(QStringLiteral("域名没有地址"));
    pending_ = int(records.size());
    for (const QDnsHostAddressRecord& r : records) {
      QPointer<TMirrorLookup> self(this);
      QHostInfo::lookupHost(r.value().toString(), this, [self](const QHostInfo& info) {
        if (!self) return;
        // A reverse look-up that fails gives back the address itself: no use for HTTPS.
        if (info.error() == QHostInfo::NoError && !info.hostName().isEmpty() &&
            QHostAddress(info.hostName()).isNull() && !self->names_.contains(info.hostName()))
          self->names_.push_back(info.hostName());
        if (--self->pending_ == 0)
          self->Finish(QString());
      });
    }
  }

  void Finish(const QString& error)
  {
    if (!done_) return;
    auto done = std::move(done_);
    done_ = nullptr;
    deleteLater();
    // Names found before a time-out are still good mirrors.
    if (!names_.isEmpty()) done(names_, QString());
    else done({}, error.isEmpty() ? QStringLiteral("镜像地址没有主机名") : error);
  }

  THostLookup::TDone done_;
  QDnsLookup* dns_;
  QStringList names_;
  int pending_ = 0;
};

class TSystemHostLookup : public THostLookup {
public:
  explicit TSystemHostLookup(int timeoutMs) : timeoutMs_(timeoutMs) {}
  void LookupMirrors(const QString& serviceName, TDone done) override
  {
    new TMirrorLookup(serviceName, timeoutMs_, std::move(done));
  }

private:
  int timeoutMs_;
};

} // namespace

std::unique_ptr<THostLookup> CreateSystemHostLookup(int timeoutMs)
{
  return std::make_unique<TSystemHostLookup>(timeoutMs);
}

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
