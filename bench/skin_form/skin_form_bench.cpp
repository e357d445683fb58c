// The skinned frame of the main window (built-in skin, 246 x 500 client in a
// 254 x 534 window), per call: a full frame repaint, the redraw of one caption
// button while it animates on hover, the redraw of a cross-fading button, and
// one step of a live resize (new size, layout, frame repaint).
#include "skin/skin_data.h"
#include "skin/skin_form.h"
#include "toolkit/forms.h"

#include <benchmark/benchmark.h>

namespace {
QByteArray Block(const std::vector<std::pair<QByteArray, QByteArray>>& edits = {})
{
  TbsCompressedStoredSkin stored(nullptr);
  stored.ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
  if (edits.empty()) return stored.CompressedData();
  QByteArray container = stored.Inflate();
  const qsizetype text = container.indexOf("[VERSION]");
  QByteArray definition = container.mid(text);
  for (const auto& [from, to] : edits) definition.replace(from, to);
  return DeflateSkin(container.left(text) + definition);
}

struct Window {
  TForm* Form = new TForm(nullptr);
  TbsSkinForm* Frame;
  TBitmap Target;
  explicit Window(const QByteArray& block)
  {
    Form->SetCaption(QStringLiteral("Ostrel网络收音机"));
    Form->SetBounds(100, 100, 246, 500);
    Frame = new TbsSkinForm(Form);
    Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray));
    auto* data = new TbsSkinData(Form);
    Frame->SetSkinData(data);
    auto* stored = new TbsCompressedStoredSkin(Form);
    stored->SetCompressedData(block);
    data->SetCompressedStoredSkin(stored);
    Form->SendMessage(WM_ACTIVATE, 1);
    Target.SetSize(Form->Width(), Form->Height());
  }
  ~Window() { TComponent::Free(Form); }
  void Paint(const QRect& clip)
  {
    TCanvas* canvas = Target.Canvas();
    canvas->Painter().setClipRect(clip);
    Frame->PaintFrame(*canvas, clip);
    canvas->Flush();
  }
};

void BM_FullFrameRepaint(benchmark::State& state)
{
  Window w(Block());
  const QRect all(0, 0, w.Form->Width(), w.Form->Height());
  for (auto _ : state) w.Paint(all);
  state.SetLabel("254 x 534");
}
BENCHMARK(BM_FullFrameRepaint)->Unit(benchmark::kMicrosecond);

void BM_HoverRedrawOfOneCaptionButton(benchmark::State& state)
{
  Window w(Block());
  auto* close = dynamic_cast<TbsSkinAnimateObject*>(w.Frame->Object("CloseAnimate"));
  close->MouseEnter();
  for (auto _ : state) {
    // One animation step and the repaint of the button's rectangle.
    if (!close->Animating) {
      close->Frame = 1;
      close->Animating = true;
    }
    w.Frame->AnimationTick();
    w.Paint(close->ObjectRect);
  }
}
BENCHMARK(BM_HoverRedrawOfOneCaptionButton)->Unit(benchmark::kMicrosecond);

void BM_MorphRedrawOfOneCaptionButton(benchmark::State& state)
{
  Window w(Block({{"[SKINOBJECTS]\r\ncount=13", "[SKINOBJECTS]\r\ncount=14"},
                  {"12=trayanimate:animate\r\n",
                   "12=trayanimate:animate\r\n13=glow:button\r\n\r\n[glow]\r\nactivepictureindex=2\r\nskinrectinapicture=1\r\n"
                   "skinrect=0,0,14,14\r\nactiveskinrect=84,0,98,14\r\nmorphing=1\r\n"}}));
  TbsActiveSkinObject* glow = w.Frame->Object("glow");
  glow->ObjectRect = QRect(120, 9, 14, 14);
  glow->Active = true;
  for (auto _ : state) {
    glow->MorphFactor = 0.4;  // under way
    w.Paint(glow->ObjectRect);
  }
}
BENCHMARK(BM_MorphRedrawOfOneCaptionButton)->Unit(benchmark::kMicrosecond);

void BM_LiveResizeStep(benchmark::State& state)
{
  Window w(Block());
  int step = 0;
  for (auto _ : state) {
    // Sizes as a drag of the bottom-right corner gives them.
    const int width = 254 + step % 200, height = 534 - step % 150;
    ++step;
    w.Form->SetBounds(100, 100, width, height);
    w.Target.SetSize(width, height);
    w.Paint(QRect(0, 0, width, height));
  }
}
BENCHMARK(BM_LiveResizeStep)->Unit(benchmark::kMicrosecond);
} // namespace
