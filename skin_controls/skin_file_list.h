// The shell file list: TbsShellFolder nodes over the shell namespace
// (platform/shell_namespace.h) and TbsSkinFileListView, the skinned list that
// shows one folder's items (folders first, files through the mask), goes into
// folders and back up, refreshes on F5 and renames items in place unless it is
// read-only.
#pragma once

#include "platform/shell_namespace.h"
#include "skin_controls/skin_list_view.h"

#include <QRegularExpression>
#include <functional>
#include <memory>

// One item of the namespace: its identifiers, its place under its parent and
// its detail texts once loaded.
class TbsShellFolder {
public:
  // `entry` is what the parent's listing said of the item (read again when absent).
  TbsShellFolder(TbsShellFolder* parent, TShellItemId absoluteId, const TShellEntry* entry = nullptr);

  QString RelativeId() const { return absolute_.isEmpty() ? QString() : absolute_.last(); }
  const TShellItemId& AbsoluteId() const { return absolute_; }
  TbsShellFolder* Parent() const { return parent_; }
  // Ancestors above the item: the desktop 0, the computer 1, a drive 2.
  int Level() const { return int(absolute_.size()); }
  QString DisplayName() const { return entry_.DisplayName; }
  QString PathName() const;
  // An archive the shell might present as a folder stays a file.
  bool IsFolder() const;
  bool IsFileSystem() const { return entry_.FileSystem; }
  const TShellEntry& Entry() const { return entry_; }
  QIcon Icon() const;

  // Reads the detail texts (name, size, type, modified) unless `count` are
  // there already. An item that is gone, or cannot be read, gets empty texts.
  void LoadColumnDetails(int count);
  // Raises EShellError "%s: Missing call to LoadColumnDetails" before a load.
  QString Details(int column) const;
  int DetailsCount() const { return int(columns_.size()); }
  bool DetailsLoaded() const { return loaded_; }
  // The reason the last load gave empty texts (errno), 0 when it read them.
  int DetailsError() const { return detailsError_; }

  // Refuses empty names, ".", "..", names with "/" and names already taken;
  // raises EShellError "Rename to %s failed: ...".
  void Rename(const QString& newName);

private:
  TbsShellFolder* parent_;
  TShellItemId absolute_;
  TShellEntry entry_;
  QStringList columns_;
  bool loaded_ = false;
  int detailsError_ = 0;
};

// Splits a mask at ";" and "|"; only patterns with a dot take part.
// Matching is on the file name, without regard to case.
class TbsFileMask {
public:
  explicit TbsFileMask(const QString& mask = QStringLiteral("*.*"));
  bool Matches(const QString& fileName) const;
  // The first pattern's extension when it has no wildcard ("*.mp3;*.wav" gives ".mp3").
  QString DefaultExtension() const;

private:
  QStringList patterns_;
  std::vector<QRegularExpression> expressions_;
};

class TbsCustomShellComboBox;

using TAddFolderEvent = std::function<void(TObject* Sender, TbsShellFolder* Node, bool& CanAdd)>;

class TbsCustomShellListView : public TbsSkinCustomListView {
  Q_OBJECT
  Q_MOC_INCLUDE("skin_controls/skin_shell_boxes.h")
  Q_PROPERTY(QString Mask READ Mask WRITE SetMask)
  Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
  Q_PROPERTY(bool AutoNavigate READ AutoNavigate WRITE SetAutoNavigate)
  Q_PROPERTY(bool AutoRefresh READ AutoRefresh WRITE SetAutoRefresh)
  Q_PROPERTY(bool AutoContextMenus READ AutoContextMenus WRITE SetAutoContextMenus)
  Q_PROPERTY(QString Root READ Root WRITE SetRoot)
  Q_PROPERTY(TbsCustomShellComboBox* ShellComboBox READ ShellComboBox WRITE SetShellComboBox)

public:
  explicit TbsCustomShellListView(TComponent* AOwner);
  ~TbsCustomShellListView() override;

