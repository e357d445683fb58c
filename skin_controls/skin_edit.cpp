#include "skin_controls/skin_edit.h"

#include "skin/skin_definitions.h"
#include "skin/skin_form.h"
#include "skin/skin_menu.h"
#include "skin/skin_utils.h"
#include "skin_controls/default_fills.h"
#include "toolkit/forms.h"
#include "toolkit/menus.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>

namespace {
constexpr int VK_APPS = 0x5D, VK_F10_KEY = 0x79;

// The first line of a text: a single-line box never takes a line break.
QString FirstLine(const QString& text)
{
  const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  return end < 0 ? text : text.left(end);
}

bool ClipboardHasText()
{
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText();
}
} // namespace

// ---------------------------------------------------------------- TbsBoundLabel

TbsBoundLabel::TbsBoundLabel(TComponent* AOwner) : TLabel(AOwner) {}

void TbsBoundLabel::Click()
{
  TLabel::Click();
  if (focusControl_ && focusControl_->CanFocus()) focusControl_->SetFocus();
}

// ---------------------------------------------------------------- TbsCustomEdit

TbsCustomEdit::TbsCustomEdit(TComponent* AOwner) : TCustomControl(AOwner), label_(new TbsBoundLabel(this))
{
  SetControlStyle(ControlStyle() | csOpaque);
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
  SetCursor(crIBeam);
  label_->SetFocusControl(this);
  label_->SetCaption(QString());
}

TbsCustomEdit::~TbsCustomEdit() = default;

void TbsCustomEdit::Notification(TComponent* AComponent, TOperation Operation)
{
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == label_) label_ = nullptr;
  if (AComponent == popupMenu_) popupMenu_ = nullptr;
  if (AComponent == contextMenu_) contextMenu_ = nullptr;
}

void TbsCustomEdit::SetReadOnly(bool v)
{
  if (v == readOnly_) return;
  readOnly_ = v;
  if (HandleAllocated()) Handle()->setAttribute(Qt::WA_InputMethodEnabled, !v);
  Invalidate();
}

void TbsCustomEdit::InputMethodCommit(const QString& text)
{
  if (readOnly_) return;
  ReplaceSelection(text);
}

QRect TbsCustomEdit::InputMethodCursorRect() const
{
  TBitmap probe;
  probe.Canvas()->Font()->Assign(Font());
  const int x = TextX() + probe.Canvas()->TextWidth(Text().left(cursor_));
  const QRect area = TextArea();
  return QRect(x, area.top(), 1, area.height());
}

void TbsCustomEdit::SetTransparentText(bool v)
{
  if (v == transparentText_) return;
  transparentText_ = v;
  ContentChanged();
}

void TbsCustomEdit::SetPopupMenu(TPopupMenu* v)
{
  ReplaceReference(popupMenu_, v);
}

// ---------------------------------------------------------------- label

void TbsCustomEdit::SetLabelPosition(TLabelPosition v)
{
  labelPosition_ = v;
  PlaceLabel();
}

void TbsCustomEdit::SetLabelSpacing(int v)
{
  labelSpacing_ = v;
  PlaceLabel();
}

void TbsCustomEdit::SetLabelVisible(bool v)
{
  if (label_) label_->SetVisible(v);
}

void TbsCustomEdit::PlaceLabel()
{
  if (!label_) return;
  const int lw = label_->Width(), lh = label_->Height();
  int x = Left(), y = Top();
  switch (labelPosition_) {
  case lpAbove: y = Top() - lh - labelSpacing_; break;
  case lpBelow: y = Top() + Height() + labelSpacing_; break;
  case lpLeft:
    x = Left() - lw - labelSpacing_;
    y = Top() + (Height() - lh) / 2;
    break;
  case lpRight:
    x = Left() + Width() + labelSpacing_;
    y = Top() + (Height() - lh) / 2;
    break;
  }
  label_->SetBounds(x, y, lw, lh);
}

void TbsCustomEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  PlaceLabel();
}

void TbsCustomEdit::SetVisible(bool v)
{
  TCustomControl::SetVisible(v);
  if (label_) label_->SetVisible(v);
}

