#include "platform/capture_alsa.h"

#include "platform/capture_ring.h"
#include "platform/capture_sources.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
// ALSA prints its own diagnostics to stderr; our callers report failures themselves.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

TCaptureResult FromAlsa(int err)
{
  switch (-err) {
  case EBUSY: return TCaptureResult::Allocated;
  case ENOENT:
  case ENODEV:
  case ENXIO: return TCaptureResult::NoDriver;
  case EINVAL: return TCaptureResult::InvalidParam;
  case ENOSYS: return TCaptureResult::Unsupported;
  default: return TCaptureResult::Generic;
  }
}

class TAlsaCaptureDevice : public TCaptureDevice {
public:
  explicit TAlsaCaptureDevice(snd_pcm_t* pcm) : pcm_(pcm) {}
  ~TAlsaCaptureDevice() override
  {
    Stop();
    snd_pcm_close(pcm_);
  }

  TCaptureResult CreateBuffer(const TCaptureFormat& format, uint32_t bytes) override
  {
    snd_pcm_format_t f;
    switch (format.BitsPerSample) {
    case 8: f = SND_PCM_FORMAT_U8; break;
    case 16: f = SND_PCM_FORMAT_S16_LE; break;
    case 32: f = SND_PCM_FORMAT_S32_LE; break;
    default: return TCaptureResult::BadFormat;
    }
    if (bytes == 0 || format.Channels <= 0 || format.SampleRate <= 0) return TCaptureResult::InvalidParam;
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    if (int err = snd_pcm_hw_params_any(pcm_, hw); err < 0) return FromAlsa(err);
    unsigned rate = static_cast<unsigned>(format.SampleRate);
    if (snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm_, hw, f) < 0 ||
        snd_pcm_hw_params_set_channels(pcm_, hw, static_cast<unsigned>(format.Channels)) < 0 ||
        snd_pcm_hw_params_set_rate(pcm_, hw, rate, 0) < 0)
      return TCaptureResult::BadFormat;
    // The reader takes audio every 400 ms: 100 ms periods keep the looping
    // buffer current with ten wake-ups a second; the device buffer absorbs
    // scheduling hiccups of the capture thread.
    unsigned periodUs = 100000, bufferUs = 500000;
    snd_pcm_hw_params_set_buffer_time_near(pcm_, hw, &bufferUs, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm_, hw, &periodUs, nullptr);
    if (int err = snd_pcm_hw_params(pcm_, hw); err < 0) return FromAlsa(err);
    snd_pcm_uframes_t period = 0;
    snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
    period_ = period > 0 ? period : 1024;
    // Wake the reader only once a whole period is there.
    snd_pcm_sw_params_t* sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm_, sw) >= 0) {
      snd_pcm_sw_params_set_avail_min(pcm_, sw, period_);
      snd_pcm_sw_params(pcm_, sw);
    }
    format_ = format;
    ring_.Reset(bytes);
    created_ = true;
    return TCaptureResult::Ok;
  }

  TCaptureResult Start() override
  {
    if (!created_) return TCaptureResult::InvalidCall;
    if (running_) return TCaptureResult::Ok;
    if (int err = snd_pcm_prepare(pcm_); err < 0) return FromAlsa(err);
    if (int err = snd_pcm_start(pcm_); err < 0) return FromAlsa(err);
    stop_ = false;
    wakeUps_ = 0;
    running_ = true;
    thread_ = std::thread([this] { CaptureLoop(); });
    return TCaptureResult::Ok;
  }

  TCaptureResult Stop() override
  {
    if (!running_) return created_ ? TCaptureResult::Ok : TCaptureResult::InvalidCall;
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    running_ = false;
    snd_pcm_drop(pcm_);
    return TCaptureResult::Ok;
  }

  TCaptureResult BytesReady(uint32_t& ready) override
  {
    if (!created_) return TCaptureResult::InvalidCall;
    ready = ring_.BytesReady();
    return TCaptureResult::Ok;
  }

  TCaptureResult Read(void* destination, uint32_t count) override
  {
    if (!created_) return TCaptureResult::InvalidCall;
    ring_.Read(destination, count);
    return TCaptureResult::Ok;
  }

  uint32_t BufferSize() const override { return ring_.Size(); }

  void Wait(int ms) override
  {
    std::unique_lock l(waitMutex_);
    waitCv_.wait_for(l, std::chrono::milliseconds(ms), [this] { return woken_; });
    woken_ = false;
  }

  void Wake() override
  {
    std::lock_guard g(waitMutex_);
    woken_ = true;
    waitCv_.notify_all();
  }

  QString Failure() const override
  {
    std::lock_guard g(failMutex_);
    return failure_;
  }

