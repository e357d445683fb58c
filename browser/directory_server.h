// The station directory, served by the program itself on the loopback
// interface so the main window's page needs no network: "/qq/" is the page,
// "/qq/stations.json" the station list (the bundled one plus the user's own
// list file).
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

  // The station list as served: bundled stations first, then the user's.
  QJsonObject StationListJson() const;

  // The program-wide server, started on first use.
  static TDirectoryServer* Instance();

private:
  void OnNewConnection();
  void OnReadyRead(QTcpSocket* socket);
  void Respond(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body, bool head);

  QTcpServer* server_;
  QString userListFile_;
};