void TbsCustomEdit::SetEnabled(bool v)
{
  TCustomControl::SetEnabled(v);
  if (label_) label_->SetEnabled(v);
}

void TbsCustomEdit::SetParent(TWinControl* AParent)
{
  TCustomControl::SetParent(AParent);
  if (!label_) return;
  label_->SetParent(AParent);
  if (AParent) label_->SetVisible(true);
  PlaceLabel();
}

// ---------------------------------------------------------------- text

void TbsCustomEdit::TextChanged()
{
  const int n = int(Text().size());
  cursor_ = std::min(cursor_, n);
  anchor_ = std::min(anchor_, n);
  EnsureCursorVisible();
  ContentChanged();
  if (onChange_) onChange_(this);
}

void TbsCustomEdit::SetSelection(int start, int length)
{
  const int n = int(Text().size());
  anchor_ = std::clamp(start, 0, n);
  cursor_ = std::clamp(start + std::max(length, 0), 0, n);
  EnsureCursorVisible();
  ContentChanged();
}

void TbsCustomEdit::SelectAll() { SetSelection(0, int(Text().size())); }

void TbsCustomEdit::ReplaceSelection(const QString& text)
{
  QString insert = FirstLine(text);
  const QString old = Text();
  const int start = SelStart();
  if (maxLength_ > 0) insert.truncate(std::max(0, maxLength_ - int(old.size() - SelLength())));
  QString next = old;
  next.replace(start, SelLength(), insert);
  if (next == old) return;
  undoText_ = old;
  canUndo_ = true;
  cursor_ = anchor_ = start + int(insert.size());
  SetText(next);
}

void TbsCustomEdit::CopyToClipboard()
{
  if (SelLength() > 0) QGuiApplication::clipboard()->setText(SelText());
}

void TbsCustomEdit::CutToClipboard()
{
  if (readOnly_ || SelLength() == 0) return;
  CopyToClipboard();
  ReplaceSelection(QString());
}

void TbsCustomEdit::PasteFromClipboard()
{
  if (readOnly_ || !ClipboardHasText()) return;
  ReplaceSelection(QGuiApplication::clipboard()->text());
}

void TbsCustomEdit::ClearSelection()
{
  if (readOnly_ || SelLength() == 0) return;
  ReplaceSelection(QString());
}

void TbsCustomEdit::Undo()
{
  if (readOnly_ || !canUndo_) return;
  const QString redo = Text();
  cursor_ = anchor_ = int(undoText_.size());
  SetText(undoText_);
  undoText_ = redo;
}

// ---------------------------------------------------------------- caret and drawing

int TbsCustomEdit::TextX() const
{
  const QRect area = TextArea();
  TBitmap probe;
  probe.Canvas()->Font()->Assign(Font());
  const int width = probe.Canvas()->TextWidth(Text());
  int x = area.left();
  if (width < area.width()) {
    if (TextAlignment() == taRightJustify) x = area.left() + area.width() - width;
    else if (TextAlignment() == taCenter) x = area.left() + (area.width() - width) / 2;
  }
  return x - scrollX_;
}

int TbsCustomEdit::CharAt(int x) const
{
  TBitmap probe;
  probe.Canvas()->Font()->Assign(Font());
  const QString text = Text();
  const int origin = TextX();
  int best = 0;
  for (int i = 0; i <= text.size(); ++i) {
    const int w = probe.Canvas()->TextWidth(text.left(i));
    if (origin + w <= x) best = i;
    else {
      const int prev = probe.Canvas()->TextWidth(text.left(i - 1));
      if (x - (origin + prev) > (origin + w) - x) best = i;
      break;
    }
  }
  return best;
}

void TbsCustomEdit::EnsureCursorVisible()
{
  const QRect area = TextArea();
  if (area.width() <= 0) return;
  TBitmap probe;
  probe.Canvas()->Font()->Assign(Font());
  const int caret = probe.Canvas()->TextWidth(Text().left(cursor_));
  const int total = probe.Canvas()->TextWidth(Text());
  if (total < area.width()) scrollX_ = 0;
  else if (caret - scrollX_ > area.width() - 1) scrollX_ = caret - area.width() + 1;
  else if (caret < scrollX_) scrollX_ = caret;
}