  QString Mask() const { return mask_; }
  void SetMask(const QString& v);
  TShellObjectTypes ObjectTypes() const { return objectTypes_; }
  void SetObjectTypes(TShellObjectTypes v);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  bool AutoNavigate() const { return autoNavigate_; }
  void SetAutoNavigate(bool v) { autoNavigate_ = v; }
  // Watching folders for changes is not done; the value is kept.
  bool AutoRefresh() const { return autoRefresh_; }
  void SetAutoRefresh(bool v) { autoRefresh_ = v; }
  bool AutoContextMenus() const { return autoContextMenus_; }
  void SetAutoContextMenus(bool v) { autoContextMenus_ = v; }
  // "rfDesktop", "rfMyComputer", "rfDesktopDirectory", "rfPersonal", or a
  // folder path. A root that cannot be resolved raises EShellError
  // "Error setting path: "%s"" and the previous root stays.
  QString Root() const { return root_; }
  void SetRoot(const QString& v);
  TAddFolderEvent OnAddFolder() const { return onAddFolder_; }
  void SetOnAddFolder(TAddFolderEvent e) { onAddFolder_ = std::move(e); }
  // Runs after every change of the shown folder (not after a refresh).
  void SetFolderChangeCallback(std::function<void()> f) { folderChange_ = std::move(f); }
  // Runs when a file (not a folder) is opened by a double click.
  void SetFileActivatedCallback(std::function<void(int index)> f) { fileActivated_ = std::move(f); }
  // The folder box that follows the shown folder; it takes the list's root.
  TbsCustomShellComboBox* ShellComboBox() const { return comboBox_; }
  void SetShellComboBox(TbsCustomShellComboBox* v);
  // A special folder's name or a path; nothing when the shell has no such place.
  static std::optional<TShellItemId> ResolveRoot(const QString& root);

  void SetViewStyle(TViewStyle v) override;

  TbsShellFolder* CurrentFolder() const { return current_.get(); }
  TbsShellFolder* Folder(int index) const;
  // Shows a folder; ignored while filling or when it is the one shown.
  void GoTo(const TShellItemId& folder);
  // A file-system path; raises EShellError "Error setting path: "%s"" when the shell cannot parse it.
  void GoToPath(const QString& path);
  void GoUp();
  // Lists the shown folder again and selects the item at the same index.
  void Refresh();
  bool Filling() const { return filling_; }

  // The shown folder's path (empty for the computer), the selected file's
  // (empty when a folder or nothing is selected), every selected file's.
  QString FolderPath() const;
  QString SelectedPath() const;
  QStringList SelectedFiles() const;

  void Loaded() override;
  void ApplySkinData() override;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  QString ItemCaption(int index) const override;
  QIcon ItemIcon(int index, bool large) const override;
  QStringList ItemSubItems(int index) const override;
  bool ItemRenamed(int index, const QString& text) override;
  void ItemActivated(int index) override;
  void KeyDown(int& Key, TShiftState Shift) override;

private:
  void FillList();
  void BuildColumns();
  QString ColumnCaption(const QString& name, const QString& builtIn) const;

  QString mask_ = QStringLiteral("*.*|*.*");
  TbsFileMask fileMask_{mask_};
  TShellObjectTypes objectTypes_ = TShellObjectTypes(otFolders | otNonFolders);
  bool sorted_ = true;
  bool autoNavigate_ = true;
  bool autoRefresh_ = false;
  bool autoContextMenus_ = true;
  QString root_ = QStringLiteral("rfDesktop");
  std::unique_ptr<TbsShellFolder> current_;
  std::vector<std::unique_ptr<TbsShellFolder>> items_;
  bool filling_ = false;
  TAddFolderEvent onAddFolder_;
  std::function<void()> folderChange_;
  std::function<void(int)> fileActivated_;
  TbsCustomShellComboBox* comboBox_ = nullptr;
};

class TbsSkinFileListView : public TbsCustomShellListView {
  Q_OBJECT
public:
  Q_INVOKABLE explicit TbsSkinFileListView(TComponent* AOwner) : TbsCustomShellListView(AOwner) {}
};
