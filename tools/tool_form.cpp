// velmora-tool form: window description commands.
#include "toolkit/form_reader.h"

#include <QStringList>
#include <QTextStream>

int RunFormRender(QStringList args);
int RunFormLayout(QStringList args);

namespace {
int Check(const QStringList& files)
{
  if (files.isEmpty()) {
    QTextStream(stderr) << "usage: velmora-tool form check FILE...\n";
    return 2;
  }
  int status = 0;
  QTextStream out(stdout);
  QTextStream err(stderr);
  for (const QString& file : files) {
    try {
      TComponent* root = ReadComponentFile(file, nullptr, nullptr, TReadOptions{.Designing = true});
      out << file << ": ok, " << CountComponents(root) << " components\n";
      TComponent::Free(root);
    } catch (const EReadError& e) {
      err << e.Message() << "\n";
      status = 1;
    } catch (const Exception& e) {
      err << file << ":0: " << e.Message() << "\n";
      status = 1;
    }
  }
  return status;
}
} // namespace

int RunFormCommand(QStringList args)
{
  const QString sub = args.isEmpty() ? QString() : args.takeFirst();
  if (sub == "check") return Check(args);
  if (sub == "render") return RunFormRender(args);
  if (sub == "layout") return RunFormLayout(args);
  QTextStream(stderr) << "usage: velmora-tool form check FILE...\n       velmora-tool form render FILE OUT.png\n"
                          "       velmora-tool form layout FILE [OUT.png]\n";
  return 2;
}
