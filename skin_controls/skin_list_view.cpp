#include "skin_controls/skin_list_view.h"

#include "skin/skin_utils.h"
#include "toolkit/std_controls.h"

#include <QApplication>
#include <QWheelEvent>
#include <algorithm>

namespace {

constexpr int kLargeIcon = 32, kSmallIcon = 16;
constexpr int kIconCellWidth = 76;
constexpr int kMaxListCell = 260;
constexpr int kTypeAheadMs = 1000;
constexpr int VK_F2 = VK_F1 + 1;

} // namespace

TbsSkinCustomListView::TbsSkinCustomListView(TComponent* AOwner)
    : TbsSkinControl(AOwner), defaultFont_(new TFont(this))
{
  SetSkinDataName(QStringLiteral("listview"));
  defaultFont_->SetName(QStringLiteral("Arial"));
  defaultFont_->SetHeight(14);
  defaultFont_->SetColor(clWindowText);
  Font()->Assign(defaultFont_);
  SetParentFont(false);
  SetColor(clWindow);
  SetTabStop(true);
  SetBounds(0, 0, 250, 150);
  slowClick_.setSingleShot(true);
  QObject::connect(&slowClick_, &QTimer::timeout, this, [this] { SlowClickTick(); });
}

TbsSkinCustomListView::~TbsSkinCustomListView()
{
  for (TbsSkinScrollBar* bar : {hBar_, vBar_}) {
    if (!bar) continue;
    bar->RemoveFreeNotification(this);
    bar->SetOnChange({});
  }
}

void TbsSkinCustomListView::SetViewStyle(TViewStyle v)
{
  if (v == viewStyle_) return;
  if (editor_) EndEditing(false);
  viewStyle_ = v;
  scroll_ = QPoint();
  ScrollChanged();
  MakeVisible(itemIndex_);
  Invalidate();
}

void TbsSkinCustomListView::SetMultiSelect(bool v)
{
  if (v == multiSelect_) return;
  multiSelect_ = v;
  if (!v && itemIndex_ >= 0) SetItemIndex(itemIndex_);
  else if (!v) ClearSelection();
}

void TbsSkinCustomListView::SetShowColumnHeaders(bool v)
{
  if (v == showColumnHeaders_) return;
  showColumnHeaders_ = v;
  Invalidate();
}

void TbsSkinCustomListView::SetHeaderSkinDataName(const QString& v)
{
  if (v == headerSkinDataName_) return;
  headerSkinDataName_ = v;
  Invalidate();
}

void TbsSkinCustomListView::SetDefaultFont(TFont* v)
{
  defaultFont_->Assign(v);
  ApplySkinData();
}

void TbsSkinCustomListView::SetUseSkinFont(bool v)
{
  if (v == useSkinFont_) return;
  useSkinFont_ = v;
  ApplySkinData();
}

// ---------------------------------------------------------------- items

void TbsSkinCustomListView::SetItemCount(int count)
{
  if (editor_) EndEditing(false);
  itemCount_ = std::max(0, count);
  selected_.assign(size_t(itemCount_), false);
  itemIndex_ = anchor_ = -1;
  scroll_ = QPoint();
  listCellWidth_ = -1;
  ScrollChanged();
  Invalidate();
}

void TbsSkinCustomListView::ItemsChanged()
{
  listCellWidth_ = -1;
  ScrollChanged();
  Invalidate();
}

void TbsSkinCustomListView::SetItemIndex(int index)
{
  if (index < -1 || index >= itemCount_) index = -1;
  std::fill(selected_.begin(), selected_.end(), false);
  itemIndex_ = anchor_ = index;
  if (index >= 0) selected_[size_t(index)] = true;
  MakeVisible(index);
  Invalidate();
  SelectionChanged();
}

bool TbsSkinCustomListView::Selected(int index) const
{
  return index >= 0 && index < itemCount_ && selected_[size_t(index)];
}

void TbsSkinCustomListView::SetSelected(int index, bool selected)
{
  if (index < 0 || index >= itemCount_ || selected_[size_t(index)] == selected) return;
  if (selected && !multiSelect_) std::fill(selected_.begin(), selected_.end(), false);
  selected_[size_t(index)] = selected;
  if (selected) itemIndex_ = index;
  Invalidate();
  SelectionChanged();
}