void TbsCustomEdit::PaintWindow(TCanvas& canvas)
{
  const int w = ClientWidth(), h = ClientHeight();
  if (w <= 0 || h <= 0) return;
  TBitmap buffer;
  buffer.SetSize(w, h);
  if (transparentText_) PaintTextBackground(*buffer.Canvas());
  else FillBitmap(buffer, QRect(0, 0, w, h), Color());
  const QRect area = TextArea().intersected(QRect(0, 0, w, h));
  if (!area.isEmpty()) {
    // The text goes through a bitmap of the text area, which clips it.
    TBitmap text;
    text.SetSize(area.width(), area.height());
    TCanvas* c = text.Canvas();
    c->CopyRect(QRect(0, 0, area.width(), area.height()), buffer.Canvas(), area);
    c->Font()->Assign(Font());
    const QString s = Text();
    const int x = TextX() - area.left();
    const int y = (area.height() - c->TextHeight(QStringLiteral("Ag"))) / 2;
    c->Brush()->SetStyle(TBrush::bsClear);
    c->TextOut(x, y, s);
    const bool focused = Focused();
    if (SelLength() > 0 && (focused || !transparentText_)) {
      const int sx = x + c->TextWidth(s.left(SelStart()));
      c->Brush()->SetStyle(TBrush::bsSolid);
      c->Brush()->SetColor(focused ? clHighlight : clBtnFace);
      c->FillRect(QRect(sx, 0, c->TextWidth(SelText()), area.height()));
      c->Font()->SetColor(focused ? clHighlightText : Font()->Color());
      c->Brush()->SetStyle(TBrush::bsClear);
      c->TextOut(sx, y, SelText());
    }
    if (focused && SelLength() == 0) {
      const int cx = x + c->TextWidth(s.left(cursor_));
      c->Pen()->SetColor(Font()->Color());
      c->MoveTo(cx, 1);
      c->LineTo(cx, area.height() - 1);
    }
    buffer.Canvas()->Draw(area.left(), area.top(), &text);
  }
  canvas.Draw(0, 0, &buffer);
}

// ---------------------------------------------------------------- keys and mouse

void TbsCustomEdit::MoveCursor(int pos, bool extend)
{
  cursor_ = std::clamp(pos, 0, int(Text().size()));
  if (!extend) anchor_ = cursor_;
  EnsureCursorVisible();
  ContentChanged();
}

void TbsCustomEdit::KeyDown(int& Key, TShiftState Shift)
{
  TCustomControl::KeyDown(Key, Shift);
  const bool shift = Shift & ssShift, ctrl = Shift & ssCtrl;
  switch (Key) {
  case VK_LEFT: MoveCursor(!shift && SelLength() ? SelStart() : cursor_ - 1, shift); break;
  case VK_RIGHT: MoveCursor(!shift && SelLength() ? SelStart() + SelLength() : cursor_ + 1, shift); break;
  case VK_HOME: MoveCursor(0, shift); break;
  case VK_END: MoveCursor(int(Text().size()), shift); break;
  case VK_DELETE:
    if (shift) CutToClipboard();
    else if (!readOnly_) {
      if (SelLength() == 0) anchor_ = std::min(cursor_ + 1, int(Text().size()));
      ReplaceSelection(QString());
    }
    break;
  case VK_INSERT:
    if (ctrl) CopyToClipboard();
    else if (shift) PasteFromClipboard();
    break;
  case 'A': if (ctrl) SelectAll(); break;
  case 'C': if (ctrl) CopyToClipboard(); break;
  case 'X': if (ctrl) CutToClipboard(); break;
  case 'V': if (ctrl) PasteFromClipboard(); break;
  case 'Z': if (ctrl) Undo(); break;
  case VK_F10_KEY:
  case VK_APPS:
    if (Key == VK_APPS || shift) ShowContextMenu(QPoint(-1, -1));
    break;
  default: return;
  }
  if (Key != VK_RETURN && Key != VK_ESCAPE) Key = 0;
}

