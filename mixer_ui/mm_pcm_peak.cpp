#include "mixer_ui/mm_pcm_peak.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- tap

TMMPcmPeakTap::~TMMPcmPeakTap()
{
  if (input_) input_->RemoveFreeNotification(this);
}

void TMMPcmPeakTap::SetInput(TAuInput* value)
{
  if (value == input_ || value == this) return;
  ReplaceReference(input_, value);
}

void TMMPcmPeakTap::OpenInput()
{
  if (!input_) throw EAuException(QStringLiteral("Input not assigned"));
  input_->OpenInput();
  {
    std::lock_guard guard(lock_);
    left_ = right_ = 0;
    carry_ = -1;
    sample_ = 0;
  }
  position_ = 0;
  busy_ = true;
}

void TMMPcmPeakTap::CloseInput()
{
  busy_ = false;
  if (input_) input_->CloseInput();
}

void TMMPcmPeakTap::InterruptRead()
{
  if (input_) input_->InterruptRead();
}

int TMMPcmPeakTap::ReadData(void* buffer, int capacity)
{
  if (!input_) return 0;
  const int n = input_->ReadData(buffer, capacity);
  if (n > 0) {
    Feed(buffer, n, input_->InBitsPerSample(), input_->InChannels());
    position_ += n;
  }
  return n;
}

void TMMPcmPeakTap::Feed(const void* pcm, int bytes, int bits, int channels)
{
  if (!pcm || bytes <= 0 || channels <= 0) return;
  const auto* p = static_cast<const uint8_t*>(pcm);
  qint32 peak[2] = {0, 0};
  std::lock_guard guard(lock_);
  if (bits == 8) {
    for (int i = 0; i < bytes; ++i) {
      qint32& slot = peak[channels > 1 ? sample_ % 2 : 0];
      slot = std::max(slot, std::abs((int(p[i]) - 128) * 256));
      sample_ = (sample_ + 1) % channels;
    }
  } else {
    // 16-bit little-endian; a block may end in the middle of a sample. The
    // samples go two bytes at a time without a branch or a division each:
    // the tap runs on every captured byte.
    int i = 0, ch = sample_;
    const auto take = [&](qint32 v) {
      qint32& slot = peak[channels > 1 ? ch & 1 : 0];
      slot = std::max(slot, std::abs(v));
      if (++ch == channels) ch = 0;
    };
    const auto at = [p](int k) { return qint32(qint16(uint16_t(p[k]) | uint16_t(p[k + 1]) << 8)); };
    if (carry_ >= 0) {
      take(qint16(uint16_t(carry_) | uint16_t(p[0]) << 8));
      carry_ = -1;
      i = 1;
    }
    if (channels == 2) {
      if (ch == 1 && i + 1 < bytes) {
        take(at(i));
        i += 2;
      }
      qint32 l = peak[0], r = peak[1];
      for (; i + 3 < bytes; i += 4) {
        l = std::max(l, std::abs(at(i)));
        r = std::max(r, std::abs(at(i + 2)));
      }
      peak[0] = l;
      peak[1] = r;
    }
    for (; i + 1 < bytes; i += 2) take(at(i));
    if (i < bytes) carry_ = p[i];
    sample_ = ch;
  }
  if (channels == 1) peak[1] = peak[0];
  left_ = std::max(left_, std::min(peak[0], 32767));
  right_ = std::max(right_, std::min(peak[1], 32767));
}

void TMMPcmPeakTap::Snapshot(qint32& left, qint32& right, qint32& both)
{
  std::lock_guard guard(lock_);
  left = left_;
  right = right_;
  both = std::max(left_, right_);
  left_ = right_ = 0;
}

void TMMPcmPeakTap::Notification(TComponent* AComponent, TOperation Operation)
{
  TAuInput::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == input_) input_ = nullptr;
}

// ---------------------------------------------------------------- connector

TMMPcmConnector::~TMMPcmConnector()
{
  if (tap_) tap_->RemoveFreeNotification(this);
}

void TMMPcmConnector::SetTap(TMMPcmPeakTap* value)
{
  if (!ReplaceReference(tap_, value)) return;
  ConnectorChanged();
}

void TMMPcmConnector::Prepare()
{
  const bool usable = Enabled() && tap_;
  ForEachTarget([usable](TMMCustomLevel* l) { l->SetEnabled(usable); },
                [usable](TMMCustomMeter* m) { m->SetEnabled(usable); });
  SetIdle(!usable);
  TMMCustomLevelConnector::Prepare();
}

void TMMPcmConnector::GetLevelValues(qint32& left, qint32& right, qint32& both)
{
  left = right = both = 0;
  if (tap_ && !IsLoading()) tap_->Snapshot(left, right, both);
}

void TMMPcmConnector::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMCustomLevelConnector::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent && AComponent == tap_) {
    tap_ = nullptr;
    if (!IsDestroying()) ConnectorChanged();
  }
}
