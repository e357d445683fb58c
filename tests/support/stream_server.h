// A radio station server on 127.0.0.1 for the player's tests: static answers
// (files, errors, redirects), streams sent at a steady rate with ICY metadata
// whose blocks the test writes, streams that drop and come back, and
// connections that are accepted and never answered.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <map>

class QTcpServer;
class QTcpSocket;

class TStreamServer : public QObject {
  Q_OBJECT
public:
  struct TRoute {
    int Status = 200;
    QByteArray ContentType = "audio/mpeg";
    QByteArray Body;               // a static answer, or the stream's data (sent in a loop)
    QByteArray Location;           // a redirect's target
    int BytesPerSecond = 0;        // > 0: a stream at this rate (after a 2 s head start)
    int MetaInterval = 0;          // > 0: ICY metadata after every so many bytes, when asked for
    // The raw metadata block (length byte included) at each interval; the default
    // sends "StreamTitle='<titles[n]>';" with the title changing every `titleMs`.
    std::function<QByteArray(int block)> MetaBlock;
    QStringList Titles;
    int TitleMs = 2000;
    int DropAfterMs = 0;           // > 0: each connection is cut after this long...
    int DownForMs = 0;             // ...and new ones are refused for this long
    bool Silent = false;           // accept the request and never answer
    int AnswerAfterMs = 0;         // > 0: a slow station, answering the request this late
    bool Loop = true;              // a stream starts over at the end of its data
  };

  explicit TStreamServer(QObject* parent = nullptr);
  ~TStreamServer() override;
  void Set(const QString& path, TRoute route) { routes_[path] = std::move(route); }
  QString Url(const QString& path) const;
  int Requests(const QString& path) const;
  // ICY: one block of "StreamTitle='<text>';" padded to whole 16 bytes.
  static QByteArray IcyBlock(const QByteArray& text);

private:
  struct TClient;
  void OnConnection();
  void Serve(QTcpSocket* socket, const QByteArray& head);
  void Pump(QTcpSocket* socket, TClient* client);

  QTcpServer* server_;
  std::map<QString, TRoute> routes_;
  std::map<QString, int> requests_;
  std::map<QString, qint64> downUntil_;
  QElapsedTimer clock_;
};