std::vector<int> TbsSkinCustomListView::SelectedIndexes() const
{
  std::vector<int> out;
  for (int i = 0; i < itemCount_; ++i)
    if (selected_[size_t(i)]) out.push_back(i);
  return out;
}

int TbsSkinCustomListView::SelCount() const { return int(std::count(selected_.begin(), selected_.end(), true)); }

void TbsSkinCustomListView::ClearSelection()
{
  if (SelCount() == 0) return;
  std::fill(selected_.begin(), selected_.end(), false);
  Invalidate();
  SelectionChanged();
}

void TbsSkinCustomListView::SelectionChanged()
{
  if (onSelectItem_) onSelectItem_(this);
}

void TbsSkinCustomListView::ClearColumns()
{
  columns_.clear();
  ScrollChanged();
  Invalidate();
}

void TbsSkinCustomListView::AddColumn(const QString& caption, int width, TAlignment alignment)
{
  columns_.push_back({caption, std::max(0, width), alignment});
  ScrollChanged();
  Invalidate();
}

QString TbsSkinCustomListView::ItemCaption(int) const { return {}; }
QIcon TbsSkinCustomListView::ItemIcon(int, bool) const { return {}; }
QStringList TbsSkinCustomListView::ItemSubItems(int) const { return {}; }
bool TbsSkinCustomListView::ItemRenamed(int, const QString&) { return false; }

// ---------------------------------------------------------------- layout

int TbsSkinCustomListView::RowHeight() const { return std::max(kSmallIcon + 2, Font()->Metrics().height() + 4); }

int TbsSkinCustomListView::ListCellWidth() const
{
  if (listCellWidth_ < 0) {
    const QFontMetrics& fm = Font()->Metrics();
    int widest = 0;
    for (int i = 0; i < itemCount_ && widest < kMaxListCell; ++i)
      widest = std::max(widest, fm.horizontalAdvance(ItemCaption(i)));
    listCellWidth_ = std::min(kMaxListCell, kSmallIcon + 6 + widest + 8);
  }
  return listCellWidth_;
}

TbsSkinCustomListView::TGrid TbsSkinCustomListView::Grid() const
{
  TGrid g;
  const QRect client = ClientRect();
  const int row = RowHeight();
  switch (viewStyle_) {
  case vsIcon:
    g.CellWidth = kIconCellWidth;
    g.CellHeight = kLargeIcon + 8 + Font()->Metrics().height() + 4;
    g.Columns = std::max(1, client.width() / g.CellWidth);
    g.Rows = (itemCount_ + g.Columns - 1) / g.Columns;
    break;
  case vsSmallIcon:
    g.CellWidth = ListCellWidth();
    g.CellHeight = row;
    g.Columns = std::max(1, client.width() / g.CellWidth);
    g.Rows = (itemCount_ + g.Columns - 1) / g.Columns;
    break;
  case vsList:
    g.ColumnMajor = true;
    g.CellWidth = ListCellWidth();
    g.CellHeight = row;
    g.Rows = std::max(1, client.height() / row);
    g.Columns = (itemCount_ + g.Rows - 1) / g.Rows;
    break;
  case vsReport: {
    int total = 0;
    for (const auto& c : columns_) total += c.Width;
    g.CellWidth = std::max(total, 1);
    g.CellHeight = row;
    g.Columns = 1;
    g.Rows = itemCount_;
    g.Top = showColumnHeaders_ ? row + 2 : 0;
    break;
  }
  }
  return g;
}

QSize TbsSkinCustomListView::ContentSize() const
{
  const TGrid g = Grid();
  return QSize(g.Columns * g.CellWidth, g.Top + g.Rows * g.CellHeight);
}

QSize TbsSkinCustomListView::PageSize() const
{
  const TGrid g = Grid();
  return QSize(ClientWidth(), std::max(0, ClientHeight() - g.Top));
}

QRect TbsSkinCustomListView::HeaderRect() const
{
  if (viewStyle_ != vsReport || !showColumnHeaders_) return {};
  return QRect(0, 0, ClientWidth(), Grid().Top);
}

