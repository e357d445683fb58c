#include "skin_controls/skin_combo_box.h"

#include "skin/skin_definitions.h"
#include "skin/skin_utils.h"
#include "skin_controls/default_fills.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

std::function<qint64()>& TbsSkinCustomComboBox::Clock()
{
  static std::function<qint64()> clock = [] {
    static QElapsedTimer started = [] {
      QElapsedTimer t;
      t.start();
      return t;
    }();
    return started.elapsed();
  };
  return clock;
}

TbsSkinCustomComboBox::TbsSkinCustomComboBox(TComponent* AOwner)
    : TbsSkinCustomControl(AOwner), TbsFading(0), popup_(new TbsPopupListBox(this))
{
  SetSkinDataName(QStringLiteral("combobox"));
  Font()->SetName(QStringLiteral("Arial"));
  Font()->SetHeight(14);
  Font()->SetColor(clWindowText);
  SetTabStop(true);
  SetBounds(0, 0, 120, 20);
  SetControlStyle((ControlStyle() | csClickEvents | csOpaque | csCaptureMouse) & ~csAcceptsControls);
  popup_->SetSkinDataName(QString());
  popup_->SetVisible(false);
  autoScrollTimer_.setInterval(kAutoScrollMs);
  QObject::connect(&autoScrollTimer_, &QTimer::timeout, this, [this] { AutoScrollTick(); });
  TbsListBox* list = InnerList();
  list->SetOnMouseDown([this](TObject*, TMouseButton b, TShiftState, int x, int y) { ListMouseDown(b, x, y); });
  list->SetOnMouseMove([this](TObject*, TShiftState, int x, int y) { ListMouseMove(x, y); });
  list->SetOnMouseUp([this](TObject*, TMouseButton b, TShiftState, int x, int y) { ListMouseUp(b, x, y); });
}

TbsSkinCustomComboBox::~TbsSkinCustomComboBox()
{
  if (filtering_) qApp->removeEventFilter(this);
}

const TbsDataSkinComboBox* TbsSkinCustomComboBox::ComboDefinition() const
{
  return skinControlIndex_ != -1 ? dynamic_cast<const TbsDataSkinComboBox*>(SkinDefinition()) : nullptr;
}

// ---------------------------------------------------------------- properties

void TbsSkinCustomComboBox::SetItems(const QStringList& v)
{
  popup_->SetItems(v);
  Invalidate();
}

void TbsSkinCustomComboBox::SetItemIndex(int v)
{
  popup_->SetItemIndex(v);
  const int index = popup_->ItemIndex();
  if (index >= 0) SetText(popup_->Items().at(index));
  savedIndex_ = index;
  Invalidate();
  if (IsDesigning() || IsLoading()) return;
  if (OnClick()) OnClick()(this);
  ItemIndexChanged();
}

void TbsSkinCustomComboBox::SetStyle(TbsSkinCustomComboBoxStyle v)
{
  if (v == style_) return;
  style_ = v;
  if (v == bscbEditStyle) {
    SetTabStop(false);
    CreateItemEdit();
  } else {
    SetTabStop(true);
    DestroyItemEdit();
  }
  Invalidate();
}

void TbsSkinCustomComboBox::CreateItemEdit()
{
  if (itemEdit_) return;
  const bool wasFocused = Focused();
  itemEdit_ = new TbsCustomEdit(this);
  itemEdit_->FreeNotification(this);
  itemEdit_->SetParent(this);
  itemEdit_->EditLabel()->SetVisible(false);
  itemEdit_->SetAutoSelect(false);
  fillingEdit_ = true;
  itemEdit_->SetText(Text());
  fillingEdit_ = false;
  itemEdit_->SetOnChange([this](TObject*) { ItemEditTextChanged(); });
  itemEdit_->TextBackground = [this](TCanvas& canvas) {
    TBitmap image;
    image.SetSize(std::max(Width(), 1), std::max(Height(), 1));
    LoadSkinDefinition();
    geometry_.StretchTo(Width(), Height());
    if (skinControlIndex_ != -1) DrawSkinLook(image);
    else DrawDefaultLook(image);
    canvas.Draw(-itemEdit_->Left(), -itemEdit_->Top(), &image);
  };
  const TWndMethod previous = itemEdit_->WindowProc();
  itemEdit_->SetWindowProc([this, previous](TMessage& m) {
    if (!ItemEditMessage(m)) previous(m);
  });
  ApplyItemEditFont();
  PlaceItemEdit();
  if (wasFocused && itemEdit_->CanFocus()) itemEdit_->SetFocus();
}

