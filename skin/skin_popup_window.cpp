#include "skin/skin_popup_window.h"

#include "skin/skin_data.h"
#include "skin/skin_menu.h"
#include "skin/skin_regions.h"
#include "skin/skin_utils.h"
#include "toolkit/image_list.h"
#include "toolkit/menus.h"

#include <algorithm>
#include <optional>

namespace {
constexpr TColor kDefaultActiveFrame = 0x800000;
constexpr TColor kDefaultActiveFill = 13811126;
constexpr int kDefaultGlyphColumn = 19;

int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }

QImage PictureAt(const TbsSkinData* data, int index)
{
  const TbsSkinPicture* p = data ? data->SkinPicture(index) : nullptr;
  return p ? p->Image : QImage();
}

// The glyph the system-menu entries get by name.
std::optional<TbsGlyph> NamedGlyph(const QString& name)
{
  if (name == "BSF_CLOSE" || name == "TRAY_BSF_CLOSE") return TbsGlyph::Close;
  if (name == "BSF_MINITEM") return TbsGlyph::Minimize;
  if (name == "BSF_MAXITEM") return TbsGlyph::Maximize;
  if (name == "BSF_RESTORE" || name == "TRAY_BSF_RESTORE") return TbsGlyph::Restore;
  if (name == "BSF_ROLLUP") return TbsGlyph::RollUp;
  if (name == "BSF_MINTOTRAY") return TbsGlyph::Square;
  return std::nullopt;
}
} // namespace

bool TbsSkinMenuItem::IsLine() const { return MenuItem && MenuItem->IsLine(); }
bool TbsSkinMenuItem::Selectable() const { return MenuItem && MenuItem->Enabled() && !MenuItem->IsLine(); }

TbsSkinPopupWindow::TbsSkinPopupWindow(TbsSkinMenu* menu, TbsSkinData* skinData)
    : TCustomControl(nullptr), menu_(menu), skinData_(skinData)
{
  SetVisible(false);
  SetColor(clWindow);
  images_ = menu->Images();
  if (skinData && !skinData->IsEmptySkin()) {
    const TbsDataSkinPopupWindow& pw = skinData->PopupWindowData();
    windowPicture_ = PictureAt(skinData, pw.WindowPictureIndex);
    if (!windowPicture_.isNull()) {
      popupData_ = pw;
      maskPicture_ = PictureAt(skinData, pw.MaskPictureIndex);
      for (const auto& object : skinData->SkinObjects())
        if (auto* item = dynamic_cast<const TbsDataSkinMenuItem*>(object.get())) {
          itemPicture_ = PictureAt(skinData, item->ActivePictureIndex);
          // A definition without its picture or with empty items would draw
          // zero-high rows: the built-in item look is used instead.
          if (!itemPicture_.isNull() && !item->SkinRect.isEmpty() && !item->DividerRect.isEmpty()) itemData_ = *item;
          break;
        }
    }
  }
  if (!itemData_) popupData_.reset();

  // Font: the menu-item definition's with a skin (when the menu wants it), else the menu's default.
  TFont* font = Canvas()->Font();
  if (itemData_ && menu->UseSkinFont()) {
    font->SetName(itemData_->FontName);
    font->SetHeight(itemData_->FontHeight);
    TFont::TFontStyles style;
    if (itemData_->FontStyle & kbsFontBold) style |= TFont::fsBold;
    if (itemData_->FontStyle & kbsFontItalic) style |= TFont::fsItalic;
    if (itemData_->FontStyle & kbsFontUnderline) style |= TFont::fsUnderline;
    if (itemData_->FontStyle & kbsFontStrikeOut) style |= TFont::fsStrikeOut;
    font->SetStyle(style);
  } else {
    font->Assign(menu->DefaultMenuItemFont());
  }
  if (skinData && skinData->ResourceStrData()) font->SetCharset(skinData->ResourceStrData()->CharSet());
  Font()->Assign(font);

  pollTimer_.setInterval(kPollMs);
  QObject::connect(&pollTimer_, &QTimer::timeout, this, [this] { MousePoll(TbsSkinMenu::CursorPos()); });
  fadeTimer_.setInterval(10);
  QObject::connect(&fadeTimer_, &QTimer::timeout, this, [this] {
    fadeAlpha_ = std::min(fadeAlpha_ + 3, menu_->AlphaBlendValue());
    SetWindowAlpha(this, fadeAlpha_);
    if (fadeAlpha_ >= menu_->AlphaBlendValue()) fadeTimer_.stop();
  });
}

TbsSkinPopupWindow::~TbsSkinPopupWindow() = default;