QRect TbsSkinCustomListView::ItemRect(int index) const
{
  if (index < 0 || index >= itemCount_) return {};
  const TGrid g = Grid();
  const int col = g.ColumnMajor ? index / g.Rows : index % g.Columns;
  const int row = g.ColumnMajor ? index % g.Rows : index / g.Columns;
  return QRect(col * g.CellWidth - scroll_.x(), g.Top + row * g.CellHeight - scroll_.y(), g.CellWidth,
               g.CellHeight);
}

int TbsSkinCustomListView::ItemAtPos(QPoint p) const
{
  const TGrid g = Grid();
  if (p.y() < g.Top || p.x() < 0 || p.y() < 0) return -1;
  const int x = p.x() + scroll_.x(), y = p.y() - g.Top + scroll_.y();
  const int col = x / g.CellWidth, row = y / g.CellHeight;
  if (col >= g.Columns || row >= g.Rows) return -1;
  const int index = g.ColumnMajor ? col * g.Rows + row : row * g.Columns + col;
  return index < itemCount_ ? index : -1;
}

void TbsSkinCustomListView::MakeVisible(int index)
{
  if (index < 0 || index >= itemCount_) return;
  const QRect r = ItemRect(index);
  const TGrid g = Grid();
  QPoint s = scroll_;
  if (r.top() < g.Top) s.ry() -= g.Top - r.top();
  else if (r.bottom() >= ClientHeight()) s.ry() += r.bottom() + 1 - ClientHeight();
  if (viewStyle_ != vsReport) {
    if (r.left() < 0) s.rx() += r.left();
    else if (r.right() >= ClientWidth()) s.rx() += r.right() + 1 - ClientWidth();
  }
  SetScrollPos(s);
}

QPoint TbsSkinCustomListView::ClampScroll(QPoint p) const
{
  const QSize content = ContentSize(), page = PageSize();
  const int top = Grid().Top;
  return QPoint(std::clamp(p.x(), 0, std::max(0, content.width() - page.width())),
                std::clamp(p.y(), 0, std::max(0, content.height() - top - page.height())));
}

void TbsSkinCustomListView::SetScrollPos(QPoint p)
{
  p = ClampScroll(p);
  if (p == scroll_) return;
  scroll_ = p;
  if (editor_) EndEditing(false);
  Invalidate();
  if (onScroll_) onScroll_(this);
  SyncScrollBars();
}

void TbsSkinCustomListView::ScrollChanged()
{
  // The content or the page changed: the position stays inside, the scroll bars follow.
  const QPoint p = ClampScroll(scroll_);
  if (p != scroll_) {
    scroll_ = p;
    Invalidate();
  }
  if (onScroll_) onScroll_(this);
  SyncScrollBars();
}

void TbsSkinCustomListView::SetVisible(bool v)
{
  TbsSkinControl::SetVisible(v);
  SyncScrollBars();
}

void TbsSkinCustomListView::SetHScrollBar(TbsSkinScrollBar* v) { BindScrollBar(hBar_, v); }
void TbsSkinCustomListView::SetVScrollBar(TbsSkinScrollBar* v) { BindScrollBar(vBar_, v); }

void TbsSkinCustomListView::BindScrollBar(TbsSkinScrollBar*& slot, TbsSkinScrollBar* bar)
{
  if (bar == slot) return;
  if (slot) slot->SetOnChange({});
  ReplaceReference(slot, bar);
  if (!bar) return;
  bar->SetEnabled(true);
  bar->SetVisible(false);
  bar->SetOnChange([this](TObject* sender) { ScrollBarMoved(static_cast<TbsSkinScrollBar*>(sender)); });
  SyncScrollBars();
}

void TbsSkinCustomListView::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsSkinControl::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == hBar_) hBar_ = nullptr;
  if (AComponent == vBar_) vBar_ = nullptr;
}

void TbsSkinCustomListView::ScrollBarMoved(TbsSkinScrollBar* bar)
{
  if (syncingBars_) return;
  barScrolling_ = true;
  if (bar == vBar_) SetScrollPos(QPoint(scroll_.x(), bar->Position()));
  else if (bar == hBar_) SetScrollPos(QPoint(bar->Position(), scroll_.y()));
  barScrolling_ = false;
}

