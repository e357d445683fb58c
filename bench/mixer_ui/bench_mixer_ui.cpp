// The mixer controls at their 25 ms tick: feeding and repainting the record
// window's level bar, and one tick of ten mixer connectors each feeding a
// level from a peak meter (in-memory mixer). Time per tick against the
// 25 ms period gives the share of one core the tick takes.
#include "mixer_ui/mm_block.h"
#include "mixer_ui/mm_pcm_peak.h"
#include "platform/mixer_memory.h"
#include "toolkit/forms.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

// The record window's level (19 x 121, vertical, linear, step-up decay) on a shown window.
struct LevelWindow {
  TForm* Form;
  TMMMixerBlock* Block;
  TMMMixerBlockLevel* Level;
  LevelWindow() : Form(new TForm(nullptr)), Block(new TMMMixerBlock(Form)), Level(new TMMMixerBlockLevel(Form))
  {
    Form->SetBounds(0, 0, 120, 300);
    Block->SetAutoArrange(false);
    Block->SetParent(Form);
    Block->SetBounds(0, 0, 120, 300);
    Level->SetParent(Block);
    Level->SetEnabled(true);
    Level->SetBounds(56, 20, 19, 121);
    Level->SetKind(lkVertical);
    Level->SetBitLength(b16Bit);
    Level->SetDecayMode(dmStepUp);
    Level->SetDecay(8);
    Form->Show();
    QCoreApplication::processEvents();
    // The block shows its levels only with a peak meter on its line; these are fed here.
    Level->SetEnabled(true);
    Level->SetVisible(true);
  }
  ~LevelWindow() { TComponent::Free(Form); }
};

// A signal that moves the bar every few ticks, as music does.
qint32 Signal(int tick) { return qint32(16000 + 15000 * std::sin(tick * 0.7)); }

void BM_RecordLevelFeedAndRepaintPerTick(benchmark::State& state)
{
  LevelWindow w;
  int tick = 0;
  const int before = w.Level->PaintCount();
  for (auto _ : state) w.Level->FeedValue(Signal(tick++));
  state.counters["paints_per_tick"] = double(w.Level->PaintCount() - before) / double(tick);
}
BENCHMARK(BM_RecordLevelFeedAndRepaintPerTick)->Unit(benchmark::kMicrosecond);

void BM_TickWithTenConnectors(benchmark::State& state)
{
  RegisterMixerUiClasses();
  auto backend = std::make_unique<TMemoryMixerBackend>();
  TMemoryMixerBackend* mem = backend.get();
  auto previous = SetMixerBackend(std::move(backend));
  const int m = mem->AddMixer("Card");
  TMixerTopology& t = mem->Topology(m);
  TMMApiLineTarget out{mmapi::TARGETTYPE_WAVEOUT, 0, 1, 2, 0x0100, "Wave Out"};
  TMMApiLineTarget in{mmapi::TARGETTYPE_WAVEIN, 0, 1, 2, 0x0100, "Wave In"};
  t.AddDestination(mmapi::COMPONENTTYPE_DST_SPEAKERS, "Speakers", "Speakers", 2, out);
  t.AddDestination(mmapi::COMPONENTTYPE_DST_WAVEIN, "Rec", "Recording Control", 2, in);
  const quint32 peak = t.AddControl(0xFFFF0001, mmapi::CONTROLTYPE_PEAKMETER, 0, -32768, 32767, 0, "Peak", "Peak").Info.ControlId;
  {
    LevelWindow w;
    auto* device = new TMMMixerDevice(w.Form);
    auto* line = new TMMAudioLine(w.Form);
    line->SetMixer(device);
    line->SetLineId(-65535);
    auto* meter = new TMMMixerControl(w.Form);
    meter->SetAudioLine(line);
    meter->SetControlType(ctPeakMeter);
    for (int i = 0; i < 10; ++i) {
      auto* level = new TMMLevel(w.Form);
      level->SetParent(w.Block);
      level->SetBounds(2 + i * 11, 2, 10, 100);
      level->SetKind(lkVertical);
      level->SetVisible(true);
      auto* connector = new TMMMixerConnector(w.Form);
      connector->SetLevel1(level);
      connector->SetControl(meter);
    }
    int tick = 0;
    for (auto _ : state) {
      mem->SetValues(m, peak, {quint32(Signal(tick)), quint32(Signal(tick + 3))});
      MMTickTimer::Tick();
      ++tick;
    }
    }
  SetMixerBackend(std::move(previous));
}
BENCHMARK(BM_TickWithTenConnectors)->Unit(benchmark::kMicrosecond);

} // namespace

// The recording's peak tap over one second of 44.1 kHz 16-bit stereo, in the
// capture's 16 KiB blocks: the share of the worker's time the meter costs.
void BM_PcmPeakTapFeedOneSecond(benchmark::State& state)
{
  TMMPcmPeakTap tap(nullptr);
  std::vector<int16_t> block(8192);
  for (size_t i = 0; i < block.size(); ++i) block[i] = int16_t(12000 * std::sin(double(i) * 0.0713));
  const int blockBytes = int(block.size() * sizeof(int16_t));
  const int blocks = 44100 * 4 / blockBytes;
  for (auto _ : state) {
    for (int b = 0; b < blocks; ++b) tap.Feed(block.data(), blockBytes, 16, 2);
    qint32 l, r, both;
    tap.Snapshot(l, r, both);
    benchmark::DoNotOptimize(both);
  }
}
BENCHMARK(BM_PcmPeakTapFeedOneSecond)->Unit(benchmark::kMicrosecond);
