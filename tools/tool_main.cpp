// velmora-tool: dispatches the first argument to a command group.
#include "app/all_classes.h"
#include "platform/display_check.h"
#include "tools/tool_commands.h"

#include "toolkit/exceptions.h"

#include <QApplication>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {
bool IsHelp(const QString& a) { return a == "help" || a == "--help" || a == "-h"; }

// Every failure of a command ends here: a message and exit status 1.
int RunGuarded(const ToolCommand& c, const QStringList& args)
{
  QString message;
  try {
    return c.Run(args);
  } catch (const Exception& e) {
    message = e.Message();
  } catch (const std::exception& e) {
    message = QString::fromLocal8Bit(e.what());
  } catch (...) {
    message = QStringLiteral("unexpected failure");
  }
  QTextStream(stderr) << "velmora-tool " << c.Name << ": " << message << "\n";
  return 1;
}

// The application a command needs; none when its display cannot be opened
// (said on stderr). Only a command that shows a window connects to a
// display: the others run where none is (a closed remote session leaves
// DISPLAY naming a server that is gone, and Qt's display plugin ends the
// process when it cannot connect).
std::unique_ptr<QCoreApplication> MakeApplication(ToolCommand::TNeeds needs, int& argc, char** argv)
{
  switch (needs) {
  case ToolCommand::ndCore: return std::make_unique<QCoreApplication>(argc, argv);
  case ToolCommand::ndDrawing: qputenv("QT_QPA_PLATFORM", "offscreen"); break;
  case ToolCommand::ndDisplay: break;  // a window no one could see would wait forever
  }
  if (const QString problem = UnreachableDisplay(); !problem.isEmpty()) {
    QTextStream(stderr) << "velmora-tool: " << problem << "\n";
    return nullptr;
  }
  return std::make_unique<QApplication>(argc, argv);
}
} // namespace

int main(int argc, char** argv)
{
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and the file is finished.
  std::signal(SIGXFSZ, SIG_IGN);
  // Our own arguments as given: Qt takes some for itself ("--title", "-display").
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  if (args.isEmpty()) {
    QTextStream(stderr) << ToolUsage();
    return 2;
  }
  if (IsHelp(args[0]) && args.size() == 1) {
    QTextStream(stdout) << ToolUsage();
    return 0;
  }
  // "help COMMAND" and "COMMAND --help" both print that command's usage.
  const bool help = IsHelp(args[0]) || (args.size() >= 2 && (args[1] == "--help" || args[1] == "-h"));
  const QString group = IsHelp(args[0]) ? args[1] : args[0];
  args.removeFirst();
  for (const ToolCommand& c : ToolCommands()) {
    if (c.Name != group) continue;
    if (help) {
      QTextStream(stdout) << "usage: velmora-tool " << c.Usage;
      return 0;
    }
    const std::unique_ptr<QCoreApplication> app = MakeApplication(c.Needs, argc, argv);
    if (!app) return 1;
    RegisterAllClasses();
    return RunGuarded(c, args);
  }
  QTextStream(stderr) << "velmora-tool: unknown command \"" << group << "\"\n" << ToolUsage();
  return 2;
}