void TbsSkinCustomListView::SyncScrollBars()
{
  if (barScrolling_ || syncingBars_ || (!hBar_ && !vBar_) || IsDestroying()) return;
  if (Width() <= 5 || Height() <= 5) return;
  syncingBars_ = true;
  // A bar that appears narrows the page and may call for the other: twice settles it.
  for (int pass = 0; pass < 2; ++pass) {
    const TGrid g = Grid();
    const QSize content = ContentSize(), page = PageSize();
    const int body = content.height() - g.Top;
    bool changed = false;
    auto apply = [&](TbsSkinScrollBar* bar, bool needed, int length, int pageLength, int position, int step) {
      if (!bar) return;
      if (needed) {
        bar->AssignRange(0, length - 1, pageLength, position);
        bar->SetSmallChange(std::max(1, step));
        bar->SetLargeChange(std::max(1, pageLength));
      }
      if (bar->Visible() != needed) {
        bar->SetVisible(needed);
        changed = true;
      }
    };
    apply(vBar_, Visible() && body > page.height(), body, page.height(), scroll_.y(), g.CellHeight);
    apply(hBar_, Visible() && content.width() > page.width(), content.width(), page.width(), scroll_.x(),
          viewStyle_ == vsList ? g.CellWidth : g.CellHeight);
    if (hBar_) hBar_->SetBoth(vBar_ && vBar_->Visible());
    if (!changed) break;
    if (Align() != alNone && Parent()) Parent()->Realign();
  }
  syncingBars_ = false;
}

void TbsSkinCustomListView::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  const bool sized = AWidth != Width() || AHeight != Height();
  TbsSkinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (sized) ScrollChanged();
}

// ---------------------------------------------------------------- skin

void TbsSkinCustomListView::LoadSkinDefinition()
{
  TbsSkinControl::LoadSkinDefinition();
  if (const auto* def = dynamic_cast<const TbsDataSkinListView*>(SkinDefinition())) {
    bgColor_ = def->BGColor;
    fontColor_ = def->FontColor;
    skinFontName_ = def->FontName;
    skinFontHeight_ = def->FontHeight;
    skinFontStyle_ = def->FontStyle;
  } else {
    skinControlIndex_ = -1;
    bgColor_ = Color();
    fontColor_ = Font()->Color();
  }
}

void TbsSkinCustomListView::ApplyListFont(TFont* font) const
{
  if (skinControlIndex_ != -1 && useSkinFont_) {
    skin_fonts::ApplyDefinitionFont(font, skinFontName_, skinFontHeight_, skinFontStyle_);
  } else {
    font->Assign(defaultFont_);
  }
}

void TbsSkinCustomListView::ApplySkinData()
{
  LoadSkinDefinition();
  TFont font;
  font.Assign(Font());
  ApplyListFont(&font);
  if (skinControlIndex_ != -1) font.SetColor(fontColor_);
  font.SetCharset(skin_fonts::SkinCharset(SkinData(), font.Charset()));
  if (!font.Equals(*Font())) {
    Font()->Assign(&font);
    ItemsChanged();
  }
  TbsSkinControl::ApplySkinData();
}

void TbsSkinCustomListView::Loaded()
{
  TbsSkinControl::Loaded();
  ApplySkinData();
}

// ---------------------------------------------------------------- painting

void TbsSkinCustomListView::DrawDefaultLook(TBitmap& bitmap) { DrawList(bitmap); }
void TbsSkinCustomListView::DrawSkinLook(TBitmap& bitmap) { DrawList(bitmap); }

void TbsSkinCustomListView::DrawList(TBitmap& bitmap)
{
  TCanvas& c = *bitmap.Canvas();
  c.Font()->Assign(Font());
  c.Brush()->SetColor(bgColor_);
  c.FillRect(QRect(0, 0, bitmap.Width(), bitmap.Height()));
  const TGrid g = Grid();
  if (itemCount_ > 0) {
    // Only the cells that meet the visible area are asked for and drawn.
    const int firstCol = scroll_.x() / g.CellWidth;
    const int lastCol = std::min(g.Columns - 1, (scroll_.x() + bitmap.Width()) / g.CellWidth);
    const int firstRow = scroll_.y() / g.CellHeight;
    const int lastRow = std::min(g.Rows - 1, (scroll_.y() + bitmap.Height() - g.Top) / g.CellHeight);
    c.Painter().save();
    c.Painter().setClipRect(QRect(0, g.Top, bitmap.Width(), bitmap.Height() - g.Top));
    for (int col = firstCol; col <= lastCol; ++col) {
      for (int row = firstRow; row <= lastRow; ++row) {
        const int index = g.ColumnMajor ? col * g.Rows + row : row * g.Columns + col;
        if (index >= itemCount_) continue;
        const QRect r = ItemRect(index);
        if (viewStyle_ == vsReport) DrawReportRow(c, index, r);
        else DrawItem(c, index, r, viewStyle_ == vsIcon ? kLargeIcon : kSmallIcon);
      }
    }
    c.Painter().restore();
  }
  if (g.Top > 0) DrawHeader(c);
}

