#include "browser/directory_server.h"
#include "browser/embedded_browser.h"
#include "browser/site_addresses.h"
#include "support/qt_printers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

// Sends a raw request and returns the whole answer.
QByteArray Fetch(quint16 port, const QByteArray& request)
{
  QTcpSocket s;
  s.connectToHost(QHostAddress::LocalHost, port);
  EXPECT_TRUE(s.waitForConnected(3000));
  s.write(request);
  QByteArray answer;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (s.bytesAvailable()) answer += s.readAll();
    if (s.state() == QAbstractSocket::UnconnectedState) break;
    s.waitForReadyRead(5);
  }
  answer += s.readAll();
  return answer;
}

QByteArray Get(quint16 port, const QByteArray& path) { return Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n"); }

QByteArray Body(const QByteArray& answer) { return answer.mid(answer.indexOf("\r\n\r\n") + 4); }

template <typename Pred>
bool Pump(Pred pred, int ms)
{
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

TEST(UserStationList, ReadsBothLineFormsAndNamesTheLinesItSkips)
{
  const TUserStationList list = ParseUserStationList(QString::fromUtf8(
      "# 我的电台\n"
      "经典怀旧 | http://radio.example/old.mp3\n"
      "\n"
      "体育 | 体育之声 | https://radio.example/sport\n"
      "no separator here\n"
      "坏地址 | ftp://radio.example/x\n"
      " | http://radio.example/noname\n"
      "a|b|c|d\n"));
  ASSERT_EQ(list.stations.size(), 2u);
  EXPECT_EQ(list.stations[0].name, QString::fromUtf8("经典怀旧"));
  EXPECT_EQ(list.stations[0].category, QString::fromUtf8("我的电台"));
  EXPECT_EQ(list.stations[1].category, QString::fromUtf8("体育"));
  EXPECT_EQ(list.stations[1].url, "https://radio.example/sport");
  EXPECT_EQ(list.skippedLines, (std::vector<int>{5, 6, 7, 8}));
}

class DirectoryServerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    server.SetUserListFile(dir.filePath("stations.txt"));
    ASSERT_TRUE(server.Start());
  }
  QTemporaryDir dir;
  TDirectoryServer server;
};

