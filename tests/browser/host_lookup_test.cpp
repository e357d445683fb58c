// The system host lookup: the real resolver on names this machine knows, and
// a resolver that never answers (a broken network) standing in for it.
#include "platform/host_lookup.h"
#include "support/pump.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>
#include <future>
#include <optional>

namespace {

struct TAnswer {
  QStringList Names;
  QString Error;
};

TEST(SystemHostLookup, FindsTheNamesBehindTheAddressesOfALocalName)
{
  // localhost comes from the hosts file: no name server is asked.
  auto lookup = CreateSystemHostLookup();
  std::optional<TAnswer> answer;
  lookup->LookupMirrors("localhost", [&](QStringList names, QString error) { answer = TAnswer{names, error}; });
  ASSERT_TRUE(PumpUntil([&] { return answer.has_value(); }, 10000));
  EXPECT_TRUE(answer->Error.isEmpty()) << answer->Error.toStdString();
  EXPECT_TRUE(answer->Names.contains("localhost")) << answer->Names.join(',').toStdString();
  EXPECT_EQ(answer->Names.removeDuplicates(), 0);
}

TEST(SystemHostLookup, AResolverThatNeverAnswersIsAbandonedWithoutBlockingAnyone)
{
  const int before = RunningResolverThreads();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  // One name comes at once, then the resolver waits until the test ends it.
  THostResolver silent = [released](const QString&, const std::function<void(const QString&)>& found) {
    found("de1.example");
    released.wait();
    found("late.example");
    return QString();
  };
  auto lookup = CreateSystemHostLookup(50, silent);
  std::optional<TAnswer> timedOut;
  lookup->LookupMirrors("all.example", [&](QStringList names, QString error) { timedOut = TAnswer{names, error}; });
  // Names found before the time-out are still good mirrors.
  ASSERT_TRUE(PumpUntil([&] { return timedOut.has_value(); }, 5000));
  EXPECT_EQ(timedOut->Names, QStringList{"de1.example"});
  EXPECT_TRUE(timedOut->Error.isEmpty());

  // A look-up whose owner goes before the answer is never answered.
  auto longer = CreateSystemHostLookup(60000, silent);
  int lateAnswers = 0;
  longer->LookupMirrors("all.example", [&](QStringList, QString) { ++lateAnswers; });
  // Stuck threads are bounded: past the limit a look-up fails at once.
  for (int i = RunningResolverThreads(); i < kMaxResolverThreads; ++i)
    longer->LookupMirrors("all.example", [&](QStringList, QString) { ++lateAnswers; });
  std::optional<TAnswer> refused;
  longer->LookupMirrors("all.example", [&](QStringList names, QString error) { refused = TAnswer{names, error}; });
  ASSERT_TRUE(PumpUntil([&] { return refused.has_value(); }, 5000));
  EXPECT_TRUE(refused->Names.isEmpty());
  EXPECT_TRUE(refused->Error.contains(QString::fromUtf8("没有应答"))) << refused->Error.toStdString();

  longer.reset();
  release.set_value();
  ASSERT_TRUE(PumpUntil([&] { return RunningResolverThreads() == before; }, 5000));
  QCoreApplication::processEvents();
  EXPECT_EQ(lateAnswers, 0);
}

} // namespace
