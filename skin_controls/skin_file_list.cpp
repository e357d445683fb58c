#include "skin_controls/skin_file_list.h"

#include "skin_controls/skin_shell_boxes.h"

#include <QGuiApplication>
#include <QLocale>
#include <algorithm>

namespace {

// Special folders by the names descriptions use.
const std::pair<const char*, int> kRootNames[] = {
    {"rfDesktop", 0},        {"rfMyComputer", 17},   {"rfNetwork", 18},       {"rfRecycleBin", 10},
    {"rfAppData", 26},       {"rfCommonDesktopDirectory", 25}, {"rfCommonPrograms", 23},
    {"rfCommonStartMenu", 22}, {"rfCommonStartup", 24}, {"rfControlPanel", 3}, {"rfDesktopDirectory", 16},
    {"rfFavorites", 6},      {"rfFonts", 20},        {"rfInternet", 1},       {"rfPersonal", 5},
    {"rfPrinters", 4},       {"rfPrintHood", 27},    {"rfPrograms", 2},       {"rfRecent", 8},
    {"rfSendTo", 9},         {"rfStartMenu", 11},    {"rfStartup", 7},        {"rfTemplates", 21}};

QString SizeText(qint64 bytes)
{
  if (bytes < 0) return {};
  const qint64 kb = (bytes + 1023) / 1024;
  return QLocale().toString(kb) + QStringLiteral(" KB");
}

// The wait cursor and the filling flag, put back however the listing ends.
class TFillingGuard {
public:
  explicit TFillingGuard(bool& flag) : flag_(flag)
  {
    flag_ = true;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TFillingGuard()
  {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) QGuiApplication::restoreOverrideCursor();
    flag_ = false;
  }
  TFillingGuard(const TFillingGuard&) = delete;
  TFillingGuard& operator=(const TFillingGuard&) = delete;

private:
  bool& flag_;
};

} // namespace

// ---------------------------------------------------------------- TbsShellFolder

TbsShellFolder::TbsShellFolder(TbsShellFolder* parent, TShellItemId absoluteId, const TShellEntry* entry)
    : parent_(parent), absolute_(std::move(absoluteId))
{
  if (entry) {
    entry_ = *entry;
  } else {
    const TShellNamespace& ns = ShellNamespace();
    entry_.RelativeId = RelativeId();
    entry_.DisplayName = ns.DisplayName(absolute_);
    entry_.Folder = ns.IsFolder(absolute_);
    entry_.FileSystem = ns.IsFileSystem(absolute_);
  }
}

QString TbsShellFolder::PathName() const { return ShellNamespace().Path(absolute_); }

bool TbsShellFolder::IsFolder() const
{
  return entry_.Folder && !RelativeId().toUpper().endsWith(QLatin1String(".ZIP"));
}

QIcon TbsShellFolder::Icon() const { return ShellNamespace().Icon(absolute_, false); }

void TbsShellFolder::LoadColumnDetails(int count)
{
  if (loaded_ && columns_.size() >= count) return;
  int error = 0;
  const auto details = ShellNamespace().Details(absolute_, &error);
  columns_ = QStringList{entry_.DisplayName, QString(), QString(), QString()};
  detailsError_ = details ? 0 : error;
  if (details) {
    columns_[1] = SizeText(details->Size);
    columns_[2] = details->TypeName;
    columns_[3] = details->Modified.isValid() ? details->Modified.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                              : QString();
  }
  while (columns_.size() < count) columns_ << QString();
  loaded_ = true;
}

QString TbsShellFolder::Details(int column) const
{
  if (!loaded_) throw EShellError(QStringLiteral("%1: Missing call to LoadColumnDetails").arg(entry_.DisplayName));
  return column >= 0 && column < columns_.size() ? columns_[column] : QString();
}

void TbsShellFolder::Rename(const QString& newName)
{
  absolute_ = ShellNamespace().Rename(absolute_, newName);
  entry_.RelativeId = RelativeId();
  entry_.DisplayName = newName;
  loaded_ = false;
  columns_.clear();
}

// ---------------------------------------------------------------- TbsFileMask

TbsFileMask::TbsFileMask(const QString& mask)
{
  static const QRegularExpression separators(QStringLiteral("[;|]"));
  for (const QString& part : mask.split(separators, Qt::SkipEmptyParts)) {
    const QString pattern = part.trimmed();
    if (!pattern.contains(QLatin1Char('.'))) continue;
    patterns_ << pattern;
    expressions_.push_back(QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive,
                                                            QRegularExpression::DefaultWildcardConversion));
  }
}

bool TbsFileMask::Matches(const QString& fileName) const
{
  // "*.*" means every file, those without an extension too.
  if (patterns_.contains(QStringLiteral("*.*"))) return true;
  return std::any_of(expressions_.begin(), expressions_.end(),
                     [&](const QRegularExpression& re) { return re.match(fileName).hasMatch(); });
}

