#include "skin_controls/skin_file_dialog.h"

#include "skin_controls/skin_message.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <cerrno>
#include <cstring>

namespace {
enum TGlyph { gBack, gUp, gNewFolder, gViewStyle };

// The tool-bar glyphs, 16 x 16 on a transparent magenta ground.
TBitmap* NewGlyph(QObject* parent, TGlyph kind)
{
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(QColor(255, 0, 255));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor ink(0, 0, 0), folder(230, 190, 60), folderEdge(150, 110, 20);
  switch (kind) {
  case gBack: {
    QPainterPath arrow;
    arrow.moveTo(2, 8);
    arrow.lineTo(8, 2);
    arrow.lineTo(8, 5);
    arrow.lineTo(14, 5);
    arrow.lineTo(14, 11);
    arrow.lineTo(8, 11);
    arrow.lineTo(8, 14);
    arrow.closeSubpath();
    p.fillPath(arrow, QColor(40, 120, 40));
    break;
  }
  case gUp:
    p.fillRect(1, 5, 12, 9, folder);
    p.fillRect(1, 3, 5, 2, folder);
    p.setPen(folderEdge);
    p.drawRect(1, 5, 11, 8);
    p.setPen(QPen(ink, 2));
    p.drawLine(7, 12, 7, 2);
    p.drawLine(7, 2, 4, 5);
    p.drawLine(7, 2, 10, 5);
    break;
  case gNewFolder:
    p.fillRect(1, 6, 12, 8, folder);
    p.fillRect(1, 4, 5, 2, folder);
    p.setPen(folderEdge);
    p.drawRect(1, 6, 11, 7);
    p.setPen(QColor(200, 120, 0));
    p.drawLine(12, 0, 12, 6);
    p.drawLine(9, 3, 15, 3);
    p.drawLine(10, 1, 14, 5);
    p.drawLine(14, 1, 10, 5);
    break;
  case gViewStyle:
    for (int row = 0; row < 3; ++row) {
      p.fillRect(1, 2 + row * 5, 3, 3, QColor(40, 80, 160));
      p.fillRect(6, 3 + row * 5, 9, 1, ink);
    }
    break;
  }
  p.end();
  auto* bitmap = new TBitmap(parent);
  bitmap->SetImage(image);
  bitmap->SetTransparent(true);
  return bitmap;
}

QString SystemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }
} // namespace

// ---------------------------------------------------------------- form

TbsOpenDlgForm::TbsOpenDlgForm(TComponent* AOwner, TbsSkinData* ctrlSkinData, bool saveMode)
    : TForm(AOwner), ctrlSkinData_(ctrlSkinData), saveMode_(saveMode), skinForm_(new TbsSkinForm(this))
{
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  skinForm_->SetBorderIcons(TbsSkinForm::TbsBorderIcons());
  skinForm_->SetShowObjectHint(true);
  ReportProblem = [this](const QString& text) {
    TbsSkinMessage box(nullptr);
    box.SetSkinData(skinForm_->SkinData());
    box.SetCtrlSkinData(ctrlSkinData_);
    box.ShowMessageBox(text, mtWarning, mbOK, 0);
  };

  BuildTopBar();
  BuildViewMenu();
  BuildPanels();
  BuildNameAndTypeRows();
  BuildButtons();
}

template <class C>
C* TbsOpenDlgForm::Place(C* control, TWinControl* parent, const char* name)
{
  // Through the base: reached through the derived types, GCC's -O3 bounds
  // check mixed up the sizes of two combo boxes and warned falsely.
  TControl* base = control;
  base->SetName(QString::fromLatin1(name));
  base->SetParent(parent);
  return control;
}

template <class C>
void TbsOpenDlgForm::Skinned(C* control, const QString& definition)
{
  control->SetSkinDataName(definition);
  control->SetSkinData(ctrlSkinData_);
}

