#include "skin_controls/skin_shell_boxes.h"

#include "toolkit/image_list.h"

#include <algorithm>

namespace {

bool StartsWith(const TShellItemId& id, const TShellItemId& prefix)
{
  return id.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), id.begin());
}

} // namespace

// ---------------------------------------------------------------- folder box

TbsCustomShellComboBox::TbsCustomShellComboBox(TComponent* AOwner)
    : TbsSkinCustomComboBox(AOwner), icons_(new TImageList(this))
{
  SetDropDownCount(10);
  SetImages(icons_);
  PopupList()->ItemIndent = [this](int index) { return EntryLevel(index) * icons_->Width() / 2; };
}

TbsCustomShellComboBox::~TbsCustomShellComboBox() = default;

void TbsCustomShellComboBox::SetRoot(const QString& v)
{
  if (v.compare(root_, Qt::CaseInsensitive) == 0 && !entries_.empty()) return;
  if (!TbsCustomShellListView::ResolveRoot(v)) throw EShellError(QStringLiteral("Error setting path: \"%1\"").arg(v));
  root_ = v;
  Rebuild();
  if (list_ && list_->Root().compare(v, Qt::CaseInsensitive) != 0) list_->SetRoot(v);
}

void TbsCustomShellComboBox::SetObjectTypes(TShellObjectTypes v)
{
  if (v == objectTypes_) return;
  objectTypes_ = v;
  Rebuild();
}

void TbsCustomShellComboBox::SetShellListView(TbsCustomShellListView* v)
{
  if (!ReplaceReference(list_, v) || !v) return;
  root_ = v->Root();
  if (v->ShellComboBox() != this) v->SetShellComboBox(this);
}

void TbsCustomShellComboBox::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinCustomComboBox::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == list_) list_ = nullptr;
}

TbsShellFolder* TbsCustomShellComboBox::EntryNode(int index) const
{
  return index >= 0 && index < EntryCount() ? entries_[size_t(index)].Node.get() : nullptr;
}

int TbsCustomShellComboBox::EntryLevel(int index) const
{
  return index >= 0 && index < EntryCount() ? entries_[size_t(index)].Level : 0;
}

QIcon TbsCustomShellComboBox::EntryIcon(int index) const
{
  const TbsShellFolder* node = EntryNode(index);
  return node ? node->Icon() : QIcon();
}

int TbsCustomShellComboBox::IndexOf(const TShellItemId& id) const
{
  for (int i = 0; i < EntryCount(); ++i)
    if (entries_[size_t(i)].Node->AbsoluteId() == id) return i;
  return -1;
}

void TbsCustomShellComboBox::InsertEntry(int at, const TShellItemId& id, const TShellEntry* info, int level)
{
  Entry e;
  e.Node = std::make_unique<TbsShellFolder>(nullptr, id, info);
  e.Level = level;
  entries_.insert(entries_.begin() + std::clamp(at, 0, EntryCount()), std::move(e));
}

void TbsCustomShellComboBox::Rebuild()
{
  rebuilding_ = true;
  entries_.clear();
  rootId_ = TbsCustomShellListView::ResolveRoot(root_).value_or(TShellItemId{});
  InsertEntry(0, rootId_, nullptr, 0);
  const TShellNamespace& ns = ShellNamespace();
  const auto insertChildren = [&](int after, const TShellItemId& parent, int level) {
    auto children = ns.Enumerate(parent, objectTypes_).value_or(std::vector<TShellEntry>{});
    // The home folder is always offered on the desktop, also when the desktop is home itself.
    if (parent.isEmpty() && (objectTypes_ & otFolders) &&
        std::none_of(children.begin(), children.end(), [](const TShellEntry& c) { return c.RelativeId == kShellHomeId; }))
      children.push_back({kShellHomeId, ns.DisplayName({kShellHomeId}), true, true, false});
    std::stable_sort(children.begin(), children.end(), [&](const TShellEntry& a, const TShellEntry& b) {
      if (a.Folder != b.Folder) return a.Folder;
      return ns.Compare(a, b) < 0;
    });
    int at = after + 1;
    for (const TShellEntry& c : children) InsertEntry(at++, parent + QStringList{c.RelativeId}, &c, level);
  };
  insertChildren(0, rootId_, 1);
  // On the desktop the drives stand right under the computer.
  if (rootId_.isEmpty()) {
    const int computer = IndexOf({kShellComputerId});
    if (computer >= 0) insertChildren(computer, {kShellComputerId}, 2);
  }
  SyncStrings(0);
  rebuilding_ = false;
}