void TbsSkinCustomComboBox::DestroyItemEdit()
{
  if (!itemEdit_) return;
  TbsCustomEdit* edit = itemEdit_;
  itemEdit_ = nullptr;
  TComponent::Free(edit);
}

void TbsSkinCustomComboBox::PlaceItemEdit()
{
  if (!itemEdit_) return;
  CalcLayout();
  itemEdit_->SetBounds(itemArea_.left(), itemArea_.top(), std::max(itemArea_.width(), 0), std::max(itemArea_.height(), 0));
}

void TbsSkinCustomComboBox::ApplyItemEditFont()
{
  if (!itemEdit_) return;
  const TbsDataSkinComboBox* d = ComboDefinition();
  if (d) {
    skin_fonts::ApplyDefinitionFont(itemEdit_->Font(), d->FontName, d->FontHeight, d->FontStyle);
    itemEdit_->Font()->SetColor(d->FontColor);
  } else {
    itemEdit_->Font()->Assign(DefaultFont());
  }
  itemEdit_->Font()->SetCharset(skin_fonts::SkinCharset(SkinData(), DefaultFont()->Charset()));
  itemEdit_->SetTransparentText(d != nullptr);
}

void TbsSkinCustomComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TbsSkinCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  PlaceItemEdit();
}

