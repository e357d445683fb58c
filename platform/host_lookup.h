// Name look-ups for finding the mirrors of a service: the addresses a name
// resolves to, and each address's reverse name (the mirror's own host name,
// which HTTPS needs). The Linux implementation asks the system's resolver;
// tests install the in-memory one.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
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

// Resolves `serviceName` and every address's reverse name, blocking; calls
// `found` for each name as it comes and returns an error text ("" when done).
using THostResolver =
    std::function<QString(const QString& serviceName, const std::function<void(const QString& name)>& found)>;

// The system's resolver (getaddrinfo, then getnameinfo for each address), run
// on a thread of its own that nothing ever waits for, so a silent name server
// neither blocks the caller nor holds up the program's end. Gives up after
// `timeoutMs` with the names found so far; destroying the lookup abandons
// what is in flight without calling `done`. `resolver` replaces the system's
// in tests.
std::unique_ptr<THostLookup> CreateSystemHostLookup(int timeoutMs = 5000, THostResolver resolver = {});
// Resolver threads still running (abandoned ones included). A silent name
// server keeps each for long: past the limit a look-up fails at once.
int RunningResolverThreads();
constexpr int kMaxResolverThreads = 4;

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
