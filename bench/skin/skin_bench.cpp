// Loading the built-in skin (inflate, decode the pictures, parse the
// definition, build the lists) against a bare zlib inflate of the same block.
#include "skin/skin_data.h"

#include <QFile>
#include <benchmark/benchmark.h>
#include <zlib.h>

namespace {
TbsCompressedStoredSkin& BuiltinSkin()
{
  static TbsCompressedStoredSkin* stored = [] {
    auto* s = new TbsCompressedStoredSkin(nullptr);
    s->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    return s;
  }();
  return *stored;
}

void BareInflate(benchmark::State& state)
{
  const QByteArray& block = BuiltinSkin().CompressedData();
  QByteArray out(244002, Qt::Uninitialized);
  for (auto _ : state) {
    uLongf size = uLongf(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(block.constData()),
                   uLong(block.size())) != Z_OK)
      state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * out.size());
}
BENCHMARK(BareInflate)->Unit(benchmark::kMicrosecond);

void ChunkedInflate(benchmark::State& state)
{
  for (auto _ : state) benchmark::DoNotOptimize(BuiltinSkin().Inflate());
}
BENCHMARK(ChunkedInflate)->Unit(benchmark::kMicrosecond);

void DecodeContainer(benchmark::State& state)
{
  const QByteArray container = BuiltinSkin().Inflate();
  TbsSkinData data(nullptr);
  for (auto _ : state) data.LoadFromContainer(container);
  state.counters["controls"] = double(data.SkinControls().size());
}
BENCHMARK(DecodeContainer)->Unit(benchmark::kMicrosecond);

void LoadBuiltinSkin(benchmark::State& state)
{
  TbsSkinData data(nullptr);
  for (auto _ : state) data.LoadFromStoredSkin(&BuiltinSkin());
  if (data.IsEmptySkin()) state.SkipWithError("the built-in skin did not load");
}
BENCHMARK(LoadBuiltinSkin)->Unit(benchmark::kMicrosecond);
} // namespace
