#include "tools/tool_commands.h"


int RunFormCommand(QStringList args);
int RunRecordCommand(QStringList args);
int RunDevicesCommand(QStringList args);
int RunMixerCommand(QStringList args);

const std::vector<ToolCommand>& ToolCommands()
{
  static const std::vector<ToolCommand> commands = {
      {"form", "form check FILE...          read window descriptions, print ok and the component count\n",
       RunFormCommand},
      {"record", "record [--device N] [--bitrate KBPS] [--seconds S] OUT.mp3\n"
                 "                              record a capture device to MP3 (Ctrl-C stops)\n",
       RunRecordCommand},
      {"devices", "devices                     list the capture devices, the default first\n", RunDevicesCommand},
      {"mixer",
       "mixer [N]                   show mixer N (or every mixer): lines, controls, values\n"
       "  mixer N set CONTROLID VALUE...  set a control (one value, one per channel, or list items)\n",
       RunMixerCommand},
  };
  return commands;
}

QString ToolUsage()
{
  QString text = "usage: velmora-tool COMMAND [ARGS]\n\ncommands:\n";
  for (const ToolCommand& c : ToolCommands()) text += "  " + c.usage;
  return text;
}