int TbsSkinCustomComboBox::FindPrefix(const QString& prefix, int current) const
{
  const QStringList items = popup_->Items();
  const int count = int(items.size());
  if (prefix.isEmpty() || count == 0) return -1;
  const int start = prefix.size() == 1 ? current + 1 : 0;
  for (int n = 0; n < count; ++n) {
    const int i = (std::max(start, 0) + n) % count;
    if (items.at(i).startsWith(prefix, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

bool TbsSkinCustomComboBox::ItemEditMessage(TMessage& m)
{
  switch (m.Msg) {
  case WM_KEYDOWN: {
    const int key = int(m.WParam);
    if ((key == VK_RETURN || key == VK_ESCAPE) && ListOpen()) {
      CloseUpList(key == VK_RETURN);
      m.Result = 1;
      return true;
    }
    if ((key == VK_PRIOR || key == VK_NEXT) && ListOpen()) {
      MoveSelection(key == VK_PRIOR ? -(dropDownCount_ + 1) : dropDownCount_ - 1, false);
      m.Result = 1;
      return true;
    }
    if (key == VK_UP || key == VK_DOWN) {
      if (TShiftState(TShiftStateFlag(int(m.LParam))) & ssAlt) {
        if (key == VK_DOWN && !ListOpen()) DropDownList();
        else if (key == VK_UP && ListOpen()) CloseUpList(false);
      } else {
        SelectByKey(ItemIndex() + (key == VK_UP ? -1 : 1));
      }
      m.Result = 1;
      return true;
    }
    return false;
  }
  case WM_KEYUP: {
    TbsCustomEdit* edit = itemEdit_;
    itemEdit_->WndProc(m);
    if (itemEdit_ == edit) Complete(int(m.WParam));
    return true;
  }
  case WM_KILLFOCUS:
  case WM_LBUTTONDOWN:
  case WM_RBUTTONDOWN:
    if (ListOpen()) CloseUpList(false);
    return false;
  case WM_MOUSEWHEEL: {
    const int notches = wheel_.Add(int(m.WParam));
    if (notches) SelectByKey(ItemIndex() + (notches > 0 ? -1 : 1));
    return true;
  }
  default: return false;
  }
}

void TbsSkinCustomComboBox::Complete(int key)
{
  if (!itemEdit_ || !autoComplete_) return;
  const int charset = itemEdit_->Font()->Charset();
  const bool eastAsian = charset == 128 || charset == 134 || charset == 136;
  if (eastAsian) {
    if (key == VK_DELETE || key == VK_BACK) return;
  } else if (key < 48) {
    return;
  }
  const qint64 now = Clock()();
  if (now - lastCompletion_ < 200) return;
  lastCompletion_ = now;
  const QString typed = eastAsian ? itemEdit_->Text() : itemEdit_->Text().left(itemEdit_->SelStart());
  // After the item last chosen: the list's selection already follows the typing.
  const int index = FindPrefix(typed, savedIndex_);
  if (index < 0) return;
  SetItemIndex(index);
  const int total = int(itemEdit_->Text().size());
  itemEdit_->SetSelection(int(typed.size()), total - int(typed.size()));
}

void TbsSkinCustomComboBox::ItemEditTextChanged()
{
  if (!itemEdit_ || fillingEdit_) return;
  const QString text = itemEdit_->Text();
  const int index = text.isEmpty() ? -1 : [&] {
    const QStringList items = popup_->Items();
    for (int i = 0; i < items.size(); ++i)
      if (items.at(i).startsWith(text, Qt::CaseInsensitive)) return i;
    return -1;
  }();
  if (index >= 0) {
    if (autoComplete_) popup_->SetItemIndex(index);
    else InnerList()->MakeVisible(index);
  }
  syncingText_ = true;
  SetText(text);
  syncingText_ = false;
  ItemIndexChanged();
}

void TbsSkinCustomComboBox::SetDropDownCount(int v)
{
  if (v > 0) dropDownCount_ = v;
}

void TbsSkinCustomComboBox::SetImages(TImageList* v)
{
  popup_->SetImages(v);
  Invalidate();
}

void TbsSkinCustomComboBox::SetImageIndex(int v)
{
  popup_->SetImageIndex(v);
  Invalidate();
}

void TbsSkinCustomComboBox::TextChanged()
{
  TbsSkinCustomControl::TextChanged();
  if (itemEdit_ && !syncingText_ && itemEdit_->Text() != Text()) {
    fillingEdit_ = true;
    itemEdit_->SetText(Text());
    itemEdit_->SetSelection(0, int(Text().size()));
    fillingEdit_ = false;
  }
  if (onChange_) onChange_(this);
}

void TbsSkinCustomComboBox::DefaultFontChanged()
{
  Font()->Assign(DefaultFont());
  ApplyItemEditFont();
}

void TbsSkinCustomComboBox::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinCustomControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == itemEdit_) itemEdit_ = nullptr;
}

void TbsSkinCustomComboBox::ApplySkinData()
{
  TbsSkinCustomControl::ApplySkinData();
  const TbsDataSkinComboBox* d = ComboDefinition();
  popup_->SetSkinDataName(d ? d->ListBoxName : QString());
  popup_->SetSkinData(SkinData());
  popup_->UpdateScrollBars();
  ApplyItemEditFont();
  PlaceItemEdit();
  Invalidate();
}

// ---------------------------------------------------------------- layout and drawing

void TbsSkinCustomComboBox::CalcLayout()
{
  LoadSkinDefinition();
  const int w = Width(), h = Height();
  const TbsDataSkinComboBox* d = ComboDefinition();
  if (!d || geometry_.StretchMode == smNone) {
    buttonArea_ = SkinRect(w - 19, 2, w - 2, h - 2);
    itemArea_ = SkinRect(2, 2, buttonArea_.left() - 1, h - 2);
    return;
  }
  const int grow = w - geometry_.SkinWidth();
  buttonArea_ = d->ButtonRect.left() >= geometry_.RTPoint.x() ? d->ButtonRect.translated(grow, 0) : d->ButtonRect;
  itemArea_ = d->ClientRect.adjusted(0, 0, grow, 0);
}

QRect TbsSkinCustomComboBox::ItemArea()
{
  CalcLayout();
  return itemArea_;
}

QRect TbsSkinCustomComboBox::ButtonArea()
{
  CalcLayout();
  return buttonArea_;
}

void TbsSkinCustomComboBox::DrawButton(TCanvas* canvas, const QImage* picture, const TbsDataSkinComboBox* d)
{
  const bool down = buttonPressed_ && buttonHot_;
  if (d && picture) {
    QRect source;
    if (!Enabled() && !d->UnEnabledButtonRect.isEmpty()) source = d->UnEnabledButtonRect;
    else if (down) source = d->DownButtonRect;
    else if (buttonHot_) source = d->ActiveButtonRect;
    if (!source.isEmpty()) canvas->DrawImage(buttonArea_, *picture, source);
    // A skin without a disabled button still shows the box cannot be opened.
    if (!Enabled() && d->UnEnabledButtonRect.isEmpty()) FadeDisabled(canvas, buttonArea_);
    return;
  }
  TColor frame = clBtnShadow, fill = clBtnFace;
  if (down) frame = clNavy, fill = kDownFill;
  else if (buttonHot_) frame = clNavy, fill = kHotFill;
  canvas->Brush()->SetStyle(TBrush::bsSolid);
  canvas->Brush()->SetColor(fill);
  canvas->FillRect(buttonArea_);
  canvas->Brush()->SetColor(frame);
  canvas->FrameRect(buttonArea_);
  DrawGlyph(canvas, buttonArea_, TbsGlyph::DropDown, Enabled() ? clBlack : clBtnShadow);
}

void TbsSkinCustomComboBox::DrawItemContent(TCanvas* canvas, const QRect& textRect, bool focused)
{
  const int index = ListOpen() ? savedIndex_ : ItemIndex();
  if (onComboBoxDrawItem_) {
    onComboBoxDrawItem_(this, canvas, index, focused ? odFocused : 0, textRect);
    return;
  }
  QRect r = textRect;
  TImageList* images = popup_->Images();
  const int image = popup_->ImageIndex() >= 0 ? popup_->ImageIndex() : index;
  if (images && image >= 0 && image < images->Count()) {
    images->Draw(canvas, r.left(), r.top() + (r.height() - images->Height()) / 2, image);
    r.setLeft(r.left() + images->Width() + 2);
  }
  canvas->Brush()->SetStyle(TBrush::bsClear);
  DrawTextInRect(canvas, index >= 0 ? popup_->Items().value(index) : Text(), r);
}

void TbsSkinCustomComboBox::FadeDisabled(TCanvas* canvas, const QRect& area)
{
  QColor face = ColorToQColor(clBtnFace);
  face.setAlpha(150);
  canvas->Painter().fillRect(area, face);
}

void TbsSkinCustomComboBox::DrawItemArea(TBitmap& bitmap, const TbsDataSkinComboBox* d)
{
  if (style_ != bscbFixedStyle || itemArea_.isEmpty()) return;
  // A disabled box takes no focus look: what it shows cannot be changed now.
  const bool enabled = Enabled();
  const bool focused = enabled && Focused();
  TBitmap item;
  if (!d || !geometry_.SkinPicture) {
    item.SetSize(itemArea_.width(), itemArea_.height());
    TCanvas* c = item.Canvas();
    c->Font()->Assign(Font());
    c->Brush()->SetColor(focused ? clHighlight : clWindow);
    c->FillRect(QRect(0, 0, item.Width(), item.Height()));
    c->Font()->SetColor(!enabled ? clGrayText : focused ? clHighlightText : clWindowText);
    DrawItemContent(c, QRect(2, 0, item.Width() - 4, item.Height()), focused);
    if (focused) DrawFocusFrame(c, QRect(0, 0, item.Width(), item.Height()));
  } else {
    const QRect focusRect = d->FocusItemRect.isEmpty() ? d->ItemRect : d->FocusItemRect;
    const QRect source = focused ? focusRect : d->ItemRect;
    if (!source.isEmpty()) {
      BuildHorzStrip3(d->ItemLeftOffset, d->ItemRightOffset, source, *geometry_.SkinPicture, itemArea_.width(), item);
    } else {
      // No item picture: the text goes over what the frame already shows.
      item.SetSize(itemArea_.width(), std::max(itemArea_.height(), 1));
      item.Canvas()->CopyRect(QRect(0, 0, item.Width(), item.Height()), bitmap.Canvas(),
                              QRect(itemArea_.left(), itemArea_.top(), item.Width(), item.Height()));
    }
    TCanvas* c = item.Canvas();
    if (UseSkinFont()) skin_fonts::ApplyDefinitionFont(c->Font(), d->FontName, d->FontHeight, d->FontStyle);
    else c->Font()->Assign(DefaultFont());
    c->Font()->SetColor(!enabled ? clGrayText : focused ? d->FocusFontColor : d->FontColor);
    const QRect base = d->ItemRect.isEmpty() ? d->ClientRect : d->ItemRect;
    QRect text = d->ItemTextRect;
    text.setRight(text.right() + itemArea_.width() - base.width());
    DrawItemContent(c, text, focused);
  }
  bitmap.Canvas()->Draw(itemArea_.left(), itemArea_.top(), &item);
}

void TbsSkinCustomComboBox::DrawDefaultLook(TBitmap& bitmap)
{
  CalcLayout();
  FillBitmap(bitmap, QRect(0, 0, Width(), Height()), clBtnFace);
  TCanvas* c = bitmap.Canvas();
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(QRect(0, 0, Width(), Height()));
  DrawButton(c, nullptr, nullptr);
  DrawItemArea(bitmap, nullptr);
}

void TbsSkinCustomComboBox::DrawSkinLook(TBitmap& bitmap)
{
  CalcLayout();
  const TbsDataSkinComboBox* d = ComboDefinition();
  TbsSkinCustomControl::DrawSkinLook(bitmap);
  DrawButton(bitmap.Canvas(), geometry_.SkinPicture, d);
  DrawItemArea(bitmap, d);
}

// ---------------------------------------------------------------- open and close

void TbsSkinCustomComboBox::DropDownList()
{
  if (popup_->Items().isEmpty() || ListOpen()) return;
  listTracked_ = false;
  autoScrollTimer_.stop();
  if (onDropDown_) onDropDown_(this);
  if (popup_->Items().isEmpty()) return;  // the handler may have emptied it

  popup_->SetSkinData(SkinData());
  popup_->SetWidth(listBoxWidth_ > 0 ? listBoxWidth_ : Width());
  popup_->SetRowCount(std::min(int(popup_->Items().size()), dropDownCount_));
  QPoint at = ClientToScreen(QPoint(0, Height()));
  const QRect work = GetMonitorWorkArea(this, true);
  if (at.y() + popup_->Height() > work.top() + work.height()) at.setY(ClientToScreen(QPoint(0, 0)).y() - popup_->Height());

  savedIndex_ = ItemIndex();
  if (savedIndex_ == 0 && popup_->Items().size() >= 2) {
    popup_->SetItemIndex(1);
    popup_->SetItemIndex(0);
  }
  InnerList()->MakeVisible(savedIndex_);
  popup_->UpdateScrollBars();
  if (itemEdit_ && itemEdit_->CanFocus()) itemEdit_->SetFocus();
  popup_->ShowPopup(at, AlphaBlend(), AlphaBlendValue(), AlphaBlendAnimation());
  if (!filtering_) {
    qApp->installEventFilter(this);
    filtering_ = true;
  }
  Invalidate();
}

void TbsSkinCustomComboBox::CloseUpList(bool accept)
{
  autoScrollTimer_.stop();
  if (!ListOpen()) return;
  if (filtering_) {
    qApp->removeEventFilter(this);
    filtering_ = false;
  }
  popup_->HidePopup();
  trackingFromPress_ = false;
  const int index = popup_->ItemIndex();
  if (index < 0) {
    popup_->SetItemIndex(savedIndex_);
  } else if (accept) {
    savedIndex_ = index;
    SetText(popup_->Items().at(index));
    if (OnClick()) OnClick()(this);
    ItemIndexChanged();
  } else {
    popup_->SetItemIndex(savedIndex_);
  }
  Invalidate();
  if (accept && onCloseUp_) onCloseUp_(this);
}

bool TbsSkinCustomComboBox::eventFilter(QObject* watched, QEvent* event)
{
  // A press anywhere but on the combo box or its list closes the list.
  if (event->type() == QEvent::MouseButtonPress && ListOpen()) {
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint global = me->globalPosition().toPoint();
    const bool onCombo = HandleAllocated() && Handle()->rect().contains(Handle()->mapFromGlobal(global)) &&
                         Handle()->isVisible();
    const bool onPopup = popup_->HandleAllocated() && popup_->Handle()->geometry().contains(global);
    if (!onCombo && !onPopup) CloseUpList(false);
  }
  return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------- keys

void TbsSkinCustomComboBox::SelectByKey(int index)
{
  const int count = int(popup_->Items().size());
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  if (index == ItemIndex()) return;
  SetItemIndex(index);
}

void TbsSkinCustomComboBox::MoveSelection(int delta, bool commit)
{
  const int count = int(popup_->Items().size());
  if (count == 0) return;
  if (commit) {
    SelectByKey(ItemIndex() + delta);
    return;
  }
  const int index = std::clamp(popup_->ItemIndex() + delta, 0, count - 1);
  popup_->SetItemIndex(index);
}

void TbsSkinCustomComboBox::KeyDown(int& Key, TShiftState Shift)
{
  TbsSkinCustomControl::KeyDown(Key, Shift);
  const bool alt = Shift & ssAlt;
  switch (Key) {
  case VK_UP:
  case VK_LEFT:
    if (alt) {
      if (ListOpen()) CloseUpList(false);
    } else SelectByKey(ItemIndex() - 1);
    Key = 0;
    break;
  case VK_DOWN:
  case VK_RIGHT:
    if (alt) {
      if (!ListOpen()) DropDownList();
    } else SelectByKey(ItemIndex() + 1);
    Key = 0;
    break;
  case VK_ESCAPE:
    if (ListOpen()) {
      CloseUpList(false);
      Key = 0;
    }
    break;
  case VK_RETURN:
    if (ListOpen()) {
      CloseUpList(true);
      Key = 0;
    }
    break;
  case VK_PRIOR:
    SelectByKey(std::max(ItemIndex() - (dropDownCount_ + 1), 0));
    Key = 0;
    break;
  case VK_NEXT:
    SelectByKey(ItemIndex() + (dropDownCount_ - 1));
    Key = 0;
    break;
  default: break;
  }
}

void TbsSkinCustomComboBox::KeyPress(QChar& Key)
{
  TbsSkinCustomControl::KeyPress(Key);
  if (Key.isNull() || !Key.isPrint() || style_ != bscbFixedStyle) return;
  IncrementalSearch(Key);
}

void TbsSkinCustomComboBox::IncrementalSearch(QChar ch)
{
  const qint64 now = Clock()();
  if (autoComplete_) {
    if (now - lastKeyTime_ > kSearchPauseMs) searchText_.clear();
    searchText_ += ch;
  } else {
    searchText_ = QString(ch);
  }
  lastKeyTime_ = now;
  if (searchText_.isEmpty()) return;
  const QStringList items = popup_->Items();
  const int count = int(items.size());
  if (count == 0) return;
  const int start = searchText_.size() == 1 ? ItemIndex() + 1 : 0;
  for (int n = 0; n < count; ++n) {
    const int i = (std::max(start, 0) + n) % count;
    if (items.at(i).startsWith(searchText_, Qt::CaseInsensitive)) {
      if (i != ItemIndex()) SetItemIndex(i);
      return;
    }
  }
}

// ---------------------------------------------------------------- mouse

void TbsSkinCustomComboBox::WndProc(TMessage& m)
{
  if (m.Msg == WM_MOUSEWHEEL) {
    const int notches = wheel_.Add(int(m.WParam));
    if (notches && style_ == bscbFixedStyle) MoveSelection(notches > 0 ? -1 : 1, !ListOpen());
    return;
  }
  TbsSkinCustomControl::WndProc(m);
}

void TbsSkinCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (style_ == bscbFixedStyle && CanFocus() && !Focused()) SetFocus();
  TbsSkinCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  CalcLayout();
  const QPoint p(X, Y);
  if (buttonArea_.contains(p) || (style_ == bscbFixedStyle && itemArea_.contains(p))) {
    buttonPressed_ = true;
    buttonHot_ = buttonArea_.contains(p);
    Invalidate();
    if (!ListOpen()) {
      DropDownList();
      trackingFromPress_ = ListOpen();
    } else {
      CloseUpList(false);
    }
  } else if (ListOpen()) {
    CloseUpList(false);
  }
}

void TbsSkinCustomComboBox::TrackPointer(QPoint screenPos)
{
  TbsListBox* list = InnerList();
  const QPoint inList = list->ScreenToClient(screenPos);
  if (QRect(0, 0, list->Width(), list->Height()).contains(inList)) {
    autoScrollTimer_.stop();
    scrollDirection_ = 0;
    listTracked_ = true;
    const int index = list->ItemAtPos(inList);
    if (index >= 0) popup_->SetItemIndex(index);
    return;
  }
  if (!listTracked_ || !popup_->VScrollBar()) return;
  scrollDirection_ = inList.y() < 0 ? 1 : inList.y() >= list->Height() ? 2 : 0;
  if (scrollDirection_ && !autoScrollTimer_.isActive()) autoScrollTimer_.start();
  if (!scrollDirection_) autoScrollTimer_.stop();
}

void TbsSkinCustomComboBox::AutoScrollTick()
{
  if (!ListOpen() || scrollDirection_ == 0) {
    autoScrollTimer_.stop();
    return;
  }
  MoveSelection(scrollDirection_ == 1 ? -1 : 1, false);
}

void TbsSkinCustomComboBox::MouseMove(TShiftState Shift, int X, int Y)
{
  TbsSkinCustomControl::MouseMove(Shift, X, Y);
  if (trackingFromPress_ && ListOpen()) {
    TrackPointer(ClientToScreen(QPoint(X, Y)));
    return;
  }
  CalcLayout();
  const bool hot = buttonArea_.contains(QPoint(X, Y));
  if (hot != buttonHot_) {
    buttonHot_ = hot;
    Invalidate();
  }
}

void TbsSkinCustomComboBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  TbsSkinCustomControl::MouseUp(Button, Shift, X, Y);
  if (trackingFromPress_ && listTracked_) {
    trackingFromPress_ = false;
    SetMouseCapture(false);
    TbsListBox* list = InnerList();
    const QPoint inList = list->ScreenToClient(ClientToScreen(QPoint(X, Y)));
    CloseUpList(QRect(0, 0, list->Width(), list->Height()).contains(inList));
  } else {
    trackingFromPress_ = false;
  }
  if (buttonPressed_) {
    buttonPressed_ = false;
    Invalidate();
  }
}

void TbsSkinCustomComboBox::MouseLeave()
{
  TbsSkinCustomControl::MouseLeave();
  if (buttonHot_) {
    buttonHot_ = false;
    Invalidate();
  }
}

void TbsSkinCustomComboBox::ListMouseDown(TMouseButton b, int x, int y)
{
  if (b != mbLeft) return;
  trackingFromPress_ = true;
  listTracked_ = true;
  const int index = InnerList()->ItemAtPos(QPoint(x, y));
  if (index >= 0) popup_->SetItemIndex(index);
}

void TbsSkinCustomComboBox::ListMouseMove(int x, int y)
{
  if (!ListOpen()) return;
  const int index = InnerList()->ItemAtPos(QPoint(x, y));
  if (index >= 0 && index != popup_->ItemIndex()) popup_->SetItemIndex(index);
  if (trackingFromPress_) TrackPointer(InnerList()->ClientToScreen(QPoint(x, y)));
}

void TbsSkinCustomComboBox::ListMouseUp(TMouseButton b, int x, int y)
{
  if (b != mbLeft || !ListOpen()) return;
  trackingFromPress_ = false;
  const QPoint p(x, y);
  CloseUpList(QRect(0, 0, InnerList()->Width(), InnerList()->Height()).contains(p));
}

// ---------------------------------------------------------------- focus

void TbsSkinCustomComboBox::DoEnter()
{
  TbsSkinCustomControl::DoEnter();
  if (itemEdit_ && itemEdit_->CanFocus()) itemEdit_->SetFocus();
  Invalidate();
}

void TbsSkinCustomComboBox::DoExit()
{
  TbsSkinCustomControl::DoExit();
  if (style_ == bscbFixedStyle && ListOpen()) CloseUpList(false);
  Invalidate();
}

void TbsSkinCustomComboBox::EnabledChanged()
{
  TbsSkinCustomControl::EnabledChanged();
  Invalidate();
}
