// The station directory as the page and velmora-tool see it: favourites
// first, then the online directory's answer (or its offline copy), then the
// user's stations.txt, all filtered by the same query. No station ships with
// the program: every one listed is the directory's or the user's.
// Playing a station counts the click with the directory and resolves
// playlists to their stream.
#pragma once

#include "browser/radio_browser_client.h"
#include "browser/station_store.h"
#include "browser/user_station_list.h"

#include <QDateTime>
#include <QObject>
#include <memory>

class QNetworkAccessManager;
class THostLookup;

struct TStationListing {
  enum TDirectoryState { dsOnline, dsCache, dsOffline, dsOff, dsPending };
  std::vector<TDirectoryStation> Favourites, Directory, User;
  TDirectoryState State = dsOff;
  QDateTime CachedAt;           // when the offline copy was made (dsCache, or dsOff with a copy)
  QStringList Messages;         // problems worth telling the user
  QString UserFile;             // the user's list, when it exists
  QString UserListPath;         // where the user's list is read from (exists or not)
  std::vector<int> SkippedUserLines;
  int SkippedEntries = 0;       // directory entries dropped (bad address)

  QJsonObject ToJson() const;
  static QString StateName(TDirectoryState s);
};

struct TPlayAnswer {
  QString Url;    // what the player opens ("" with an error)
  QString Error;  // why the station cannot be played
  QString Note;   // how the address was found, when it is not the station's own
};

class TStationDirectory : public QObject {
  Q_OBJECT
public:
  TStationDirectory(TDirectoryConfig config, THostLookup* lookup, QString dataFolder, QString cacheFolder,
                    QObject* parent = nullptr);
  ~TStationDirectory() override;

  // The program's directory: configuration from the environment and the
  // settings file, the system resolver, the user's folders.
  static TStationDirectory* CreateDefault(QObject* parent);

  void SetUserListFile(const QString& path) { userListFile_ = path; }
  QString UserListFile() const { return userListFile_; }

  TRadioBrowserClient* Client() const { return client_; }
  TStationStore& Store() { return store_; }

  // `askDirectory` false: only what is on this machine (favourites, the
  // user's list), answered at once; the page shows it while the directory
  // answers. A directory turned off still shows its offline copy.
  void List(const TStationQuery& query, std::function<void(const TStationListing&)> done, bool askDirectory = true);
  void Play(const TDirectoryStation& station, std::function<void(const TPlayAnswer&)> done);

  // Time allowed for fetching a playlist, and its largest size.
  void SetPlaylistTimeout(int ms) { playlistTimeoutMs_ = ms; }
  static constexpr qint64 kMaxPlaylistBytes = 64 * 1024;

private:
  void FillLocal(const TStationQuery& query, TStationListing& listing) const;
  void FetchPlaylist(const QUrl& url, std::function<void(const TPlayAnswer&)> done);

  std::unique_ptr<THostLookup> ownedLookup_;
  TRadioBrowserClient* client_;
  TStationStore store_;
  QString userListFile_;
  QNetworkAccessManager* network_;
  int playlistTimeoutMs_ = 8000;
};

// True when the station matches the query's text in the query's field
// (everything matches an empty text).
bool StationMatches(const TDirectoryStation& station, const TStationQuery& query);