void TbsSkinCustomListView::DrawItem(TCanvas& c, int index, const QRect& r, int iconSize)
{
  const QString caption = ItemCaption(index);
  const QIcon icon = ItemIcon(index, iconSize == kLargeIcon);
  const QFontMetrics& fm = Font()->Metrics();
  QRect iconRect, textRect;
  QString shown;
  if (iconSize == kLargeIcon) {
    iconRect = QRect(r.left() + (r.width() - iconSize) / 2, r.top() + 4, iconSize, iconSize);
    shown = fm.elidedText(caption, Qt::ElideRight, r.width() - 6);
    const int w = fm.horizontalAdvance(shown) + 4;
    textRect = QRect(r.left() + (r.width() - w) / 2, iconRect.bottom() + 4, w, fm.height() + 2);
  } else {
    iconRect = QRect(r.left() + 2, r.top() + (r.height() - iconSize) / 2, iconSize, iconSize);
    shown = fm.elidedText(caption, Qt::ElideRight, r.right() - iconRect.right() - 8);
    textRect = QRect(iconRect.right() + 4, r.top() + 1, fm.horizontalAdvance(shown) + 4, r.height() - 2);
  }
  if (!icon.isNull()) icon.paint(&c.Painter(), iconRect);
  const bool sel = Selected(index);
  if (sel) {
    c.Brush()->SetColor(Focused() ? clHighlight : clBtnFace);
    c.FillRect(textRect);
  }
  c.Painter().setPen(ColorToQColor(sel && Focused() ? clHighlightText : fontColor_));
  c.Painter().setFont(Font()->ToQFont());
  c.Painter().drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, shown);
  if (index == itemIndex_ && Focused()) {
    c.Painter().setPen(QPen(ColorToQColor(clGray), 1, Qt::DotLine));
    c.Painter().drawRect(textRect.adjusted(0, 0, -1, -1));
  }
}