void TbsCustomEdit::KeyPress(QChar& Key)
{
  // Enter and Escape are seen by the handlers and never typed.
  const QChar typed = Key;
  if (typed == u'\r' || typed == u'\n' || typed == u'\x1b') {
    TCustomControl::KeyPress(Key);
    Key = QChar();
    return;
  }
  if (readOnly_) {
    Key = QChar();
    return;
  }
  TCustomControl::KeyPress(Key);
  if (Key.isNull()) return;
  if (Key == u'\b') {
    if (SelLength() == 0) anchor_ = std::max(cursor_ - 1, 0);
    ReplaceSelection(QString());
  } else if (Key.isPrint()) {
    ReplaceSelection(QString(Key));
  }
}

void TbsCustomEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  if (CanFocus() && !Focused()) SetFocus();
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  mouseDownInside_ = true;
  if (!(Shift & ssDouble)) MoveCursor(CharAt(X), Shift & ssShift);
}

void TbsCustomEdit::MouseMove(TShiftState Shift, int X, int Y)
{
  TCustomControl::MouseMove(Shift, X, Y);
  if (mouseDownInside_ && (Shift & ssLeft)) MoveCursor(CharAt(X), true);
}

void TbsCustomEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) mouseDownInside_ = false;
  if (Button == mbRight) ShowContextMenu(QPoint(X, Y));
}

void TbsCustomEdit::DblClick()
{
  TCustomControl::DblClick();
  SelectAll();
}

void TbsCustomEdit::DoEnter()
{
  TCustomControl::DoEnter();
  if (autoSelect_ && !mouseDownInside_) SelectAll();
  ContentChanged();
}

void TbsCustomEdit::DoExit()
{
  TCustomControl::DoExit();
  ContentChanged();
}

// ---------------------------------------------------------------- context menu

QString TbsCustomEdit::MenuText(const QString&, const QString& builtIn) const { return builtIn; }

void TbsCustomEdit::FreeContextMenu()
{
  if (!contextMenu_) return;
  TbsSkinPopupMenu* menu = contextMenu_;
  contextMenu_ = nullptr;
  menu->Release();
}

void TbsCustomEdit::ShowContextMenu(QPoint clientPos)
{
  // From the keyboard: the centre of the whole box, its frame included.
  const QMargins m = NonClientMargins();
  const QPoint at = clientPos.x() < 0 || clientPos.y() < 0
                        ? ClientToScreen(QPoint(Width() / 2 - m.left(), Height() / 2 - m.top()))
                        : ClientToScreen(clientPos);
  if (popupMenu_) {
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(at.x(), at.y());
    return;
  }
  FreeContextMenu();
  contextMenu_ = new TbsSkinPopupMenu(this);
  contextMenu_->SetForm(GetParentForm());
  contextMenu_->SetPopupComponent(this);
  const bool selected = SelLength() > 0;
  auto add = [this](const QString& name, const QString& text, bool enabled, std::function<void()> action) {
    auto* item = new TMenuItem(contextMenu_);
    item->SetCaption(name.isEmpty() ? text : MenuText(name, text));
    item->SetEnabled(enabled);
    if (action) item->SetOnClick([action](TObject*) { action(); });
    contextMenu_->Items()->Add(item);
  };
  add(QStringLiteral("EDIT_UNDO"), QStringLiteral("撤销"), canUndo_ && !readOnly_, [this] { Undo(); });
  add(QString(), QStringLiteral("-"), true, nullptr);
  add(QStringLiteral("EDIT_CUT"), QStringLiteral("剪切"), selected && !readOnly_, [this] { CutToClipboard(); });
  add(QStringLiteral("EDIT_COPY"), QStringLiteral("复制"), selected, [this] { CopyToClipboard(); });
  add(QStringLiteral("EDIT_PASTE"), QStringLiteral("粘贴"), ClipboardHasText() && !readOnly_,
      [this] { PasteFromClipboard(); });
  add(QStringLiteral("EDIT_DELETE"), QStringLiteral("删除"), selected && !readOnly_, [this] { ClearSelection(); });
  add(QString(), QStringLiteral("-"), true, nullptr);
  add(QStringLiteral("EDIT_SELECTALL"), QStringLiteral("全部选定"), !AllSelected(), [this] { SelectAll(); });
  contextMenu_->Popup(at.x(), at.y());
}

