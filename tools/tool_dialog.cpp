// velmora-tool dialog: the skinned open or save dialog on its own, with the
// built-in skin (skin.bin beside the tool, else the record window's); prints
// the chosen path, or nothing (exit 1) on cancel.
#include "app/app_forms.h"
#include "skin/skin_data.h"
#include "skin_controls/skin_file_dialog.h"
#include "tools/tool_commands.h"
#include "toolkit/exceptions.h"
#include "toolkit/form_parser.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {
// The stored skin of the record window's description (compiled in).
QByteArray RecordWindowSkin()
{
  const QString path = FormDescriptionPath(QStringLiteral("Form_Record"));
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw EFOpenError(QStringLiteral("Cannot open file %1. %2").arg(path, f.errorString()));
  const std::unique_ptr<TDescObject> root = ParseDescription(QString::fromUtf8(f.readAll()), path);
  for (const auto& child : root->Children)
    if (child->ClassName == QLatin1String("TbsCompressedStoredSkin"))
      for (const TDescProperty& p : child->Properties)
        if (p.Name == QLatin1String("CompressedData") && p.Value.ValueKind == TDescValue::Binary) return p.Value.Bytes;
  throw EFOpenError(QStringLiteral("%1 holds no stored skin").arg(path));
}
} // namespace

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
  // The packed skin beside the tool, else the one the record window carries.
  if (QFileInfo::exists(DefaultSkinFile())) stored->ImportPackedFile(DefaultSkinFile());
  else stored->SetCompressedData(RecordWindowSkin());
  auto* skin = new TbsSkinData(&owner);
  skin->SetCompressedStoredSkin(stored);
  dialog->SetSkinData(skin);
  dialog->SetCtrlSkinData(skin);
  if (!dialog->Execute()) return 1;
  out << dialog->FileName() << '\n';
  return 0;
}
