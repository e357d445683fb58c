// Skin drawing primitives, per call: the main window's frame bands and region
// (246 x 500 client in a 254 x 534 frame), a 400 x 28 button image, the
// cross-fade of a 100 x 30 caption button, and mask to region for a 430 x 333
// mask. The pictures are synthetic, of the built-in skin's sizes and depth
// (8 bits per pixel with a small colour table).
#include "skin/skin_definitions.h"
#include "skin/skin_draw.h"
#include "skin/skin_effects.h"
#include "skin/skin_regions.h"

#include <benchmark/benchmark.h>

namespace {

// An 8-bit picture of `colours` colours in a busy pattern.
QImage Indexed(int w, int h, int colours)
{
  QImage img(w, h, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (int i = 0; i < colours; ++i) table.push_back(qRgb(i * 5, 255 - i * 3, (i * 37) % 256));
  img.setColorTable(table);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, uint((x * 7 + y * 13 + x * y) % colours));
  return img;
}

// The frame mask: black with rounded-off corners (white outside).
QImage FrameMask(int w, int h, int radius)
{
  QImage img(w, h, QImage::Format_Indexed8);
  img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int cx = std::max(0, radius - std::min(x, w - 1 - x)), cy = std::max(0, radius - std::min(y, h - 1 - y));
      img.setPixel(x, y, cx * cx + cy * cy > radius * radius ? 1 : 0);
    }
  return img;
}

const TbsFramePoints kFrame{QPoint(10, 30), QPoint(178, 30), QPoint(7, 133), QPoint(184, 133), SkinRect(4, 30, 187, 136)};
constexpr int kW = 254, kH = 534;

void BM_MainWindowFrameBands(benchmark::State& state)
{
  const QImage pic = Indexed(191, 140, 44);
  const TbsFramePoints target = MoveFramePoints(kFrame, kW - 191, kH - 140);
  for (auto _ : state) {
    TBitmap left, top, right, bottom;
    BuildFrameBands(kFrame, target, kW, kH, pic.rect(), pic, TbsStretchFlags{false, true, false, false}, left, top,
                    right, bottom);
    benchmark::DoNotOptimize(top.ScanLine(0));
  }
}
BENCHMARK(BM_MainWindowFrameBands)->Unit(benchmark::kMicrosecond);

void BM_MainWindowFrameBandsInactive(benchmark::State& state)
{
  const QImage pic = Indexed(191, 140, 44);
  const TbsFramePoints target = MoveFramePoints(kFrame, kW - 191, kH - 140);
  for (auto _ : state) {
    TBitmap left, top, right, bottom;
    BuildFrameBands(kFrame, target, kW, kH, pic.rect(), pic, TbsStretchFlags{false, true, false, false}, left, top,
                    right, bottom);
    for (TBitmap* b : {&left, &top, &right, &bottom}) ApplyInactiveEffect(*b, TbsInactiveEffect::ieBrightness);
    benchmark::DoNotOptimize(top.ScanLine(0));
  }
}
BENCHMARK(BM_MainWindowFrameBandsInactive)->Unit(benchmark::kMicrosecond);

void BM_MainWindowRegion(benchmark::State& state)
{
  const QImage mask = FrameMask(191, 140, 12);
  // With a mask the mask-free area is widened to the client rectangle.
  const TbsFramePoints target = MoveFramePoints(kFrame, kW - 191, kH - 140);
  for (auto _ : state) {
    auto region = RegionFromMaskBands(kFrame, target, kW, kH, mask.rect(), mask);
    benchmark::DoNotOptimize(region);
  }
}
BENCHMARK(BM_MainWindowRegion)->Unit(benchmark::kMicrosecond);

void BM_ButtonImage400x28(benchmark::State& state)
{
  const QImage controls = Indexed(430, 333, 44);
  // A 67 x 25 button at (0, 100) with 5-pixel corners and a 5-pixel border client.
  const QRect skinRect = SkinRect(0, 100, 67, 125);
  const TbsFramePoints src{QPoint(5, 5), QPoint(62, 5), QPoint(5, 20), QPoint(62, 20), SkinRect(5, 5, 62, 20)};
  const TbsFramePoints target = MoveFramePoints(src, 400 - 67, 28 - 25);
  for (auto _ : state) {
    TBitmap out;
    BuildSkinImage(src, target, 400, 28, skinRect, controls, true, out);
    benchmark::DoNotOptimize(out.ScanLine(0));
  }
}
BENCHMARK(BM_ButtonImage400x28)->Unit(benchmark::kMicrosecond);

void BM_CaptionButtonCrossFade(benchmark::State& state)
{
  TBitmap normal, active, shown;
  normal.SetImage(Indexed(100, 30, 44));
  active.SetImage(Indexed(100, 30, 17));
  double k = 0;
  for (auto _ : state) {
    // One morph step as the 20 ms timer runs it: both looks into buffers, blend, back to a bitmap.
    TbsEffectBmp a(normal), b(active);
    k = k >= 0.9 ? 0.1 : k + 0.1;
    a.Morph(b, k);
    a.AssignTo(shown);
    benchmark::DoNotOptimize(shown.ScanLine(0));
  }
}
BENCHMARK(BM_CaptionButtonCrossFade)->Unit(benchmark::kMicrosecond);

void BM_MaskToRegion430x333(benchmark::State& state)
{
  // Ellipses and bars: a few runs per row, as a control mask has.
  QImage mask(430, 333, QImage::Format_Indexed8);
  mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  for (int y = 0; y < 333; ++y)
    for (int x = 0; x < 430; ++x) {
      const double ex = (x % 86 - 43) / 40.0, ey = (y % 111 - 55) / 50.0;
      mask.setPixel(x, y, ex * ex + ey * ey <= 1 || (y % 37) < 3 ? 0 : 1);
    }
  for (auto _ : state) {
    auto region = RegionFromMask(mask, 0, 0);
    benchmark::DoNotOptimize(region);
  }
  state.counters["runs"] = double(MaskRuns(mask, 0, 0).size());
}
BENCHMARK(BM_MaskToRegion430x333)->Unit(benchmark::kMicrosecond);

void BM_MaskToRegion430x333Checkerboard(benchmark::State& state)
{
  // The worst case: every other pixel black, 71,595 runs.
  QImage mask(430, 333, QImage::Format_Indexed8);
  mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  for (int y = 0; y < 333; ++y)
    for (int x = 0; x < 430; ++x) mask.setPixel(x, y, uint((x + y) % 2));
  for (auto _ : state) {
    auto region = RegionFromMask(mask, 0, 0);
    benchmark::DoNotOptimize(region);
  }
  state.counters["runs"] = double(MaskRuns(mask, 0, 0).size());
}
BENCHMARK(BM_MaskToRegion430x333Checkerboard)->Unit(benchmark::kMicrosecond);

} // namespace
