// The station directory: from opening the page to the first page of stations
// shown (fake directory on loopback, and from the offline cache), the page's
// memory with 1,000 stations listed, and reading the directory's answer.
#include "browser/directory_server.h"
#include "browser/embedded_browser.h"
#include "browser/site_addresses.h"
#include "browser/station_directory.h"
#include "support/fake_directory.h"
#include "support/page_script.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include "browser/web_view/web_engine_view.h"
#include <benchmark/benchmark.h>
#include <map>
#include <unistd.h>

namespace {


// Resident memory of our web-view helper processes (the zygote's renderers
// included), in KiB.
long RendererResidentKiB()
{
  std::map<int, int> parentOf;
  std::map<int, QByteArray> statOf;
  for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile stat("/proc/" + pid + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 2) continue;
    parentOf[pid.toInt()] = fields[1].toInt();
    statOf[pid.toInt()] = s;
  }
  auto ours = [&](int pid) {
    for (int p = parentOf[pid]; p > 1; p = parentOf.count(p) ? parentOf[p] : 0)
      if (p == getpid()) return true;
    return false;
  };
  long total = 0;
  for (const auto& [pid, stat] : statOf) {
    if (!stat.contains("QtWebEngine") || !ours(pid)) continue;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) continue;
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("VmRSS:")) total += line.mid(6).trimmed().split(' ')[0].toLong();
  }
  return total;
}

struct TSite {
  QTemporaryDir Dir;
  TFakeDirectory Fake;
  std::unique_ptr<TStationDirectory> Directory;
  TDirectoryServer Server;
  std::unique_ptr<TEmbeddedBrowser> Browser;

  explicit TSite(int stations)
  {
    Fake.Fill(stations);
    for (auto&& v : Fake.stations) {
      QJsonObject o = v.toObject();
      o["language"] = "chinese";
      v = o;
    }
    TDirectoryConfig cfg;
    cfg.Mirrors = {Fake.BaseUrl()};
    Directory = std::make_unique<TStationDirectory>(cfg, nullptr, Dir.filePath("data"), Dir.filePath("cache"));
    Server.SetDirectory(Directory.get());
    Server.SetUserListFile(Dir.filePath("stations.txt"));
    Server.Start();
  }
  // Opens the page and waits for `count` directory rows; false on time-out.
  bool Open(int count)
  {
    Browser = std::make_unique<TEmbeddedBrowser>(nullptr);
    QUrl url = Server.BaseUrl();
    url.setPath(StationDirectoryPath());
    url.setQuery(StationDirectoryQuery());
    WebEngineViewOf(*Browser)->resize(246, 440);
    WebEngineViewOf(*Browser)->show();
    Server.Admit(*Browser);
    Browser->Navigate(url);
    return Rows(count);
  }
  bool Rows(int count)
  {
    return PumpUntil([&] {
      return RunPageScript(WebEngineViewOf(*Browser)->page(), "document.querySelectorAll('#directory li').length").toInt() >= count;
    }, 30000);
  }
};

void BM_FirstPageShown(benchmark::State& state)
{
  const bool fromCache = state.range(0) == 1;
  TSite site(100);
  site.Open(100);  // the web engine is up, and the cache filled
  if (fromCache) site.Fake.mode = TFakeDirectory::fmHttpError;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    if (!site.Open(100)) state.SkipWithError("the page did not list the stations");
    state.SetIterationTime(t.nsecsElapsed() / 1e9);
  }
  state.SetLabel(fromCache ? "offline, from the cache" : "fake directory on loopback");
}
BENCHMARK(BM_FirstPageShown)->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PageMemoryWith1000Stations(benchmark::State& state)
{
  TSite site(1000);
  for (auto _ : state) {
    if (!site.Open(100)) state.SkipWithError("the page did not list the stations");
    const long before = RendererResidentKiB();
    for (int shown = 100; shown < 1000; shown += 100) {
      RunPageScript(WebEngineViewOf(*site.Browser)->page(), "document.querySelector('.more').click()");
      if (!site.Rows(shown + 100)) state.SkipWithError("more stations did not come");
    }
    state.counters["rows"] = RunPageScript(WebEngineViewOf(*site.Browser)->page(), "document.querySelectorAll('#list li').length").toInt();
    state.counters["js_heap_MiB"] =
        RunPageScript(WebEngineViewOf(*site.Browser)->page(), "performance.memory ? performance.memory.usedJSHeapSize : 0").toDouble() / 1048576.0;
    state.counters["renderer_rss_MiB"] = RendererResidentKiB() / 1024.0;
    state.counters["renderer_rss_at_100_MiB"] = before / 1024.0;
  }
}
BENCHMARK(BM_PageMemoryWith1000Stations)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReadDirectoryAnswer(benchmark::State& state)
{
  TFakeDirectory fake;
  fake.Fill(int(state.range(0)));
  const QByteArray json = QJsonDocument(fake.stations).toJson(QJsonDocument::Compact);
  for (auto _ : state) benchmark::DoNotOptimize(ParseDirectoryStations(json).Stations.size());
  state.SetBytesProcessed(state.iterations() * json.size());
}
BENCHMARK(BM_ReadDirectoryAnswer)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// A directory that ignores the limit: 168,838 stations (8 MB) for a page of
// 100. The time is what the UI thread spends from the request to the page's stations.
void BM_SearchAnsweredFarBeyondItsLimit(benchmark::State& state)
{
  TFakeDirectory fake;
  fake.mode = TFakeDirectory::fmRaw;
  for (int i = 0; i < 168838; ++i)
    fake.raw += (i ? ",{\"name\":\"s" : "[{\"name\":\"s") + QByteArray::number(i) + "\",\"url\":\"http://10.0.0.1/\"}";
  fake.raw += "]";
  TDirectoryConfig cfg;
  cfg.Mirrors = {fake.BaseUrl()};
  TRadioBrowserClient client(cfg, nullptr);
  client.SetTimeout(30000);
  for (auto _ : state) {
    size_t kept = 0;
    bool done = false;
    client.Search({QString(), TStationQuery::fdName, 0, 100}, [&](const TStationsResult& r) {
      kept = r.Stations.size();
      done = true;
    });
    PumpUntil([&] { return done; }, 30000);
    if (kept != 100) state.SkipWithError("the search did not keep 100 stations");
  }
  state.counters["answer_MiB"] = fake.raw.size() / 1048576.0;
}
BENCHMARK(BM_SearchAnsweredFarBeyondItsLimit)->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
