// A scheduled recording of a station, made with the recorder's own parts: the
// station plays on the program's player (heard), or on a player of its own
// without sound output (silent), and TStationAudioIn hands its sound to
// TMP3Out. It connects ahead of the start and writes from Record on; split by
// track, every new stream title goes on in a new file named after it. The
// file ends whole however the recording ends.
//
// Heard, it is silent until its start: the program's player is kept silent
// while it connects. A station the program's player already plays is taken
// as it plays (no new connection, nothing muted). While the program's player
// records another station until this one's start, this one connects on a
// player of its own and the program's player plays it from the start, for
// the ear only. The program's player stops with the last recording on it.
#pragma once

#include "schedule/scheduler.h"

#include <QPointer>
#include <functional>
#include <memory>

class TStationPlayer;
class TStationAudioIn;
class TMP3Out;

class TStationRecording : public TScheduleRecording {
  Q_OBJECT
public:
  // Sets the file's tags (the program's: maker, station and title); called
  // with the station's name and the stream's title at the start.
  using TTagger = std::function<void(TMP3Out*, const QString& station, const QString& title)>;
  // `heard` null: the program's player (TStationPlayer::Instance()). `silent`
  // null: a player of its own without sound output; tests pass theirs.
  TStationRecording(TTagger tagger, TStationPlayer* heard = nullptr, TStationPlayer* silent = nullptr);
  ~TStationRecording() override;

  void Prepare(const TScheduleEntry& entry, const QString& file) override;
  void Record() override;
  void Finish() override;

  // Bytes recorded so far.
  qint64 Position() const;

private:
  void OnPlayerChanged();
  void BeginFile();
  void StopPlayer();
  // Counts this recording among those on the program's player `heard`.
  void TakeHeard(TStationPlayer* heard);

  TTagger tagger_;
  TStationPlayer* heard_;
  std::unique_ptr<TStationPlayer> own_;
  QPointer<TStationPlayer> player_;
  QString stationKey_, station_, url_, file_;
  // The program's player this recording counts on, and the one it plays
  // the station on from the start (for the ear, while recording its own).
  QPointer<TStationPlayer> heardTaken_, listenOn_;
  bool silentUntilStart_ = false;
  int bitrate_ = 128;
  bool split_ = false;
  bool ready_ = false, recordWanted_ = false;
  QMetaObject::Connection splitting_;
  std::unique_ptr<TStationAudioIn> in_;
  std::unique_ptr<TMP3Out> out_;
  bool finished_ = false;
};
