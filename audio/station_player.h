// The station being listened to: plays one station at a time on a stream
// engine (platform/stream_engine.h) and keeps what the user sees: the state
// (connecting, buffering with its percentage, playing, stopped, failed with
// the reason in words), the stream's title, codec and bit rate, volume and
// mute. A stream that drops after it played is reconnected after growing
// pauses; one that never answers fails after the answer time-out. Lives on
// the UI thread; every change is announced by Changed().
#pragma once

#include "platform/stream_engine.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

struct TPlayingStation {
  QString Key;      // the directory's key (the address when it has none)
  QString Name;
  QString Url;      // the station's own address, as listed
  QString StreamUrl;// what is opened (a playlist resolved)
  QString Favicon;
};

class TStationPlayer : public QObject {
  Q_OBJECT
public:
  enum TState { psStopped, psConnecting, psBuffering, psPlaying, psFailed };
  // The directory client's time-out: a station that has not started to play
  // by then has failed.
  static constexpr int kAnswerTimeoutMs = 8000;
  static constexpr int kMaxTitleLength = 256;

  explicit TStationPlayer(std::unique_ptr<TStreamEngine> engine, QObject* parent = nullptr);
  ~TStationPlayer() override;

  void Play(const TPlayingStation& station);
  void Stop();
  // Plays the last station again (after Stop or a failure).
  void Resume();

  TState State() const { return state_; }
  static QString StateName(TState s);
  int BufferPercent() const { return bufferPercent_; }
  // The reason of a failure, or what a reconnect is doing.
  QString Message() const { return message_; }
  const TPlayingStation& Station() const { return station_; }
  bool HasStation() const { return !station_.StreamUrl.isEmpty(); }
  QString Title() const { return title_; }
  // The station's name as its stream gives it ("" when it gives none), cleaned like the title.
  QString StreamName() const { return streamName_; }
  QString Codec() const { return codec_; }
  int Bitrate() const { return bitrate_; }  // bits per second
  int Reconnects() const { return attempt_; }

  // 0..100.
  void SetVolume(int volume);
  int Volume() const { return volume_; }
  void SetMuted(bool muted);
  // The user's mute.
  bool Muted() const { return muted_; }
  // Keeps the sound output silent while the station with `stationKey` is the
  // one played (a recording connected ahead of its start), the user's mute
  // untouched; "" lets it be heard, and so does playing another station.
  void KeepSilent(const QString& stationKey);
  bool KeptSilent() const { return !silentKey_.isEmpty(); }

  // The station's decoded sound before volume and mute (see
  // TStreamEngine::SetPcmSink); any thread. False when there is no engine.
  bool SetPcmSink(TStreamEngine::TPcmSink sink);

  // Pauses before each reconnect in turn; their count is the number of tries.
  void SetReconnectDelays(std::vector<int> ms) { delays_ = std::move(ms); }
  void SetAnswerTimeout(int ms);
  // The reconnect and answer clocks, so tests can run them out.
  QTimer& ReconnectTimer() { return reconnect_; }
  QTimer& AnswerTimer() { return answer_; }

  // The program's player, made on first use (on GStreamer, or failing at
  // every play with the reason when GStreamer cannot start).
  static TStationPlayer* Instance();
  // Tests install theirs (not owned); nullptr goes back to the program's.
  static void SetInstance(TStationPlayer* player);

signals:
  void Changed();
  // A station started to play (for the list of recent ones).
  void StationStarted(const TPlayingStation& station);

private:
  void OnEvent(const TStreamEvent& e);
  void Connect();
  void Dropped(const QString& why);
  void Fail(const QString& reason);
  void SetState(TState s);
  void ApplyMute();

  std::unique_ptr<TStreamEngine> engine_;
  QString engineError_;
  TPlayingStation station_;
  TState state_ = psStopped;
  int bufferPercent_ = 0;
  QString message_, title_, codec_, streamName_;
  int bitrate_ = 0;
  int volume_ = 100;
  bool muted_ = false;
  QString silentKey_;
  bool playedOnce_ = false;  // this connection reached playing
  int attempt_ = 0;          // reconnects since it last played
  std::vector<int> delays_{1000, 2000, 4000, 8000, 16000};
  QTimer reconnect_, answer_;

  friend std::unique_ptr<TStationPlayer> MakeProgramPlayer();
};

// Why a stream failed, in the user's words.
QString StreamErrorText(const TStreamEvent& e);
// A stream's title as shown: control characters out, runs of spaces as one, bounded.
QString CleanStreamTitle(const QString& title);
// "电台名 — 曲目" (the station alone without a title), cut to `limit` characters.
QString NowPlayingHint(const QString& station, const QString& title, int limit);
