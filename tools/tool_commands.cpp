#include "tools/tool_commands.h"


int RunFormCommand(QStringList args);

const std::vector<ToolCommand>& ToolCommands()
{
  static const std::vector<ToolCommand> commands = {
      {"form", "form check FILE...          read window descriptions, print ok and the component count\n",
       RunFormCommand},
  };
  return commands;
}

QString ToolUsage()
{
  QString text = "usage: velmora-tool COMMAND [ARGS]\n\ncommands:\n";
  for (const ToolCommand& c : ToolCommands()) text += "  " + c.usage;
  return text;
}