// The top row: where to look, and the back, up, new folder and view buttons.
void TbsOpenDlgForm::BuildTopBar()
{
  topBar_ = Place(new TbsSkinToolBar(this), this, "TopBar");
  topBar_->SetBorderStyle(int(TbsSkinBorderStyle::bvNone));
  topBar_->SetDefaultHeight(25);
  topBar_->SetHeight(25);
  topBar_->SetAlign(alTop);
  Skinned(topBar_, QStringLiteral("toolpanel"));

  auto* leftSpacer = Place(new TbsDialogSpacer(this), topBar_, "LeftSpacer");
  leftSpacer->SetBounds(0, 0, 10, 25);
  leftSpacer->SetAlign(alLeft);

  lookInLabel_ = Place(new TbsSkinStdLabel(this), topBar_, "LookInLabel");
  lookInLabel_->SetAutoSize(true);
  lookInLabel_->SetLayout(tlCenter);
  lookInLabel_->SetCaption(ResourceString(QStringLiteral("FLV_LOOKIN"), QStringLiteral("查看在: ")));
  lookInLabel_->SetLeft(10);
  lookInLabel_->SetAlign(alLeft);
  Skinned(lookInLabel_, QStringLiteral("stdlabel"));

  // Right-aligned controls are laid out by their right edges: these lefts
  // keep back, up, new folder, a gap and the view menu in that order.
  auto toolButton = [&](TbsSkinSpeedButton* b, const char* name, TGlyph glyph, const char* hintKey,
                        const char16_t* hint, int left, int width, const QString& definition) {
    Place(b, topBar_, name);
    b->SetBounds(left, 0, width, 25);
    b->SetAlign(alRight);
    b->SetGlyph(NewGlyph(b, glyph));
    b->SetShowCaption(false);
    b->SetHint(ResourceString(QString::fromLatin1(hintKey), QString::fromUtf16(hint)));
    b->SetShowHint(true);
    Skinned(b, definition);
    return b;
  };
  backButton_ = toolButton(new TbsSkinSpeedButton(this), "BackButton", gBack, "MSG_BTN_BACK_HINT",
                           u"返回到上次使用的文件夹", 1000, 27, QStringLiteral("toolbutton"));
  upButton_ = toolButton(new TbsSkinSpeedButton(this), "UpButton", gUp, "MSG_BTN_UP_HINT", u"向上", 1027, 27,
                         QStringLiteral("toolbutton"));
  newFolderButton_ = toolButton(new TbsSkinSpeedButton(this), "NewFolderButton", gNewFolder,
                                "MSG_BTN_NEWFOLDER_HINT", u"创建新的文件夹", 1054, 27, QStringLiteral("toolbutton"));
  auto* rightSpacer = Place(new TbsDialogSpacer(this), topBar_, "RightSpacer");
  rightSpacer->SetBounds(1081, 0, 10, 25);
  rightSpacer->SetAlign(alRight);
  viewButton_ = static_cast<TbsSkinMenuSpeedButton*>(
      toolButton(new TbsSkinMenuSpeedButton(this), "ViewButton", gViewStyle, "MSG_BTN_VIEWMENU_HINT", u"查看菜单",
                 1091, 37, QStringLiteral("toolmenubutton")));

  folderBox_ = Place(new TbsSkinShellComboBox(this), topBar_, "FolderBox");
  folderBox_->SetBounds(100, 0, 190, 25);
  folderBox_->SetDropDownCount(10);
  folderBox_->SetAlign(alClient);
  const bool toolBox = ctrlSkinData_ && ctrlSkinData_->FindSkinControl(QStringLiteral("toolcombobox")) >= 0;
  Skinned(folderBox_, toolBox ? QStringLiteral("toolcombobox") : QStringLiteral("combobox"));

  backButton_->SetOnClick([this](TObject*) { GoBack(); });
  upButton_->SetOnClick([this](TObject*) { GoUp(); });
  newFolderButton_->SetOnClick([this](TObject*) { NewFolder(); });
}

// The view button's menu: the list's four styles.
void TbsOpenDlgForm::BuildViewMenu()
{
  viewMenu_ = new TbsSkinPopupMenu(this);
  viewMenu_->SetName(QStringLiteral("ViewMenu"));
  viewMenu_->SetSkinData(ctrlSkinData_);
  struct ViewRow {
    const char* Key;
    const char16_t* Caption;
    TbsSkinCustomListView::TViewStyle Style;
  };
  static const ViewRow kViews[] = {{"MSG_LV_ICON", u"大图标", TbsSkinCustomListView::vsIcon},
                                   {"MSG_LV_SMALLICON", u"小图标", TbsSkinCustomListView::vsSmallIcon},
                                   {"MSG_LV_LIST", u"列表", TbsSkinCustomListView::vsList},
                                   {"MSG_LV_DETAILS", u"细节", TbsSkinCustomListView::vsReport}};
  for (const ViewRow& row : kViews) {
    const TbsSkinCustomListView::TViewStyle style = row.Style;
    TMenuItem* item = TMenuItem::Create(QString(), ResourceString(QString::fromLatin1(row.Key),
                                                                  QString::fromUtf16(row.Caption)));
    item->SetRadioItem(true);
    item->SetOnClick([this, style](TObject*) { SetViewStyle(style); });
    viewMenu_->Items()->Add(item);
  }
  viewButton_->SkinPopupMenu = [this](QPoint) {
    viewMenu_->PopupUnder(QRect(viewButton_->ClientToScreen(QPoint(0, 0)), QSize(viewButton_->Width(), viewButton_->Height())), false);
  };
}

