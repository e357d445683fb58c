#include "tools/tool_commands.h"

int RunFormCommand(QStringList args);
int RunArtCommand(QStringList args);
int RunRecordCommand(QStringList args);
int RunDevicesCommand(QStringList args);
int RunRecordStationCommand(QStringList args);
int RunMixerCommand(QStringList args);
int RunSkinCommand(QStringList args);
int RunStationsCommand(QStringList args);
int RunFilesCommand(QStringList args);
int RunDialogCommand(QStringList args);
int RunScheduleCommand(QStringList args);

const std::vector<ToolCommand>& ToolCommands()
{
  static const std::vector<ToolCommand> commands = {
      {"form",
       "form check FILE...          read window descriptions, print ok and the component count\n"
       "  form render FILE OUT.png      draw a window description headless into a picture\n"
       "  form layout FILE [OUT.png]    each control's place and size with the skin applied, and its definition\n",
       RunFormCommand, ToolCommand::ndDrawing},
      {"art",
       "art toolbar FORM.vfm        redraw the main window's tool-bar images into its description\n"
       "  art skin FORM.vfm SKIN.ini    pack a skin folder into a description's stored skin\n"
       "  art icon SIZE OUT.png         draw the program's icon at SIZE x SIZE pixels\n",
       RunArtCommand, ToolCommand::ndDrawing},
      {"record", "record [--device NAME] [--bitrate KBPS] [--seconds S] [--no-tags] OUT.mp3\n"
                 "                              record a capture device to MP3 (Ctrl-C stops); S may be\n"
                 "                              decimal; the record window's tags unless --no-tags\n",
       RunRecordCommand},
      {"record-station", "record-station URL [--seconds S | --minutes M] [--bitrate KBPS] [--name NAME] [--split] OUT.mp3\n"
                         "                              play a station silently and record it to MP3 (Ctrl-C\n"
                         "                              stops); gaps while it drops are silence; --split starts\n"
                         "                              a file named after each new track beside OUT.mp3\n",
       RunRecordStationCommand},
      {"schedule",
       "schedule list                the scheduled recordings (id, on/off, when, station, file, last result)\n"
       "  schedule add --url URL [--name NAME] (--at \"yyyy-MM-dd HH:mm\" | --weekly 1,3,5 --time HH:mm)\n"
       "               [--minutes M | --seconds S] [--folder DIR] [--bitrate KBPS] [--pattern TEXT] [--aloud] [--split]\n"
       "  schedule remove|enable|disable ID\n",
       RunScheduleCommand},
      {"devices", "devices                     the recording sources by name, the default first\n", RunDevicesCommand},
      {"mixer",
       "mixer [N]                   show mixer N (or every mixer): lines, controls, values\n"
       "  mixer N set CONTROLID VALUE...  set a control (one value, one per channel, or list items)\n",
       RunMixerCommand},
      {"skin",
       "skin pack FOLDER/skin.ini OUT.bin   pack a skin folder into a packed skin file\n"
       "  skin info FILE                    describe a stored block or packed skin file\n"
       "  skin sheet OUT.png [FILE]         draw every definition's pictures with their names\n"
       "                                    (FILE: the built-in skin.bin beside the program)\n",
       RunSkinCommand, ToolCommand::ndDrawing},
      {"stations",
       "stations [--search TEXT] [--by name|tag|language|country] [--limit N]\n"
       "                              the stations the directory page would list:\n"
       "                              source, name, codec, bit rate, address\n",
       RunStationsCommand},
      {"files",
       "files [--mask MASK] [--hidden] [FOLDER]\n"
       "                              a folder (or the desktop) as the file list shows it:\n"
       "                              kind, name, size, type, modified\n",
       RunFilesCommand, ToolCommand::ndDrawing},
      {"dialog",
       "dialog save|open [--dir FOLDER] [--filter 'MP3 文件|*.mp3'] [--title TEXT]\n"
       "                              the skinned file dialog with the built-in skin: prints\n"
       "                              the chosen path, nothing and exit 1 on cancel\n",
       RunDialogCommand, ToolCommand::ndDisplay},
  };
  return commands;
}

QString ToolUsage()
{
  QString text = "usage: velmora-tool COMMAND [ARGS]\n       velmora-tool help COMMAND\n\ncommands:\n";
  for (const ToolCommand& c : ToolCommands()) text += "  " + c.Usage;
  return text;
}
