// The station player as the page sees it, through the directory server's JSON API:
//   GET  /qq/api/player                      -> the player's state (below)
//   POST /qq/api/player {"action": "stop"}    stops
//   POST /qq/api/player {"action": "resume"}  plays the last station again
//   POST /qq/api/player {"volume": 0..100, "muted": bool}  (either or both)
// The state: {state, percent, message, title, codec, bitrate, volume, muted,
// station: {key, name, url, favicon}} (station only once one was played).
#pragma once

#include <QJsonObject>

class TStationPlayer;
struct TPlayingStation;
struct TDirectoryStation;

QJsonObject PlayerStateJson(const TStationPlayer& player);
// Carries out a POST to /qq/api/player; answers the state afterwards, or {error}.
QJsonObject PlayerRequest(TStationPlayer& player, const QJsonObject& request);
// The station to play from the directory's entry and the address it resolved to.
TPlayingStation PlayingStation(const TDirectoryStation& station, const QString& streamUrl);