// The list of the folder with its scroll bars, and the bottom panel.
void TbsOpenDlgForm::BuildPanels()
{
  bottomPanel_ = Place(new TbsSkinPanel(this), this, "BottomPanel");
  bottomPanel_->SetBorderStyle(int(TbsSkinBorderStyle::bvNone));
  bottomPanel_->SetHeight(80);
  bottomPanel_->SetAlign(alBottom);
  Skinned(bottomPanel_, QStringLiteral("panel"));

  listPanel_ = Place(new TbsSkinPanel(this), this, "ListPanel");
  listPanel_->SetBorderStyle(int(TbsSkinBorderStyle::bvFrame));
  listPanel_->SetAlign(alClient);
  Skinned(listPanel_, QStringLiteral("panel"));

  hScrollBar_ = Place(new TbsSkinScrollBar(this), listPanel_, "HScrollBar");
  hScrollBar_->SetDefaultHeight(19);
  hScrollBar_->SetBothMarkerWidth(19);
  hScrollBar_->SetEnabled(false);
  hScrollBar_->SetAlign(alBottom);
  Skinned(hScrollBar_, QStringLiteral("hscrollbar"));
  vScrollBar_ = Place(new TbsSkinScrollBar(this), listPanel_, "VScrollBar");
  vScrollBar_->SetKind(TbsSkinScrollBar::sbVertical);
  vScrollBar_->SetDefaultHeight(0);
  vScrollBar_->SetDefaultWidth(19);
  vScrollBar_->SetBounds(0, 0, 19, 200);
  vScrollBar_->SetEnabled(false);
  vScrollBar_->SetAlign(alRight);
  Skinned(vScrollBar_, QStringLiteral("vscrollbar"));

  fileList_ = Place(new TbsSkinFileListView(this), listPanel_, "FileList");
  fileList_->SetHScrollBar(hScrollBar_);
  fileList_->SetVScrollBar(vScrollBar_);
  fileList_->SetAlign(alClient);
  fileList_->SetAutoContextMenus(false);
  fileList_->SetShowColumnHeaders(true);
  Skinned(fileList_, QStringLiteral("listview"));
  fileList_->SetShellComboBox(folderBox_);
  fileList_->SetFolderChangeCallback([this] { FolderChanged(); });
  fileList_->SetFileActivatedCallback([this](int index) { FileActivated(index); });
  fileList_->SetOnSelectItem([this](TObject*) { SelectionChanged(); });
  // Enter on a file takes it as the OK button would (folders are entered by the list).
  fileList_->SetOnKeyDown([this](TObject*, int& Key, TShiftState Shift) {
    const int index = fileList_->ItemIndex();
    const TbsShellFolder* node = fileList_->Folder(index);
    if (Key == VK_RETURN && Shift == TShiftState() && node && fileList_->Selected(index) && !node->IsFolder()) {
      Key = 0;
      Accept();
    }
  });
}

