#include "audio/station_player.h"

#include <QCoreApplication>

namespace {
TStationPlayer* installed = nullptr;

// The connection's own clock runs a little longer than the answer time-out,
// so a silent station is reported by the clearer of the two.
int ReadTimeoutSeconds(int answerMs) { return answerMs / 1000 + 2; }
} // namespace

TStationPlayer::TStationPlayer(std::unique_ptr<TStreamEngine> engine, QObject* parent)
    : QObject(parent), engine_(std::move(engine))
{
  reconnect_.setSingleShot(true);
  answer_.setSingleShot(true);
  answer_.setInterval(kAnswerTimeoutMs);
  connect(&reconnect_, &QTimer::timeout, this, &TStationPlayer::Connect);
  connect(&answer_, &QTimer::timeout, this, [this] {
    const QString why = QStringLiteral("电台在 %1 秒内没有送来声音").arg((answer_.interval() + 999) / 1000);
    if (playedOnce_ || attempt_ > 0) Dropped(why);
    else Fail(why + QStringLiteral("，请稍后再试或选择其他电台。"));
  });
  if (engine_) {
    engine_->OnEvent = [this](const TStreamEvent& e) { OnEvent(e); };
    engine_->SetReadTimeout(ReadTimeoutSeconds(kAnswerTimeoutMs));
  }
}

TStationPlayer::~TStationPlayer()
{
  if (installed == this) installed = nullptr;
  if (engine_) engine_->OnEvent = nullptr;
}

TStationPlayer* TStationPlayer::Instance()
{
  if (installed) return installed;
  static TStationPlayer* program = [] {
    QString error;
    std::unique_ptr<TStreamEngine> engine = CreateGstStreamEngine(&error);
    auto* p = new TStationPlayer(std::move(engine), QCoreApplication::instance());
    p->engineError_ = error;
    return p;
  }();
  return program;
}

void TStationPlayer::SetInstance(TStationPlayer* player) { installed = player; }

QString TStationPlayer::StateName(TState s)
{
  switch (s) {
  case psStopped: return QStringLiteral("stopped");
  case psConnecting: return QStringLiteral("connecting");
  case psBuffering: return QStringLiteral("buffering");
  case psPlaying: return QStringLiteral("playing");
  case psFailed: return QStringLiteral("failed");
  }
  return {};
}

void TStationPlayer::Play(const TPlayingStation& station)
{
  station_ = station;
  if (station_.StreamUrl.isEmpty()) station_.StreamUrl = station_.Url;
  if (station_.Key.isEmpty()) station_.Key = station_.Url;
  if (station_.Key != silentKey_) KeepSilent(QString());
  attempt_ = 0;
  title_.clear();
  codec_.clear();
  streamName_.clear();
  bitrate_ = 0;
  message_.clear();
  reconnect_.stop();
  if (!engine_) return Fail(QStringLiteral("无法播放：") + engineError_);
  Connect();
}

void TStationPlayer::Resume()
{
  if (!HasStation() || state_ == psConnecting || state_ == psBuffering || state_ == psPlaying) return;
  Play(station_);
}

void TStationPlayer::Connect()
{
  playedOnce_ = false;
  bufferPercent_ = 0;
  engine_->SetVolume(volume_ / 100.0);
  ApplyMute();
  engine_->Open(QUrl(station_.StreamUrl));
  answer_.start();
  SetState(psConnecting);
}

void TStationPlayer::Stop()
{
  if (engine_) engine_->Close();
  reconnect_.stop();
  answer_.stop();
  message_.clear();
  title_.clear();
  SetState(psStopped);
}

void TStationPlayer::OnEvent(const TStreamEvent& e)
{
  switch (e.Kind) {
  case TStreamEvent::seBuffering:
    bufferPercent_ = qBound(0, e.Percent, 100);
    if (bufferPercent_ < 100) {
      engine_->SetPaused(true);
      // A stream that stalls for good counts as dropped.
      if (!answer_.isActive()) answer_.start();
      if (state_ == psPlaying || state_ == psBuffering || playedOnce_) SetState(psBuffering);
      else emit Changed();
    } else {
      engine_->SetPaused(false);
      emit Changed();
    }
    return;
  case TStreamEvent::sePlaying: {
    answer_.stop();
    const bool first = !playedOnce_ && attempt_ == 0;
    playedOnce_ = true;
    attempt_ = 0;
    message_.clear();
    SetState(psPlaying);
    if (first) emit StationStarted(station_);
    return;
  }
  case TStreamEvent::seTags: {
    bool changed = false;
    const QString title = CleanStreamTitle(e.Title);
    if (!title.isEmpty() && title != title_) title_ = title, changed = true;
    if (!e.Codec.isEmpty() && e.Codec != codec_) codec_ = e.Codec.left(64), changed = true;
    if (const QString name = CleanStreamTitle(e.Name); !name.isEmpty() && name != streamName_) streamName_ = name, changed = true;
    if (e.Bitrate > 0 && e.Bitrate != bitrate_) bitrate_ = e.Bitrate, changed = true;
    if (changed) emit Changed();
    return;
  }
  case TStreamEvent::seError:
    if (playedOnce_ || attempt_ > 0) Dropped(StreamErrorText(e));
    else Fail(StreamErrorText(e) + QStringLiteral("。"));
    return;
  case TStreamEvent::seEnded: Dropped(QStringLiteral("电台的数据流中断了")); return;
  }
}

