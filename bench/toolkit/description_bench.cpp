// Reading a window description of many buttons, and freeing it: the time per
// button should stay flat as the window grows (reported as complexity).
#include "toolkit/form_reader.h"

#include <benchmark/benchmark.h>

namespace {
QString ButtonsDescription(int buttons)
{
  QString text = QStringLiteral("object F: TForm\n  ClientWidth = 800\n  ClientHeight = 600\n");
  for (int i = 0; i < buttons; ++i)
    text += QStringLiteral("  object Button%1: TButton\n    Left = %2\n    Top = %3\n    Caption = 'B%1'\n  end\n")
                .arg(i)
                .arg(i % 40 * 20)
                .arg(i / 40 % 30 * 20);
  return text + QStringLiteral("end\n");
}

void BM_ReadDescriptionOfButtons(benchmark::State& state)
{
  const QString text = ButtonsDescription(int(state.range(0)));
  for (auto _ : state) {
    TComponent* root = ReadComponentText(text, QStringLiteral("buttons.vfm"), nullptr, nullptr, TReadOptions{.Designing = true});
    state.PauseTiming();
    TComponent::Free(root);
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadDescriptionOfButtons)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_FreeWindowOfButtons(benchmark::State& state)
{
  const QString text = ButtonsDescription(int(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    TComponent* root = ReadComponentText(text, QStringLiteral("buttons.vfm"), nullptr, nullptr, TReadOptions{.Designing = true});
    state.ResumeTiming();
    TComponent::Free(root);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FreeWindowOfButtons)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond)->Complexity();
} // namespace
