// A station as the directory page lists it, whatever its source: the online
// directory (Radio Browser's JSON), the offline cache, the favourites, the
// user's stations.txt. Every text that arrives from the
// network is checked here before anything else sees it.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <climits>
#include <vector>

struct TDirectoryStation {
  QString uuid;         // the directory's id; empty for local stations
  QString name;
  QString url;          // as registered
  QString urlResolved;  // the stream itself, when the directory knows it
  QString homepage;
  QString favicon;      // http(s) only, else empty
  QString tags;         // comma-separated
  QString country;
  QString countryCode;
  QString language;
  QString codec;
  QString category;     // the user's stations
  int bitrate = 0;
  int votes = 0;
  int clickCount = 0;
  bool hls = false;

  // What the player opens.
  QString PlayUrl() const { return urlResolved.isEmpty() ? url : urlResolved; }
  // Identity for favourites: the directory's id, else the address.
  QString Key() const { return uuid.isEmpty() ? PlayUrl() : uuid; }

  // The page's and the cache's form (also read back from both).
  QJsonObject ToJson() const;
};

// True for an absolute http or https address with a host.
bool IsStreamAddress(const QString& text);

struct TStationParse {
  std::vector<TDirectoryStation> stations;
  int skipped = 0;   // entries without a usable address, or no objects at all
  int broken = 0;    // entries the directory's last check found broken
  QString error;     // the answer as a whole could not be read
  bool complete = false;  // the whole array was read (not stopped at maxStations or the cut)
};

// Reads the directory's answer: a JSON array of station objects. Missing
// fields take empty values, a missing name falls back to the address's host,
// texts are cut to sane lengths and control characters removed; entries whose
// address is not http(s) are skipped and counted, never passed on.
// Reading stops once `maxStations` are taken: the rest of the text is not
// looked at, so an answer far longer than asked for costs no more than the
// part asked for. `cut`: the text is the start of a longer answer; the
// entries complete in it are read.
TStationParse ParseDirectoryStations(const QByteArray& json, int maxStations = INT_MAX, bool cut = false);

// Reads one station in the form written by ToJson (or the directory's own
// field names); nullopt-like: returns false when it has no usable address.
bool StationFromJson(const QJsonObject& o, TDirectoryStation& out);

QJsonArray StationsToJson(const std::vector<TDirectoryStation>& stations);
// Reads an array written by StationsToJson; entries that do not read are counted in `skipped`.
std::vector<TDirectoryStation> StationsFromJson(const QJsonArray& array, int* skipped = nullptr);
