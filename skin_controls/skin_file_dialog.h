// The skinned open and save dialogs: TbsSkinOpenDialog / TbsSkinSaveDialog
// build a TbsOpenDlgForm on Execute (a modal window of skinned controls over
// the shell file list, the folder box and the filter box) and return the
// chosen path in FileName.
//
// A path is only ever accepted inside a real folder: it is the shown folder
// joined with the typed name (QDir::filePath), or a typed absolute path as it
// stands, and its folder must exist; otherwise the dialog stays open and says
// why (ReportProblem). The save dialog never asks about an existing file: the
// caller does.
#pragma once

#include "skin/skin_data.h"
#include "skin/skin_form.h"
#include "skin/skin_menu.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "skin_controls/skin_shell_boxes.h"
#include "skin_controls/skinned_dialog.h"
#include "toolkit/forms.h"

#include <QPointer>
#include <functional>

// Takes room in an aligned row and draws nothing.
class TbsDialogSpacer : public TGraphicControl {
  Q_OBJECT
public:
  explicit TbsDialogSpacer(TComponent* AOwner) : TGraphicControl(AOwner) {}

protected:
  void Paint() override {}
};

class TbsOpenDlgForm : public TForm {
  Q_OBJECT
public:
  TbsOpenDlgForm(TComponent* AOwner, TbsSkinData* ctrlSkinData, bool saveMode);

  TbsSkinForm* SkinForm() const { return skinForm_; }
  TbsSkinToolBar* TopBar() const { return topBar_; }
  TbsSkinStdLabel* LookInLabel() const { return lookInLabel_; }
  TbsSkinSpeedButton* BackButton() const { return backButton_; }
  TbsSkinSpeedButton* UpButton() const { return upButton_; }
  TbsSkinSpeedButton* NewFolderButton() const { return newFolderButton_; }
  TbsSkinMenuSpeedButton* ViewButton() const { return viewButton_; }
  TbsSkinPopupMenu* ViewMenu() const { return viewMenu_; }
  TbsSkinShellComboBox* FolderBox() const { return folderBox_; }
  TbsSkinPanel* BottomPanel() const { return bottomPanel_; }
  TbsSkinPanel* ListPanel() const { return listPanel_; }
  TbsSkinFileListView* FileList() const { return fileList_; }
  TbsSkinScrollBar* HScrollBar() const { return hScrollBar_; }
  TbsSkinScrollBar* VScrollBar() const { return vScrollBar_; }
  TbsSkinStdLabel* FileNameLabel() const { return fileNameLabel_; }
  TbsSkinEdit* FileNameEdit() const { return fileNameEdit_; }
  TbsSkinStdLabel* FileTypeLabel() const { return fileTypeLabel_; }
  TbsSkinFilterComboBox* FilterBox() const { return filterBox_; }
  TbsSkinButton* OKButton() const { return okButton_; }
  TbsSkinButton* CancelButton() const { return cancelButton_; }

  bool SaveMode() const { return saveMode_; }
  bool CheckFileExists() const { return checkFileExists_; }
  void SetCheckFileExists(bool v) { checkFileExists_ = v; }
  TNotifyEvent OnFolderChange() const { return onFolderChange_; }
  void SetOnFolderChange(const TNotifyEvent& e) { onFolderChange_ = e; }
  // The folders visited, oldest first.
  const std::vector<TShellItemId>& History() const { return history_; }
  // The path the user accepted (valid once the window closed with OK).
  QString AcceptedPath() const { return acceptedPath_; }

  // Why a name cannot be taken; a skinned warning by default, tests replace it.
  std::function<void(const QString& text)> ReportProblem;

  // A text of the skin's string table (CtrlSkinData's), else the built-in one.
  QString ResourceString(const QString& key, const QString& builtIn) const;

