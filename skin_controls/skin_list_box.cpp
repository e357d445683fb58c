#include "skin_controls/skin_list_box.h"

#include "skin/skin_definitions.h"
#include "skin/skin_utils.h"

#include <QWidget>
#include <QWindow>
#include <algorithm>

void DrawFocusFrame(TCanvas* canvas, const QRect& r)
{
  // Dotted, every other pixel, as the desktop marks the focused item.
  for (int x = r.left(); x <= r.right(); x += 2) {
    canvas->SetPixel(x, r.top(), clBlack);
    canvas->SetPixel(x, r.bottom(), clBlack);
  }
  for (int y = r.top(); y <= r.bottom(); y += 2) {
    canvas->SetPixel(r.left(), y, clBlack);
    canvas->SetPixel(r.right(), y, clBlack);
  }
}

// ---------------------------------------------------------------- TbsListBox

TbsListBox::TbsListBox(TComponent* AOwner) : TCustomControl(AOwner)
{
  SetControlStyle(ControlStyle() | csOpaque);
  SetColor(clWindow);
}

void TbsListBox::SetItems(const QStringList& v)
{
  items_ = v;
  if (itemIndex_ >= Count()) itemIndex_ = -1;
  topIndex_ = std::clamp(topIndex_, 0, std::max(0, Count() - VisibleRows()));
  Invalidate();
  if (OnScrolled) OnScrolled();
}

void TbsListBox::SetItemIndex(int v)
{
  if (v < 0 || v >= Count()) v = -1;
  if (v == itemIndex_) return;
  itemIndex_ = v;
  if (v >= 0) MakeVisible(v);
  Invalidate();
}

void TbsListBox::SetTopIndex(int v)
{
  v = std::clamp(v, 0, std::max(0, Count() - VisibleRows()));
  if (v == topIndex_) return;
  topIndex_ = v;
  Invalidate();
  if (OnScrolled) OnScrolled();
}

void TbsListBox::SetItemHeight(int v)
{
  v = std::max(v, 1);
  if (v == itemHeight_) return;
  itemHeight_ = v;
  Invalidate();
}

int TbsListBox::VisibleRows() const { return std::max(1, Height() / itemHeight_); }

int TbsListBox::ItemAtPos(QPoint p) const
{
  if (p.x() < 0 || p.x() >= Width() || p.y() < 0 || p.y() >= Height()) return -1;
  const int index = topIndex_ + p.y() / itemHeight_;
  return index < Count() ? index : -1;
}

QRect TbsListBox::ItemRect(int index) const
{
  return QRect(0, (index - topIndex_) * itemHeight_, Width(), itemHeight_);
}

void TbsListBox::MakeVisible(int index)
{
  if (index < 0 || index >= Count()) return;
  if (index < topIndex_) SetTopIndex(index);
  else if (index >= topIndex_ + VisibleRows()) SetTopIndex(index - VisibleRows() + 1);
}

void TbsListBox::WndProc(TMessage& m)
{
  if (m.Msg == WM_MOUSEWHEEL) {
    const int notches = wheel_.Add(int(m.WParam));
    if (notches) SetTopIndex(topIndex_ - notches);
    return;
  }
  TCustomControl::WndProc(m);
}

void TbsListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (OnUserSelect && Button == mbLeft && !IsDesigning()) {
    if (CanFocus() && !Focused()) SetFocus();
    // A press on the chosen row chooses it again: its owner shows it anew.
    const int index = ItemAtPos(QPoint(X, Y));
    if (index >= 0) {
      SetItemIndex(index);
      OnUserSelect();
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TbsListBox::KeyDown(int& Key, TShiftState Shift)
{
  if (OnUserSelect && Count() > 0) {
    const int page = std::max(1, VisibleRows() - 1);
    int index = -2;
    switch (Key) {
    case VK_UP: index = std::max(itemIndex_ - 1, 0); break;
    case VK_DOWN: index = std::min(itemIndex_ + 1, Count() - 1); break;
    case VK_PRIOR: index = std::max(itemIndex_ - page, 0); break;
    case VK_NEXT: index = std::min(std::max(itemIndex_, 0) + page, Count() - 1); break;
    case VK_HOME: index = 0; break;
    case VK_END: index = Count() - 1; break;
    default: break;
    }
    if (index != -2) {
      Key = 0;
      if (index != itemIndex_) {
        SetItemIndex(index);
        OnUserSelect();
      }
      return;
    }
  }
  TCustomControl::KeyDown(Key, Shift);
}

// The chosen item shows the focus.
void TbsListBox::DoEnter()
{
  TCustomControl::DoEnter();
  Invalidate();
}

void TbsListBox::DoExit()
{
  TCustomControl::DoExit();
  Invalidate();
}

void TbsListBox::Paint()
{
  if (Width() <= 0 || Height() <= 0) return;
  TBitmap buffer;
  buffer.SetSize(Width(), Height());
  FillBitmap(buffer, QRect(0, 0, Width(), Height()), Color());
  for (int i = topIndex_; i < Count(); ++i) {
    const QRect r = ItemRect(i);
    if (r.top() >= Height()) break;
    if (DrawItemHook) DrawItemHook(buffer.Canvas(), i, r);
  }
  Canvas()->Draw(0, 0, &buffer);
}

// ---------------------------------------------------------------- TbsSkinCustomListBox

TbsSkinCustomListBox::TbsSkinCustomListBox(TComponent* AOwner) : TbsSkinCustomControl(AOwner), list_(new TbsListBox(this))
{
  SetSkinDataName(QStringLiteral("listbox"));
  Font()->SetName(QStringLiteral("Arial"));
  Font()->SetHeight(14);
  Font()->SetColor(clWindowText);
  list_->SetParent(this);
  list_->DrawItemHook = [this](TCanvas* c, int i, const QRect& r) { DrawItem(c, i, r); };
  list_->OnScrolled = [this] { SyncBar(); };
  list_->OnUserSelect = [this] {
    SyncBar();
    if (onChange_) onChange_(this);
  };
  // The inner list takes the keyboard; the box stands for it in the tab order.
  SetTabStop(true);
  list_->SetTabStop(true);
  SetBounds(0, 0, 120, 120);
}

void TbsSkinCustomListBox::CreateHandle()
{
  TbsSkinCustomControl::CreateHandle();
  if (list_ && list_->OnUserSelect) widget_->setFocusProxy(list_->Handle());
}

TbsSkinCustomListBox::~TbsSkinCustomListBox()
{
  if (list_) {
    list_->DrawItemHook = nullptr;
    list_->OnScrolled = nullptr;
    list_->OnUserSelect = nullptr;
  }
}

const TbsDataSkinListBox* TbsSkinCustomListBox::ListDefinition() const
{
  return skinControlIndex_ != -1 ? dynamic_cast<const TbsDataSkinListBox*>(SkinDefinition()) : nullptr;
}

void TbsSkinCustomListBox::SetItems(const QStringList& v)
{
  if (!list_) return;
  QStringList items = v;
  if (sorted_) items.sort(Qt::CaseInsensitive);
  list_->SetItems(items);
  UpdateScrollBars();
}

void TbsSkinCustomListBox::SetItemIndex(int v)
{
  if (!list_) return;
  list_->SetItemIndex(v);
  SyncBar();
}

void TbsSkinCustomListBox::SetSorted(bool v)
{
  if (v == sorted_) return;
  sorted_ = v;
  if (v && list_) SetItems(list_->Items());
}

void TbsSkinCustomListBox::SetUseSkinItemHeight(bool v)
{
  useSkinItemHeight_ = v;
  UpdateScrollBars();
}

void TbsSkinCustomListBox::SetDefaultItemHeight(int v)
{
  defaultItemHeight_ = std::max(v, 1);
  UpdateScrollBars();
}

void TbsSkinCustomListBox::SetImages(TImageList* v)
{
  images_ = v;
  if (v) v->FreeNotification(this);
  if (list_) list_->Invalidate();
}

void TbsSkinCustomListBox::SetImageIndex(int v)
{
  imageIndex_ = v;
  if (list_) list_->Invalidate();
}

void TbsSkinCustomListBox::SetCaptionMode(bool v)
{
  if (v == captionMode_) return;
  captionMode_ = v;
  UpdateScrollBars();
  Invalidate();
}

void TbsSkinCustomListBox::SetDefaultCaptionHeight(int v)
{
  defaultCaptionHeight_ = std::max(v, 0);
  UpdateScrollBars();
}

void TbsSkinCustomListBox::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinCustomControl::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == images_) images_ = nullptr;
  if (AComponent == vScrollBar_) vScrollBar_ = nullptr;
  if (AComponent == list_) list_ = nullptr;
}