void TbsCustomEdit::WndProc(TMessage& m)
{
  if (m.Msg == WM_AFTERDISPATCH) {
    // The command has run; the menu goes once the event that ran it is over.
    FreeContextMenu();
    return;
  }
  TCustomControl::WndProc(m);
}

// ---------------------------------------------------------------- TbsSkinCustomEdit

TbsSkinCustomEdit::TbsSkinCustomEdit(TComponent* AOwner) : TbsCustomEdit(AOwner), defaultFont_(new TFont(this))
{
  Font()->SetName(QStringLiteral("Arial"));
  Font()->SetHeight(14);
  Font()->SetColor(clWindowText);
  defaultFont_->Assign(Font());
  defaultFont_->OnChange = [this](TPersistent*) {
    if (skinControlIndex_ == -1) Font()->Assign(defaultFont_);
  };
  SetHeight(20);
  SetTransparentText(true);
  UpdateMargins();
}

const TbsDataSkinEditControl* TbsSkinCustomEdit::Definition() const
{
  return binding_.DefinitionAs<TbsDataSkinEditControl>(skinControlIndex_);
}

void TbsSkinCustomEdit::LoadDefinition()
{
  skinControlIndex_ = binding_.FindDefinition();
  const TbsDataSkinEditControl* d = Definition();
  // A definition of another kind counts as none; so does one whose picture is missing.
  const TbsSkinPicture* picture = d ? binding_.Data()->SkinPicture(d->PictureIndex) : nullptr;
  if (!picture || picture->Empty() || d->SkinRect.isEmpty())
    skinControlIndex_ = -1;
}

void TbsSkinCustomEdit::SetSkinData(TbsSkinData* v)
{
  binding_.SetData(v);
  if (binding_.Loaded() && !IsDesigning()) ApplySkinData();
}

void TbsSkinCustomEdit::Notification(TComponent* AComponent, TOperation Operation)
{
  TbsCustomEdit::Notification(AComponent, Operation);
  if (binding_.Released(AComponent, Operation)) {
    skinControlIndex_ = -1;
    if (!IsDestroying()) ApplySkinData();
  }
}

void TbsSkinCustomEdit::SkinDataChanging() { skinControlIndex_ = -1; }

void TbsSkinCustomEdit::SetDefaultFont(TFont* v)
{
  if (v && v != defaultFont_) defaultFont_->Assign(v);
}

void TbsSkinCustomEdit::SetDefaultWidth(int v)
{
  defaultWidth_ = v;
  if (skinControlIndex_ == -1 && v > 0 && !IsLoading()) SetWidth(v);
}

void TbsSkinCustomEdit::SetDefaultHeight(int v)
{
  defaultHeight_ = v;
  if (skinControlIndex_ == -1 && v > 0 && !IsLoading()) SetHeight(v);
}

void TbsSkinCustomEdit::SetButtonMode(bool v)
{
  if (v == buttonMode_) return;
  buttonMode_ = v;
  UpdateMargins();
  ContentChanged();
}

void TbsSkinCustomEdit::UpdateMargins()
{
  const TbsDataSkinEditControl* d = Definition();
  if (!d) {
    SetNonClientMargins(QMargins(2, 2, buttonMode_ ? 22 : 2, 2));
    return;
  }
  const QRect c = d->ClientRect;
  SetNonClientMargins(QMargins(c.left(), c.top(), d->SkinRect.width() - (c.left() + c.width()),
                               d->SkinRect.height() - (c.top() + c.height())));
}

void TbsSkinCustomEdit::UpdateFontColor()
{
  const TbsDataSkinEditControl* d = Definition();
  TColor color;
  if (Enabled()) color = d ? (Focused() || mouseInside_ ? d->ActiveFontColor : d->FontColor) : defaultFont_->Color();
  else color = d ? d->DisabledFontColor : clGrayText;
  if (Font()->Color() != color) Font()->SetColor(color);
}

