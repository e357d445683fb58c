// A peak meter fed from captured PCM, for mixers that have none (the ALSA
// mixer): TMMPcmPeakTap sits between a recording's input and its output,
// passes the PCM through unchanged and keeps the loudest sample of each
// channel; TMMPcmConnector takes one snapshot per tick, left, right and both
// read and cleared together, and feeds its levels and meters with it.
#pragma once

#include "audio/au_pipeline.h"
#include "mixer_ui/mm_connectors.h"

#include <mutex>

class TMMPcmPeakTap : public TAuInput {
  Q_OBJECT
  Q_PROPERTY(TAuInput* Input READ Input WRITE SetInput)
public:
  explicit TMMPcmPeakTap(TComponent* AOwner) : TAuInput(AOwner) {}
  ~TMMPcmPeakTap() override;

  TAuInput* Input() const { return input_; }
  // Not while a recording reads through the tap.
  void SetInput(TAuInput* value);

  int InBitsPerSample() override { return input_ ? input_->InBitsPerSample() : 16; }
  int InChannels() override { return input_ ? input_->InChannels() : 2; }
  int InSampleRate() override { return input_ ? input_->InSampleRate() : 44100; }
  int TotalSeconds() override { return input_ ? input_->TotalSeconds() : 0; }
  // The input's bytes, measured on the way (worker thread).
  int ReadData(void* buffer, int capacity) override;
  // EAuException "Input not assigned" without an input.
  void OpenInput() override;
  void CloseInput() override;
  void InterruptRead() override;

  // Measures a block of interleaved PCM (8-bit unsigned or 16-bit signed).
  void Feed(const void* pcm, int bytes, int bits, int channels);
  // The loudest sample magnitudes (full scale 32767) since the last
  // snapshot, cleared in the same step: a reading never mixes two blocks.
  void Snapshot(qint32& left, qint32& right, qint32& both);

  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  TAuInput* input_ = nullptr;
  std::mutex lock_;
  qint32 left_ = 0, right_ = 0;
  int carry_ = -1;  // a sample's first byte when a block ended after it
  int sample_ = 0;  // channel of the next sample
};

class TMMPcmConnector : public TMMCustomLevelConnector {
  Q_OBJECT
  Q_PROPERTY(TMMPcmPeakTap* Tap READ Tap WRITE SetTap)
  Q_PROPERTY(TMMCustomLevel* Level1 READ Level1 WRITE SetLevel1)
  Q_PROPERTY(TMMCustomLevel* Level2 READ Level2 WRITE SetLevel2)
  Q_PROPERTY(TMMCustomMeter* Meter1 READ Meter1 WRITE SetMeter1)
  Q_PROPERTY(TMMCustomMeter* Meter2 READ Meter2 WRITE SetMeter2)
  Q_PROPERTY(bool AutoTrigger READ AutoTrigger WRITE SetAutoTrigger)
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
public:
  explicit TMMPcmConnector(TComponent* AOwner) : TMMCustomLevelConnector(AOwner) { SetIdle(true); }
  ~TMMPcmConnector() override;

  TMMPcmPeakTap* Tap() const { return tap_; }
  void SetTap(TMMPcmPeakTap* value);
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void Prepare() override;
  void GetLevelValues(qint32& left, qint32& right, qint32& both) override;

private:
  TMMPcmPeakTap* tap_ = nullptr;
};