void TbsSkinCustomListView::DrawReportRow(TCanvas& c, int index, const QRect& r)
{
  const bool sel = Selected(index);
  const QFontMetrics& fm = Font()->Metrics();
  const QStringList sub = ItemSubItems(index);
  c.Painter().setFont(Font()->ToQFont());
  int x = r.left();
  for (int col = 0; col < ColumnCount(); ++col) {
    const TbsListColumn& column = columns_[size_t(col)];
    QRect cell(x, r.top(), column.Width, r.height());
    x += column.Width;
    if (cell.right() < 0 || cell.left() > ClientWidth()) continue;
    QRect textRect = cell.adjusted(4, 0, -4, 0);
    QString text;
    if (col == 0) {
      const QIcon icon = ItemIcon(index, false);
      const QRect iconRect(cell.left() + 2, cell.top() + (cell.height() - kSmallIcon) / 2, kSmallIcon, kSmallIcon);
      if (!icon.isNull()) icon.paint(&c.Painter(), iconRect);
      textRect.setLeft(iconRect.right() + 4);
      text = ItemCaption(index);
    } else if (col - 1 < sub.size()) {
      text = sub[col - 1];
    }
    const QString shown = fm.elidedText(text, Qt::ElideRight, std::max(0, textRect.width()));
    if (col == 0 && sel) {
      const QRect back(textRect.left() - 2, cell.top() + 1, fm.horizontalAdvance(shown) + 4, cell.height() - 2);
      c.Brush()->SetColor(Focused() ? clHighlight : clBtnFace);
      c.FillRect(back);
      if (index == itemIndex_ && Focused()) {
        c.Painter().setPen(QPen(ColorToQColor(clGray), 1, Qt::DotLine));
        c.Painter().drawRect(back.adjusted(0, 0, -1, -1));
      }
    }
    c.Painter().setPen(ColorToQColor(col == 0 && sel && Focused() ? clHighlightText : fontColor_));
    const Qt::Alignment align = column.Alignment == taRightJustify ? Qt::AlignRight
                                : column.Alignment == taCenter     ? Qt::AlignHCenter
                                                                   : Qt::AlignLeft;
    c.Painter().drawText(textRect, align | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  }
}

void TbsSkinCustomListView::DrawHeader(TCanvas& c)
{
  const QRect header = HeaderRect();
  int x = -scroll_.x();
  for (int col = 0; col < ColumnCount(); ++col) {
    const TbsListColumn& column = columns_[size_t(col)];
    const QRect r(x, 0, column.Width, header.height());
    if (r.right() >= 0 && r.left() < header.width())
      DrawHeaderSection(c, r, column.Caption, column.Alignment, col == pressedSection_);
    x += column.Width;
  }
  if (x < header.width()) DrawHeaderSection(c, QRect(x, 0, header.width() - x, header.height()), {}, taLeftJustify, false);
}

void TbsSkinCustomListView::DrawHeaderSection(TCanvas& c, const QRect& r, const QString& text, TAlignment alignment,
                                              bool pressed)
{
  if (r.width() <= 0 || r.height() <= 0) return;
  TbsSkinGeometry g;
  const int index = TbsSkinGeometry::FindDefinition(SkinData(), headerSkinDataName_);
  const auto* def = dynamic_cast<const TbsDataSkinButtonControl*>(TbsSkinGeometry::Definition(SkinData(), index));
  TColor textColor = clBtnText;
  if (def) g.Load(SkinData(), index);
  if (def && g.SkinPicture && !g.SkinPicture->isNull()) {
    const QRect source = pressed && !def->DownSkinRect.isEmpty() ? def->DownSkinRect : def->SkinRect;
    textColor = pressed ? def->DownFontColor : def->FontColor;
    TBitmap piece;
    if (!g.LBPoint.isNull()) {
      g.StretchTo(r.width(), r.height());
      BuildSkinImage(g.SourcePoints(), g.StretchedPoints(), r.width(), r.height(), source, *g.SkinPicture, true,
                     piece);
    } else {
      BuildHorzStrip3(g.LTPoint.x(), source.width() - g.RTPoint.x(), source, *g.SkinPicture, r.width(), piece);
    }
    c.StretchDraw(r, &piece);
  } else {
    c.Brush()->SetColor(pressed ? RGB(133, 147, 181) : clBtnFace);
    c.FillRect(r);
    c.Brush()->SetColor(pressed ? clNavy : clBtnShadow);
    c.FrameRect(r);
  }
  if (text.isEmpty()) return;
  TCanvas measure;
  measure.Font()->Assign(Font());
  const QRect area = r.adjusted(5, 0, -5, 0);
  const QString shown = TruncateWithEllipsis(&measure, text, area.width());
  const int w = measure.TextWidth(shown);
  int x = area.left();
  if (alignment == taRightJustify) x = r.right() + 1 - w - 10;
  else if (alignment == taCenter) x = r.left() + r.width() / 2 - w / 2;
  c.Painter().save();
  c.Painter().setClipRect(r);
  c.Painter().setFont(Font()->ToQFont());
  c.Painter().setPen(ColorToQColor(textColor));
  c.Painter().drawText(QRect(x, r.top(), w + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
  c.Painter().restore();
}

// ---------------------------------------------------------------- input

int TbsSkinCustomListView::HeaderSectionAt(int x) const
{
  int left = -scroll_.x();
  for (int col = 0; col < ColumnCount(); ++col) {
    const int right = left + columns_[size_t(col)].Width;
    // A press on a divider sizes columns elsewhere; it presses nothing.
    if (std::abs(x - right) <= 2) return -1;
    if (x >= left && x < right) return col;
    left = right;
  }
  return -1;
}

void TbsSkinCustomListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  const bool hadFocus = Focused();
  if (CanFocus() && !Focused()) SetFocus();
  if (editor_) EndEditing(true);
  lastPress_ = QPoint(X, Y);
  slowClick_.stop();
  {
    const int index = ItemAtPos(QPoint(X, Y));
    pressOnCurrent_ = hadFocus && Button == mbLeft && !(Shift & (ssDouble | ssShift | ssCtrl)) && index >= 0 &&
                      index == itemIndex_ && Selected(index) && !HeaderRect().contains(X, Y);
  }
  if (HeaderRect().contains(X, Y)) {
    if (Button == mbLeft) {
      pressedSection_ = HeaderSectionAt(X);
      Invalidate();
    }
  } else if (Shift & ssDouble) {
    // The first press chose the item; the double click may have shown another folder.
  } else if (Button == mbLeft || Button == mbRight) {
    const int index = ItemAtPos(QPoint(X, Y));
    if (index < 0) {
      if (!(Shift & ssCtrl)) ClearSelection();
    } else if (Button == mbRight && Selected(index)) {
      itemIndex_ = index;
    } else {
      MoveFocus(index, Shift);
    }
  }
  TbsSkinControl::MouseDown(Button, Shift, X, Y);
}

void TbsSkinCustomListView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (Button == mbLeft && pressedSection_ != -1) {
    pressedSection_ = -1;
    Invalidate();
  }
  if (Button == mbLeft && pressOnCurrent_ && !readOnly_ && ItemAtPos(QPoint(X, Y)) == itemIndex_)
    slowClick_.start(QApplication::doubleClickInterval());
  pressOnCurrent_ = false;
  TbsSkinControl::MouseUp(Button, Shift, X, Y);
}

void TbsSkinCustomListView::SlowClickTick()
{
  slowClick_.stop();
  if (itemIndex_ >= 0 && Selected(itemIndex_) && Focused()) EditCaption(itemIndex_);
}

void TbsSkinCustomListView::DblClick()
{
  slowClick_.stop();
  const int index = ItemAtPos(lastPress_);
  if (index >= 0 && index == itemIndex_) ItemActivated(index);
  TbsSkinControl::DblClick();
}

void TbsSkinCustomListView::MoveFocus(int index, TShiftState shift)
{
  if (itemCount_ == 0) return;
  index = std::clamp(index, 0, itemCount_ - 1);
  if (multiSelect_ && (shift & ssShift) && anchor_ >= 0) {
    std::fill(selected_.begin(), selected_.end(), false);
    for (int i = std::min(anchor_, index); i <= std::max(anchor_, index); ++i) selected_[size_t(i)] = true;
    itemIndex_ = index;
    MakeVisible(index);
    Invalidate();
    SelectionChanged();
  } else if (multiSelect_ && (shift & ssCtrl)) {
    selected_[size_t(index)] = !selected_[size_t(index)];
    itemIndex_ = anchor_ = index;
    MakeVisible(index);
    Invalidate();
    SelectionChanged();
  } else {
    SetItemIndex(index);
  }
}

void TbsSkinCustomListView::KeyDown(int& Key, TShiftState Shift)
{
  TbsSkinControl::KeyDown(Key, Shift);
  if (Key == 0 || itemCount_ == 0) return;
  const TGrid g = Grid();
  const int cur = std::max(itemIndex_, 0);
  const int perPage = std::max(1, PageSize().height() / g.CellHeight);
  // Steps in items for the arrows: along rows, or along columns in the list style.
  const int across = g.ColumnMajor ? g.Rows : 1, down = g.ColumnMajor ? 1 : (viewStyle_ == vsReport ? 1 : g.Columns);
  int target = -2;
  switch (Key) {
  case VK_UP: target = cur - down; break;
  case VK_DOWN: target = itemIndex_ < 0 ? 0 : cur + down; break;
  case VK_LEFT:
  case VK_RIGHT:
    if (viewStyle_ == vsReport) {
      // Rows have no neighbours sideways: the columns scroll instead.
      SetScrollPos(scroll_ + QPoint(Key == VK_LEFT ? -g.CellHeight : g.CellHeight, 0));
      Key = 0;
      return;
    }
    target = Key == VK_LEFT ? cur - across : cur + across;
    break;
  case VK_HOME: target = 0; break;
  case VK_END: target = itemCount_ - 1; break;
  case VK_PRIOR: target = cur - perPage * down; break;
  case VK_NEXT: target = cur + perPage * down; break;
  case VK_F2:
    if (itemIndex_ >= 0) EditCaption(itemIndex_);
    Key = 0;
    return;
  default: return;
  }
  if (target == -2) return;
  MoveFocus(std::clamp(target, 0, itemCount_ - 1), Shift);
  Key = 0;
}

void TbsSkinCustomListView::KeyPress(QChar& Key)
{
  TbsSkinControl::KeyPress(Key);
  if (Key.isNull() || !Key.isPrint()) return;
  if (!typedClock_.isValid() || typedClock_.elapsed() > kTypeAheadMs) typed_.clear();
  typedClock_.start();
  typed_ += Key;
  // The first letter searches on from the next item; a longer text keeps the current one when it still fits.
  const int start = typed_.size() == 1 ? itemIndex_ + 1 : std::max(itemIndex_, 0);
  const int found = FindCaption(start >= itemCount_ ? 0 : start, typed_, true);
  if (found >= 0) SetItemIndex(found);
  Key = QChar();
}

int TbsSkinCustomListView::FindCaption(int start, const QString& text, bool wrap) const
{
  if (itemCount_ == 0 || text.isEmpty()) return -1;
  start = std::clamp(start, 0, itemCount_ - 1);
  const QString wanted = text.toUpper();
  int i = start;
  do {
    if (ItemCaption(i).toUpper().startsWith(wanted)) return i;
    if (++i >= itemCount_) {
      if (!wrap) return -1;
      i = 0;
    }
  } while (i != start);
  return -1;
}

void TbsSkinCustomListView::CreateHandle()
{
  TbsSkinControl::CreateHandle();
  if (widget_) widget_->installEventFilter(this);
}

bool TbsSkinCustomListView::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == widget_ && event->type() == QEvent::Wheel) {
    const auto* we = static_cast<QWheelEvent*>(event);
    const int steps = we->angleDelta().y() / 40;  // three rows a notch
    const int row = Grid().CellHeight;
    if (viewStyle_ == vsList) SetScrollPos(scroll_ - QPoint(steps * ListCellWidth() / 3, 0));
    else SetScrollPos(scroll_ - QPoint(0, steps * row));
    return true;
  }
  return TbsSkinControl::eventFilter(watched, event);
}