void TbsCustomShellComboBox::SelectFolder(const TShellItemId& id)
{
  Rebuild();
  rebuilding_ = true;
  if (StartsWith(id, rootId_)) {
    int previous = 0;
    for (qsizetype depth = rootId_.size() + 1; depth <= id.size(); ++depth) {
      const TShellItemId ancestor = id.mid(0, depth);
      const int found = IndexOf(ancestor);
      if (found >= 0) {
        previous = found;
      } else {
        InsertEntry(previous + 1, ancestor, nullptr, int(depth - rootId_.size()));
        ++previous;
      }
    }
  } else if (IndexOf(id) < 0) {
    InsertEntry(EntryCount(), id, nullptr, int(id.size()));
  }
  SyncStrings(IndexOf(id));
  rebuilding_ = false;
}

void TbsCustomShellComboBox::SyncStrings(int selected)
{
  QStringList captions;
  captions.reserve(EntryCount());
  icons_->Clear();
  for (const Entry& e : entries_) {
    captions << e.Node->DisplayName();
    icons_->AddImage(e.Node->Icon().pixmap(icons_->Width(), icons_->Height()).toImage());
  }
  SetItems(captions);
  SetItemIndex(selected);
}

void TbsCustomShellComboBox::ListFolderChanged(const TShellItemId& id)
{
  if (syncing_) return;
  const TbsShellFolder* shown = EntryNode(ItemIndex());
  if (shown && shown->AbsoluteId() == id) return;
  syncing_ = true;
  SelectFolder(id);
  syncing_ = false;
}

void TbsCustomShellComboBox::ChooseEntry(int index)
{
  if (index < 0 || index >= EntryCount()) return;
  SetItemIndex(index);
}

void TbsCustomShellComboBox::ItemIndexChanged()
{
  if (!rebuilding_ && !syncing_) SelectionChanged();
}

void TbsCustomShellComboBox::SelectionChanged()
{
  if (const TbsShellFolder* node = EntryNode(ItemIndex())) {
    const TShellItemId id = node->AbsoluteId();
    SelectFolder(id);
    if (list_) {
      syncing_ = true;
      list_->GoTo(id);
      syncing_ = false;
    }
  }
  if (onChange_) onChange_(this);
}

// ---------------------------------------------------------------- filter box

TbsSkinFilterComboBox::TbsSkinFilterComboBox(TComponent* AOwner) : TbsSkinComboBox(AOwner)
{
  SetFilter(QStringLiteral("All files (*.*)|*.*"));
}

TbsSkinFilterComboBox::~TbsSkinFilterComboBox() = default;

void TbsSkinFilterComboBox::SetFilter(const QString& v)
{
  if (v.compare(filter_, Qt::CaseInsensitive) == 0 && !Items().isEmpty()) return;
  filter_ = v;
  const QStringList parts = v.split(QLatin1Char('|'));
  QStringList descriptions;
  masks_.clear();
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    descriptions << parts[i];
    masks_ << parts[i + 1];
  }
  SetItems(descriptions);
  SetItemIndex(descriptions.isEmpty() ? -1 : 0);
}

QString TbsSkinFilterComboBox::Mask()
{
  if (masks_.isEmpty()) return QStringLiteral("*.*");
  if (ItemIndex() < 0) SetItemIndex(int(masks_.size()) - 1);
  return masks_[ItemIndex()];
}

void TbsSkinFilterComboBox::SetFileList(TbsCustomShellListView* v)
{
  ReplaceReference(fileList_, v);
}

void TbsSkinFilterComboBox::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinComboBox::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == fileList_) fileList_ = nullptr;
}

void TbsSkinFilterComboBox::ItemIndexChanged()
{
  // No entry chosen: nothing to hand on (Mask chooses the last one when asked).
  if (ItemIndex() >= 0) SelectionChanged();
}

void TbsSkinFilterComboBox::SelectionChanged()
{
  if (fileList_) fileList_->SetMask(Mask());
  if (onChange_) onChange_(this);
}