TEST_F(DirectoryServerTest, ServesThePageAndItsFiles)
{
  const QByteArray page = Get(server.Port(), "/qq/?app");
  EXPECT_TRUE(page.startsWith("HTTP/1.1 200 OK\r\n")) << page.left(80).toStdString();
  EXPECT_TRUE(page.contains("Content-Type: text/html; charset=utf-8"));
  EXPECT_TRUE(Body(page).contains("app.js"));
  EXPECT_TRUE(Get(server.Port(), "/qq").startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(Get(server.Port(), "/qq/app.js").contains("text/javascript"));
  const QByteArray head = Fetch(server.Port(), "HEAD /qq/ HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(head.startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(Body(head).isEmpty());
}

TEST_F(DirectoryServerTest, RefusesWhatItDoesNotServe)
{
  EXPECT_TRUE(Get(server.Port(), "/other").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(Get(server.Port(), "/qq/../../etc/passwd").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(Get(server.Port(), "/qq/%2e%2e%2fstations.json").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(Get(server.Port(), "/qq/nothing.html").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(Fetch(server.Port(), "POST /qq/ HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 405"));
  EXPECT_TRUE(Fetch(server.Port(), "garbage\r\n\r\n").startsWith("HTTP/1.1 400"));
  const QByteArray huge = "GET /qq/ HTTP/1.1\r\nX: " + QByteArray(TDirectoryServer::kMaxRequestHead + 10, 'a');
  EXPECT_TRUE(Fetch(server.Port(), huge).startsWith("HTTP/1.1 431"));
}

TEST_F(DirectoryServerTest, StationListHoldsBundledAndUserStations)
{
  QJsonObject before = QJsonDocument::fromJson(Body(Get(server.Port(), "/qq/stations.json"))).object();
  const int bundled = before.value("stations").toArray().size();
  EXPECT_GE(bundled, 5);
  EXPECT_FALSE(before.contains("userFile"));

  QFile f(server.UserListFile());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("我的电台一 | http://127.0.0.1:9/one.mp3\nbroken line\n");
  f.close();
  QJsonObject after = QJsonDocument::fromJson(Body(Get(server.Port(), "/qq/stations.json"))).object();
  const QJsonArray stations = after.value("stations").toArray();
  ASSERT_EQ(stations.size(), bundled + 1);
  EXPECT_EQ(stations.last().toObject().value("name").toString(), QString::fromUtf8("我的电台一"));
  EXPECT_EQ(after.value("skippedLines").toArray(), QJsonArray{2});
  EXPECT_EQ(after.value("userFile").toString(), server.UserListFile());
}

TEST(SiteAddresses, DirectoryAddressHasThePathAndQuery)
{
  const QUrl url = StationDirectoryUrl();
  EXPECT_EQ(url.path(), "/qq/");
  EXPECT_EQ(url.query(), "app");
  EXPECT_EQ(url.host(), "127.0.0.1");
  EXPECT_TRUE(TDirectoryServer::Instance()->IsListening());
  EXPECT_TRUE(QUrl(MakerSiteAddress()).isValid());
}

// A tiny HTTP server with one MP3 stream, so the page can play it offline.
class StreamServer : public QObject {
public:
  explicit StreamServer(QByteArray mp3) : mp3_(std::move(mp3))
  {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          if (!s->readAll().contains("\r\n\r\n") || s->property("done").toBool()) return;
          s->setProperty("done", true);
          s->write("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: " + QByteArray::number(mp3_.size()) +
                   "\r\nConnection: close\r\n\r\n" + mp3_);
          s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  QString Url() const { return QStringLiteral("http://127.0.0.1:%1/stream.mp3").arg(server_.serverPort()); }

private:
  QTcpServer server_;
  QByteArray mp3_;
};

QVariant RunJs(QWebEnginePage* page, const QString& script)
{
  QVariant result;
  bool done = false;
  page->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  Pump([&] { return done; }, 10000);
  return result;
}

// Two seconds of a 440 Hz tone as MP3, made by the lame command-line encoder.
QByteArray MakeToneMp3(const QTemporaryDir& dir)
{
  const QString wav = dir.filePath("tone.wav"), mp3 = dir.filePath("tone.mp3");
  QFile f(wav);
  f.open(QIODevice::WriteOnly);
  const int rate = 44100, seconds = 2, samples = rate * seconds;
  QByteArray pcm(samples * 2, '\0');
  for (int i = 0; i < samples; ++i) {
    const qint16 v = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
    pcm[2 * i] = char(v & 0xFF);
    pcm[2 * i + 1] = char((v >> 8) & 0xFF);
  }
  auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
  auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
  f.write("RIFF" + le32(36 + pcm.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(rate) + le32(rate * 2) +
          le16(2) + le16(16) + "data" + le32(pcm.size()) + pcm);
  f.close();
  QProcess::execute("lame", {"--quiet", "-b", "64", wav, mp3});
  QFile out(mp3);
  out.open(QIODevice::ReadOnly);
  return out.readAll();
}

TEST_F(DirectoryServerTest, PageListsFiltersAndPlaysInARealWebView)
{
  const QByteArray mp3 = MakeToneMp3(dir);
  ASSERT_GT(mp3.size(), 1000) << "lame did not produce the test stream";
  StreamServer stream(mp3);
  QFile f(server.UserListFile());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QString::fromUtf8("测试 | 本地测试台 | %1\n").arg(stream.Url()).toUtf8());
  f.close();

  TEmbeddedBrowser browser(nullptr);
  QUrl url = server.BaseUrl();
  url.setPath(StationDirectoryPath());
  url.setQuery(StationDirectoryQuery());
  browser.Navigate(url);
  QWebEngineView* view = browser.View();
  view->resize(246, 440);
  view->show();
  QWebEnginePage* page = view->page();
  ASSERT_TRUE(Pump([&] { return RunJs(page, "document.body && document.body.dataset.ready").toString() == "1"; },
                   30000))
      << "the directory page did not load its station list";

  const int listed = RunJs(page, "document.querySelectorAll('#list button').length").toInt();
  EXPECT_GE(listed, 6);
  RunJs(page, QString::fromUtf8("var f=document.getElementById('filter'); f.value='本地';"
                                "f.dispatchEvent(new Event('input')); 0"));
  EXPECT_EQ(RunJs(page, "document.querySelectorAll('#list button').length").toInt(), 1);
  EXPECT_EQ(RunJs(page, "document.querySelector('#list button').textContent").toString(), QString::fromUtf8("本地测试台"));

  RunJs(page, "document.querySelector('#list button').click(); 0");
  ASSERT_TRUE(Pump([&] { return RunJs(page, "document.getElementById('state').textContent").toString() ==
                                QString::fromUtf8("正在播放"); },
                   30000))
      << RunJs(page, "document.getElementById('state').textContent + ' / ' + "
                     "(document.getElementById('audio').error && document.getElementById('audio').error.code)")
             .toString()
             .toStdString();
  EXPECT_FALSE(RunJs(page, "document.getElementById('audio').paused").toBool());
}

} // namespace