  // The user's actions, also reachable by keys and buttons.
  void Accept();
  // Enter in the file name box: a mask, a folder to go to, or a name to accept.
  void FileNameEntered();
  void GoBack();
  void GoUp();
  void NewFolder();
  void SetViewStyle(TbsSkinCustomListView::TViewStyle style);
  // A file of the list chosen directly (double click): accepted as it is.
  void FileActivated(int index);

protected:
  void DoShow() override;

private:
  // The window's parts, made in this order (the order of the window's components).
  void BuildTopBar();
  void BuildViewMenu();
  void BuildPanels();
  void BuildNameAndTypeRows();
  void BuildButtons();
  // Names `control` and sets it on `parent`.
  template <class C>
  static C* Place(C* control, TWinControl* parent, const char* name);
  // Binds `control` to the definition in the controls' skin.
  template <class C>
  void Skinned(C* control, const QString& definition);
  void FolderChanged();
  void SelectionChanged();
  // The shown folder's path when it is a real folder, else empty.
  QString RealFolderPath() const;
  // The typed text as a path: absolute as it stands, else inside the shown
  // real folder; empty (after saying why) when there is no real folder.
  QString TypedPath(const QString& text);
  void Close(const QString& path);
  void Problem(const QString& text);

  TbsSkinData* ctrlSkinData_;
  bool saveMode_;
  bool checkFileExists_ = true;
  bool goingBack_ = false;
  std::vector<TShellItemId> history_;
  QString acceptedPath_;
  TNotifyEvent onFolderChange_;

  TbsSkinForm* skinForm_;
  TbsSkinToolBar* topBar_;
  TbsSkinStdLabel* lookInLabel_;
  TbsSkinSpeedButton* backButton_;
  TbsSkinSpeedButton* upButton_;
  TbsSkinSpeedButton* newFolderButton_;
  TbsSkinMenuSpeedButton* viewButton_;
  TbsSkinPopupMenu* viewMenu_;
  TbsSkinShellComboBox* folderBox_;
  TbsSkinPanel* bottomPanel_;
  TbsSkinPanel* listPanel_;
  TbsSkinScrollBar* hScrollBar_;
  TbsSkinScrollBar* vScrollBar_;
  TbsSkinFileListView* fileList_;
  TbsSkinStdLabel* fileNameLabel_;
  TbsSkinEdit* fileNameEdit_;
  TbsSkinStdLabel* fileTypeLabel_;
  TbsSkinFilterComboBox* filterBox_;
  TbsSkinButton* okButton_;
  TbsSkinButton* cancelButton_;
};

class TbsSkinOpenDialog : public TbsSkinnedDialog {
  Q_OBJECT
  Q_PROPERTY(QString Title READ Title WRITE SetTitle)
  Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
  Q_PROPERTY(int FilterIndex READ FilterIndex WRITE SetFilterIndex)
  Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(bool CheckFileExists READ CheckFileExists WRITE SetCheckFileExists)
  Q_PROPERTY(bool MultiSelection READ MultiSelection WRITE SetMultiSelection)
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(TbsSkinData* CtrlSkinData READ CtrlSkinData WRITE SetCtrlSkinData)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(QString LVHeaderSkinDataName READ LVHeaderSkinDataName WRITE SetLVHeaderSkinDataName)
  Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
  Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
  Q_PROPERTY(bool AlphaBlendAnimation READ AlphaBlendAnimation WRITE SetAlphaBlendAnimation)
  Q_PROPERTY(bool CtrlAlphaBlend READ CtrlAlphaBlend WRITE SetCtrlAlphaBlend)
  Q_PROPERTY(int CtrlAlphaBlendValue READ CtrlAlphaBlendValue WRITE SetCtrlAlphaBlendValue)
  Q_PROPERTY(bool CtrlAlphaBlendAnimation READ CtrlAlphaBlendAnimation WRITE SetCtrlAlphaBlendAnimation)
  Q_PROPERTY(TNotifyEvent OnFolderChange READ OnFolderChange WRITE SetOnFolderChange)

public:
  static constexpr int kFirstClientWidth = 450;
  static constexpr int kFirstClientHeight = 290;

  Q_INVOKABLE explicit TbsSkinOpenDialog(TComponent* AOwner);