// The file name and file type rows of the bottom panel.
void TbsOpenDlgForm::BuildNameAndTypeRows()
{
  fileNameLabel_ = Place(new TbsSkinStdLabel(this), bottomPanel_, "FileNameLabel");
  fileNameLabel_->SetAutoSize(true);
  fileNameLabel_->SetCaption(ResourceString(QStringLiteral("MSG_FILENAME"), QStringLiteral("文件名:")));
  fileNameLabel_->SetLeft(10);
  fileNameLabel_->SetTop(10);
  Skinned(fileNameLabel_, QStringLiteral("stdlabel"));

  fileNameEdit_ = Place(new TbsSkinEdit(this), bottomPanel_, "FileNameEdit");
  fileNameEdit_->SetLabelVisible(false);  // the dialog's own label names it
  fileNameEdit_->SetDefaultHeight(21);
  fileNameEdit_->SetOnKeyDown([this](TObject*, int& Key, TShiftState Shift) {
    if (Shift != TShiftState()) return;
    if (Key == VK_RETURN) {
      Key = 0;
      FileNameEntered();
    } else if (Key == VK_ESCAPE) {
      Key = 0;
      SetModalResult(mrCancel);
    }
  });
  fileNameEdit_->SetBounds(70, 10, 280, 21);
  Skinned(fileNameEdit_, QStringLiteral("edit"));

  fileTypeLabel_ = Place(new TbsSkinStdLabel(this), bottomPanel_, "FileTypeLabel");
  fileTypeLabel_->SetAutoSize(true);
  fileTypeLabel_->SetCaption(ResourceString(QStringLiteral("MSG_FILETYPE"), QStringLiteral("文件类型:")));
  fileTypeLabel_->SetLeft(10);
  fileTypeLabel_->SetTop(45);
  Skinned(fileTypeLabel_, QStringLiteral("stdlabel"));

  filterBox_ = Place(new TbsSkinFilterComboBox(this), bottomPanel_, "FilterBox");
  filterBox_->SetDefaultHeight(21);
  filterBox_->SetBounds(70, 45, 280, 21);
  Skinned(filterBox_, QStringLiteral("combobox"));
  filterBox_->SetOnChange([this](TObject*) { fileList_->SetMask(filterBox_->Mask()); });
}

// OK (open or save) and cancel.
void TbsOpenDlgForm::BuildButtons()
{
  okButton_ = Place(new TbsSkinButton(this), bottomPanel_, "OKButton");
  okButton_->SetCanFocused(true);
  okButton_->SetDefaultHeight(25);
  okButton_->SetBounds(370, 10, 70, 25);
  okButton_->SetCaption(saveMode_ ? ResourceString(QStringLiteral("MSG_BTN_SAVE"), QStringLiteral("保存(&S)"))
                                 : ResourceString(QStringLiteral("MSG_BTN_OPEN"), QStringLiteral("打开(&O)")));
  Skinned(okButton_, QStringLiteral("button"));
  okButton_->SetOnClick([this](TObject*) { Accept(); });

  cancelButton_ = Place(new TbsSkinButton(this), bottomPanel_, "CancelButton");
  cancelButton_->SetCanFocused(true);
  cancelButton_->SetCancel(true);
  cancelButton_->SetModalResult(mrCancel);
  cancelButton_->SetDefaultHeight(25);
  cancelButton_->SetBounds(370, 45, 70, 25);
  cancelButton_->SetCaption(ResourceString(QStringLiteral("MSG_BTN_CANCEL"), QStringLiteral("取消")));
  Skinned(cancelButton_, QStringLiteral("button"));
}

QString TbsOpenDlgForm::ResourceString(const QString& key, const QString& builtIn) const
{
  if (ctrlSkinData_ && ctrlSkinData_->ResourceStrData()) {
    const QString s = ctrlSkinData_->ResourceStrData()->GetResString(key);
    if (!s.isEmpty()) return s;
  }
  return builtIn;
}

void TbsOpenDlgForm::Problem(const QString& text)
{
  if (ReportProblem) ReportProblem(text);
}

QString TbsOpenDlgForm::RealFolderPath() const
{
  const TbsShellFolder* folder = fileList_->CurrentFolder();
  if (!folder || !ShellNamespace().IsFileSystem(folder->AbsoluteId())) return {};
  const QString path = folder->PathName();
  return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

QString TbsOpenDlgForm::TypedPath(const QString& text)
{
  if (QDir::isAbsolutePath(text)) return QDir::cleanPath(text);
  const QString folder = RealFolderPath();
  if (folder.isEmpty()) {
    Problem(QStringLiteral("这里不是文件夹，不能在这里保存或打开文件。请先选择一个文件夹。"));
    return {};
  }
  return QDir::cleanPath(QDir(folder).filePath(text));
}

void TbsOpenDlgForm::Close(const QString& path)
{
  acceptedPath_ = path;
  SetModalResult(mrOk);
}

void TbsOpenDlgForm::Accept()
{
  const QString text = fileNameEdit_->Text();
  const bool blank = text.trimmed().isEmpty();
  if (!saveMode_) {
    QString path = blank ? fileList_->SelectedPath() : TypedPath(text);
    if (path.isEmpty()) return;
    if (checkFileExists_) {
      if (QFileInfo(path).isFile()) Close(path);
      return;
    }
    if (!blank && QFileInfo(path).isDir()) {
      fileList_->GoToPath(path);
      fileNameEdit_->SetText(QString());
      return;
    }
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
      Problem(QStringLiteral("文件夹“%1”不存在。").arg(QFileInfo(path).absolutePath()));
      return;
    }
    Close(path);
    return;
  }
  if (blank || text.contains(QLatin1Char('*'))) return;
  const QString path = TypedPath(text);
  if (path.isEmpty()) return;
  const QFileInfo target(path);
  if (target.isDir()) {
    // A folder's name: into it, as a user typing it would expect.
    fileList_->GoToPath(path);
    fileNameEdit_->SetText(QString());
    return;
  }
  if (!QFileInfo(target.absolutePath()).isDir()) {
    Problem(QStringLiteral("文件夹“%1”不存在。").arg(target.absolutePath()));
    return;
  }
  Close(path);
}