void TbsSkinCustomEdit::ApplySkinData()
{
  LoadDefinition();
  const TbsDataSkinEditControl* d = Definition();
  if (!d) {
    Font()->Assign(defaultFont_);
    const int w = defaultWidth_ > 0 ? defaultWidth_ : Width();
    const int h = defaultHeight_ > 0 ? defaultHeight_ : Height();
    UpdateMargins();
    TbsCustomEdit::SetBounds(Left(), Top(), w, h);
  } else {
    if (useSkinFont_) skin_fonts::ApplyDefinitionFont(Font(), d->FontName, d->FontHeight, d->FontStyle);
    else Font()->Assign(defaultFont_);
    UpdateMargins();
    TbsCustomEdit::SetBounds(Left(), Top(), Width(), d->SkinRect.height());
  }
  Font()->SetCharset(skin_fonts::SkinCharset(binding_.Data(), defaultFont_->Charset()));
  UpdateFontColor();
  ContentChanged();
}

void TbsSkinCustomEdit::Loaded()
{
  TbsCustomEdit::Loaded();
  if (binding_.Loaded() && !IsDesigning()) ApplySkinData();
}

void TbsSkinCustomEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  if (skinControlIndex_ != -1) {
    if (const TbsDataSkinEditControl* d = Definition()) AHeight = d->SkinRect.height();
  }
  TbsCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
  Invalidate();
}

QRect TbsSkinCustomEdit::ButtonRect()
{
  const TbsDataSkinEditControl* d = Definition();
  if (!d) return buttonMode_ ? QRect(Width() - Height(), 0, Height(), Height()) : QRect();
  if (!buttonMode_ || d->ButtonRect.isEmpty()) return QRect();
  const int grow = Width() - d->SkinRect.width();
  const int rightFixed = d->SkinRect.width() - d->RTPoint.x();
  return d->ButtonRect.left() >= d->SkinRect.width() - rightFixed ? d->ButtonRect.translated(grow, 0) : d->ButtonRect;
}

QRect TbsSkinCustomEdit::TextRect()
{
  const TbsDataSkinEditControl* d = Definition();
  if (!d) {
    const int right = buttonMode_ ? ButtonRect().left() : Width();
    return SkinRect(2, 2, right - 2, Height() - 2);
  }
  return d->ClientRect.adjusted(0, 0, Width() - d->SkinRect.width(), 0);
}

QRect TbsSkinCustomEdit::TextArea() const
{
  // The client area is the text rectangle; a little room at the left.
  return QRect(2, 0, std::max(ClientWidth() - 2, 0), ClientHeight());
}

void TbsSkinCustomEdit::PaintFrame(TBitmap& out)
{
  const int w = Width(), h = Height();
  out.SetSize(std::max(w, 1), std::max(h, 1));
  TCanvas* c = out.Canvas();
  const TbsDataSkinEditControl* d = Definition();
  if (!d) {
    FillBitmap(out, QRect(0, 0, w, h), clWindow);
    QRect box(0, 0, buttonMode_ ? w - h : w, h);
    c->Brush()->SetColor(clBtnFace);
    c->FrameRect(box);
    c->Brush()->SetColor(clBtnShadow);
    c->FrameRect(box.adjusted(1, 1, -1, -1));
    if (buttonMode_) {
      const QRect b = ButtonRect();
      TColor frame = clBtnShadow, fill = clBtnFace;
      if (buttonDown_ && buttonHot_) frame = clNavy, fill = kDownFill;
      else if (buttonHot_) frame = clNavy, fill = kHotFill;
      c->Brush()->SetColor(fill);
      c->FillRect(b);
      c->Brush()->SetColor(frame);
      c->FrameRect(b);
    }
    return;
  }
  const QImage& picture = binding_.Data()->SkinPicture(d->PictureIndex)->Image;
  const QRect source = (mouseInside_ || Focused()) && !d->ActiveSkinRect.isEmpty() ? d->ActiveSkinRect : d->SkinRect;
  BuildHorzStrip3(d->LTPoint.x(), d->SkinRect.width() - d->RTPoint.x(), source, picture, w, out);
  if (!buttonMode_) return;
  QRect from;
  const QRect down = d->DownButtonRect.isEmpty() ? d->ActiveButtonRect : d->DownButtonRect;
  if (!Enabled() && !d->UnEnabledButtonRect.isEmpty()) from = d->UnEnabledButtonRect;
  else if (buttonDown_ && buttonHot_) from = down;
  else if (buttonHot_) from = d->ActiveButtonRect;
  const QRect b = ButtonRect();
  if (!from.isEmpty() && !b.isEmpty()) c->DrawImage(b, picture, from);
}

