// Test peers on 127.0.0.1: a fake of the online station directory speaking
// its JSON API, and a plain HTTP server answering fixed paths (streams,
// playlists). Shared by the tests and the benchmarks.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>
#include <map>
#include <vector>

class QTcpSocket;

class TFakeDirectory : public QObject {
public:
  enum TMode { fmNormal, fmHttpError, fmMalformed, fmHuge, fmSilent, fmRaw, fmRedirect };
  TFakeDirectory();
  QUrl BaseUrl() const;

  // A directory entry as the API gives it.
  static QJsonObject Station(int i, const QString& name, const QString& url);
  // `count` stations named "电台 N", click counts descending, every fifth in English ("chinese" otherwise).
  void Fill(int count);

  QJsonArray stations;
  TMode mode = fmNormal;
  QByteArray raw;            // fmRaw: the body of every answer
  QUrl redirectTo;           // fmRedirect: every request is sent on here, path and query kept
  int delayMs = 0;           // answers wait this long (on the event loop)

  struct TRequest {
    QString Path;
    QUrlQuery Query;
    QByteArray UserAgent;
  };
  std::vector<TRequest> requests;
  QStringList clicks;        // station ids seen at /json/url/

private:
  void Answer(QTcpSocket* s, const QByteArray& head);
  QByteArray Search(const QUrlQuery& q) const;
  QTcpServer server_;
};

class TTestHttpServer : public QObject {
public:
  TTestHttpServer();
  struct TReply {
    int Status = 200;
    QByteArray ContentType;
    QByteArray Body;
  };
  void Set(const QString& path, TReply reply) { replies_[path] = std::move(reply); }
  QString Url(const QString& path) const;
  int Hits(const QString& path) const;

private:
  QTcpServer server_;
  std::map<QString, TReply> replies_;
  std::map<QString, int> hits_;
};

// Two seconds of a 440 Hz tone as MP3, made by the lame command-line encoder.
QByteArray MakeToneMp3(const QString& folder);
