#include "browser/player_api.h"

#include "audio/station_player.h"
#include "browser/directory_station.h"

QJsonObject PlayerStateJson(const TStationPlayer& player)
{
  QJsonObject o{{"state", TStationPlayer::StateName(player.State())},
                {"percent", player.BufferPercent()},
                {"message", player.Message()},
                {"title", player.Title()},
                {"codec", player.Codec()},
                {"bitrate", qRound(player.Bitrate() / 1000.0)},
                {"volume", player.Volume()},
                {"muted", player.Muted()}};
  if (player.HasStation()) {
    const TPlayingStation& s = player.Station();
    o.insert("station", QJsonObject{{"key", s.Key}, {"name", s.Name}, {"url", s.Url}, {"favicon", s.Favicon}});
  }
  return o;
}

QJsonObject PlayerRequest(TStationPlayer& player, const QJsonObject& request)
{
  const QString action = request.value("action").toString();
  if (action == QLatin1String("stop")) player.Stop();
  else if (action == QLatin1String("resume")) player.Resume();
  else if (!action.isEmpty()) return {{"error", QStringLiteral("未知的播放操作")}};
  if (request.value("volume").isDouble()) player.SetVolume(qRound(request.value("volume").toDouble()));
  if (request.value("muted").isBool()) player.SetMuted(request.value("muted").toBool());
  return PlayerStateJson(player);
}

TPlayingStation PlayingStation(const TDirectoryStation& station, const QString& streamUrl)
{
  return {station.Key(), station.Name, station.Url, streamUrl, station.Favicon};
}