void TbsSkinCustomListView::DoEnter()
{
  TbsSkinControl::DoEnter();
  Invalidate();
}

void TbsSkinCustomListView::DoExit()
{
  TbsSkinControl::DoExit();
  Invalidate();
}

// ---------------------------------------------------------------- label editing

void TbsSkinCustomListView::EditCaption(int index)
{
  if (readOnly_ || index < 0 || index >= itemCount_) return;
  if (editor_) EndEditing(false);
  MakeVisible(index);
  editIndex_ = index;
  editor_ = new TEdit(this);
  const QRect r = ItemRect(index);
  const int textLeft = viewStyle_ == vsIcon ? r.left() : r.left() + kSmallIcon + 4;
  const int top = viewStyle_ == vsIcon ? r.top() + kLargeIcon + 6 : r.top();
  editor_->SetBounds(textLeft, top, std::max(60, r.right() - textLeft), RowHeight());
  editor_->Font()->Assign(Font());
  editor_->SetText(ItemCaption(index));
  editor_->SetOnKeyDown([this](TObject*, int& key, TShiftState) {
    if (key == VK_RETURN || key == VK_ESCAPE) {
      const bool commit = key == VK_RETURN;
      key = 0;
      EndEditing(commit);
    }
  });
  editor_->SetParent(this);
  if (editor_->CanFocus()) editor_->SetFocus();
}

void TbsSkinCustomListView::EndEditing(bool commit)
{
  if (!editor_) return;
  TEdit* editor = editor_;
  editor_ = nullptr;
  const QString text = editor->Text();
  const int index = editIndex_;
  editIndex_ = -1;
  editor->SetVisible(false);
  // The edit box may be in the middle of its own key handling: freed afterwards.
  QMetaObject::invokeMethod(
      this, [e = QPointer<TEdit>(editor)] { if (e) TComponent::Free(e.data()); }, Qt::QueuedConnection);
  if (CanFocus()) SetFocus();
  if (commit && index >= 0 && index < itemCount_ && text != ItemCaption(index)) {
    ItemRenamed(index, text);
    Invalidate();
  }
}
