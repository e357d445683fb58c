#include "audio/station_audio_in.h"

#include "audio/mp3_out.h"
#include "audio/station_player.h"

#include <algorithm>
#include <chrono>
#include <cstring>

const QString kListenedStationName = QStringLiteral("正在收听的电台");

TStationAudioIn::TStationAudioIn(TComponent* AOwner, TStationPlayer* player) : TAuInput(AOwner), player_(player)
{
  size_ = -1;
  Clock = [] {
    return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
  };
}

TStationAudioIn::~TStationAudioIn()
{
  // Outputs that read from us stop while we are still whole.
  BeforeDestruction();
  Disconnect();
}

int TStationAudioIn::InBitsPerSample() { return TStreamEngine::kPcmBits; }
int TStationAudioIn::InChannels() { return TStreamEngine::kPcmChannels; }
int TStationAudioIn::InSampleRate() { return TStreamEngine::kPcmRate; }

qint64 TStationAudioIn::BytesFor(qint64 ms) { return ms * TStreamEngine::kPcmRate / 1000 * kFrameBytes; }

int TStationAudioIn::TotalSeconds()
{
  if (bytesToRead_ <= 0) return 0;
  return int(RoundHalfEven(bytesToRead_, BytesFor(1000)));
}

void TStationAudioIn::OpenInput()
{
  if (Busy()) throw EAuException(QStringLiteral("The component is busy"));
  if (!player_) player_ = TStationPlayer::Instance();
  {
    std::lock_guard lock(mutex_);
    held_.clear();
    heldStart_ = 0;
    open_ = true;
    interrupt_ = false;
    flowing_ = false;
    settleFrom_ = runFrom_ = lastArrival_ = -1;
  }
  position_ = 0;
  size_ = bytesToRead_;
  silence_ = 0;
  dropped_ = 0;
  startMs_ = Clock();
  busy_ = true;
  connected_ = player_ && player_->SetPcmSink([this](const char* data, qsizetype bytes) { Take(data, bytes); });
  if (!connected_) {
    busy_ = false;
    open_ = false;
    throw EAuException(QStringLiteral("电台播放器无法启动，不能录制电台"));
  }
}

void TStationAudioIn::Disconnect()
{
  // Returns once no sound is being handed to us.
  if (connected_ && player_) player_->SetPcmSink(nullptr);
  connected_ = false;
  std::lock_guard lock(mutex_);
  open_ = false;
}

void TStationAudioIn::CloseInput()
{
  Disconnect();
  busy_ = false;
}

void TStationAudioIn::InterruptRead()
{
  std::lock_guard lock(mutex_);
  interrupt_ = true;
  arrived_.notify_all();
}

void TStationAudioIn::Take(const char* data, qsizetype bytes)
{
  bytes -= bytes % kFrameBytes;
  if (bytes <= 0) return;
  std::lock_guard lock(mutex_);
  if (!open_) return;
  if (heldStart_ > 0 && heldStart_ >= held_.size() / 2) {
    held_.erase(held_.begin(), held_.begin() + qsizetype(heldStart_));
    heldStart_ = 0;
  }
  held_.insert(held_.end(), data, data + bytes);
  if (!flowing_) {
    const qint64 now = Clock();
    if (settleFrom_ < 0) settleFrom_ = now;
    if (runFrom_ < 0 || now - lastArrival_ > kFlowGapMs) runFrom_ = now;
    lastArrival_ = now;
  }
  const qint64 over = HeldLocked() - BytesFor(kMaxHeldMs);
  if (over > 0) DropLocked(over);
  arrived_.notify_all();
}

void TStationAudioIn::DropLocked(qint64 bytes)
{
  bytes = std::min(bytes - bytes % kFrameBytes, HeldLocked());
  heldStart_ += size_t(bytes);
  dropped_ += bytes;
}

int TStationAudioIn::ReadData(void* buffer, int capacity)
{
  if (!Busy()) throw EAuException(QStringLiteral("The Stream is not opened"));
  qint64 room = capacity - capacity % kFrameBytes;
  if (bytesToRead_ >= 0) room = std::min(room, bytesToRead_ - Position());
  if (room <= 0) return 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    const qint64 now = Clock();
    const qint64 due = BytesFor(now - startMs_);
    const qint64 position = Position();
    // Sound after none (the take's start, a station back after a gap) often
    // comes as a short burst, then stalls while the sound server starts the
    // output: it is held until it flows (has kept coming for kFlowMs), so the
    // burst and what follows stay one piece, placed to end at the clock.
    const bool flows = flowing_ || HeldLocked() >= BytesFor(kSettleMaxMs) || now - settleFrom_ >= kSettleMaxMs ||
                       (lastArrival_ - runFrom_ >= kFlowMs && now - lastArrival_ <= kFlowGapMs);
    // The station's sound keeps to the clock: what would run too far ahead goes.
    const qint64 excess = position + HeldLocked() - (due + BytesFor(kAheadMs));
    if (excess > 0) DropLocked(excess);
    // Behind the clock (the station was silent, or came back after a pause):
    // silence up to now, before any sound that has come since. With nothing
    // there a stream's jitter is allowed for; sound that has come paces itself.
    const qint64 held = HeldLocked();
    const qint64 behind = due - (position + held);
    const bool settling = held > 0 && !flows;
    if (behind > BytesFor(held > 0 ? kLagMs : kJitterMs)) {
      const int n = int(std::min(room, behind));
      std::memset(buffer, 0, size_t(n));
      silence_ += n;
      position_ += n;
      if (held == 0) {
        flowing_ = false;
        settleFrom_ = runFrom_ = lastArrival_ = -1;
      }
      return n;
    }
    if (held > 0 && !settling) {
      flowing_ = true;
      const int n = int(std::min(room, held));
      std::memcpy(buffer, held_.data() + heldStart_, size_t(n));
      heldStart_ += size_t(n);
      position_ += n;
      return n;
    }
    if (interrupt_) return 0;
    arrived_.wait_for(lock, std::chrono::milliseconds(kWaitMs));
  }
}

QMetaObject::Connection SplitByTrack(TStationPlayer* player, TMP3Out* out, QObject* context)
{
  // Changed() comes for every change of the player's state; only a new title splits.
  return QObject::connect(player, &TStationPlayer::Changed, context, [player, out, last = player->Title()]() mutable {
    const QString title = player->Title();
    if (title == last) return;
    last = title;
    if (!title.isEmpty()) out->RequestNextFile(title);
  });
}