int TbsSkinCustomListBox::ItemHeight()
{
  LoadSkinDefinition();
  const TbsDataSkinListBox* d = ListDefinition();
  const int h = useSkinItemHeight_ && d && d->ItemRect.height() > 0 ? d->ItemRect.height() : defaultItemHeight_;
  return std::max(h, 1);
}

void TbsSkinCustomListBox::SetRowCount(int v)
{
  rowCount_ = std::max(v, 0);
  if (rowCount_ == 0) return;
  LoadSkinDefinition();
  const int rows = rowCount_ * ItemHeight();
  int height;
  if (skinControlIndex_ != -1 && geometry_.StretchMode != smNone)
    height = geometry_.SkinHeight() + rows - geometry_.ClientRect.height();
  else height = rows + 4 + (captionMode_ ? defaultCaptionHeight_ : 0);
  SetBounds(Left(), Top(), Width(), height);
}

QRect TbsSkinCustomListBox::InnerRect()
{
  LoadSkinDefinition();
  if (skinControlIndex_ != -1 && geometry_.StretchMode != smNone) {
    geometry_.StretchTo(Width(), Height());
    return geometry_.StretchedClientRect;
  }
  return SkinRect(2, 1 + (captionMode_ ? defaultCaptionHeight_ : 0), Width() - 2, Height() - 2);
}

void TbsSkinCustomListBox::UpdateScrollBars()
{
  if (!list_ || laying_ || IsDestroying()) return;
  laying_ = true;
  list_->SetItemHeight(ItemHeight());
  QRect inner = InnerRect();
  const int rowsFit = std::max(1, inner.height() / list_->ItemHeight());
  const bool needed = list_->Count() > rowsFit;
  if (needed && !vScrollBar_) {
    vScrollBar_ = new TbsSkinScrollBar(this);
    vScrollBar_->FreeNotification(this);
    vScrollBar_->SetKind(TbsSkinScrollBar::sbVertical);
    const TbsDataSkinListBox* d = ListDefinition();
    vScrollBar_->SetSkinDataName(d ? d->VScrollBarName : QStringLiteral("vscrollbar"));
    vScrollBar_->SetDefaultHeight(0);
    vScrollBar_->SetDefaultWidth(19);
    vScrollBar_->SetBounds(0, 0, 19, std::max(inner.height(), 1));
    vScrollBar_->SetParent(this);
    vScrollBar_->SetSkinData(SkinData());
    vScrollBar_->SetOnChange([this](TObject*) {
      if (list_ && vScrollBar_) list_->SetTopIndex(vScrollBar_->Position());
    });
  } else if (!needed && vScrollBar_) {
    TbsSkinScrollBar* bar = vScrollBar_;
    vScrollBar_ = nullptr;
    TComponent::Free(bar);
  }
  if (vScrollBar_) {
    const int barWidth = vScrollBar_->Width();
    vScrollBar_->SetBounds(inner.right() + 1 - barWidth, inner.top(), barWidth, inner.height());
    inner.setRight(inner.right() - barWidth);
  }
  list_->SetBounds(inner.left(), inner.top(), std::max(inner.width(), 0), std::max(inner.height(), 0));
  laying_ = false;
  SyncBar();
}

void TbsSkinCustomListBox::SyncBar()
{
  if (!vScrollBar_ || !list_) return;
  const int rows = list_->VisibleRows();
  vScrollBar_->AssignRange(0, std::max(list_->Count() - 1, 0), rows, list_->TopIndex());
  vScrollBar_->SetLargeChange(rows);
}

