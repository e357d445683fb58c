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
  QString Uuid;         // the directory's id; empty for local stations
  QString Name;
  QString Url;          // as registered
  QString UrlResolved;  // the stream itself, when the directory knows it
  QString Homepage;
  QString Favicon;      // http(s) only, else empty
  QString Tags;         // comma-separated
  QString Country;
  QString CountryCode;
  QString Language;
  QString Codec;
  QString Category;     // the user's stations
  int Bitrate = 0;
  int Votes = 0;
  int ClickCount = 0;
  bool Hls = false;

  // What the player opens.
  QString PlayUrl() const { return UrlResolved.isEmpty() ? Url : UrlResolved; }
  // Identity for favourites: the directory's id, else the address.
  QString Key() const { return Uuid.isEmpty() ? PlayUrl() : Uuid; }

  // The page's and the cache's form (also read back from both).
  QJsonObject ToJson() const;
};

// True for an absolute http or https address with a host.
bool IsStreamAddress(const QString& text);

struct TStationParse {
  std::vector<TDirectoryStation> Stations;
  int Skipped = 0;   // entries without a usable address, or no objects at all
  int Broken = 0;    // entries the directory's last check found broken
  QString Error;     // the answer as a whole could not be read
  bool Complete = false;  // the whole array was read (not stopped at maxStations or the cut)
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
