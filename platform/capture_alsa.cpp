#include "platform/capture_alsa.h"

#include "platform/capture_ring.h"
#include "platform/capture_sources.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
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

// A blocking call of the capture thread that lasts this long has wedged: the
// PulseAudio plugin deadlocks inside libpulse when the server dies while the
// thread holds a block of its audio. The longest healthy call is a 200 ms wait.
constexpr std::chrono::milliseconds kWedgedAfter{3000};

int64_t NowMs()
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The device proper, shared with its capture thread: a wedged thread is left
// behind holding what it uses (and frees it, should it ever return), so that
// stopping the capture never waits on it.
class TAlsaCaptureDevice : public TCaptureDevice, public std::enable_shared_from_this<TAlsaCaptureDevice> {
public:
  explicit TAlsaCaptureDevice(snd_pcm_t* pcm) : pcm_(pcm) {}
  ~TAlsaCaptureDevice() override
  {
    if (!abandoned_) Stop();
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
    if (abandoned_) return TCaptureResult::Generic;  // the PCM belongs to a wedged thread
    if (running_) return TCaptureResult::Ok;
    if (int err = snd_pcm_prepare(pcm_); err < 0) return FromAlsa(err);
    if (int err = snd_pcm_start(pcm_); err < 0) return FromAlsa(err);
    stop_ = false;
    wakeUps_ = 0;
    running_ = true;
    {
      std::lock_guard g(doneMutex_);
      done_ = false;
    }
    thread_ = std::thread([self = shared_from_this()] {
      self->CaptureLoop();
      std::lock_guard g(self->doneMutex_);
      self->done_ = true;
      self->doneCv_.notify_all();
    });
    return TCaptureResult::Ok;
  }

  TCaptureResult Stop() override
  {
    if (!running_) return created_ ? TCaptureResult::Ok : TCaptureResult::InvalidCall;
    stop_ = true;
    bool done;
    {
      std::unique_lock l(doneMutex_);
      done = doneCv_.wait_for(l, Wedged() ? std::chrono::milliseconds(0) : kWedgedAfter, [this] { return done_; });
    }
    running_ = false;
    if (!done) {
      // Wedged in the sound library: leave the thread (and the PCM) to it.
      abandoned_ = true;
      thread_.detach();
      return TCaptureResult::Generic;
    }
    thread_.join();
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
    if (failure_.isEmpty() && Wedged()) return QStringLiteral("the sound system stopped responding");
    return failure_;
  }

  uint64_t WakeUps() const override { return wakeUps_; }

  bool Wedged() const
  {
    const int64_t since = callSince_;
    return since != 0 && NowMs() - since >= kWedgedAfter.count();
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
    // Every call into ALSA is timed, so that a wedged one shows.
    struct TTimedCall {
      std::atomic<int64_t>& since;
      explicit TTimedCall(std::atomic<int64_t>& s) : since(s) { since = NowMs(); }
      ~TTimedCall() { since = 0; }
    };
    while (!stop_) {
      ++wakeUps_;
      TTimedCall timed(callSince_);
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
  std::atomic<int64_t> callSince_{0};  // when the thread's current ALSA call began, 0: none
  std::atomic<bool> abandoned_{false};  // its thread was left wedged
  std::thread thread_;
  std::mutex doneMutex_;
  std::condition_variable doneCv_;
  bool done_ = true;
  mutable std::mutex failMutex_;
  QString failure_;
  std::mutex waitMutex_;
  std::condition_variable waitCv_;
  bool woken_ = false;
};
// What the reader holds: the device stays alive as long as its thread needs it.
class TAlsaCaptureHandle : public TCaptureDevice {
public:
  explicit TAlsaCaptureHandle(std::shared_ptr<TAlsaCaptureDevice> device) : device_(std::move(device)) {}
  ~TAlsaCaptureHandle() override { device_->Stop(); }
  TCaptureResult CreateBuffer(const TCaptureFormat& format, uint32_t bytes) override
  {
    return device_->CreateBuffer(format, bytes);
  }
  TCaptureResult Start() override { return device_->Start(); }
  TCaptureResult Stop() override { return device_->Stop(); }
  TCaptureResult BytesReady(uint32_t& ready) override { return device_->BytesReady(ready); }
  TCaptureResult Read(void* destination, uint32_t count) override { return device_->Read(destination, count); }
  uint32_t BufferSize() const override { return device_->BufferSize(); }
  void Wait(int ms) override { device_->Wait(ms); }
  void Wake() override { device_->Wake(); }
  QString Failure() const override { return device_->Failure(); }
  uint64_t WakeUps() const override { return device_->WakeUps(); }

private:
  std::shared_ptr<TAlsaCaptureDevice> device_;
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
  out = std::make_unique<TAlsaCaptureHandle>(std::make_shared<TAlsaCaptureDevice>(pcm));
  return TCaptureResult::Ok;
}
