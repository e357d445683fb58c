// Recording engine benchmarks: TMP3Out against a bare LAME loop over the same
// PCM, and the stop latency from RequestStop to a closed, complete file.
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "platform/capture_memory.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstring>
#include <lame/lame.h>

namespace {

constexpr int kSeconds = 20;

// 20 s of a 44100 Hz 16-bit stereo tone with some noise, built once.
const std::vector<int16_t>& Pcm()
{
  static const std::vector<int16_t> pcm = [] {
    std::vector<int16_t> p(size_t(44100) * kSeconds * 2);
    uint32_t seed = 1;
    for (size_t i = 0; i < p.size() / 2; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const double noise = double(int32_t(seed >> 16) - 32768) / 32768.0;
      const double v = 0.4 * std::sin(2 * M_PI * 440 * double(i) / 44100) + 0.05 * noise;
      p[2 * i] = p[2 * i + 1] = int16_t(std::lround(v * 32767));
    }
    return p;
  }();
  return pcm;
}

// Hands out the prepared PCM, like the capture input hands out its local buffer.
class TMemoryPcmInput : public TAuInput {
public:
  TMemoryPcmInput() : TAuInput(nullptr) {}
  int InBitsPerSample() override { return 16; }
  int InChannels() override { return 2; }
  int InSampleRate() override { return 44100; }
  void OpenInput() override
  {
    position_ = 0;
    size_ = int(Pcm().size() * 2);
    busy_ = true;
  }
  void CloseInput() override { busy_ = false; }
  int ReadData(void* buffer, int capacity) override
  {
    const int n = std::min(capacity, Size() - Position());
    std::memcpy(buffer, reinterpret_cast<const char*>(Pcm().data()) + Position(), size_t(n));
    position_ += n;
    return n;
  }
};

double EncodeWithPipeline(const QString& file)
{
  TMemoryPcmInput input;
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetFileName(file);
  const auto t0 = std::chrono::steady_clock::now();
  out.Start();
  while (out.State() != TAuOutput::asIdle) CheckSynchronize(1);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The same encoder settings and block size, without the pipeline.
double EncodeBare(const QString& file)
{
  const auto t0 = std::chrono::steady_clock::now();
  FILE* f = std::fopen(file.toLocal8Bit().constData(), "wb");
  lame_t h = lame_init();
  lame_set_in_samplerate(h, 44100);
  lame_set_num_channels(h, 2);
  lame_set_out_samplerate(h, 0);
  lame_set_mode(h, STEREO);
  lame_set_brate(h, 128);
  lame_set_quality(h, 5);
  lame_init_params(h);
  std::vector<unsigned char> mp3(17440);
  const auto& pcm = Pcm();
  const size_t frames = pcm.size() / 2;
  for (size_t at = 0; at < frames; at += 4096) {
    const int n = int(std::min<size_t>(4096, frames - at));
    const int k = lame_encode_buffer_interleaved(h, const_cast<short*>(pcm.data() + 2 * at), n, mp3.data(), 17440);
    if (k > 0) std::fwrite(mp3.data(), 1, size_t(k), f);
  }
  const int k = lame_encode_flush(h, mp3.data(), 17440);
  if (k > 0) std::fwrite(mp3.data(), 1, size_t(k), f);
  lame_close(h);
  std::fclose(f);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_Mp3OutEncode(benchmark::State& state)
{
  QTemporaryDir dir;
  Pcm();
  for (auto _ : state) state.SetIterationTime(EncodeWithPipeline(dir.filePath("p.mp3")));
  state.counters["x_realtime"] = benchmark::Counter(kSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Mp3OutEncode)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BareLame(benchmark::State& state)
{
  QTemporaryDir dir;
  Pcm();
  for (auto _ : state) state.SetIterationTime(EncodeBare(dir.filePath("b.mp3")));
  state.counters["x_realtime"] = benchmark::Counter(kSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareLame)->UseManualTime()->Unit(benchmark::kMillisecond);

// Both in turn, in the same run, so that both see the same machine load. The
// pipeline must stay within 5 % of the bare loop (ratio <= 1.05).
void BM_PipelineOverBareRatio(benchmark::State& state)
{
  QTemporaryDir dir;
  Pcm();
  double pipeline = 0, bare = 0;
  for (auto _ : state) {
    bare += EncodeBare(dir.filePath("b.mp3"));
    pipeline += EncodeWithPipeline(dir.filePath("p.mp3"));
  }
  state.counters["ratio"] = pipeline / bare;
  if (pipeline / bare > 1.05) state.SkipWithError("TMP3Out is more than 5 % slower than bare LAME");
}
BENCHMARK(BM_PipelineOverBareRatio)->Iterations(5)->Unit(benchmark::kMillisecond);

// From RequestStop to a closed, complete file while capturing in real time
// (the in-memory device paced by real 400 ms waits), at a random point of a refill.
void BM_StopLatency(benchmark::State& state)
{
  QTemporaryDir dir;
  TMemoryCaptureSystem system;
  system.RealTime = true;
  TDXAudioIn in(nullptr, &system);
  in.SetInBitsPerSample(16);
  in.SetInChannels(2);
  in.SetInSampleRate(44100);
  in.SetBytesToRead(-1);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  out.SetFileName(dir.filePath("s.mp3"));
  int i = 0;
  for (auto _ : state) {
    out.Start();
    // Stop somewhere inside the second or third refill.
    const int waits = system.Waits.load();
    while (system.Waits.load() < waits + 2) CheckSynchronize(1);
    const auto pause = std::chrono::steady_clock::now() + std::chrono::milliseconds(37 * (i++ % 10));
    while (std::chrono::steady_clock::now() < pause) CheckSynchronize(1);
    const auto t0 = std::chrono::steady_clock::now();
    out.RequestStop(false);
    out.WaitForStop();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
}
BENCHMARK(BM_StopLatency)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
