// velmora-tool files: a folder as the file list shows it (folders first, the
// mask, the order and the details columns), from the same code.
#include "skin_controls/skin_file_list.h"
#include "toolkit/forms.h"

#include <QDir>
#include <QTextStream>

int RunFilesCommand(QStringList args)
{
  QTextStream out(stdout), err(stderr);
  QString mask = QStringLiteral("*.*"), path;
  TShellObjectTypes types = TShellObjectTypes(otFolders | otNonFolders);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == "--mask" && i + 1 < args.size()) {
      mask = args[++i];
    } else if (args[i] == "--hidden") {
      types |= otHidden;
    } else if (args[i].startsWith("--") || !path.isEmpty()) {
      err << "velmora-tool files: unknown argument \"" << args[i] << "\"\n";
      return 2;
    } else {
      path = args[i];
    }
  }
  TForm form(nullptr);
  auto* list = new TbsSkinFileListView(&form);
  list->SetObjectTypes(types);
  list->SetMask(mask);
  list->SetViewStyle(TbsSkinCustomListView::vsReport);
  try {
    if (path.isEmpty()) list->GoTo({});
    else list->GoToPath(QDir(path).absolutePath());
  } catch (const Exception& e) {
    err << "velmora-tool files: " << e.Message() << '\n';
    return 1;
  }
  for (int i = 0; i < list->ItemCount(); ++i) {
    TbsShellFolder* node = list->Folder(i);
    node->LoadColumnDetails(list->ColumnCount());
    out << (node->IsFolder() ? "folder" : "file");
    for (int c = 0; c < list->ColumnCount(); ++c) out << '\t' << node->Details(c);
    out << '\n';
  }
  err << list->FolderPath() << ": " << list->ItemCount() << " items\n";
  return 0;
}
