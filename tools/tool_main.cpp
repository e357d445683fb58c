// velmora-tool: dispatches the first argument to a command group.
#include "app/all_classes.h"
#include "tools/tool_commands.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterAllClasses();
  QStringList args = app.arguments().mid(1);
  if (args.isEmpty() || args[0] == "help" || args[0] == "--help") {
    QTextStream(stdout) << ToolUsage();
    return args.isEmpty() ? 2 : 0;
  }
  const QString group = args.takeFirst();
  for (const ToolCommand& c : ToolCommands())
    if (c.name == group) return c.run(args);
  QTextStream(stderr) << "velmora-tool: unknown command \"" << group << "\"\n" << ToolUsage();
  return 2;
}