void TbsSkinCustomListBox::ApplySkinData()
{
  TbsSkinCustomControl::ApplySkinData();
  if (vScrollBar_) {
    const TbsDataSkinListBox* d = ListDefinition();
    vScrollBar_->SetSkinDataName(d ? d->VScrollBarName : QStringLiteral("vscrollbar"));
    vScrollBar_->SetSkinData(SkinData());
  }
  if (list_) {
    const TbsDataSkinListBox* d = ListDefinition();
    list_->SetColor(clWindow);
    if (d && geometry_.SkinPicture && !d->ClientRect.isEmpty()) {
      // The list's empty rows show the colour of the picture's client area.
      const QPoint c = geometry_.SkinRect.topLeft() + d->ClientRect.center();
      if (geometry_.SkinPicture->rect().contains(c)) list_->SetColor(QColorToColor(geometry_.SkinPicture->pixelColor(c)));
    }
  }
  UpdateScrollBars();
}

void TbsSkinCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TbsSkinCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  UpdateScrollBars();
}

void TbsSkinCustomListBox::DrawDefaultLook(TBitmap& bitmap)
{
  FillBitmap(bitmap, QRect(0, 0, Width(), Height()), clWindow);
  TCanvas* c = bitmap.Canvas();
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(QRect(0, 0, Width(), Height()));
  if (captionMode_) {
    const QRect band(1, 1, Width() - 2, defaultCaptionHeight_);
    FillBitmap(bitmap, band, clBtnFace);
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(TBrush::bsClear);
    DrawTextInRect(c, Caption(), band);
  }
}

void TbsSkinCustomListBox::DrawSkinLook(TBitmap& bitmap)
{
  TbsSkinCustomControl::DrawSkinLook(bitmap);
  if (captionMode_) {
    TCanvas* c = bitmap.Canvas();
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(TBrush::bsClear);
    DrawTextInRect(c, Caption(), QRect(0, 0, Width(), std::min(Height(), defaultCaptionHeight_)));
  }
}

void TbsSkinCustomListBox::DrawItemText(TCanvas* canvas, int index, QRect textRect)
{
  if (ItemIndent) textRect.setLeft(textRect.left() + ItemIndent(index));
  const int image = imageIndex_ >= 0 ? imageIndex_ : index;
  if (images_ && image >= 0 && image < images_->Count()) {
    images_->Draw(canvas, textRect.left() + 2, textRect.top() + (textRect.height() - images_->Height()) / 2, image);
    textRect.setLeft(textRect.left() + images_->Width() + 2);
  }
  canvas->Brush()->SetStyle(TBrush::bsClear);
  DrawTextInRect(canvas, list_->Items().value(index), textRect);
}

