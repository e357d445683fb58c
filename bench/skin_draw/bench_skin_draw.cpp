// Skin drawing primitives, per call: the main window's frame bands and region
// (246 x 500 client in a 254 x 534 frame), a 400 x 28 button image, the
// cross-fade of a 100 x 30 caption button, and mask to region for a 430 x 333
// mask. The frame picture and the button come from the built-in skin when the
// source tree has it (resources/skin/skin.bin); otherwise from synthetic
// pictures of the same sizes and depth (8 bits per pixel, small colour table)
// cut with the built-in [FORMINFO] values. The label says which.
#include "skin/skin_data.h"
#include "skin/skin_definitions.h"
#include "skin/skin_draw.h"
#include "skin/skin_effects.h"
#include "skin/skin_regions.h"

#include <QFile>
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

constexpr int kW = 254, kH = 534;

struct BenchSkin {
  bool BuiltIn = false;
  QImage Frame;
  TbsFramePoints Points;
  TbsStretchFlags Stretch;
  QImage Controls;
  QRect ButtonRect;    // the "button" skin rectangle, 28 pixels high
  int ButtonLeft = 0;  // its fixed ends
  int ButtonRight = 0;
};

const BenchSkin& Skin()
{
  static const BenchSkin skin = [] {
    BenchSkin s;
    const QString path = QString::fromUtf8(VELMORA_SOURCE_DIR) + QStringLiteral("/resources/skin/skin.bin");
    if (QFile::exists(path)) {
      TbsCompressedStoredSkin stored(nullptr);
      stored.ImportPackedFile(path);
      TbsSkinData data(nullptr);
      data.LoadFromStoredSkin(&stored);
      const int button = data.FindSkinControl(QStringLiteral("button"));
      const auto* def = button >= 0 ? dynamic_cast<const TbsDataSkinCustomControl*>(data.SkinControls()[size_t(button)].get()) : nullptr;
      const auto* picture = def ? data.SkinPicture(def->PictureIndex) : nullptr;
      if (!data.IsEmptySkin() && picture && !data.FramePicture().Empty()) {
        const auto& fi = data.FormInfo();
        s.BuiltIn = true;
        s.Frame = data.FramePicture().Image;
        s.Points = {fi.LTPoint, fi.RTPoint, fi.LBPoint, fi.RBPoint, fi.ClientRect};
        s.Stretch = {fi.LeftStretch, fi.TopStretch, fi.RightStretch, fi.BottomStretch};
        s.Controls = picture->Image;
        s.ButtonRect = def->SkinRect;
        s.ButtonLeft = def->LTPoint.x();
        s.ButtonRight = def->SkinRect.width() - def->RTPoint.x();
        return s;
      }
    }
    s.Frame = Indexed(191, 140, 44);
    s.Points = {QPoint(10, 30), QPoint(178, 30), QPoint(7, 133), QPoint(184, 133), SkinRect(4, 30, 187, 136)};
    s.Stretch = {false, true, false, false};
    s.Controls = Indexed(430, 333, 44);
    s.ButtonRect = SkinRect(2, 3, 36, 31);
    s.ButtonLeft = 10;
    s.ButtonRight = 10;
    return s;
  }();
  return skin;
}

const char* SkinLabel() { return Skin().BuiltIn ? "built-in skin" : "synthetic skin"; }

void BM_MainWindowFrameBands(benchmark::State& state)
{
  const BenchSkin& skin = Skin();
  const TbsFramePoints target = MoveFramePoints(skin.Points, kW - skin.Frame.width(), kH - skin.Frame.height());
  for (auto _ : state) {
    TBitmap left, top, right, bottom;
    BuildFrameBands(skin.Points, target, kW, kH, skin.Frame.rect(), skin.Frame, skin.Stretch, left, top, right, bottom);
    benchmark::DoNotOptimize(top.ScanLine(0));
  }
  state.SetLabel(SkinLabel());
}
BENCHMARK(BM_MainWindowFrameBands)->Unit(benchmark::kMicrosecond);

void BM_MainWindowFrameBandsInactive(benchmark::State& state)
{
  const BenchSkin& skin = Skin();
  const TbsFramePoints target = MoveFramePoints(skin.Points, kW - skin.Frame.width(), kH - skin.Frame.height());
  for (auto _ : state) {
    TBitmap left, top, right, bottom;
    BuildFrameBands(skin.Points, target, kW, kH, skin.Frame.rect(), skin.Frame, skin.Stretch, left, top, right, bottom);
    for (TBitmap* b : {&left, &top, &right, &bottom}) ApplyInactiveEffect(*b, TbsInactiveEffect::ieBrightness);
    benchmark::DoNotOptimize(top.ScanLine(0));
  }
  state.SetLabel(SkinLabel());
}
BENCHMARK(BM_MainWindowFrameBandsInactive)->Unit(benchmark::kMicrosecond);

void BM_MainWindowRegion(benchmark::State& state)
{
  // The built-in skin has no mask: a synthetic one of the frame's size with
  // rounded corners, the mask-free area being the client rectangle.
  const BenchSkin& skin = Skin();
  const QImage mask = FrameMask(skin.Frame.width(), skin.Frame.height(), 12);
  const TbsFramePoints target = MoveFramePoints(skin.Points, kW - skin.Frame.width(), kH - skin.Frame.height());
  for (auto _ : state) {
    auto region = RegionFromMaskBands(skin.Points, target, kW, kH, mask.rect(), mask);
    benchmark::DoNotOptimize(region);
  }
}
BENCHMARK(BM_MainWindowRegion)->Unit(benchmark::kMicrosecond);

void BM_ButtonStrip400x28(benchmark::State& state)
{
  // A button as wide as 400 from the 28-pixel-high "button" rectangle: fixed ends, tiled middle.
  const BenchSkin& skin = Skin();
  for (auto _ : state) {
    TBitmap out;
    BuildHorzStrip3(skin.ButtonLeft, skin.ButtonRight, skin.ButtonRect, skin.Controls, 400, out);
    benchmark::DoNotOptimize(out.ScanLine(0));
  }
  state.SetLabel(SkinLabel());
}
BENCHMARK(BM_ButtonStrip400x28)->Unit(benchmark::kMicrosecond);

void BM_ButtonNineParts400x28(benchmark::State& state)
{
  // The same size by the nine-part routine, client tiled, from a 67 x 25 rectangle.
  const QImage controls = Indexed(430, 333, 44);
  const QRect skinRect = SkinRect(0, 100, 67, 125);
  const TbsFramePoints src{QPoint(5, 5), QPoint(62, 5), QPoint(5, 20), QPoint(62, 20), SkinRect(5, 5, 62, 20)};
  const TbsFramePoints target = MoveFramePoints(src, 400 - 67, 28 - 25);
  for (auto _ : state) {
    TBitmap out;
    BuildSkinImage(src, target, 400, 28, skinRect, controls, true, out);
    benchmark::DoNotOptimize(out.ScanLine(0));
  }
}
BENCHMARK(BM_ButtonNineParts400x28)->Unit(benchmark::kMicrosecond);

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