void TbsOpenDlgForm::FileNameEntered()
{
  const QString text = fileNameEdit_->Text();
  if (text.contains(QLatin1Char('*'))) {
    fileList_->SetMask(text);
    return;
  }
  if (text.contains(QLatin1Char('/'))) {
    const QString path = TypedPath(text);
    if (path.isEmpty()) return;
    if (QFileInfo(path).isDir()) {
      fileList_->GoToPath(path);
      fileNameEdit_->SetText(QString());
      return;
    }
  }
  Accept();
}

void TbsOpenDlgForm::FileActivated(int index)
{
  const TbsShellFolder* node = fileList_->Folder(index);
  if (node && !node->IsFolder()) Close(node->PathName());
}

void TbsOpenDlgForm::FolderChanged()
{
  if (!goingBack_) history_.push_back(fileList_->CurrentFolder()->AbsoluteId());
  if (fileList_->ItemCount() > 0) fileList_->SetItemIndex(0);
  if (onFolderChange_) onFolderChange_(this);
}

void TbsOpenDlgForm::SelectionChanged()
{
  const int index = fileList_->ItemIndex();
  const TbsShellFolder* node = fileList_->Folder(index);
  if (node && fileList_->Selected(index) && !node->IsFolder()) fileNameEdit_->SetText(QFileInfo(node->PathName()).fileName());
}

void TbsOpenDlgForm::GoBack()
{
  if (history_.size() < 2) return;
  goingBack_ = true;
  try {
    fileList_->GoTo(history_[history_.size() - 2]);
  } catch (...) {
    goingBack_ = false;
    throw;
  }
  history_.pop_back();
  goingBack_ = false;
}

void TbsOpenDlgForm::GoUp() { fileList_->GoUp(); }

void TbsOpenDlgForm::NewFolder()
{
  const QString folder = RealFolderPath();
  if (folder.isEmpty()) {
    Problem(QStringLiteral("这里不是文件夹，不能在这里新建文件夹。"));
    return;
  }
  const QString path = QDir(folder).filePath(ResourceString(QStringLiteral("MSG_NEWFOLDER"), QStringLiteral("新建文件夹")));
  if (QFileInfo::exists(path)) return;
  if (!QDir().mkdir(path)) {
    const int code = errno;
    Problem(QStringLiteral("不能创建文件夹“%1”：%2").arg(path, SystemError(code)));
    return;
  }
  fileList_->Refresh();
  // As in a file manager: the new folder is chosen and its name ready to type over.
  for (int i = 0; i < fileList_->ItemCount(); ++i)
    if (fileList_->Folder(i) && fileList_->Folder(i)->PathName() == path) {
      fileList_->SetItemIndex(i);
      fileList_->EditCaption(i);
      break;
    }
}

void TbsOpenDlgForm::SetViewStyle(TbsSkinCustomListView::TViewStyle style)
{
  fileList_->SetViewStyle(style);
  for (int i = 0; i < viewMenu_->Items()->Count(); ++i) viewMenu_->Items()->Items(i)->SetChecked(i == int(style));
}

void TbsOpenDlgForm::DoShow()
{
  TForm::DoShow();
  if (fileNameEdit_->CanFocus()) fileNameEdit_->SetFocus();
}

// ---------------------------------------------------------------- dialogs

TbsSkinOpenDialog::TbsSkinOpenDialog(TComponent* AOwner)
    : TbsSkinnedDialog(AOwner, 225), title_(QStringLiteral("Open file")), defaultFont_(new TFont(this))
{
  defaultFont_->SetName(QStringLiteral("Arial"));
  defaultFont_->SetHeight(14);
}

TbsSkinSaveDialog::TbsSkinSaveDialog(TComponent* AOwner) : TbsSkinOpenDialog(AOwner)
{
  SetTitle(QStringLiteral("Save file"));
  saveMode_ = true;
}