void TbsSkinCustomEdit::PaintTextBackground(TCanvas& canvas)
{
  TBitmap frame;
  PaintFrame(frame);
  const QMargins m = NonClientMargins();
  canvas.Draw(-m.left(), -m.top(), &frame);
}

void TbsSkinCustomEdit::ContentChanged()
{
  // The frame and the text area are one picture: both are redrawn.
  Invalidate();
}

QString TbsSkinCustomEdit::MenuText(const QString& name, const QString& builtIn) const
{
  const TbsSkinData* data = binding_.Data();
  if (TForm* form = GetParentForm())
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* frame = qobject_cast<TbsSkinForm*>(form->Components(i)); frame && frame->SkinData())
        data = frame->SkinData();
  if (data && data->ResourceStrData()) {
    const QString text = data->ResourceStrData()->GetResString(name);
    if (!text.isEmpty()) return text;
  }
  return builtIn;
}

void TbsSkinCustomEdit::WndProc(TMessage& m)
{
  switch (m.Msg) {
  case SKN_CHANGING:
  case SKN_CHANGE:
    // A notice for another skin stops here too.
    if (const auto notice = binding_.NoticeIn(m); notice == TbsSkinBinding::Notice::Changing) SkinDataChanging();
    else if (notice == TbsSkinBinding::Notice::Change && binding_.Loaded()) ApplySkinData();
    return;
  case WM_NCPAINT: {
    TCanvas* canvas = PaintCanvasOf(m);
    if (!canvas) return;
    TBitmap frame;
    PaintFrame(frame);
    canvas->Draw(0, 0, &frame);
    return;
  }
  case WM_NCHITTEST: {
    const QPoint p = MouseLParamPoint(m.LParam) - ClientOrigin() +
                     QPoint(NonClientMargins().left(), NonClientMargins().top());
    if (buttonMode_ && !IsDesigning() && ButtonRect().contains(p)) m.Result = kHitButton;
    else m.Result = ClientRect().translated(NonClientMargins().left(), NonClientMargins().top()).contains(p)
                        ? HTCLIENT
                        : HTNOWHERE;
    return;
  }
  case WM_NCMOUSEMOVE: {
    const bool hot = m.WParam == kHitButton;
    if (hot != buttonHot_) {
      buttonHot_ = hot;
      Invalidate();
    }
    return;
  }
  case WM_NCLBUTTONDOWN:
  case WM_NCLBUTTONDBLCLK:
    if (m.WParam == kHitButton) {
      buttonDown_ = buttonHot_ = true;
      Invalidate();
    }
    return;
  case WM_NCLBUTTONUP:
    if (buttonDown_) {
      buttonDown_ = false;
      Invalidate();
      if (m.WParam == kHitButton) {
        if (!Focused() && CanFocus()) SetFocus();
        if (onButtonClick_) onButtonClick_(this);
      }
    }
    return;
  case WM_MOUSEMOVE:
    if (buttonHot_) {
      buttonHot_ = false;
      Invalidate();
    }
    break;
  default: break;
  }
  TbsCustomEdit::WndProc(m);
}

void TbsSkinCustomEdit::MouseEnter()
{
  mouseInside_ = true;
  if (Definition()) UpdateFontColor();
  Invalidate();
  TbsCustomEdit::MouseEnter();
}

void TbsSkinCustomEdit::MouseLeave()
{
  mouseInside_ = false;
  buttonHot_ = buttonDown_ = false;
  if (Definition()) UpdateFontColor();
  Invalidate();
  TbsCustomEdit::MouseLeave();
}

void TbsSkinCustomEdit::DoEnter()
{
  UpdateFontColor();
  TbsCustomEdit::DoEnter();
}

void TbsSkinCustomEdit::DoExit()
{
  UpdateFontColor();
  TbsCustomEdit::DoExit();
}

void TbsSkinCustomEdit::EnabledChanged()
{
  TbsCustomEdit::EnabledChanged();
  UpdateFontColor();
  Invalidate();
}

// ---------------------------------------------------------------- TbsSkinEdit

void TbsSkinEdit::SetAlignment(TAlignment v)
{
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}
