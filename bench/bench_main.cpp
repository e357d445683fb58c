// Benchmark entry: a headless QApplication for the benchmarks that paint.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "app/all_classes.h"
#include "browser/web_view/web_engine_view.h"

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The web view's benchmarks: set before the application object exists.
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  InstallWebEngineView();
  QApplication app(argc, argv);
  RegisterAllClasses();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
