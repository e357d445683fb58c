// The station directory, served by the program itself on the loopback
// interface so the main window's page needs no web server of ours: "/qq/" is
// the page, "/qq/stations.json" the local list (the bundled one plus the
// user's own list file) and "/qq/api/..." the directory (TStationDirectory):
//   GET  /qq/api/list?q=TEXT&by=name|tag|language|country&offset=N&limit=N[&online=0]
//   POST /qq/api/play        {station}                -> {url, error, note}
//   POST /qq/api/favourite   {"add": station} | {"remove": key}
// Requests must arrive promptly: a connection that stays silent or dribbles
// its request is closed, and only so many are served at once, so a stuck
// client never blocks the page.
#pragma once

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

class QTcpServer;
class QTcpSocket;
class TStationDirectory;

struct TStation {
  QString category;
  QString name;
  QString url;
};

// The user's own stations: one per line, "名称 | 地址" or "分类 | 名称 | 地址";
// blank lines and lines starting with '#' are ignored. Lines that cannot be
// read are listed by number in `skippedLines` rather than dropped silently.
struct TUserStationList {
  std::vector<TStation> stations;
  std::vector<int> skippedLines;
};
TUserStationList ParseUserStationList(const QString& text);

class TDirectoryServer : public QObject {
  Q_OBJECT
public:
  // Largest request head accepted; larger requests are answered 431.
  static constexpr int kMaxRequestHead = 16 * 1024;
  // Largest request body (the page's JSON); larger ones are answered 413.
  static constexpr int kMaxRequestBody = 256 * 1024;

  explicit TDirectoryServer(QObject* parent = nullptr);
  ~TDirectoryServer() override;

  // Listens on 127.0.0.1 at a free port; true when listening.
  bool Start();
  bool IsListening() const;
  quint16 Port() const;
  // http://127.0.0.1:PORT
  QUrl BaseUrl() const;

  // The user's list file (default: stations.txt in the user's configuration folder).
  void SetUserListFile(const QString& path) { userListFile_ = path; }
  QString UserListFile() const { return userListFile_; }

  // The directory behind /qq/api/ (not owned); the program's default when unset.
  void SetDirectory(TStationDirectory* directory);
  TStationDirectory* Directory();

  // A connection is closed when it sends nothing for `idleMs`, or has not
  // sent its whole request within `requestMs`; at most `maxConnections` are
  // open at once, further ones are answered 503 at once.
  void SetLimits(int idleMs, int requestMs, int maxConnections);
  int OpenConnections() const { return openConnections_; }

  // The station list as served: bundled stations first, then the user's.
  QJsonObject StationListJson() const;

  // The program-wide server, started on first use.
  static TDirectoryServer* Instance();

private:
  void OnNewConnection();
  void OnReadyRead(QTcpSocket* socket);
  void Route(QTcpSocket* socket, const QByteArray& method, const QUrl& url, const QByteArray& head,
             const QByteArray& body);
  void RouteApi(QTcpSocket* socket, const QByteArray& method, const QString& name, const QUrl& url,
                const QByteArray& head, const QByteArray& body);
  void Respond(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body, bool head);
  void RespondJson(QTcpSocket* socket, int status, const QJsonObject& body);

  QTcpServer* server_;
  QString userListFile_;
  TStationDirectory* directory_ = nullptr;
  int idleMs_ = 10000;
  int requestMs_ = 30000;
  int maxConnections_ = 32;
  int openConnections_ = 0;
};