private:
  // Recovers from an overrun or a suspend; false when the device is gone.
  bool Recover(int err)
  {
    if (err == -EAGAIN || err == -EINTR) return true;
    if (err == -ESTRPIPE) {
      int r;
      while ((r = snd_pcm_resume(pcm_)) == -EAGAIN && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (r < 0 && snd_pcm_prepare(pcm_) < 0) return false;
      snd_pcm_start(pcm_);
      return true;
    }
    if (err == -EPIPE) {
      if (snd_pcm_prepare(pcm_) < 0) return false;
      return snd_pcm_start(pcm_) >= 0;
    }
    return false;
  }

  // Sleeps until a period has arrived and takes it: one wake-up per period.
  // The pulse plugin's descriptor may say "readable" with less than a period
  // there (readi answers EAGAIN); such a wake-up waits out half a period
  // instead of polling again at once.
  void CaptureLoop()
  {
    const int frameBytes = format_.BlockAlign();
    std::vector<uint8_t> chunk(period_ * static_cast<size_t>(frameBytes));
    const auto halfPeriod = std::chrono::microseconds(500000LL * static_cast<long long>(period_) / format_.SampleRate);
    while (!stop_) {
      ++wakeUps_;
      int err = snd_pcm_wait(pcm_, 200);
      if (err < 0) {
        if (!Recover(err)) {
          Fail(err);
          return;
        }
        continue;
      }
      if (err == 0) continue;  // nothing within the time: look at stop_ again
      const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, chunk.data(), period_);
      if (n == -EAGAIN || n == 0) {
        std::this_thread::sleep_for(halfPeriod);
        continue;
      }
      if (n < 0) {
        if (!Recover(static_cast<int>(n))) {
          Fail(static_cast<int>(n));
          return;
        }
        continue;
      }
      ring_.Write(chunk.data(), static_cast<uint32_t>(n) * static_cast<uint32_t>(frameBytes));
    }
  }

  uint64_t WakeUps() const override { return wakeUps_; }

  void Fail(int err)
  {
    {
      std::lock_guard g(failMutex_);
      failure_ = QString::fromLocal8Bit(snd_strerror(err));
    }
    Wake();
  }

  snd_pcm_t* pcm_;
  TCaptureRing ring_;
  TCaptureFormat format_;
  snd_pcm_uframes_t period_ = 1024;
  bool created_ = false;
  bool running_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> wakeUps_{0};
  std::thread thread_;
  mutable std::mutex failMutex_;
  QString failure_;
  std::mutex waitMutex_;
  std::condition_variable waitCv_;
  bool woken_ = false;
};
} // namespace

TAlsaCaptureSystem::TAlsaCaptureSystem() { snd_lib_error_set_handler(QuietAlsa); }

std::vector<TCaptureDeviceInfo> TAlsaCaptureSystem::Devices() { return AvailableCaptureSources(); }

TCaptureResult TAlsaCaptureSystem::Open(const TCaptureDeviceInfo& device, std::unique_ptr<TCaptureDevice>& out)
{
  snd_pcm_t* pcm = nullptr;
  const QByteArray name = device.Id.isEmpty() ? QByteArray("default") : device.Id;
  if (int err = snd_pcm_open(&pcm, name.constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK); err < 0)
    return FromAlsa(err);
  out = std::make_unique<TAlsaCaptureDevice>(pcm);
  return TCaptureResult::Ok;
}
