// Fuzzes the window-description reader: any text must give a tree or an
// EReadError, never a crash, a leak or unbounded work. What the writer makes of
// a tree must read back and write out as the same text.
#include "app/all_classes.h"
#include "toolkit/form_reader.h"
#include "toolkit/sample_components.h"

#include <QApplication>
#include <QFontMetrics>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  static int argc = 1;
  static char name[] = "form_reader_fuzz";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Controls measure their text while they are read (a link label sizes
  // itself), and fonts need a GUI application.
  static QApplication* app = new QApplication(argc, argv);
  // The font cache is Qt's global, made on first use and freed by the
  // application's end: made now, the application ends first (at exit, in
  // reverse order) and takes the cache with it.
  (void)QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("录音"));
  std::atexit([] { delete app; });
  RegisterAllClasses();
  RegisterSampleClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  QString written;
  try {
    TComponent* root = ReadComponentText(text, QStringLiteral("fuzz.vfm"), nullptr, nullptr, TReadOptions{.Designing = true});
    written = WriteComponentText(root);
    TComponent::Free(root);
  } catch (const Exception&) {
    return 0;  // rejected input: the reader's answer
  }
  // From here on an error is the writer's or the reader's fault.
  try {
    TComponent* again = ReadComponentText(written, QStringLiteral("written.vfm"), nullptr, nullptr,
                                          TReadOptions{.Designing = true});
    const QString rewritten = WriteComponentText(again);
    TComponent::Free(again);
    if (rewritten != written) {
      std::fprintf(stderr, "round trip changed the text:\n--- written\n%s\n--- read back and written\n%s\n",
                   qPrintable(written), qPrintable(rewritten));
      std::abort();
    }
  } catch (const Exception& e) {
    std::fprintf(stderr, "written text does not read back: %s\n--- written\n%s\n", qPrintable(e.Message()),
                 qPrintable(written));
    std::abort();
  }
  return 0;
}
