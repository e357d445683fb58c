// The station directory, served by the program itself on the loopback
// interface so the main window's page needs no web server of ours: "/qq/" is
// the page, "/qq/stations.json" the local list (the user's own list file)
// and "/qq/api/..." the directory (TStationDirectory):
//   GET  /qq/api/list?q=TEXT&by=name|tag|language|country&offset=N&limit=N[&online=0]
//   POST /qq/api/play        {station}                -> {url, error, note}
//   POST /qq/api/favourite   {"add": station} | {"remove": key}
//   POST /qq/api/schedule    {station}                -> {ok} | {error}: the
//                            program opens its schedule window for the station
//   GET|POST /qq/api/player  the station player (browser/player_api.h); a
//                            play that resolves starts it and answers its state
//   GET  /qq/api/player?after=VERSION
//                            held until the player's state moves past VERSION
//                            (or a while has passed): the page learns of changes
//                            at once without asking every second
// Only the program's own page is served: every request must name this server
// (127.0.0.1 or localhost with its port, so a page of another site whose name
// was pointed here gets nothing) and carry the secret made for this run, which
// the program hands its web view alone (Admit). Other programs and other users
// on the machine get 403 on every path.
// Requests must arrive promptly: a connection that has not sent its whole
// request head within a short time is closed, and connections still waiting
// for their head are limited per client (the user owning the connecting
// socket) and in all, the oldest making room for a newcomer, so clients that
// hold connections open never keep the page out.
#pragma once

#include "browser/user_station_list.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

class QTcpServer;
class QTcpSocket;
class TEmbeddedBrowser;
class TStationDirectory;
class TStationPlayer;


class TDirectoryServer : public QObject {
  Q_OBJECT
public:
  // Largest request head accepted; larger requests are answered 431.
  static constexpr int kMaxRequestHead = 16 * 1024;
  // Largest request body (the page's JSON); larger ones are answered 413.
  static constexpr int kMaxRequestBody = 256 * 1024;

  // The header that carries the page's secret.
  static constexpr const char* kSecretHeader = "X-Velmora-Page";

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
  // The player that plays what the page picks (not owned); the program's when unset.
  void SetPlayer(TStationPlayer* player) { player_ = player; }
  TStationPlayer* Player();

  // This run's secret (random, made at construction).
  QByteArray Secret() const { return secret_; }
  // Lets `browser` use this server: every request it makes here carries the secret.
  void Admit(TEmbeddedBrowser& browser) const;

  // A connection is closed when its request head has not arrived within
  // `headMs`, or the rest of an admitted request within `requestMs`. At most
  // `maxWaiting` connections wait for their head, `perClient` of them from
  // one client; past that the client's (or the busiest client's) oldest is closed.
  void SetLimits(int headMs, int requestMs, int maxWaiting, int perClient);
  int OpenConnections() const { return openConnections_; }
  int WaitingConnections() const;

  // How long a request for the player's next state is held at most.
  void SetPlayerHold(int ms) { playerHoldMs_ = ms; }
  // Requests for the player's next state held now.
  int HeldPlayerRequests() const;

  // The station list as served: the user's own stations.
  QJsonObject StationListJson() const;

  // The program-wide server, started on first use.
  static TDirectoryServer* Instance();

signals:
  // The page asked to schedule a recording of a station (its stream's
  // address where the directory knows it). Without a receiver the page is
  // told that scheduling is not available.
  void ScheduleRequested(const QString& name, const QString& url);

private:
  void OnNewConnection();
  void OnReadyRead(QTcpSocket* socket);
  void MakeRoomFor(const QString& client);
  bool Admitted(const QByteArray& head) const;
  void Route(QTcpSocket* socket, const QByteArray& method, const QUrl& url, const QByteArray& head,
             const QByteArray& body);
  void RouteApi(QTcpSocket* socket, const QByteArray& method, const QString& name, const QUrl& url,
                const QByteArray& head, const QByteArray& body);
  void Respond(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body, bool head);
  void RespondJson(QTcpSocket* socket, int status, const QJsonObject& body);
  // The player's state with its version; answers every held request when it changes.
  void RespondPlayerState(QTcpSocket* socket);
  void WatchPlayer();

  QTcpServer* server_;
  QString userListFile_;
  TStationDirectory* directory_ = nullptr;
  TStationPlayer* player_ = nullptr;
  QByteArray secret_;
  std::vector<QPointer<QTcpSocket>> waiting_;  // connections without their head yet, oldest first
  int headMs_ = 3000;
  int requestMs_ = 30000;
  int maxWaiting_ = 64;
  int perClient_ = 16;
  int openConnections_ = 0;
  QPointer<TStationPlayer> watchedPlayer_;
  QMetaObject::Connection playerWatch_;
  quint64 playerVersion_ = 1;
  std::vector<QPointer<QTcpSocket>> playerWaiters_;
  int playerHoldMs_ = 25000;
};
