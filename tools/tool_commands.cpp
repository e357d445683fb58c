#include "tools/tool_commands.h"


int RunFormCommand(QStringList args);
int RunSkinCommand(QStringList args);

const std::vector<ToolCommand>& ToolCommands()
{
  static const std::vector<ToolCommand> commands = {
      {"form", "form check FILE...          read window descriptions, print ok and the component count\n",
       RunFormCommand},
      {"skin",
       "skin pack FOLDER/skin.ini OUT.bin   pack a skin folder into a packed skin file\n"
       "  skin info FILE                    describe a stored block or packed skin file\n"
       "  skin sheet OUT.png [FILE]         draw every definition's pictures with their names\n",
       RunSkinCommand},
  };
  return commands;
}

QString ToolUsage()
{
  QString text = "usage: velmora-tool COMMAND [ARGS]\n\ncommands:\n";
  for (const ToolCommand& c : ToolCommands()) text += "  " + c.usage;
  return text;
}
