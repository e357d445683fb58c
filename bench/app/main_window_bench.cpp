// The main window as the program reads it from its description (built-in
// skin), per call: a full repaint of the skinned frame, the tool bar with its
// three buttons and the version label, and the status bar with its field and
// link, into one 24-bit picture of the whole window. The web view is apart.
#include "app/form_main.h"
#include "skin/skin_form.h"
#include "skin_controls/skin_panels.h"

#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

void BM_MainWindowFullRepaint(benchmark::State& state)
{
  // Settings neither read nor written.
  TForm_Main::SettingsLocator = [] { return TSettingsLocation{}; };
  auto* form = new TForm_Main(nullptr);
  auto* frame = qobject_cast<TbsSkinForm*>(form->FindComponent(QStringLiteral("bsSkinForm1")));
  auto* bar = qobject_cast<TControl*>(form->FindComponent(QStringLiteral("bsSkinToolBar1")));
  auto* status = qobject_cast<TControl*>(form->FindComponent(QStringLiteral("bsSkinStatusBar1")));
  if (!frame || !bar || !status) {
    state.SkipWithError("the description lacks the frame or a bar");
    TComponent::Free(form);
    return;
  }
  form->SendMessage(WM_ACTIVATE, 1);
  const QMargins margins = form->NonClientMargins();
  const QRect all(0, 0, form->Width(), form->Height());
  TBitmap target;
  target.SetSize(all.width(), all.height());
  for (auto _ : state) {
    TCanvas* canvas = target.Canvas();
    frame->PaintFrame(*canvas, all);
    QPainter& painter = canvas->Painter();
    for (TControl* c : {bar, status}) c->PaintTo(painter, margins.left() + c->Left(), margins.top() + c->Top());
    canvas->Flush();
    benchmark::DoNotOptimize(target.ScanLine(0));
  }
  state.SetLabel(QStringLiteral("%1 x %2").arg(all.width()).arg(all.height()).toStdString());
  TComponent::Free(form);
  TForm_Main::SettingsLocator = nullptr;
}
BENCHMARK(BM_MainWindowFullRepaint)->Unit(benchmark::kMicrosecond);

} // namespace
