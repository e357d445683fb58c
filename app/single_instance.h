// One running program per user: a second start hands over to the first
// (which brings its window to the front) and ends. The meeting point is a
// local socket in the user's runtime folder.
#pragma once

#include <QObject>
#include <functional>

class QLocalServer;

class TSingleInstance : public QObject {
public:
  explicit TSingleInstance(QString name = DefaultName(), QObject* parent = nullptr);

  // True when a running program took the request to come forward.
  bool AskRunningInstance(int timeoutMs = 2000) const;
  // Listens for later starts; `onRequest` runs on the UI thread for each.
  // False when the socket cannot be made (the program then runs alone).
  bool Listen(std::function<void()> onRequest);

  // <runtime folder>/velmora.instance
  static QString DefaultName();

private:
  QString name_;
  QLocalServer* server_ = nullptr;
  std::function<void()> onRequest_;
};