void TbsSkinCustomListBox::DrawItem(TCanvas* canvas, int index, const QRect& r)
{
  if (!list_ || index < 0 || index >= list_->Count()) return;
  int state = 0;
  if (index == list_->ItemIndex()) {
    state |= odSelected;
    if (list_->Focused()) state |= odFocused;
  }
  if (onDrawItem_) {
    onDrawItem_(this, canvas, index, state, r);
    return;
  }
  const TbsDataSkinListBox* d = ListDefinition();
  const QImage* picture = geometry_.SkinPicture;
  if (!d || !picture || d->ItemRect.isEmpty()) {
    canvas->Font()->Assign(skinControlIndex_ == -1 ? DefaultFont() : Font());
    canvas->Brush()->SetStyle(TBrush::bsSolid);
    canvas->Brush()->SetColor(state & odSelected ? clHighlight : clWindow);
    canvas->FillRect(r);
    canvas->Font()->SetColor(state & odSelected ? clHighlightText : Font()->Color());
    DrawItemText(canvas, index, r);
    if (state & odFocused) DrawFocusFrame(canvas, r);
    return;
  }
  const QRect activeRect = d->ActiveItemRect.isEmpty() ? d->ItemRect : d->ActiveItemRect;
  const QRect focusRect = d->FocusItemRect.isEmpty() ? d->ItemRect : d->FocusItemRect;
  const QRect source = state & odFocused ? focusRect : state & odSelected ? activeRect : d->ItemRect;
  TBitmap item;
  BuildHorzStrip3(d->ItemLeftOffset, d->ItemRightOffset, source, *picture, r.width(), item);
  if (useSkinItemHeight_ || item.Height() == r.height()) canvas->Draw(r.left(), r.top(), &item);
  else canvas->StretchDraw(r, &item);
  if (UseSkinFont()) skin_fonts::ApplyDefinitionFont(canvas->Font(), d->FontName, d->FontHeight, d->FontStyle);
  else canvas->Font()->Assign(DefaultFont());
  canvas->Font()->SetColor(state & odFocused ? d->FocusFontColor : state & odSelected ? d->ActiveFontColor : d->FontColor);
  QRect text = d->ItemTextRect.isEmpty() ? QRect(0, 0, d->ItemRect.width(), d->ItemRect.height()) : d->ItemTextRect;
  text.adjust(0, 0, r.width() - d->ItemRect.width(), r.height() - d->ItemRect.height());
  DrawItemText(canvas, index, text.translated(r.topLeft()));
}

// ---------------------------------------------------------------- TbsPopupListBox

TbsPopupListBox::TbsPopupListBox(TComponent* AOwner) : TbsSkinListBox(AOwner)
{
  SetVisible(false);
  // Its combo box chooses on the list's presses and keeps the keyboard.
  if (list_) {
    list_->OnUserSelect = nullptr;
    list_->SetTabStop(false);
  }
  SetTabStop(false);
  fadeTimer_.setInterval(kFadeMs);
  QObject::connect(&fadeTimer_, &QTimer::timeout, this, [this] { FadeTick(); });
}

QWidget* TbsPopupListBox::CreateWidget(QWidget*)
{
  auto* w = new TControlWidget(this, nullptr);
  // A drop-down floats above everything and leaves the focus with its combo box.
  w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  w->setAttribute(Qt::WA_X11NetWmWindowTypeCombo);
  w->setFocusPolicy(Qt::NoFocus);
  return w;
}

void TbsPopupListBox::ShowPopup(QPoint screenPos, bool alphaBlend, int alpha, bool animate)
{
  fadeTimer_.stop();
  layered_ = alphaBlend && TransparencySupported();
  fadeTarget_ = layered_ ? std::clamp(alpha, 0, 255) : 255;
  opacity_ = layered_ && animate ? 0 : fadeTarget_;
  if (layered_) SetWindowAlpha(this, opacity_);
  else if (WindowOpacity() != 255) SetWindowOpacity(255);
  SetBounds(screenPos.x(), screenPos.y(), Width(), Height());
  BelongToOwnersWindow();
  shown_ = true;
  Show();
  if (layered_ && animate && opacity_ < fadeTarget_) fadeTimer_.start();
}

void TbsPopupListBox::BelongToOwnersWindow()
{
  // A modal window (the file dialog) blocks the pointer in every other window
  // of the program except its own transients: the list is made one of its
  // combo box's window.
  auto* owner = dynamic_cast<TWinControl*>(Owner());
  if (!owner || !owner->HandleAllocated()) return;
  QWidget* top = owner->Handle()->window();
  QWidget* self = Handle();
  if (!top || !self) return;
  top->winId();
  self->winId();
  QWindow* window = self->windowHandle();
  if (window && window->transientParent() != top->windowHandle()) window->setTransientParent(top->windowHandle());
}

void TbsPopupListBox::FadeTick()
{
  if (!shown_) {
    fadeTimer_.stop();
    return;
  }
  opacity_ = std::min(opacity_ + kFadeStep, fadeTarget_);
  SetWindowAlpha(this, opacity_);
  if (opacity_ >= fadeTarget_) fadeTimer_.stop();
}

void TbsPopupListBox::HidePopup()
{
  fadeTimer_.stop();
  shown_ = false;
  Hide();
}