QWidget* TbsSkinPopupWindow::CreateWidget(QWidget*)
{
  auto* w = new TControlWidget(this, nullptr);
  // A menu level floats above everything and never takes the focus from the form.
  w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  w->setAttribute(Qt::WA_X11NetWmWindowTypePopupMenu);
  w->setFocusPolicy(Qt::NoFocus);
  return w;
}

int TbsSkinPopupWindow::GlyphColumnWidth() const
{
  return images_ ? images_->Width() + 5 : kDefaultGlyphColumn;
}

int TbsSkinPopupWindow::ItemHeight(const TMenuItem* item) const
{
  if (itemData_) return item->IsLine() ? itemData_->DividerRect.height() : itemData_->SkinRect.height();
  return item->IsLine() ? 4 : menu_->DefaultMenuItemHeight();
}

int TbsSkinPopupWindow::MeasureText(const QString& text)
{
  QRect r(0, 0, 0, 0);
  Canvas()->DrawText(text, r, DT_SINGLELINE | DT_CALCRECT);
  return r.width();
}

void TbsSkinPopupWindow::Prepare(TMenuItem* parent, int first, const QRect& anchor, bool upward, bool submenu)
{
  parent_ = parent;
  items_.clear();
  for (int i = std::max(0, first); parent && i < parent->Count(); ++i) {
    TMenuItem* m = parent->Items(i);
    if (!m->Visible()) continue;
    TbsSkinMenuItem item;
    item.MenuItem = m;
    item.Height = ItemHeight(m);
    items_.push_back(item);
  }

  int textWidth = 0, itemsHeight = 0;
  for (const TbsSkinMenuItem& item : items_) {
    itemsHeight += item.Height;
    if (item.IsLine()) continue;
    QString text = item.MenuItem->Caption();
    if (!item.MenuItem->ShortCut().isEmpty()) text += QStringLiteral("  ") + item.MenuItem->ShortCut();
    textWidth = std::max(textWidth, MeasureText(text));
  }
  int width = textWidth + 2 + GlyphColumnWidth() + 19;
  int height = itemsHeight;
  const QRect bounds = menu_->Bounds();
  if (popupData_) {
    const QRect& ir = popupData_->ItemsRect;
    width += windowPicture_.width() + itemData_->TextRect.x() + itemData_->SkinRect.width() + ir.x() - RightOf(ir) -
             RightOf(itemData_->TextRect);
    height += windowPicture_.height() + ir.y() - BottomOf(ir);
  } else {
    width += 10;
    height += 4;
  }
  scrolling_ = height > bounds.height() && bounds.height() > 0;
  if (scrolling_) height = bounds.height();
  width = std::max(width, 1);
  height = std::max(height, 1);

  if (popupData_) {
    const QRect& ir = popupData_->ItemsRect;
    const int dx = width - windowPicture_.width(), dy = height - windowPicture_.height();
    itemsArea_ = SkinRect(ir.x(), ir.y(), RightOf(ir) + dx, BottomOf(ir) + dy);
  } else {
    itemsArea_ = QRect(2, 2, width - 4, height - 4);
  }
  firstVisible_ = 0;
  active_ = -1;
  SetBounds(Left(), Top(), width, height);
  LayoutItems();
  Place(anchor, upward, submenu);

  if (popupData_ && !maskPicture_.isNull()) {
    TbsFramePoints source{popupData_->LTPoint, popupData_->RTPoint, popupData_->LBPoint, popupData_->RBPoint,
                          popupData_->ItemsRect};
    const TbsFramePoints target = MoveFramePoints(source, width - windowPicture_.width(), height - windowPicture_.height());
    if (auto region = RegionFromMaskBands(source, target, width, height, maskPicture_.rect(), maskPicture_))
      SetWindowRegion(*region);
  }
}

void TbsSkinPopupWindow::LayoutItems()
{
  const int band = scrolling_ ? kScrollBand : 0;
  const int bottom = BottomOf(itemsArea_) - band;
  int y = itemsArea_.y() + band;
  visibleCount_ = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    TbsSkinMenuItem& item = items_[i];
    item.Visible = false;
    item.ItemRect = QRect();
    if (int(i) < firstVisible_ || y + item.Height > bottom) continue;
    // Once one item did not fit, the ones after it stay hidden too.
    if (visibleCount_ != int(i) - firstVisible_) continue;
    item.ItemRect = QRect(itemsArea_.x(), y, itemsArea_.width(), item.Height);
    item.Visible = true;
    y += item.Height;
    ++visibleCount_;
  }
}

