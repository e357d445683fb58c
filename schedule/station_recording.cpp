#include "schedule/station_recording.h"

#include "audio/mp3_out.h"
#include "audio/station_audio_in.h"
#include "audio/station_player.h"

#include <QTimer>

TStationRecording::TStationRecording(TTagger tagger, TStationPlayer* heard, TStationPlayer* silent)
    : tagger_(std::move(tagger)), heard_(heard), player_(silent)
{
}

TStationRecording::~TStationRecording() { Finish(); }

namespace {
// Recordings counted on a program's player (kept on the player, so it goes with it):
// the last one to go stops it.
constexpr char kRecordingsOn[] = "velmoraScheduledRecordings";
int RecordingsOn(const TStationPlayer* p) { return p->property(kRecordingsOn).toInt(); }

bool PlaysStation(const TStationPlayer& p, const QString& url)
{
  const bool active = p.State() != TStationPlayer::psStopped && p.State() != TStationPlayer::psFailed;
  return active && (p.Station().Url == url || p.Station().StreamUrl == url);
}
} // namespace

void TStationRecording::TakeHeard(TStationPlayer* heard)
{
  heardTaken_ = heard;
  heard->setProperty(kRecordingsOn, RecordingsOn(heard) + 1);
}

void TStationRecording::Prepare(const TScheduleEntry& entry, const QString& file)
{
  file_ = file;
  station_ = entry.StationName;
  stationKey_ = url_ = entry.StationUrl;
  bitrate_ = entry.Bitrate;
  split_ = entry.SplitByTrack;
  if (entry.PlayAloud) {
    TStationPlayer* heard = heard_ ? heard_ : TStationPlayer::Instance();
    if (PlaysStation(*heard, url_)) {
      // Heard already (the user listens to it, or the entry before records it).
      player_ = heard;
      TakeHeard(heard);
      stationKey_ = heard->Station().Key;
      connect(player_, &TStationPlayer::Changed, this, &TStationRecording::OnPlayerChanged);
      OnPlayerChanged();
      return;
    }
    if (RecordingsOn(heard) > 0) {
      listenOn_ = heard;
    } else {
      player_ = heard;
      TakeHeard(heard);
      heard->KeepSilent(stationKey_);
      silentUntilStart_ = true;
    }
  }
  if (!player_) {
    QString error;
    std::unique_ptr<TStreamEngine> engine = CreateGstStreamEngine(&error, false);
    if (!engine) {
      // Said once the caller is listening.
      QTimer::singleShot(0, this, [this, error] { emit Unreachable(QString::fromUtf8("无法播放电台：%1").arg(error)); });
      return;
    }
    own_ = std::make_unique<TStationPlayer>(std::move(engine));
    player_ = own_.get();
  }
  connect(player_, &TStationPlayer::Changed, this, &TStationRecording::OnPlayerChanged);
  player_->Play({stationKey_, station_, url_, url_, {}});
}

void TStationRecording::OnPlayerChanged()
{
  if (finished_ || !player_) return;
  const TStationPlayer::TState state = player_->State();
  // The user played something else on the program's player: the station is gone.
  const bool ours = player_->Station().Key == stationKey_;
  if (!out_) {
    if (!ours) {
      emit Unreachable(QString::fromUtf8("播放器换了别的电台"));
    } else if (state == TStationPlayer::psPlaying && !ready_) {
      ready_ = true;
      if (recordWanted_) BeginFile();
      else emit Ready();
    } else if (state == TStationPlayer::psFailed) {
      emit Unreachable(player_->Message());
    } else if (state == TStationPlayer::psStopped && ready_) {
      emit Unreachable(QString::fromUtf8("电台被停止了"));
    }
    return;
  }
  if (!ours || state == TStationPlayer::psFailed || state == TStationPlayer::psStopped) {
    const QString why = !ours ? QString::fromUtf8("播放器换了别的电台")
                        : state == TStationPlayer::psFailed ? player_->Message()
                                                            : QString::fromUtf8("电台被停止了");
    Finish();
    emit Ended(why);
  }
}

void TStationRecording::Record()
{
  if (finished_ || recordWanted_) return;
  recordWanted_ = true;
  if (ready_ && !out_) BeginFile();
}

void TStationRecording::BeginFile()
{
  // Heard from its start.
  if (silentUntilStart_) {
    silentUntilStart_ = false;
    player_->KeepSilent(QString());
  }
  if (listenOn_) {
    TakeHeard(listenOn_);
    listenOn_->Play({stationKey_, station_, url_, url_, {}});
  }
  in_ = std::make_unique<TStationAudioIn>(nullptr, player_.data());
  out_ = std::make_unique<TMP3Out>(nullptr);
  out_->SetInput(in_.get());
  if (const auto rate = TMP3Out::BitRateOf(bitrate_)) out_->SetBitRate(*rate);
  out_->SetFileName(file_);
  if (tagger_) tagger_(out_.get(), station_, player_->Title());
  QPointer<TStationRecording> self(this);
  out_->SetOnThreadException(TThreadExceptionEvent([self](TObject*, const QString& message) {
    if (!self || self->finished_) return;
    self->Finish();
    emit self->Ended(message);
  }));
  if (split_) splitting_ = SplitByTrack(player_.data(), out_.get(), this);
  out_->Start();
  if (!finished_) emit Recording();
}

void TStationRecording::Finish()
{
  if (finished_) return;
  finished_ = true;
  QObject::disconnect(splitting_);
  if (out_) {
    out_->SetOnThreadException({});
    if (out_->Busy()) {
      out_->RequestStop(false);
      out_->WaitForStop();
    }
  }
  StopPlayer();
}

void TStationRecording::StopPlayer()
{
  if (player_) {
    disconnect(player_, nullptr, this, nullptr);
    if (silentUntilStart_) player_->KeepSilent(QString());
    // A player of its own stops with the recording.
    if (player_ != heardTaken_ && player_->Station().Key == stationKey_) player_->Stop();
  }
  silentUntilStart_ = false;
  if (!heardTaken_) return;
  // A heard station the user has not changed stops with the last recording on it.
  TStationPlayer* heard = heardTaken_;
  heardTaken_ = nullptr;
  const int left = RecordingsOn(heard) - 1;
  heard->setProperty(kRecordingsOn, left);
  if (left <= 0 && heard->Station().Key == stationKey_) heard->Stop();
}

qint64 TStationRecording::Position() const { return in_ ? in_->Position() : 0; }
