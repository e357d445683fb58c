// What the directory keeps on disk: the user's favourites (data folder,
// favourites.json) and the last good answers of the online directory (cache
// folder, directory-cache.json) for starting without a network.
//
// A favourites file that cannot be read is never overwritten: favourites
// become read-only and the problem is reported until the file is mended. A
// corrupt cache is only a cache: it is reported and replaced.
#pragma once

#include "browser/directory_station.h"

#include <QDateTime>
#include <QString>
#include <optional>

class TStationStore {
public:
  TStationStore(QString dataFolder, QString cacheFolder);

  QString FavouritesFile() const;
  QString CacheFile() const;

  // --- favourites
  const std::vector<TDirectoryStation>& Favourites() const { return favourites_; }
  bool IsFavourite(const QString& key) const;
  // False with `error` set when the change could not be saved; the list is
  // then as before.
  bool AddFavourite(const TDirectoryStation& station, QString* error);
  bool RemoveFavourite(const QString& key, QString* error);
  // Why the favourites file could not be read at start ("" when it could).
  QString FavouritesProblem() const { return favouritesProblem_; }

  // --- offline cache
  struct TCached {
    std::vector<TDirectoryStation> Stations;
    QDateTime SavedAt;
  };
  // Keeps an answer; false with `error` when the cache cannot be written.
  bool CacheAnswer(const QString& key, const std::vector<TDirectoryStation>& stations, QString* error);
  std::optional<TCached> CachedAnswer(const QString& key, QString* problem) const;
  // The most answers kept (oldest go first).
  static constexpr int kMaxCachedAnswers = 30;

private:
  void LoadFavourites();
  bool SaveFavourites(const std::vector<TDirectoryStation>& list, QString* error);
  QJsonObject ReadCache(QString* problem) const;

  QString dataFolder_, cacheFolder_;
  std::vector<TDirectoryStation> favourites_;
  QString favouritesProblem_;
};

// Writes `bytes` to `path` whole or not at all (creating the folder);
// false with the system's reason in `error`.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);