  QString Title() const { return title_; }
  void SetTitle(const QString& v) { title_ = v; }
  QString Filter() const { return filter_; }
  void SetFilter(const QString& v) { filter_ = v; }
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int v) { filterIndex_ = v; }
  QString InitialDir() const { return initialDir_; }
  void SetInitialDir(const QString& v) { initialDir_ = v; }
  QString FileName() const { return fileName_; }
  // While the dialog is shown the name box takes the value too.
  void SetFileName(const QString& v);
  bool CheckFileExists() const { return checkFileExists_; }
  void SetCheckFileExists(bool v) { checkFileExists_ = v; }
  bool MultiSelection() const { return multiSelection_; }
  void SetMultiSelection(bool v) { multiSelection_ = v; }
  TFont* DefaultFont() const { return defaultFont_; }
  void SetDefaultFont(TFont* v) { if (v) defaultFont_->Assign(v); }
  QString LVHeaderSkinDataName() const { return lvHeaderSkinDataName_; }
  void SetLVHeaderSkinDataName(const QString& v) { lvHeaderSkinDataName_ = v; }
  bool CtrlAlphaBlend() const { return ctrlAlphaBlend_; }
  void SetCtrlAlphaBlend(bool v) { ctrlAlphaBlend_ = v; }
  int CtrlAlphaBlendValue() const { return ctrlAlphaBlendValue_; }
  void SetCtrlAlphaBlendValue(int v) { ctrlAlphaBlendValue_ = std::clamp(v, 0, 255); }
  bool CtrlAlphaBlendAnimation() const { return ctrlAlphaBlendAnimation_; }
  void SetCtrlAlphaBlendAnimation(bool v) { ctrlAlphaBlendAnimation_ = v; }
  TNotifyEvent OnFolderChange() const { return onFolderChange_; }
  void SetOnFolderChange(const TNotifyEvent& e) { onFolderChange_ = e; }

  bool SaveMode() const { return saveMode_; }
  // The selected files of the last accepted Execute.
  QStringList Files() const { return files_; }

  // Shows the dialog modally: true when a file was accepted (FileName is
  // then the chosen path), false on cancel (FileName unchanged).
  bool Execute();
  // The two halves of Execute around the modal loop: the window as it opens
  // (the caller frees it), and taking its outcome.
  TbsOpenDlgForm* CreateForm();
  bool Finish(TbsOpenDlgForm* form, int modalResult);
  // The window of the running Execute, or nullptr.
  TbsOpenDlgForm* CurrentForm() const { return current_; }
  // The folder the dialog opens in: FileName's folder, else InitialDir, else
  // home, the first that exists.
  QString FirstFolder() const;

protected:
  bool saveMode_ = false;

private:
  QString title_;
  QString filter_ = QStringLiteral("All files|*.*");
  int filterIndex_ = 1;
  QString initialDir_;
  QString fileName_;
  bool checkFileExists_ = true;
  bool multiSelection_ = false;
  TFont* defaultFont_;
  QString lvHeaderSkinDataName_ = QStringLiteral("resizebutton");
  bool ctrlAlphaBlend_ = false, ctrlAlphaBlendAnimation_ = false;
  int ctrlAlphaBlendValue_ = 225;
  TNotifyEvent onFolderChange_;
  QStringList files_;
  TbsSkinCustomListView::TViewStyle viewStyle_ = TbsSkinCustomListView::vsList;
  int clientWidth_ = 0, clientHeight_ = 0;
  QPointer<TbsOpenDlgForm> current_;
};

class TbsSkinSaveDialog : public TbsSkinOpenDialog {
  Q_OBJECT
public:
  Q_INVOKABLE explicit TbsSkinSaveDialog(TComponent* AOwner);
};

// Appends the filter mask's extension ("*.mp3" gives ".mp3") unless the path
// already ends in it (letter case aside); a mask with a wildcard extension
// or without a dot appends nothing.
QString WithFilterExtension(const QString& path, const QString& mask);
