// Fuzzes what the station directory reads from outside: the directory's JSON
// answer, playlists fetched from stations, the user's stations.txt and the
// stored favourites. The first byte picks the reader. Nothing may crash, and
// nothing that is not an http(s) address may come out as something to play;
// a station that passed must survive its own stored form unchanged.
#include "browser/directory_server.h"
#include "browser/directory_station.h"
#include "browser/playlist.h"
#include "fuzz/fuzz_application.h"

#include <QJsonDocument>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  StartFuzzApplication("directory_fuzz");
  return 0;
}

namespace {
void CheckStations(const std::vector<TDirectoryStation>& stations)
{
  for (const TDirectoryStation& s : stations) {
    if (!IsStreamAddress(s.PlayUrl())) __builtin_trap();
    TDirectoryStation again;
    if (!StationFromJson(s.ToJson(), again)) __builtin_trap();
    if (again.ToJson() != s.ToJson()) __builtin_trap();
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size == 0) return 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
  switch (data[0] % 4) {
  case 0: {
    const TStationParse parse = ParseDirectoryStations(bytes);
    if (!parse.Error.isEmpty() && !parse.Stations.empty()) __builtin_trap();
    CheckStations(parse.Stations);
    // Read in part (a page of 3, an answer cut off): never more than asked for.
    const TStationParse part = ParseDirectoryStations(bytes, 3, true);
    if (part.Stations.size() > 3 || (!part.Error.isEmpty() && !part.Stations.empty())) __builtin_trap();
    break;
  }
  case 1: {
    const TPlaylist list = ParsePlaylist(bytes, QUrl(QStringLiteral("http://radio.example/live/list.pls")));
    for (const QString& stream : list.Streams)
      if (!IsStreamAddress(stream)) __builtin_trap();
    break;
  }
  case 2: {
    const TUserStationList list = ParseUserStationList(QString::fromUtf8(bytes));
    for (const TStation& s : list.Stations)
      if (!IsStreamAddress(s.Url)) __builtin_trap();
    break;
  }
  default: {
    int skipped = 0;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    const std::vector<TDirectoryStation> stations =
        StationsFromJson(doc.isArray() ? doc.array() : doc.object().value(QStringLiteral("stations")).toArray(), &skipped);
    CheckStations(stations);
    break;
  }
  }
  return 0;
}