void TbsSkinPopupWindow::Place(const QRect& anchor, bool upward, bool submenu)
{
  const QRect b = menu_->Bounds();
  const int w = Width(), h = Height();
  const int bTop = b.y(), bBottom = BottomOf(b), bLeft = b.x(), bRight = RightOf(b);
  const int aTop = anchor.y(), aBottom = BottomOf(anchor), aLeft = anchor.x(), aRight = RightOf(anchor);
  const bool upperHalf = aTop < bTop + b.height() / 2;
  int top = 0;
  bool direct = false;  // plainly below or above the anchor
  if (submenu) {
    top = aTop - itemsArea_.y();
    if (top + h > bBottom) top = upperHalf ? bBottom - h : std::max(aBottom + itemsArea_.y() - h, bTop);
  } else if (!upward) {
    if (aBottom + h <= bBottom) {
      top = aBottom;
      direct = true;
    } else if (upperHalf) {
      top = bBottom - h;
    } else if (aTop - h >= bTop) {
      top = aTop - h;
      direct = true;
    } else {
      top = bTop;
    }
  } else {
    if (aTop - h >= bTop) {
      top = aTop - h;
      direct = true;
    } else if (upperHalf) {
      direct = aBottom + h <= bBottom;
      top = direct ? aBottom : bBottom - h;
    } else {
      top = bTop;
    }
  }
  int left;
  if (submenu || scrolling_ || !direct) {
    left = aRight + 1 + w <= bRight ? aRight + 1 : aLeft - w - 1;
  } else {
    left = aLeft;
    if (left + w > bRight) left = bRight - w;
    left = std::max(left, bLeft);
  }
  SetBounds(left, top, w, h);
}

void TbsSkinPopupWindow::ShowLevel()
{
  const bool fade = menu_->AlphaBlend() && TransparencySupported();
  Show();
  if (fade) {
    if (menu_->AlphaBlendAnimation() && menu_->LevelCount() <= 1) {
      fadeAlpha_ = 0;
      SetWindowAlpha(this, 0);
      fadeTimer_.start();
    } else {
      SetWindowAlpha(this, menu_->AlphaBlendValue());
    }
  }
  lastCursor_ = TbsSkinMenu::CursorPos();
  pollTimer_.start();
  SetActive(FindSelectable(-1, 1));
}

void TbsSkinPopupWindow::HideLevel()
{
  pollTimer_.stop();
  fadeTimer_.stop();
  Hide();
}

void TbsSkinPopupWindow::SetActive(int index)
{
  if (index < -1 || index >= ItemCount()) index = -1;
  for (int i = 0; i < ItemCount(); ++i) items_[size_t(i)].Active = i == index;
  active_ = index;
  if (index >= 0 && scrolling_) {
    if (index < firstVisible_) firstVisible_ = index;
    LayoutItems();
    while (!items_[size_t(index)].Visible && firstVisible_ < index) {
      ++firstVisible_;
      LayoutItems();
    }
  }
  Invalidate();
}

int TbsSkinPopupWindow::FindSelectable(int from, int direction) const
{
  const int n = ItemCount();
  if (n == 0) return -1;
  int i = from;
  // One pass round the level at most: a level without a selectable item gives none.
  for (int step = 0; step < n; ++step) {
    i = ((i + direction) % n + n) % n;
    if (items_[size_t(i)].Selectable()) return i;
  }
  return -1;
}

int TbsSkinPopupWindow::ItemAt(QPoint p) const
{
  for (int i = 0; i < ItemCount(); ++i)
    if (items_[size_t(i)].Visible && items_[size_t(i)].ItemRect.contains(p)) return i;
  return -1;
}

QRect TbsSkinPopupWindow::ItemScreenRect(int index) const
{
  if (index < 0 || index >= ItemCount()) return QRect();
  return items_[size_t(index)].ItemRect.translated(Left(), Top());
}

bool TbsSkinPopupWindow::ScrollStep(int direction)
{
  if (!scrolling_) return false;
  if (direction == 1 && firstVisible_ > 0) --firstVisible_;
  else if (direction == 2 && firstVisible_ + visibleCount_ < ItemCount()) ++firstVisible_;
  else return false;
  LayoutItems();
  Invalidate();
  return true;
}

