// Painting costs of the visual toolkit: a full repaint of a main-window-sized
// form with twelve plain controls, text measuring, 24-bit bitmap copies and
// stretches.
#include "toolkit/form_render.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

#include <QCoreApplication>
#include <QPainter>
#include <QWindow>
#include <benchmark/benchmark.h>

namespace {
struct Deleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};

// 246 x 500 client area: a top strip with three buttons and a label, a panel
// with a button, a list and a check box, a bottom strip with two labels.
std::unique_ptr<TForm, Deleter> MainSizedForm()
{
  std::unique_ptr<TForm, Deleter> f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  f->SetClientSize(246, 500);
  TForm* o = f.get();
  auto* bar = new TPanel(o);
  bar->SetParent(o);
  bar->SetAlign(TControl::alTop);
  bar->SetHeight(25);
  for (int i = 0; i < 3; ++i) {
    auto* b = new TButton(o);
    b->SetParent(bar);
    b->SetBounds(i * 25, 0, 25, 25);
    b->SetCaption(QString::number(i));
  }
  auto* version = new TLabel(o);
  version->SetParent(bar);
  version->SetAlign(TControl::alRight);
  version->SetCaption(QStringLiteral("版本 1.2.4"));
  auto* panel = new TPanel(o);
  panel->SetName("Panel");
  panel->SetParent(o);
  panel->SetAlign(TControl::alClient);
  auto* button = new TButton(o);
  button->SetParent(panel);
  button->SetBounds(8, 8, 113, 25);
  button->SetCaption(QStringLiteral("指定录音保存文件"));
  auto* combo = new TComboBox(o);
  combo->SetParent(panel);
  combo->SetBounds(130, 10, 100, 21);
  combo->SetItems({"32 kbps", "64 kbps", "128 kbps"});
  combo->SetItemIndex(1);
  auto* check = new TCheckBox(o);
  check->SetParent(panel);
  check->SetBounds(8, 44, 100, 17);
  check->SetCaption("Mute");
  check->SetChecked(true);
  auto* status = new TPanel(o);
  status->SetParent(o);
  status->SetAlign(TControl::alBottom);
  status->SetHeight(21);
  auto* login = new TLabel(o);
  login->SetParent(status);
  login->SetAlign(TControl::alLeft);
  login->SetAutoSize(true);
  login->SetCaption(QStringLiteral("网络版请登录："));
  auto* link = new TLabel(o);
  link->SetParent(status);
  link->SetAlign(TControl::alClient);
  link->SetCaption("velmora.example");
  return f;
}

void BM_FullRepaintHeadless(benchmark::State& state)
{
  auto f = MainSizedForm();
  QImage image(246, 500, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    f->PaintTo(p, 0, 0);
  }
}
BENCHMARK(BM_FullRepaintHeadless)->Unit(benchmark::kMicrosecond);

void BM_FullRepaintWindow(benchmark::State& state)
{
  auto f = MainSizedForm();
  f->Show();
  QWidget* w = f->Handle();
  // Wait until the window is up and has its backing store.
  for (int i = 0; i < 200 && !(w->windowHandle() && w->windowHandle()->isExposed()); ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  if (!w->windowHandle() || !w->windowHandle()->isExposed()) state.SkipWithError("window not exposed");
  // The form itself is covered by its children; count the paints of one inside.
  int painted = 0;
  auto* probe = new TPaintBox(f.get());
  probe->SetBounds(8, 100, 20, 20);
  probe->SetParent(qobject_cast<TWinControl*>(f->FindComponent("Panel")));
  probe->SetOnPaint([&](TObject*) { ++painted; });
  // Qt paints the whole window tree (every widget, every graphic child).
  QImage target(w->size(), QImage::Format_RGB32);
  for (auto _ : state) w->render(&target);
  if (painted < int(state.iterations())) state.SkipWithError(("repaint did not paint: " + std::to_string(painted) + " of " + std::to_string(state.iterations())).c_str());
}
BENCHMARK(BM_FullRepaintWindow)->Unit(benchmark::kMicrosecond);

void BM_TextWidth(benchmark::State& state)
{
  TCanvas c;
  c.Font()->SetName("Arial");
  c.Font()->SetHeight(14);
  const QString text = QStringLiteral("已录制00:02:05分 velmora.example");
  for (auto _ : state) benchmark::DoNotOptimize(c.TextWidth(text));
}
BENCHMARK(BM_TextWidth);

void BM_TextWrapMeasure(benchmark::State& state)
{
  TCanvas c;
  const QString text = QStringLiteral("您的声卡不支持录音控制，不能录音。 The sound card has no usable recording switch.");
  for (auto _ : state) {
    QRect r(0, 0, 120, 0);
    benchmark::DoNotOptimize(c.DrawText(text, r, DT_WORDBREAK | DT_CALCRECT));
  }
}
BENCHMARK(BM_TextWrapMeasure);

TBitmap* Picture(int w, int h)
{
  auto* b = new TBitmap();
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uchar* row = b->ScanLine(y);
    for (int x = 0; x < w * 3; ++x) row[x] = uchar(x * 7 + y * 3);
  }
  return b;
}

void BM_BitmapCopy246x500(benchmark::State& state)
{
  std::unique_ptr<TBitmap> src(Picture(246, 500)), dst(Picture(246, 500));
  const QRect r(0, 0, 246, 500);
  for (auto _ : state) dst->Canvas()->CopyRect(r, src->Canvas(), r);
  dst->Canvas()->Flush();
  state.SetBytesProcessed(state.iterations() * 246 * 500 * 3);
}
BENCHMARK(BM_BitmapCopy246x500)->Unit(benchmark::kMicrosecond);

void BM_BitmapStretch(benchmark::State& state)
{
  const int w = int(state.range(0)), h = int(state.range(1));
  std::unique_ptr<TBitmap> src(Picture(246, 500)), dst(Picture(w, h));
  for (auto _ : state) dst->Canvas()->StretchDraw(QRect(0, 0, w, h), src.get());
  dst->Canvas()->Flush();
}
BENCHMARK(BM_BitmapStretch)->Args({492, 1000})->Args({123, 250})->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ScanLineFill(benchmark::State& state)
{
  std::unique_ptr<TBitmap> b(Picture(246, 500));
  for (auto _ : state) {
    for (int y = 0; y < 500; ++y) {
      uchar* row = b->ScanLine(y);
      std::fill(row, row + 246 * 3, uchar(y));
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScanLineFill)->Unit(benchmark::kMicrosecond);
} // namespace
