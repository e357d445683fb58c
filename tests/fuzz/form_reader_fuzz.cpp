// Fuzzes the window-description reader: any text must give a tree or an
// EReadError, never a crash, a leak or unbounded work.
#include "app/all_classes.h"
#include "toolkit/form_reader.h"
#include "toolkit/sample_components.h"

#include <QCoreApplication>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  static int argc = 1;
  static char name[] = "form_reader_fuzz";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QCoreApplication app(argc, argv);
  RegisterAllClasses();
  RegisterSampleClasses();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  try {
    TComponent* root = ReadComponentText(text, QStringLiteral("fuzz.vfm"), nullptr, nullptr, TReadOptions{.designing = true});
    const QString written = WriteComponentText(root);
    TComponent::Free(root);
    // What was written must read back.
    TComponent* again = ReadComponentText(written, QStringLiteral("written.vfm"), nullptr, nullptr,
                                          TReadOptions{.designing = true});
    TComponent::Free(again);
  } catch (const Exception&) {
  }
  return 0;
}