void TbsSkinPopupWindow::MousePoll(QPoint screenPos)
{
  const bool moved = screenPos != lastCursor_;
  lastCursor_ = screenPos;
  const int oldDir = scrollDir_;
  if (menu_->LevelAt(screenPos) != this) {
    scrollDir_ = 0;
    if (oldDir) Invalidate();
    return;
  }
  const QPoint p = screenPos - QPoint(Left(), Top());
  scrollDir_ = 0;
  if (scrolling_ && p.x() >= itemsArea_.x() && p.x() < RightOf(itemsArea_)) {
    if (p.y() >= itemsArea_.y() && p.y() < itemsArea_.y() + kScrollBand) scrollDir_ = 1;
    else if (p.y() >= BottomOf(itemsArea_) - kScrollBand && p.y() < BottomOf(itemsArea_)) scrollDir_ = 2;
  }
  if (scrollDir_) ScrollStep(scrollDir_);
  else if (oldDir) Invalidate();
  if (!moved) return;
  const int i = ItemAt(p);
  if (i >= 0 && i != active_) menu_->ItemActivated(this, i);
}

void TbsSkinPopupWindow::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  const int i = ItemAt(QPoint(X, Y));
  if (i < 0 || !items_[size_t(i)].Selectable()) return;
  // May close the menu and free it: nothing of this window is used afterwards.
  menu_->ItemClicked(this, i);
}

// ---------------------------------------------------------------- painting

void TbsSkinPopupWindow::Paint()
{
  TBitmap buffer;
  PaintToBitmap(buffer);
  Canvas()->Draw(0, 0, &buffer);
}

void TbsSkinPopupWindow::PaintToBitmap(TBitmap& out)
{
  out.SetSize(Width(), Height());
  TCanvas* canvas = out.Canvas();
  canvas->Font()->Assign(Canvas()->Font());
  DrawBackground(canvas, out);
  for (const TbsSkinMenuItem& item : items_)
    if (item.Visible && item.MenuItem) DrawItem(canvas, item);
  if (scrolling_) DrawScrollMarkers(canvas);
  canvas->Flush();
}

void TbsSkinPopupWindow::DrawBackground(TCanvas* canvas, TBitmap& out)
{
  const int w = Width(), h = Height();
  if (popupData_) {
    TbsFramePoints source{popupData_->LTPoint, popupData_->RTPoint, popupData_->LBPoint, popupData_->RBPoint,
                          popupData_->ItemsRect};
    const TbsFramePoints target = MoveFramePoints(source, w - windowPicture_.width(), h - windowPicture_.height());
    TbsStretchFlags stretch{popupData_->LeftStretch, popupData_->TopStretch, popupData_->RightStretch,
                            popupData_->BottomStretch};
    canvas->Flush();
    BuildWindowImage(source, target, w, h, windowPicture_.rect(), windowPicture_, scrolling_, stretch, out);
    return;
  }
  canvas->Brush()->SetColor(clWindow);
  canvas->FillRect(QRect(0, 0, w, h));
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(QRect(0, 0, images_ ? GlyphColumnWidth() + 2 : 21, h));
  canvas->Brush()->SetStyle(TBrush::bsClear);
  canvas->Pen()->SetColor(clBtnShadow);
  canvas->Rectangle(QRect(0, 0, w, h));
  canvas->Pen()->SetColor(clWindow);
  canvas->Rectangle(QRect(1, 1, w - 2, h - 2));
  canvas->Brush()->SetStyle(TBrush::bsSolid);
}

void TbsSkinPopupWindow::DrawItem(TCanvas* canvas, const TbsSkinMenuItem& item)
{
  if (itemData_) DrawSkinnedItem(canvas, item);
  else DrawDefaultItem(canvas, item);
}

void TbsSkinPopupWindow::DrawSkinnedItem(TCanvas* canvas, const TbsSkinMenuItem& item)
{
  const QRect& r = item.ItemRect;
  TBitmap strip;
  if (item.IsLine()) {
    BuildHorzStrip3(itemData_->DividerLeftOffset, itemData_->DividerRightOffset, itemData_->DividerRect, itemPicture_,
                    r.width(), strip);
    canvas->Draw(r.x(), r.y(), &strip);
    return;
  }
  const QRect& source = item.Active && !itemData_->ActiveSkinRect.isEmpty() ? itemData_->ActiveSkinRect
                                                                             : itemData_->SkinRect;
  BuildHorzStrip3(itemData_->ItemLeftOffset, itemData_->ItemRightOffset, source, itemPicture_, r.width(), strip);
  canvas->Draw(r.x(), r.y(), &strip);
  const TColor color = !item.MenuItem->Enabled() ? itemData_->UnEnabledFontColor
                       : item.Active             ? itemData_->ActiveFontColor
                                                 : itemData_->FontColor;
  const QRect& tr = itemData_->TextRect;
  QRect textArea = tr.translated(r.topLeft());
  textArea.setWidth(tr.width() + r.width() - itemData_->SkinRect.width());
  const int glyphWidth = images_ ? images_->Width() : 16;
  DrawGlyphColumn(canvas, item, QRect(textArea.x(), r.y(), glyphWidth, r.height()), color);
  DrawItemText(canvas, item, textArea, glyphWidth, 16, color);
}

