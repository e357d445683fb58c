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
// thread holds a block of its audio. Healthy calls return at once.
constexpr std::chrono::milliseconds kWedgedAfter{3000};
// A sound server hands audio over in blocks of up to 2 s, and a monitor
// starts about as late: a longer pause means the source stalled.
constexpr int64_t kStallAfterMs = 3000;

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
    // The ALSA buffer only has to bridge the capture thread's sleeps (a
    // period): the looping buffer behind it holds seconds.
    unsigned periodUs = 100000, bufferUs = 500000;
    snd_pcm_hw_params_set_buffer_time_near(pcm_, hw, &bufferUs, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm_, hw, &periodUs, nullptr);
    if (int err = snd_pcm_hw_params(pcm_, hw); err < 0) return FromAlsa(err);
    snd_pcm_uframes_t period = 0, buffer = 0;
    snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
    snd_pcm_hw_params_get_buffer_size(hw, &buffer);
    period_ = period > 0 ? period : 1024;
    buffer_ = buffer >= period_ ? buffer : period_;
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
    droppedBytes_ = 0;
    stalledMs_ = 0;
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
    {
      std::lock_guard g(loopMutex_);
      stop_ = true;
    }
    loopCv_.notify_all();
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
  uint64_t LostBytes() const override { return ring_.Lost() + droppedBytes_; }
  int64_t StalledMs() const override { return stalledMs_; }

  bool Wedged() const
  {
    const int64_t since = callSince_;
    return since != 0 && NowMs() - since >= kWedgedAfter.count();
  }

private:
  // Sleeps up to `ms` unless Stop comes first; false once stopping.
  bool Pause(std::chrono::milliseconds ms)
  {
    std::unique_lock l(loopMutex_);
    return !loopCv_.wait_for(l, ms, [this] { return stop_.load(); });
  }

  // Every call into ALSA is timed, so that a wedged one shows.
  template <typename F>
  auto Timed(F call)
  {
    callSince_ = NowMs();
    auto result = call();
    callSince_ = 0;
    return result;
  }

  // Recovers from an overrun (the system dropped what it held) or a suspend
  // (nothing was captured meanwhile); the audio missed since the last read
  // is counted as lost. False when the device is gone.
  bool Recover(int err, int64_t lastReadMs)
  {
    if (err == -EAGAIN || err == -EINTR) return true;
    if (err != -EPIPE && err != -ESTRPIPE) return false;
    if (err == -ESTRPIPE) {
      int r;
      // Resuming says EAGAIN while the system still sleeps: look again each period.
      while ((r = Timed([&] { return snd_pcm_resume(pcm_); })) == -EAGAIN)
        if (!Pause(std::chrono::milliseconds(100))) return true;
      if (r >= 0) return true;  // resumed where it was
    }
    if (Timed([&] { return snd_pcm_prepare(pcm_); }) < 0) return false;
    const int64_t missedMs = NowMs() - lastReadMs;
    droppedBytes_ += uint64_t(missedMs) * uint64_t(format_.SampleRate) / 1000 * uint64_t(format_.BlockAlign());
    return Timed([&] { return snd_pcm_start(pcm_); }) >= 0;
  }

  // Takes whatever has arrived, then sleeps a period. The device's poll
  // descriptor is not used: the pulse plugin's says "readable" with nothing
  // there (snd_pcm_wait then spins inside ALSA) and stays quiet while
  // audio waits. A read never asks for more than is there, so it never
  // answers EAGAIN; a server that delivers seconds at once is drained at once.
  void CaptureLoop()
  {
    const int frameBytes = format_.BlockAlign();
    std::vector<uint8_t> chunk(buffer_ * static_cast<size_t>(frameBytes));
    const auto period = std::chrono::milliseconds(std::max<int64_t>(10, 1000LL * int64_t(period_) / format_.SampleRate));
    int64_t lastReadMs = NowMs();
    int64_t lastDataMs = lastReadMs;
    while (!stop_) {
      ++wakeUps_;
      const snd_pcm_sframes_t avail = Timed([&] { return snd_pcm_avail(pcm_); });
      snd_pcm_sframes_t got = 0;
      if (avail > 0) {
        const auto want = std::min<snd_pcm_uframes_t>(snd_pcm_uframes_t(avail), buffer_);
        got = Timed([&] { return snd_pcm_readi(pcm_, chunk.data(), want); });
        if (got == -EAGAIN) got = 0;
      } else {
        got = avail;
      }
      if (got < 0) {
        if (!Recover(static_cast<int>(got), lastReadMs)) {
          Fail(static_cast<int>(got));
          return;
        }
        lastReadMs = NowMs();
        continue;
      }
      if (got > 0) {
        ring_.Write(chunk.data(), static_cast<uint32_t>(got) * static_cast<uint32_t>(frameBytes));
        lastReadMs = NowMs();
        if (lastReadMs - lastDataMs > kStallAfterMs) stalledMs_ += lastReadMs - lastDataMs;
        lastDataMs = lastReadMs;
        // A full buffer: more may wait behind it (the plugin shows at most a buffer).
        if (snd_pcm_uframes_t(got) == buffer_) continue;
      }
      Pause(period);
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
  snd_pcm_uframes_t buffer_ = 4096;
  bool created_ = false;
  bool running_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> wakeUps_{0};
  std::atomic<uint64_t> droppedBytes_{0};  // what overruns and suspends cost
  std::atomic<int64_t> stalledMs_{0};
  std::mutex loopMutex_;  // the capture thread's sleep, ended by Stop
  std::condition_variable loopCv_;
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
  uint64_t LostBytes() const override { return device_->LostBytes(); }
  int64_t StalledMs() const override { return device_->StalledMs(); }

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
