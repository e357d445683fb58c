// Long-run reliability of the recorder: an hour captured from the in-memory
// device (faster than real time) through TDXAudioIn and TMP3Out, with a
// counting signal checked on the way. Targets: 0 frames lost or duplicated,
// resident memory flat (growth after the first minutes below 2 MiB).
// Run alone: bench_audio --benchmark_filter=HourFromMemoryDevice
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "platform/capture_memory.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

// VELMORA_BENCH_MINUTES shortens the run for a quick look.
const int kMinutes = qEnvironmentVariableIsSet("VELMORA_BENCH_MINUTES") ? qEnvironmentVariableIntValue("VELMORA_BENCH_MINUTES") : 60;
constexpr int kRate = 44100;

// Frame f of the counting signal: left f mod 65536, right its complement.
void CountingSignal(uint64_t offset, uint8_t* out, uint32_t count)
{
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t at = offset + i;
    const uint64_t frame = at / 4;
    uint16_t sample = uint16_t(frame);
    if ((at / 2) % 2 == 1) sample = uint16_t(~sample);
    out[i] = uint8_t(at % 2 == 0 ? sample : sample >> 8);
  }
}

// Passes the capture through, checking that every frame follows the last.
class TCountingCheck : public TAuInput {
public:
  explicit TCountingCheck(TAuInput* in) : TAuInput(nullptr), in_(in) {}
  int InBitsPerSample() override { return in_->InBitsPerSample(); }
  int InChannels() override { return in_->InChannels(); }
  int InSampleRate() override { return in_->InSampleRate(); }
  void OpenInput() override
  {
    in_->OpenInput();
    busy_ = true;
  }
  void CloseInput() override
  {
    in_->CloseInput();
    busy_ = false;
  }
  void InterruptRead() override { in_->InterruptRead(); }
  int ReadData(void* buffer, int capacity) override
  {
    const int n = in_->ReadData(buffer, capacity);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (int i = 0; i < n; ++i) {
      // Bytes, not frames: a block may end inside a frame.
      pending_[held_++] = bytes[i];
      if (held_ < 4) continue;
      held_ = 0;
      const uint16_t left = uint16_t(pending_[0] | pending_[1] << 8);
      const uint16_t right = uint16_t(pending_[2] | pending_[3] << 8);
      if (uint16_t(~left) != right) ++Broken;
      if (Frames > 0 && left != uint16_t(last_ + 1)) {
        const uint16_t step = uint16_t(left - last_);
        if (step == 0) ++Duplicated;
        else Lost += step - 1;
      }
      last_ = left;
      ++Frames;
    }
    position_ += n;
    return n;
  }

  uint64_t Frames = 0, Lost = 0, Duplicated = 0, Broken = 0;

private:
  TAuInput* in_;
  uint8_t pending_[4] = {};
  int held_ = 0;
  uint16_t last_ = 0;
};

long ResidentKiB()
{
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_HourFromMemoryDevice(benchmark::State& state)
{
  QTemporaryDir dir;
  TMemoryCaptureSystem system;
  system.Source = CountingSignal;
  const qint64 total = qint64(kMinutes) * 60 * kRate * 4;
  for (auto _ : state) {
    TDXAudioIn in(nullptr, &system);
    in.SetInBitsPerSample(16);
    in.SetInChannels(2);
    in.SetInSampleRate(kRate);
    in.SetBytesToRead(int(total));
    TCountingCheck check(&in);
    TMP3Out out(nullptr);
    out.SetInput(&check);
    out.SetFileName(dir.filePath("hour.mp3"));
    QString failure;
    out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
    const auto t0 = std::chrono::steady_clock::now();
    out.Start();
    long settled = 0, peak = 0;
    while (out.State() != TAuOutput::asIdle) {
      CheckSynchronize(50);
      const long rss = ResidentKiB();
      // The first five minutes fill the allocator's pools; after that it stays.
      if (settled == 0 && check.Frames > uint64_t(5) * 60 * kRate) settled = rss;
      peak = std::max(peak, rss);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(wall);
    state.counters["x_realtime"] = kMinutes * 60.0 / wall;
    state.counters["frames"] = double(check.Frames);
    state.counters["lost"] = double(check.Lost);
    state.counters["duplicated"] = double(check.Duplicated);
    state.counters["broken"] = double(check.Broken);
    state.counters["rss_settled_kib"] = double(settled);
    state.counters["rss_growth_kib"] = double(peak - settled);
    std::fprintf(stderr, "frames %llu of %lld, lost %llu, duplicated %llu, damaged %llu; rss settled %ld KiB, growth %ld KiB\n",
                 static_cast<unsigned long long>(check.Frames), static_cast<long long>(total / 4),
                 static_cast<unsigned long long>(check.Lost), static_cast<unsigned long long>(check.Duplicated),
                 static_cast<unsigned long long>(check.Broken), settled, peak - settled);
    if (!failure.isEmpty()) state.SkipWithError(failure.toLocal8Bit().constData());
    // The input ends on a whole refill, so a little more than asked may come.
    else if (check.Frames < uint64_t(total / 4) || check.Lost || check.Duplicated || check.Broken)
      state.SkipWithError("frames lost, duplicated or damaged");
    else if (peak - settled > 2048)
      state.SkipWithError("resident memory grows during the recording");
  }
}
BENCHMARK(BM_HourFromMemoryDevice)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
