// velmora-tool dialog: the skinned open or save dialog on its own, with the
// built-in skin; prints the chosen path, or nothing (exit 1) on cancel.
#include "skin/skin_data.h"
#include "skin_controls/skin_file_dialog.h"
#include "tools/tool_commands.h"

#include <QTextStream>

int RunDialogCommand(QStringList args)
{
  QTextStream out(stdout), err(stderr);
  if (args.isEmpty() || (args[0] != "save" && args[0] != "open")) {
    err << "usage: velmora-tool dialog save|open [--dir FOLDER] [--filter 'MP3 文件|*.mp3'] [--title TEXT]\n";
    return 2;
  }
  const bool save = args[0] == "save";
  TComponent owner(nullptr);
  TbsSkinOpenDialog* dialog = save ? new TbsSkinSaveDialog(&owner) : new TbsSkinOpenDialog(&owner);
  for (int i = 1; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--dir" && hasValue) {
      dialog->SetInitialDir(args[++i]);
    } else if (args[i] == "--filter" && hasValue) {
      dialog->SetFilter(args[++i]);
    } else if (args[i] == "--title" && hasValue) {
      dialog->SetTitle(args[++i]);
    } else {
      err << "velmora-tool dialog: unknown argument \"" << args[i] << "\"\n";
      return 2;
    }
  }
  auto* stored = new TbsCompressedStoredSkin(&owner);
  stored->ImportPackedFile(DefaultSkinFile());
  auto* skin = new TbsSkinData(&owner);
  skin->SetCompressedStoredSkin(stored);
  dialog->SetSkinData(skin);
  dialog->SetCtrlSkinData(skin);
  if (!dialog->Execute()) return 1;
  out << dialog->FileName() << '\n';
  return 0;
}