QString TbsFileMask::DefaultExtension() const
{
  if (patterns_.isEmpty()) return {};
  const QString first = patterns_.first();
  const QString ext = first.mid(first.lastIndexOf(QLatin1Char('.')));
  static const QRegularExpression wild(QStringLiteral("[*?\\[]"));
  return ext.size() > 1 && !ext.contains(wild) ? ext : QString();
}

// ---------------------------------------------------------------- TbsCustomShellListView

TbsCustomShellListView::TbsCustomShellListView(TComponent* AOwner) : TbsSkinCustomListView(AOwner) {}

TbsCustomShellListView::~TbsCustomShellListView() = default;

void TbsCustomShellListView::SetMask(const QString& v)
{
  if (v == mask_) return;
  mask_ = v;
  fileMask_ = TbsFileMask(v);
  FillList();
}

void TbsCustomShellListView::SetObjectTypes(TShellObjectTypes v)
{
  if (v == objectTypes_) return;
  objectTypes_ = v;
  if (!IsLoading()) FillList();
}

void TbsCustomShellListView::SetSorted(bool v)
{
  if (v == sorted_) return;
  sorted_ = v;
  FillList();
}

void TbsCustomShellListView::SetViewStyle(TViewStyle v)
{
  if (v == ViewStyle()) return;
  TbsSkinCustomListView::SetViewStyle(v);
  if (!IsLoading() && v == vsReport) BuildColumns();
}

std::optional<TShellItemId> TbsCustomShellListView::ResolveRoot(const QString& root)
{
  for (const auto& [name, number] : kRootNames) {
    if (root.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return ShellNamespace().SpecialFolder(number);
  }
  return ShellNamespace().Parse(root);
}

void TbsCustomShellListView::SetRoot(const QString& v)
{
  if (v.compare(root_, Qt::CaseInsensitive) == 0) return;
  if (IsLoading()) {
    // Resolved once the window is read: a stored root missing on this machine
    // must not keep the window from opening.
    root_ = v;
    current_.reset();
    return;
  }
  const auto id = ResolveRoot(v);
  if (!id) throw EShellError(QStringLiteral("Error setting path: \"%1\"").arg(v));
  root_ = v;
  current_ = std::make_unique<TbsShellFolder>(nullptr, *id);
  FillList();
}

void TbsCustomShellListView::Loaded()
{
  TbsSkinCustomListView::Loaded();
  if (!current_) {
    // A root this machine does not have shows the desktop.
    const auto id = ResolveRoot(root_);
    current_ = std::make_unique<TbsShellFolder>(nullptr, id.value_or(TShellItemId{}));
  }
  FillList();
}

TbsShellFolder* TbsCustomShellListView::Folder(int index) const
{
  return index >= 0 && index < int(items_.size()) ? items_[size_t(index)].get() : nullptr;
}

void TbsCustomShellListView::GoTo(const TShellItemId& folder)
{
  if (filling_ || (current_ && current_->AbsoluteId() == folder)) return;
  current_ = std::make_unique<TbsShellFolder>(nullptr, folder);
  FillList();
  if (folderChange_) folderChange_();
}

void TbsCustomShellListView::GoToPath(const QString& path)
{
  const auto id = ShellNamespace().Parse(path);
  if (!id) throw EShellError(QStringLiteral("Error setting path: \"%1\"").arg(path));
  GoTo(*id);
}

void TbsCustomShellListView::GoUp()
{
  if (!current_ || current_->AbsoluteId().isEmpty()) return;
  GoTo(current_->AbsoluteId().mid(0, current_->AbsoluteId().size() - 1));
}

void TbsCustomShellListView::Refresh()
{
  if (filling_) return;
  const int index = ItemIndex();
  ClearSelection();
  if (!current_) current_ = std::make_unique<TbsShellFolder>(nullptr, TShellItemId{});
  // A fresh node: the folder may have been renamed or its details changed.
  current_ = std::make_unique<TbsShellFolder>(nullptr, current_->AbsoluteId());
  FillList();
  if (index >= 0 && index < ItemCount()) SetItemIndex(index);
}

void TbsCustomShellListView::FillList()
{
  if (filling_ || (IsLoading() && !HandleAllocated())) return;
  if (!current_) return;
  TFillingGuard guard(filling_);
  if (comboBox_) comboBox_->ListFolderChanged(current_->AbsoluteId());
  items_.clear();
  SetItemCount(0);
  const TShellNamespace& ns = ShellNamespace();
  const auto entries = ns.Enumerate(current_->AbsoluteId(), objectTypes_);
  if (entries) {
    items_.reserve(entries->size());
    for (const TShellEntry& e : *entries) {
      auto node = std::make_unique<TbsShellFolder>(current_.get(), current_->AbsoluteId() + QStringList{e.RelativeId}, &e);
      bool accept = node->IsFolder() || fileMask_.Matches(e.DisplayName);
      if (accept && onAddFolder_) onAddFolder_(this, node.get(), accept);
      if (accept) items_.push_back(std::move(node));
    }
    if (sorted_) {
      std::stable_sort(items_.begin(), items_.end(), [&](const auto& a, const auto& b) {
        if (a->IsFolder() != b->IsFolder()) return a->IsFolder();
        return ns.Compare(a->Entry(), b->Entry()) < 0;
      });
    }
  }
  SetItemCount(int(items_.size()));
  if (ViewStyle() == vsReport) BuildColumns();
}

void TbsCustomShellListView::SetShellComboBox(TbsCustomShellComboBox* v)
{
  if (!ReplaceReference(comboBox_, v) || !v) return;
  v->SetShellListView(this);
  if (current_) v->ListFolderChanged(current_->AbsoluteId());
}

void TbsCustomShellListView::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinCustomListView::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == comboBox_) comboBox_ = nullptr;
}