void TbsSkinOpenDialog::SetFileName(const QString& v)
{
  fileName_ = v;
  if (current_) current_->FileNameEdit()->SetText(v);
}

QString TbsSkinOpenDialog::FirstFolder() const
{
  QStringList candidates;
  if (fileName_.contains(QLatin1Char('/'))) candidates << QFileInfo(fileName_).absolutePath();
  if (!initialDir_.isEmpty()) candidates << initialDir_;
  for (const QString& c : candidates)
    if (QDir::isAbsolutePath(c) && QFileInfo(c).isDir()) return QDir::cleanPath(c);
  return QDir::homePath();
}

QString WithFilterExtension(const QString& path, const QString& mask)
{
  const QString ext = TbsFileMask(mask).DefaultExtension();
  if (ext.isEmpty() || path.endsWith(ext, Qt::CaseInsensitive)) return path;
  return path + ext;
}

TbsOpenDlgForm* TbsSkinOpenDialog::CreateForm()
{
  auto* form = new TbsOpenDlgForm(Application, CtrlSkinData(), saveMode_);
  try {
    form->SetCheckFileExists(checkFileExists_);
    form->SetOnFolderChange(onFolderChange_);
    form->SetCaption(title_);
    TbsSkinForm* frame = form->SkinForm();
    DressFrame(frame);
    for (TbsSkinCustomComboBox* box : {static_cast<TbsSkinCustomComboBox*>(form->FolderBox()),
                                       static_cast<TbsSkinCustomComboBox*>(form->FilterBox())}) {
      box->SetAlphaBlend(ctrlAlphaBlend_);
      box->SetAlphaBlendValue(ctrlAlphaBlendValue_);
      box->SetAlphaBlendAnimation(ctrlAlphaBlendAnimation_);
    }
    form->FolderBox()->SetDefaultFont(defaultFont_);
    form->OKButton()->SetDefaultFont(defaultFont_);
    form->CancelButton()->SetDefaultFont(defaultFont_);
    form->FileList()->SetDefaultFont(defaultFont_);

    TbsSkinFileListView* list = form->FileList();
    list->SetMultiSelect(multiSelection_);
    list->SetHeaderSkinDataName(lvHeaderSkinDataName_);
    form->SetViewStyle(viewStyle_);

    TbsSkinFilterComboBox* filter = form->FilterBox();
    filter->SetFilter(filter_);
    const int count = int(filter->Items().size());
    if (count > 0) filter->SetItemIndex(std::clamp(filterIndex_, 1, count) - 1);
    list->SetMask(filter->Mask());

    list->GoToPath(FirstFolder());

    int w = clientWidth_ > 0 ? clientWidth_ : kFirstClientWidth;
    int h = clientHeight_ > 0 ? clientHeight_ : kFirstClientHeight;
    form->SetClientSize(w, h);
    if (SkinData() && !SkinData()->IsEmptySkin()) {
      const QSize minimum = frame->MinimumSize();
      if (form->Width() < minimum.width()) form->SetWidth(minimum.width());
      if (form->Height() < minimum.height()) form->SetHeight(minimum.height());
    }
    if (list->ItemCount() > 0) list->SetItemIndex(0);
    form->FileNameEdit()->SetText(fileName_.isEmpty() ? QString() : QFileInfo(fileName_).fileName());
    return form;
  } catch (...) {
    TComponent::Free(form);
    throw;
  }
}

bool TbsSkinOpenDialog::Finish(TbsOpenDlgForm* form, int modalResult)
{
  filterIndex_ = form->FilterBox()->ItemIndex() + 1;
  clientWidth_ = form->ClientWidth();
  clientHeight_ = form->ClientHeight();
  viewStyle_ = form->FileList()->ViewStyle();
  if (modalResult != mrOk || form->AcceptedPath().isEmpty()) return false;
  QString path = form->AcceptedPath();
  if (saveMode_) path = WithFilterExtension(path, form->FilterBox()->Mask());
  fileName_ = path;
  files_ = form->FileList()->SelectedFiles();
  return true;
}

bool TbsSkinOpenDialog::Execute()
{
  TbsOpenDlgForm* form = CreateForm();
  current_ = form;
  // The window goes when this returns, also on an error.
  const auto done = qScopeGuard([&] {
    current_ = nullptr;
    TComponent::Free(form);
  });
  return Finish(form, form->ShowModal());
}
