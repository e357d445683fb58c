// velmora-tool form: window description commands.
#include <QStringList>
#include <QTextStream>

int RunFormCommand(QStringList args)
{
  QTextStream(stderr) << "form: not implemented yet\n";
  return args.isEmpty() ? 2 : 1;
}