QString TbsCustomShellListView::ColumnCaption(const QString& name, const QString& builtIn) const
{
  if (SkinData() && SkinData()->ResourceStrData()) {
    const QString s = SkinData()->ResourceStrData()->GetResString(name);
    if (!s.isEmpty()) return s;
  }
  return builtIn;
}

void TbsCustomShellListView::BuildColumns()
{
  ClearColumns();
  if (!current_) return;
  static const QString names[] = {QStringLiteral("FLV_NAME"), QStringLiteral("FLV_SIZE"), QStringLiteral("FLV_TYPE"),
                                  QStringLiteral("FLV_MODIFIED")};
  const int x = Font()->Metrics().horizontalAdvance(QLatin1Char('X'));
  const auto columns = ShellNamespace().Columns(current_->AbsoluteId());
  for (size_t i = 0; i < columns.size(); ++i) {
    const TShellColumn& c = columns[i];
    const QString caption = i < 4 ? ColumnCaption(names[i], c.Caption) : c.Caption;
    AddColumn(caption, c.Chars * x, c.Alignment == 1 ? taRightJustify : c.Alignment == 2 ? taCenter : taLeftJustify);
  }
}

void TbsCustomShellListView::ApplySkinData()
{
  TbsSkinCustomListView::ApplySkinData();
  if (ViewStyle() == vsReport && current_) BuildColumns();
}

QString TbsCustomShellListView::FolderPath() const { return current_ ? current_->PathName() : QString(); }

QString TbsCustomShellListView::SelectedPath() const
{
  const TbsShellFolder* node = Folder(ItemIndex());
  return node && Selected(ItemIndex()) && !node->IsFolder() ? node->PathName() : QString();
}

QStringList TbsCustomShellListView::SelectedFiles() const
{
  QStringList out;
  for (int i : SelectedIndexes()) {
    if (!items_[size_t(i)]->IsFolder()) out << items_[size_t(i)]->PathName();
  }
  return out;
}

QString TbsCustomShellListView::ItemCaption(int index) const
{
  const TbsShellFolder* node = Folder(index);
  return node ? node->DisplayName() : QString();
}

QIcon TbsCustomShellListView::ItemIcon(int index, bool) const
{
  const TbsShellFolder* node = Folder(index);
  return node ? node->Icon() : QIcon();
}

QStringList TbsCustomShellListView::ItemSubItems(int index) const
{
  TbsShellFolder* node = Folder(index);
  if (!node) return {};
  node->LoadColumnDetails(ColumnCount());
  QStringList out;
  for (int c = 1; c < ColumnCount(); ++c) out << node->Details(c);
  return out;
}

bool TbsCustomShellListView::ItemRenamed(int index, const QString& text)
{
  TbsShellFolder* node = Folder(index);
  if (!node) return false;
  node->Rename(text);
  return true;
}

void TbsCustomShellListView::ItemActivated(int index)
{
  const TbsShellFolder* node = Folder(index);
  if (!node) return;
  if (node->IsFolder()) {
    if (autoNavigate_) GoTo(node->AbsoluteId());
  } else if (fileActivated_) {
    fileActivated_(index);
  }
}

void TbsCustomShellListView::KeyDown(int& Key, TShiftState Shift)
{
  if (autoNavigate_ && !IsEditing()) {
    const TbsShellFolder* node = Folder(ItemIndex());
    if (Key == VK_BACK) {
      Key = 0;
      GoUp();
      return;
    }
    if (Key == VK_RETURN && !(Shift & ssAlt) && node && Selected(ItemIndex()) && node->IsFolder()) {
      Key = 0;
      GoTo(node->AbsoluteId());
      return;
    }
    if (Key == VK_F1 + 4) {
      Key = 0;
      Refresh();
      return;
    }
  }
  TbsSkinCustomListView::KeyDown(Key, Shift);
}