void TStationPlayer::Dropped(const QString& why)
{
  engine_->Close();
  answer_.stop();
  if (attempt_ >= int(delays_.size())) {
    Fail(QStringLiteral("电台连接中断，重试 %1 次后仍无法连接（%2）。").arg(delays_.size()).arg(why));
    return;
  }
  const int delay = delays_[size_t(attempt_)];
  ++attempt_;
  message_ = QStringLiteral("%1，%2 秒后重新连接（第 %3 次，共 %4 次）…")
                 .arg(why)
                 .arg((delay + 999) / 1000)
                 .arg(attempt_)
                 .arg(delays_.size());
  reconnect_.start(delay);
  SetState(psConnecting);
}

void TStationPlayer::Fail(const QString& reason)
{
  if (engine_) engine_->Close();
  reconnect_.stop();
  answer_.stop();
  message_ = reason;
  SetState(psFailed);
}

void TStationPlayer::SetState(TState s)
{
  state_ = s;
  emit Changed();
}

void TStationPlayer::SetVolume(int volume)
{
  volume = qBound(0, volume, 100);
  if (volume == volume_) return;
  volume_ = volume;
  if (engine_) engine_->SetVolume(volume_ / 100.0);
  emit Changed();
}

void TStationPlayer::SetMuted(bool muted)
{
  if (muted == muted_) return;
  muted_ = muted;
  ApplyMute();
  emit Changed();
}

void TStationPlayer::KeepSilent(const QString& stationKey)
{
  silentKey_ = stationKey;
  ApplyMute();
}

void TStationPlayer::ApplyMute()
{
  if (engine_) engine_->SetMuted(muted_ || !silentKey_.isEmpty());
}

bool TStationPlayer::SetPcmSink(TStreamEngine::TPcmSink sink)
{
  if (!engine_) return false;
  engine_->SetPcmSink(std::move(sink));
  return true;
}

void TStationPlayer::SetAnswerTimeout(int ms)
{
  answer_.setInterval(ms);
  if (engine_) engine_->SetReadTimeout(ReadTimeoutSeconds(ms));
}

QString StreamErrorText(const TStreamEvent& e)
{
  switch (e.Error) {
  case TStreamEvent::erNotFound: return QStringLiteral("电台的地址不存在（服务器回答“未找到”）");
  case TStreamEvent::erUnreachable: return QStringLiteral("无法连接到电台");
  case TStreamEvent::erNotAudio: return QStringLiteral("电台发来的不是音频（可能是网页）");
  case TStreamEvent::erUnknownCodec: return QStringLiteral("电台的音频格式无法解码");
  case TStreamEvent::erBadPlaylist: return QStringLiteral("电台的播放列表无效");
  default: return QStringLiteral("无法播放该电台");
  }
}

QString CleanStreamTitle(const QString& title)
{
  QString out;
  out.reserve(qMin(title.size(), qsizetype(TStationPlayer::kMaxTitleLength)));
  for (QChar c : title) {
    if (c == QChar::ReplacementCharacter) continue;
    const bool space = c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
    if (space) {
      if (!out.isEmpty() && !out.endsWith(u' ')) out += u' ';
    } else {
      out += c;
    }
    if (out.size() >= TStationPlayer::kMaxTitleLength) break;
  }
  // A cut must not leave half a surrogate pair behind.
  if (!out.isEmpty() && out.back().isHighSurrogate()) out.chop(1);
  return out.trimmed();
}

QString NowPlayingHint(const QString& station, const QString& title, int limit)
{
  QString hint = title.isEmpty() ? station : station + QStringLiteral(" — ") + title;
  if (hint.size() > limit) {
    hint.truncate(qMax(0, limit - 1));
    if (!hint.isEmpty() && hint.back().isHighSurrogate()) hint.chop(1);
    hint += u'…';
  }
  return hint;
}
