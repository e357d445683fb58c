// Name look-ups for finding the mirrors of a service: the addresses a name
// resolves to, and each address's reverse name (the mirror's own host name,
// which HTTPS needs). The Linux implementation asks the system's resolver;
// tests install the in-memory one.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class THostLookup {
public:
  virtual ~THostLookup() = default;
  // Calls `done` once, on the calling thread's event loop, with the host
  // names behind every address of `serviceName` (or an error text when there
  // are none). Never blocks.
  using TDone = std::function<void(QStringList hostNames, QString error)>;
  virtual void LookupMirrors(const QString& serviceName, TDone done) = 0;
};

// The system's resolver (QDnsLookup for the addresses, QHostInfo for the
// reverse names); gives up after `timeoutMs`.
std::unique_ptr<THostLookup> CreateSystemHostLookup(int timeoutMs = 5000);

// Answers from a table: service name -> host names; unknown names fail.
class TMemoryHostLookup : public THostLookup {
public:
  void SetMirrors(const QString& serviceName, const QStringList& hostNames) { table_[serviceName] = hostNames; }
  void LookupMirrors(const QString& serviceName, TDone done) override;
  int Lookups() const { return lookups_; }

private:
  std::map<QString, QStringList> table_;
  int lookups_ = 0;
};
