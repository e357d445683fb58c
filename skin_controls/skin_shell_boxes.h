// The boxes beside the file list: the folder box (the namespace from its root
// down to the shown folder, linked both ways with a TbsCustomShellListView)
// and the filter box (descriptions and masks of a "desc|mask|desc|mask" filter).
//
// Both are skinned combo boxes: their entries are the item captions; the
// folder box shows each entry's icon, indented by its level in the open list.
#pragma once

#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_file_list.h"

class TImageList;

class TbsCustomShellComboBox : public TbsSkinCustomComboBox {
  Q_OBJECT
  Q_PROPERTY(QString Root READ Root WRITE SetRoot)
  Q_PROPERTY(TbsCustomShellListView* ShellListView READ ShellListView WRITE SetShellListView)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)

public:
  explicit TbsCustomShellComboBox(TComponent* AOwner);
  ~TbsCustomShellComboBox() override;

  // "rfDesktop" or another root the list accepts; raises EShellError
  // "Error setting path: "%s"" and keeps the previous root when it cannot be resolved.
  QString Root() const { return root_; }
  void SetRoot(const QString& v);
  TShellObjectTypes ObjectTypes() const { return objectTypes_; }
  void SetObjectTypes(TShellObjectTypes v);
  TbsCustomShellListView* ShellListView() const { return list_; }
  void SetShellListView(TbsCustomShellListView* v);
  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }

  int EntryCount() const { return int(entries_.size()); }
  TbsShellFolder* EntryNode(int index) const;
  int EntryLevel(int index) const;
  QIcon EntryIcon(int index) const;
  // The entry of a folder, -1 when it has none.
  int IndexOf(const TShellItemId& id) const;

  // Entries from the root again; the root selected.
  void Rebuild();
  // Shows a folder: its chain of ancestors below the deepest one listed.
  void SelectFolder(const TShellItemId& id);
  // The user chose entry `index`: the box and the linked list show its folder.
  void ChooseEntry(int index);
  // The linked list shows another folder (or root).
  void ListFolderChanged(const TShellItemId& id);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ItemIndexChanged() override;

private:
  struct Entry {
    std::unique_ptr<TbsShellFolder> Node;
    int Level = 0;
  };
  void InsertEntry(int at, const TShellItemId& id, const TShellEntry* info, int level);
  void SyncStrings(int selected);
  void SelectionChanged();

  QString root_ = QStringLiteral("rfDesktop");
  TShellItemId rootId_;
  TShellObjectTypes objectTypes_ = otFolders;
  std::vector<Entry> entries_;
  TbsCustomShellListView* list_ = nullptr;
  TImageList* icons_;
  bool rebuilding_ = false;
  bool syncing_ = false;
  TNotifyEvent onChange_;
};

class TbsSkinShellComboBox : public TbsCustomShellComboBox {
  Q_OBJECT
public:
  Q_INVOKABLE explicit TbsSkinShellComboBox(TComponent* AOwner) : TbsCustomShellComboBox(AOwner) {}
};

class TbsSkinFilterComboBox : public TbsSkinComboBox {
  Q_OBJECT
  Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
  Q_PROPERTY(TbsCustomShellListView* FileList READ FileList WRITE SetFileList)
  Q_PROPERTY(TNotifyEvent OnChange READ OnChange WRITE SetOnChange)

public:
  Q_INVOKABLE explicit TbsSkinFilterComboBox(TComponent* AOwner);
  ~TbsSkinFilterComboBox() override;

  QString Filter() const { return filter_; }
  // Pairs of a description and a mask; a description without its mask is dropped.
  void SetFilter(const QString& v);
  // The chosen entry's mask: the last entry when none is chosen, "*.*" without entries.
  QString Mask();
  QStringList Masks() const { return masks_; }
  // Receives the mask whenever the choice changes.
  TbsCustomShellListView* FileList() const { return fileList_; }
  void SetFileList(TbsCustomShellListView* v);
  TNotifyEvent OnChange() const { return onChange_; }
  void SetOnChange(const TNotifyEvent& e) { onChange_ = e; }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ItemIndexChanged() override;

private:
  void SelectionChanged();

  QString filter_;
  QStringList masks_;
  TbsCustomShellListView* fileList_ = nullptr;
  TNotifyEvent onChange_;
};
