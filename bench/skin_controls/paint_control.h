// The paint benchmarks' common loop: one control painted whole into an image.
#pragma once

#include "toolkit/controls.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

inline void PaintControl(benchmark::State& state, TControl* control)
{
  QImage image(control->Width(), control->Height(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    control->PaintTo(painter, 0, 0);
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetLabel(QStringLiteral("%1 x %2").arg(control->Width()).arg(control->Height()).toStdString());
}
