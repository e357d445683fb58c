// TStationAudioIn: the recorder's source for the station being listened to.
// Takes the player's decoded sound (before volume and mute, so a muted
// station still records; 44.1 kHz 16-bit stereo) and hands it out on the wall
// clock: while the station sends nothing (stopped, buffering, reconnecting)
// for longer than kJitterMs, silence fills the gap (and sound that comes
// more than kLagMs behind the clock is put after silence), and sound that would put
// the recording more than kAheadMs ahead of the clock is dropped, oldest
// first. A take's length is the time it ran, and a station that comes back
// goes on in the same file. Sound after none (the take's start, a station
// back after a gap) is held until it flows (up to kSettleMaxMs), since it often
// comes as a burst that stalls while the sound server starts its output.
// Nothing from the sound card reaches it.
#pragma once

#include "audio/au_pipeline.h"

#include <QPointer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

class TStationPlayer;
class TMP3Out;

// The recording source's name, as the record window and velmora-tool list it.
extern const QString kListenedStationName;

class TStationAudioIn : public TAuInput {
  Q_OBJECT
public:
  static constexpr int kFrameBytes = 4;
  static constexpr int kJitterMs = 500;
  static constexpr int kLagMs = 100;
  static constexpr int kAheadMs = 1000;
  // Sound held for a reader that does not come (the output stalls).
  static constexpr int kMaxHeldMs = 5000;
  static constexpr int kWaitMs = 100;
  // Sound after none counts as flowing once it has kept coming for kFlowMs
  // with no pause over kFlowGapMs; it is held kSettleMaxMs at the most.
  static constexpr int kFlowMs = 300;
  static constexpr int kFlowGapMs = 250;
  static constexpr int kSettleMaxMs = 3000;

  // `player` null: the program's (TStationPlayer::Instance() at OpenInput).
  explicit TStationAudioIn(TComponent* AOwner, TStationPlayer* player = nullptr);
  ~TStationAudioIn() override;

  int InBitsPerSample() override;
  int InChannels() override;
  int InSampleRate() override;
  int TotalSeconds() override;
  int ReadData(void* buffer, int capacity) override;
  void OpenInput() override;
  void CloseInput() override;
  void InterruptRead() override;

  // Bytes a run delivers, -1 (the default) until it is stopped.
  void SetBytesToRead(qint64 bytes) { bytesToRead_ = bytes; }
  qint64 BytesToRead() const { return bytesToRead_; }
  // Silence put in for gaps, and station sound dropped, in the last run.
  qint64 SilenceBytes() const { return silence_.load(); }
  qint64 DroppedBytes() const { return dropped_.load(); }

  // Milliseconds on a steady clock; tests run their own.
  std::function<qint64()> Clock;

  static qint64 BytesFor(qint64 ms);

private:
  // Sound from the player, on its streaming thread.
  void Take(const char* data, qsizetype bytes);
  qint64 HeldLocked() const { return qint64(held_.size() - heldStart_); }
  void DropLocked(qint64 bytes);
  void Disconnect();

  QPointer<TStationPlayer> player_;
  bool connected_ = false;
  qint64 bytesToRead_ = -1;
  qint64 startMs_ = 0;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<char> held_;
  size_t heldStart_ = 0;
  bool open_ = false;
  bool interrupt_ = false;
  bool flowing_ = false;    // sound has been handed out since the last gap
  qint64 settleFrom_ = -1;  // when the sound held since the last gap began to come
  qint64 runFrom_ = -1;     // when sound began to come without a pause
  qint64 lastArrival_ = -1;
  std::atomic<qint64> silence_{0};
  std::atomic<qint64> dropped_{0};
};

// Splits a station's recording by track: from now on every change of the
// player's stream title to one that is not empty asks `out` to go on in the
// next file (TMP3Out::RequestNextFile). Ends with `context` or on disconnect.
QMetaObject::Connection SplitByTrack(TStationPlayer* player, TMP3Out* out, QObject* context);