void TbsSkinPopupWindow::DrawDefaultItem(TCanvas* canvas, const TbsSkinMenuItem& item)
{
  const QRect& r = item.ItemRect;
  if (item.IsLine()) {
    const int y = r.y() + r.height() / 2 - 1;
    canvas->Pen()->SetColor(clBtnShadow);
    canvas->MoveTo(r.x() + 1, y);
    canvas->LineTo(RightOf(r) - 1, y);
    canvas->Pen()->SetColor(clBtnHighlight);
    canvas->MoveTo(r.x() + 1, y + 1);
    canvas->LineTo(RightOf(r) - 1, y + 1);
    return;
  }
  if (item.Active) {
    canvas->Pen()->SetColor(kDefaultActiveFrame);
    canvas->Brush()->SetColor(kDefaultActiveFill);
    canvas->Rectangle(r);
  }
  const TColor color = item.MenuItem->Enabled() ? clMenuText : clGrayText;
  DrawGlyphColumn(canvas, item, QRect(r.x(), r.y(), kDefaultGlyphColumn, r.height()), color);
  DrawItemText(canvas, item, r, GlyphColumnWidth() + 2, kDefaultGlyphColumn, color);
}

void TbsSkinPopupWindow::DrawItemText(TCanvas* canvas, const TbsSkinMenuItem& item, const QRect& textArea,
                                      int glyphWidth, int shortCutGap, TColor color)
{
  TMenuItem* m = item.MenuItem;
  canvas->Font()->SetColor(color);
  canvas->Brush()->SetStyle(TBrush::bsClear);
  QRect caption(textArea.x() + glyphWidth, textArea.y(), std::max(0, textArea.width() - glyphWidth), textArea.height());
  canvas->DrawText(m->Caption(), caption, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if (!m->ShortCut().isEmpty()) {
    QRect sc(textArea.x(), textArea.y(), std::max(0, textArea.width() - shortCutGap), textArea.height());
    canvas->DrawText(m->ShortCut(), sc, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  }
  if (m->Count() > 0) DrawGlyph(canvas, QRect(RightOf(textArea) - 7 - 4, textArea.y(), 4, textArea.height()),
                                TbsGlyph::ArrowRight, color);
  canvas->Brush()->SetStyle(TBrush::bsSolid);
}

void TbsSkinPopupWindow::DrawGlyphColumn(TCanvas* canvas, const TbsSkinMenuItem& item, const QRect& column,
                                         TColor color)
{
  TMenuItem* m = item.MenuItem;
  if (images_ && m->ImageIndex() >= 0 && m->ImageIndex() < images_->Count()) {
    const int x = column.x() + (column.width() - images_->Width()) / 2;
    const int y = column.y() + (column.height() - images_->Height()) / 2;
    if (m->Checked()) {
      canvas->Brush()->SetStyle(TBrush::bsClear);
      canvas->Pen()->SetColor(color);
      canvas->Rectangle(QRect(x - 1, y - 1, images_->Width() + 2, images_->Height() + 2));
      canvas->Brush()->SetStyle(TBrush::bsSolid);
    }
    images_->Draw(canvas, x, y, m->ImageIndex(), m->Enabled());
    return;
  }
  if (auto glyph = NamedGlyph(m->Name())) {
    DrawGlyph(canvas, column, *glyph, color);
  } else if (m->Checked() && m->RadioItem()) {
    canvas->Pen()->SetColor(color);
    canvas->Brush()->SetColor(color);
    const QPoint c = column.center();
    canvas->Ellipse(QRect(c.x() - 2, c.y() - 2, 6, 6));
  } else if (m->Checked()) {
    DrawGlyph(canvas, column, TbsGlyph::Check, color);
  }
}

void TbsSkinPopupWindow::DrawScrollMarkers(TCanvas* canvas)
{
  const TColor normal = popupData_ ? popupData_->ScrollMarkerColor : clBtnShadow;
  const TColor hot = popupData_ ? popupData_->ScrollMarkerActiveColor : clHighlight;
  const QRect up(itemsArea_.x(), itemsArea_.y(), itemsArea_.width(), kScrollBand);
  const QRect down(itemsArea_.x(), BottomOf(itemsArea_) - kScrollBand, itemsArea_.width(), kScrollBand);
  DrawGlyph(canvas, up, TbsGlyph::ArrowUp, scrollDir_ == 1 ? hot : normal);
  DrawGlyph(canvas, down, TbsGlyph::ArrowDown, scrollDir_ == 2 ? hot : normal);
}
