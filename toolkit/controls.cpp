#include "toolkit/controls.h"

#include "toolkit/forms.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

// ---------------------------------------------------------------- input helpers

int QtKeyToVirtualKey(int key, const QString& text)
{
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
  case Qt::Key_Backspace: return VK_BACK;
  case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
  case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
  case Qt::Key_Shift: return VK_SHIFT;
  case Qt::Key_Control: return VK_CONTROL;
  case Qt::Key_Alt: return VK_MENU;
  case Qt::Key_Escape: return VK_ESCAPE;
  case Qt::Key_Space: return VK_SPACE;
  case Qt::Key_PageUp: return VK_PRIOR;
  case Qt::Key_PageDown: return VK_NEXT;
  case Qt::Key_End: return VK_END;
  case Qt::Key_Home: return VK_HOME;
  case Qt::Key_Left: return VK_LEFT;
  case Qt::Key_Up: return VK_UP;
  case Qt::Key_Right: return VK_RIGHT;
  case Qt::Key_Down: return VK_DOWN;
  case Qt::Key_Insert: return VK_INSERT;
  case Qt::Key_Delete: return VK_DELETE;
  default: break;
  }
  // Punctuation has key codes of its own: its characters must never read as
  // the arrow, Home or Delete codes that share their numbers.
  switch (key) {
  case Qt::Key_Semicolon: return 0xBA;
  case Qt::Key_Equal: return 0xBB;
  case Qt::Key_Comma: return 0xBC;
  case Qt::Key_Minus: return 0xBD;
  case Qt::Key_Period: return 0xBE;
  case Qt::Key_Slash: return 0xBF;
  case Qt::Key_QuoteLeft: return 0xC0;
  case Qt::Key_BracketLeft: return 0xDB;
  case Qt::Key_Backslash: return 0xDC;
  case Qt::Key_BracketRight: return 0xDD;
  case Qt::Key_Apostrophe: return 0xDE;
  default: break;
  }
  if (text.size() == 1 && text[0].unicode() < 0x80 && text[0].isLetterOrNumber())
    return text[0].toUpper().unicode();
  return 0;
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons)
{
  TShiftState s;
  if (mods & Qt::ShiftModifier) s |= ssShift;
  if (mods & Qt::AltModifier) s |= ssAlt;
  if (mods & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

namespace {
TShiftState ShiftFromWParam(qintptr w)
{
  TShiftState s;
  if (w & MK_SHIFT) s |= ssShift;
  if (w & MK_CONTROL) s |= ssCtrl;
  if (w & MK_LBUTTON) s |= ssLeft;
  if (w & MK_RBUTTON) s |= ssRight;
  if (w & MK_MBUTTON) s |= ssMiddle;
  if (QGuiApplication::keyboardModifiers() & Qt::AltModifier) s |= ssAlt;
  return s;
}

qintptr WParamFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons)
{
  qintptr w = 0;
  if (buttons & Qt::LeftButton) w |= MK_LBUTTON;
  if (buttons & Qt::RightButton) w |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) w |= MK_MBUTTON;
  if (mods & Qt::ShiftModifier) w |= MK_SHIFT;
  if (mods & Qt::ControlModifier) w |= MK_CONTROL;
  return w;
}

} // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), font_(new TFont(this))
{
  font_->OnChange = [this](TPersistent*) { FontObjectChanged(); };
}

TControl::~TControl()
{
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  // Bounded so that sums of places and sizes (anchors, client origins,
  // rectangles) never leave the int range, whatever a description says.
  ALeft = std::clamp(ALeft, -kMaxControlCoordinate, kMaxControlCoordinate);
  ATop = std::clamp(ATop, -kMaxControlCoordinate, kMaxControlCoordinate);
  AWidth = std::clamp(AWidth, 0, kMaxControlCoordinate);
  AHeight = std::clamp(AHeight, 0, kMaxControlCoordinate);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  const QRect old = BoundsRect();
  const bool sizeChanged = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  if (parent_ && !parent_->aligning_) UpdateAnchorRules();
  if (parent_ && !qobject_cast<TWinControl*>(this)) {
    parent_->InvalidateRect(old);
    parent_->InvalidateRect(BoundsRect());
  }
  BoundsChanged(sizeChanged);
  if (parent_ && align_ != alNone && !parent_->aligning_) parent_->Realign();
  if (sizeChanged) Resize();
}

void TControl::BoundsChanged(bool) {}

void TControl::SetClientSize(int w, int h)
{
  const QRect c = ClientRect();
  // In 64 bits: any int asked for gives a size SetBounds can clamp.
  const auto size = [](qint64 v) { return int(std::clamp<qint64>(v, 0, kMaxControlCoordinate)); };
  SetBounds(left_, top_, size(qint64(width_) + w - c.width()), size(qint64(height_) + h - c.height()));
}

QPoint TControl::ClientOrigin() const
{
  if (!parent_) return QPoint(left_, top_);
  return parent_->ClientOrigin() + QPoint(left_, top_);
}

void TControl::Resize()
{
  if (onResize_) onResize_(this);
}

void TControl::UpdateAnchorRules()
{
  if (!parent_) return;
  const QRect pr = parent_->ClientRect();
  anchorRight_ = pr.width() - (left_ + width_);
  anchorBottom_ = pr.height() - (top_ + height_);
  anchorRulesSet_ = true;
}

void TControl::ApplyAnchors(int pw, int ph)
{
  if (align_ != alNone || !anchorRulesSet_) return;
  int l = left_, t = top_, w = width_, h = height_;
  if (anchors_ & akRight) {
    if (anchors_ & akLeft) w = pw - anchorRight_ - l;
    else l = pw - anchorRight_ - w;
  }
  if (anchors_ & akBottom) {
    if (anchors_ & akTop) h = ph - anchorBottom_ - t;
    else t = ph - anchorBottom_ - h;
  }
  SetBounds(l, t, w, h);
}

void TControl::SetAlign(TAlign v)
{
  if (v == align_) return;
  align_ = v;
  if (parent_) parent_->Realign();
}

void TControl::SetAnchors(TAnchors v)
{
  if (v == anchors_) return;
  anchors_ = v;
  UpdateAnchorRules();
}

void TControl::SetVisible(bool v)
{
  if (v == visible_) return;
  visible_ = v;
  if (parent_) {
    parent_->InvalidateRect(BoundsRect());
    if (align_ != alNone) parent_->Realign();
  }
  Perform(CM_VISIBLECHANGED, v);
}

bool TControl::Showing() const
{
  if (!visible_) return false;
  if (parent_) return parent_->Showing();
  if (auto* w = qobject_cast<const TWinControl*>(this)) return w->HandleAllocated() && w->widget_->isVisible();
  return false;
}

void TControl::SetEnabled(bool v)
{
  if (v == enabled_) return;
  enabled_ = v;
  EnabledChanged();
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor v)
{
  if (v == color_ && !parentColor_) return;
  color_ = v;
  parentColor_ = false;
  ColorChanged();
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v)
{
  if (v == parentColor_) return;
  parentColor_ = v;
  ParentColorChanged();
}

void TControl::ParentColorChanged()
{
  if (!parentColor_ || !parent_) return;
  if (color_ != parent_->Color()) {
    color_ = parent_->Color();
    ColorChanged();
  }
}

void TControl::SetFont(TFont* v)
{
  if (v && v != font_) font_->Assign(v);
}

void TControl::FontObjectChanged()
{
  if (!fontFromParent_) parentFont_ = false;
  FontChanged();
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool v)
{
  if (v == parentFont_) return;
  parentFont_ = v;
  ParentFontChanged();
}

void TControl::ParentFontChanged()
{
  if (!parentFont_ || !parent_) return;
  fontFromParent_ = true;
  font_->Assign(parent_->Font());
  fontFromParent_ = false;
}

void TControl::SetHint(const QString& v) { hint_ = v; }

void TControl::SetShowHint(bool v)
{
  parentShowHint_ = false;
  if (v == showHint_) return;
  showHint_ = v;
  ShowHintChanged();
}

void TControl::ShowHintChanged()
{
  Perform(CM_SHOWHINTCHANGED);
  if (auto* w = qobject_cast<TWinControl*>(this))
    for (TControl* c : w->controls_) c->ParentShowHintChanged();
}

void TControl::SetParentShowHint(bool v)
{
  if (v == parentShowHint_) return;
  parentShowHint_ = v;
  ParentShowHintChanged();
}

void TControl::ParentShowHintChanged()
{
  if (parentShowHint_ && parent_ && showHint_ != parent_->ShowHint()) {
    showHint_ = parent_->ShowHint();
    ShowHintChanged();
  }
}

QString TControl::GetShortHint(const QString& hint)
{
  const int bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.left(bar);
}

void TControl::SetCursor(int v)
{
  if (v == cursor_) return;
  cursor_ = v;
  if (auto* w = qobject_cast<TWinControl*>(this)) w->ApplyCursor();
  else if (parent_ && parent_->hover_ == this) parent_->ApplyCursor();
  Perform(CM_CURSORCHANGED);
}

void TControl::SetText(const QString& v)
{
  if (v == text_) return;
  text_ = v;
  TextChanged();
  Perform(CM_TEXTCHANGED);
}

void TControl::SetParent(TWinControl* AParent)
{
  if (AParent == parent_) return;
  for (TWinControl* p = AParent; p; p = p->parent_)
    if (p == this) throw EInvalidOperation(QStringLiteral("A control cannot have itself or a child as its parent"));
  if (parent_) parent_->RemoveControl(this);
  parent_ = AParent;
  if (parent_) {
    parent_->InsertControl(this);
    ParentFontChanged();
    ParentColorChanged();
    ParentShowHintChanged();
    UpdateAnchorRules();
  }
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* AParent)
{
  if (!AParent) return;
  auto* w = qobject_cast<TWinControl*>(AParent);
  if (!w)
    throw EInvalidOperation(QStringLiteral("%1 cannot hold controls").arg(QString::fromLatin1(AParent->metaObject()->className())));
  SetParent(w);
}

TForm* TControl::GetParentForm() const
{
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return qobject_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::BringToFront()
{
  if (!parent_) {
    if (auto* w = qobject_cast<TWinControl*>(this); w && w->HandleAllocated()) w->widget_->raise();
    return;
  }
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  if (auto* w = qobject_cast<TWinControl*>(this); w && w->HandleAllocated()) w->widget_->raise();
  Invalidate();
}

void TControl::SendToBack()
{
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin(), this);
  if (auto* w = qobject_cast<TWinControl*>(this); w && w->HandleAllocated()) w->widget_->lower();
  Invalidate();
}

bool TControl::MouseCapture() const
{
  if (auto* w = qobject_cast<const TWinControl*>(this)) return w->HandleAllocated() && QWidget::mouseGrabber() == w->widget_;
  return parent_ && parent_->capture_ == this;
}

void TControl::SetMouseCapture(bool v)
{
  if (auto* w = qobject_cast<TWinControl*>(this)) {
    if (!w->HandleAllocated()) return;
    if (v) w->widget_->grabMouse();
    else w->widget_->releaseMouse();
    return;
  }
  if (parent_) parent_->capture_ = v ? this : (parent_->capture_ == this ? nullptr : parent_->capture_);
}

void TControl::Invalidate()
{
  if (parent_ && visible_) parent_->InvalidateRect(BoundsRect());
}

void TControl::Repaint()
{
  if (!parent_ || !visible_ || !parent_->HandleAllocated()) return;
  parent_->widget_->repaint(BoundsRect().translated(parent_->ncMargins_.left(), parent_->ncMargins_.top()));
}

void TControl::WndProc(TMessage& m)
{
  switch (m.Msg) {
  case WM_MOUSEMOVE:
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_LBUTTONDBLCLK:
  case WM_RBUTTONDOWN:
  case WM_RBUTTONUP:
  case WM_RBUTTONDBLCLK:
  case WM_MBUTTONDOWN:
  case WM_MBUTTONUP:
  case WM_MBUTTONDBLCLK:
    DoMouseMessage(m);
    return;
  case CM_MOUSEENTER:
    mouseInControl_ = true;
    MouseEnter();
    return;
  case CM_MOUSELEAVE:
    mouseInControl_ = false;
    MouseLeave();
    return;
  default:
    TComponent::WndProc(m);
  }
}

TControl::TWndMethod TControl::WindowProc()
{
  if (windowProc_) return windowProc_;
  return [this](TMessage& m) { WndProc(m); };
}

qintptr TControl::SendMessage(quint32 Msg, qintptr WParam, qintptr LParam)
{
  TMessage m{Msg, WParam, LParam, 0};
  if (windowProc_) windowProc_(m);
  else WndProc(m);
  return m.Result;
}

void TControl::DoMouseMessage(TMessage& m)
{
  if (!enabled_) return;
  const QPoint p = MouseLParamPoint(m.LParam);
  const TShiftState shift = ShiftFromWParam(m.WParam);
  switch (m.Msg) {
  case WM_MOUSEMOVE: MouseMove(shift, p.x(), p.y()); break;
  case WM_LBUTTONDOWN:
    if (controlStyle_ & csClickEvents) pressed_ = true;
    MouseDown(mbLeft, shift | ssLeft, p.x(), p.y());
    break;
  case WM_LBUTTONDBLCLK:
    if (controlStyle_ & csDoubleClicks) DblClick();
    MouseDown(mbLeft, shift | ssLeft | ssDouble, p.x(), p.y());
    break;
  case WM_LBUTTONUP: {
    const bool wasPressed = pressed_;
    pressed_ = false;
    MouseUp(mbLeft, shift, p.x(), p.y());
    if (wasPressed && QRect(0, 0, width_, height_).contains(p)) Click();
    break;
  }
  case WM_RBUTTONDOWN: MouseDown(mbRight, shift | ssRight, p.x(), p.y()); break;
  case WM_RBUTTONDBLCLK: MouseDown(mbRight, shift | ssRight | ssDouble, p.x(), p.y()); break;
  case WM_RBUTTONUP: MouseUp(mbRight, shift, p.x(), p.y()); break;
  case WM_MBUTTONDOWN: MouseDown(mbMiddle, shift | ssMiddle, p.x(), p.y()); break;
  case WM_MBUTTONDBLCLK: MouseDown(mbMiddle, shift | ssMiddle | ssDouble, p.x(), p.y()); break;
  case WM_MBUTTONUP: MouseUp(mbMiddle, shift, p.x(), p.y()); break;
  default: break;
  }
}

void TControl::SimulateClick()
{
  const qintptr at = MakeMouseLParam(width_ / 2, height_ / 2);
  Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
  Perform(WM_LBUTTONUP, 0, at);
}

void TControl::Click()
{
  if (onClick_) onClick_(this);
}
void TControl::DblClick()
{
  if (onDblClick_) onDblClick_(this);
}
void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y)
{
  if (onMouseDown_) onMouseDown_(this, b, s, x, y);
}
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y)
{
  if (onMouseUp_) onMouseUp_(this, b, s, x, y);
}
void TControl::MouseMove(TShiftState s, int x, int y)
{
  if (onMouseMove_) onMouseMove_(this, s, x, y);
}
void TControl::MouseEnter()
{
  if (onMouseEnter_) onMouseEnter_(this);
}
void TControl::MouseLeave()
{
  if (onMouseLeave_) onMouseLeave_(this);
}

void TControl::Loaded()
{
  TComponent::Loaded();
  if (parent_) UpdateAnchorRules();
}

// ---------------------------------------------------------------- widget

TControlWidget::TControlWidget(TWinControl* control, QWidget* parent) : QWidget(parent), control_(control)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

bool TControlWidget::event(QEvent* e)
{
  if (!control_) return QWidget::event(e);
  switch (e->type()) {
  case QEvent::ToolTip: {
    auto* he = static_cast<QHelpEvent*>(e);
    const QPoint client = he->pos() - QPoint(control_->ncMargins_.left(), control_->ncMargins_.top());
    TControl* c = control_->ControlAtPos(client, true);
    if (!c) c = control_;
    const QString text = TControl::GetShortHint(c->Hint());
    if (c->ShowHint() && !text.isEmpty()) {
      Guarded([&] { ShowToolkitHint(c, he->globalPos(), text); });
    } else {
      QToolTip::hideText();
      e->ignore();
    }
    return true;
  }
  case QEvent::WindowActivate:
    Guarded([&] { control_->SendMessage(WM_ACTIVATE, 1); });
    break;
  case QEvent::WindowDeactivate:
    Guarded([&] { control_->SendMessage(WM_ACTIVATE, 0); });
    break;
  default:
    break;
  }
  return QWidget::event(e);
}

void TControlWidget::paintEvent(QPaintEvent* e)
{
  if (!control_) return;
  QPainter painter(this);
  Guarded([&] { control_->PaintHandler(painter, e->rect()); });
}

void TControlWidget::MouseEvent(QMouseEvent* e, TMouseAction action)
{
  if (!control_) return;
  Guarded([&] { control_->WidgetMouse(e, action); });
}

void TControlWidget::mousePressEvent(QMouseEvent* e) { MouseEvent(e, TMouseAction::Press); }
void TControlWidget::mouseReleaseEvent(QMouseEvent* e) { MouseEvent(e, TMouseAction::Release); }
void TControlWidget::mouseDoubleClickEvent(QMouseEvent* e) { MouseEvent(e, TMouseAction::DoubleClick); }
void TControlWidget::mouseMoveEvent(QMouseEvent* e) { MouseEvent(e, TMouseAction::Move); }

void TControlWidget::wheelEvent(QWheelEvent* e)
{
  if (!control_) return;
  const QPoint client =
      e->position().toPoint() - QPoint(control_->ncMargins_.left(), control_->ncMargins_.top());
  const int delta = e->angleDelta().y();
  if (delta == 0) return;
  Guarded([&] { control_->SendMessage(WM_MOUSEWHEEL, delta, MakeMouseLParam(client.x(), client.y())); });
}

void TControlWidget::enterEvent(QEnterEvent*)
{
  if (control_) Guarded([&] { control_->SendMessage(CM_MOUSEENTER); });
}

void TControlWidget::leaveEvent(QEvent*)
{
  if (control_) Guarded([&] { control_->WidgetLeave(); });
}

void TControlWidget::keyPressEvent(QKeyEvent* e)
{
  if (!control_) return;
  Guarded([&] {
    const qintptr shift = qintptr(int(ShiftStateFromQt(e->modifiers())));
    const int vk = QtKeyToVirtualKey(e->key(), e->text());
    if (vk) control_->SendMessage(WM_KEYDOWN, vk, shift);
    for (QChar ch : e->text())
      if (ch.isPrint() || ch == u'\r' || ch == u'\b' || ch == u'\x1b') control_->SendMessage(WM_CHAR, ch.unicode(), shift);
  });
}

void TControlWidget::inputMethodEvent(QInputMethodEvent* e)
{
  e->accept();
  if (!control_ || e->commitString().isEmpty()) return;
  Guarded([&] { control_->InputMethodCommit(e->commitString()); });
}

QVariant TControlWidget::inputMethodQuery(Qt::InputMethodQuery query) const
{
  if (!control_) return QWidget::inputMethodQuery(query);
  switch (query) {
  case Qt::ImEnabled: return control_->WantsInputMethod();
  case Qt::ImCursorRectangle: return control_->InputMethodCursorRect();
  default: return QWidget::inputMethodQuery(query);
  }
}

void TControlWidget::keyReleaseEvent(QKeyEvent* e)
{
  // A held key repeats as press and release pairs under X11: only the last
  // release is the real one.
  if (!control_ || e->isAutoRepeat()) return;
  Guarded([&] {
    const int vk = QtKeyToVirtualKey(e->key(), e->text());
    if (vk) control_->SendMessage(WM_KEYUP, vk, qintptr(int(ShiftStateFromQt(e->modifiers()))));
  });
}

void TControlWidget::focusInEvent(QFocusEvent*)
{
  if (control_) Guarded([&] { control_->SendMessage(WM_SETFOCUS); });
}

void TControlWidget::focusOutEvent(QFocusEvent*)
{
  if (control_) Guarded([&] { control_->SendMessage(WM_KILLFOCUS); });
}

void TControlWidget::closeEvent(QCloseEvent* e)
{
  // The window's own close button: the form decides (close query, close action).
  e->ignore();
  if (control_) Guarded([&] { control_->SendMessage(WM_CLOSE); });
}

void TControlWidget::moveEvent(QMoveEvent*)
{
  if (control_) Guarded([&] { control_->WidgetMoved(); });
}

void TControlWidget::resizeEvent(QResizeEvent*)
{
  if (control_) Guarded([&] { control_->WidgetResized(); });
}

TWinControl* FindControl(QWidget* widget)
{
  auto* w = qobject_cast<TControlWidget*>(widget);
  return w ? w->Control() : nullptr;
}

// ---------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner)
{
  controlStyle_ |= csAcceptsControls;
}

TWinControl::~TWinControl()
{
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
  hover_ = capture_ = nullptr;
  if (widget_) {
    if (auto* w = qobject_cast<TControlWidget*>(widget_.data())) w->control_ = nullptr;
    delete widget_.data();
  }
}

std::vector<TComponent*> TWinControl::GetChildren(TComponent* root) const
{
  if (this == root) return TControl::GetChildren(root);
  std::vector<TComponent*> out;
  for (TControl* c : controls_)
    if (c->Owner() == root) out.push_back(c);
  return out;
}

TControl* TWinControl::ControlAtPos(QPoint p, bool allowDisabled, bool allowWinControls) const
{
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!allowWinControls && qobject_cast<TWinControl*>(c)) continue;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    if (c->BoundsRect().contains(p)) return c;
  }
  return nullptr;
}

QWidget* TWinControl::Handle()
{
  if (!widget_) CreateHandle();
  return widget_;
}

QWidget* TWinControl::CreateWidget(QWidget* parentWidget) { return new TControlWidget(this, parentWidget); }

void TWinControl::CreateHandle()
{
  if (widget_) return;
  QWidget* pw = parent_ ? parent_->Handle() : nullptr;
  widget_ = CreateWidget(pw);
  widget_->setFocusPolicy(tabStop_ ? Qt::StrongFocus : Qt::ClickFocus);
  widget_->setAttribute(Qt::WA_InputMethodEnabled, WantsInputMethod());
  widget_->setEnabled(Enabled());
  if (!region_.isEmpty()) widget_->setMask(region_);
  if (opacity_ < 255) widget_->setWindowOpacity(opacity_ / 255.0);
  UpdateWidgetGeometry();
  ApplyCursor();
  for (TControl* c : controls_)
    if (auto* w = qobject_cast<TWinControl*>(c)) w->CreateHandle();
  ApplyTabOrder();
  if (parent_) widget_->setVisible(Visible());
}

int TWinControl::TabOrder() const
{
  if (tabOrder_ >= 0 || !parent_) return tabOrder_;
  int index = 0;
  for (TControl* c : parent_->controls_) {
    if (c == this) return index;
    if (qobject_cast<TWinControl*>(c)) ++index;
  }
  return -1;
}

void TWinControl::SetTabOrder(int v)
{
  if (v == tabOrder_) return;
  tabOrder_ = v;
  if (parent_) parent_->ApplyTabOrder();
}

void TWinControl::ApplyTabOrder()
{
  if (!widget_) return;
  std::vector<TWinControl*> order;
  for (TControl* c : controls_)
    if (auto* w = qobject_cast<TWinControl*>(c); w && w->widget_) order.push_back(w);
  std::stable_sort(order.begin(), order.end(), [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1]->widget_, order[i]->widget_);
}

void TWinControl::DestroyHandle()
{
  if (!widget_) return;
  if (auto* w = qobject_cast<TControlWidget*>(widget_.data())) w->control_ = nullptr;
  delete widget_.data();
  hover_ = capture_ = nullptr;
}

QPoint TWinControl::WidgetPos() const
{
  if (!parent_) return QPoint(Left(), Top());
  return QPoint(Left() + parent_->ncMargins_.left(), Top() + parent_->ncMargins_.top());
}

void TWinControl::UpdateWidgetGeometry()
{
  if (!widget_) return;
  widget_->setGeometry(QRect(WidgetPos(), QSize(Width(), Height())));
}

void TWinControl::SetNonClientMargins(const QMargins& m)
{
  if (m == ncMargins_) return;
  ncMargins_ = m;
  for (TControl* c : controls_)
    if (auto* w = qobject_cast<TWinControl*>(c)) w->UpdateWidgetGeometry();
  Realign();
  Invalidate();
}

QRect TWinControl::ClientRect() const
{
  return QRect(0, 0, std::max(0, Width() - ncMargins_.left() - ncMargins_.right()),
               std::max(0, Height() - ncMargins_.top() - ncMargins_.bottom()));
}

void TWinControl::SetClientSize(int w, int h)
{
  const auto size = [](qint64 v) { return int(std::clamp<qint64>(v, 0, kMaxControlCoordinate)); };
  SetBounds(Left(), Top(), size(qint64(w) + ncMargins_.left() + ncMargins_.right()),
            size(qint64(h) + ncMargins_.top() + ncMargins_.bottom()));
}

QPoint TWinControl::ClientOrigin() const
{
  if (widget_ && widget_->isVisible()) return widget_->mapToGlobal(QPoint(ncMargins_.left(), ncMargins_.top()));
  return TControl::ClientOrigin() + QPoint(ncMargins_.left(), ncMargins_.top());
}

void TWinControl::BoundsChanged(bool sizeChanged)
{
  UpdateWidgetGeometry();
  if (sizeChanged) {
    Realign();
    SendMessage(WM_SIZE, 0, MakeMouseLParam(ClientWidth(), ClientHeight()));
  }
}

void TWinControl::Realign()
{
  if (aligning_ || alignDisabled_ > 0 || IsLoading() || IsDestroying()) {
    realignPending_ = true;
    return;
  }
  realignPending_ = false;
  QRect r = ClientRect();
  AdjustClientRect(r);
  aligning_ = true;
  try {
    AlignControls(r);
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

void TWinControl::EnableAlign()
{
  if (alignDisabled_ > 0 && --alignDisabled_ == 0 && realignPending_) Realign();
}

void TWinControl::AlignControls(QRect rect)
{
  // Remaining area as left, top, right, bottom (right and bottom exclusive).
  int l = rect.left(), t = rect.top(), r = rect.left() + rect.width(), b = rect.top() + rect.height();
  auto collect = [this](TAlign a) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->align_ == a && c->Visible()) list.push_back(c);
    std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
      switch (a) {
      case alTop: return x->top_ < y->top_;
      case alBottom: return x->top_ + x->height_ > y->top_ + y->height_;
      case alLeft: return x->left_ < y->left_;
      case alRight: return x->left_ + x->width_ > y->left_ + y->width_;
      default: return false;
      }
    });
    return list;
  };
  for (TControl* c : collect(alTop)) {
    c->SetBounds(l, t, std::max(0, r - l), c->height_);
    t += c->height_;
  }
  for (TControl* c : collect(alBottom)) {
    c->SetBounds(l, b - c->height_, std::max(0, r - l), c->height_);
    b -= c->height_;
  }
  for (TControl* c : collect(alLeft)) {
    c->SetBounds(l, t, c->width_, std::max(0, b - t));
    l += c->width_;
  }
  for (TControl* c : collect(alRight)) {
    c->SetBounds(r - c->width_, t, c->width_, std::max(0, b - t));
    r -= c->width_;
  }
  for (TControl* c : collect(alClient)) c->SetBounds(l, t, std::max(0, r - l), std::max(0, b - t));
  const QRect client = ClientRect();
  for (TControl* c : controls_)
    if (c->align_ == alNone && (c->anchors_ & (akRight | akBottom))) c->ApplyAnchors(client.width(), client.height());
}

void TWinControl::InsertControl(TControl* c)
{
  controls_.push_back(c);
  if (auto* w = qobject_cast<TWinControl*>(c)) {
    if (widget_) {
      if (w->widget_) {
        w->widget_->setParent(widget_);
        w->UpdateWidgetGeometry();
        w->widget_->setVisible(w->Visible());
      } else {
        w->CreateHandle();
      }
    } else {
      w->DestroyHandle();
    }
  }
  if (c->align_ != alNone) Realign();
  InvalidateRect(c->BoundsRect());
}

void TWinControl::RemoveControl(TControl* c)
{
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  if (hover_ == c) hover_ = nullptr;
  if (capture_ == c) capture_ = nullptr;
  if (auto* w = qobject_cast<TWinControl*>(c); w && w->widget_ && !IsDestroying()) w->widget_->setParent(nullptr);
  if (IsDestroying()) return;
  if (c->align_ != alNone) Realign();
  InvalidateRect(c->BoundsRect());
}

void TWinControl::SetParent(TWinControl* AParent)
{
  const bool hadParent = parent_ != nullptr;
  TControl::SetParent(AParent);
  if (!AParent && hadParent) DestroyHandle();
}

void TWinControl::Notification(TComponent* AComponent, TOperation Operation)
{
  TControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove) {
    if (hover_ == AComponent) hover_ = nullptr;
    if (capture_ == AComponent) capture_ = nullptr;
  }
}

void TWinControl::SetTabStop(bool v)
{
  tabStop_ = v;
  if (widget_) widget_->setFocusPolicy(v ? Qt::StrongFocus : Qt::ClickFocus);
}

bool TWinControl::Focused() const { return widget_ && widget_->hasFocus(); }

bool TWinControl::CanFocus() const
{
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus()
{
  if (!CanFocus()) throw EInvalidOperation(QStringLiteral("Cannot focus a disabled or invisible window"));
  Handle()->setFocus(Qt::OtherFocusReason);
}

void TWinControl::Invalidate()
{
  if (widget_) widget_->update();
}

void TWinControl::Repaint()
{
  if (widget_) widget_->repaint();
}

void TWinControl::InvalidateRect(const QRect& r)
{
  if (widget_) widget_->update(r.translated(ncMargins_.left(), ncMargins_.top()));
}

void TWinControl::SetVisible(bool v)
{
  TControl::SetVisible(v);
  // A window without a parent (a popup) shows when asked, made if need be.
  if (!parent_ && v && !IsLoading() && !IsDesigning()) Handle();
  if (widget_ && widget_->isVisible() != v) widget_->setVisible(v);
}

void TWinControl::EnabledChanged()
{
  if (widget_) widget_->setEnabled(Enabled());
  Invalidate();
  for (TControl* c : controls_) c->Invalidate();
}

void TWinControl::ColorChanged()
{
  Invalidate();
  for (TControl* c : controls_) c->ParentColorChanged();
}

void TWinControl::FontChanged()
{
  Invalidate();
  for (TControl* c : controls_) c->ParentFontChanged();
}

void TWinControl::SetWindowRegion(const QRegion& region)
{
  region_ = region;
  if (!widget_) return;
  if (region.isEmpty()) widget_->clearMask();
  else widget_->setMask(region);
}

void TWinControl::SetWindowOpacity(int alpha)
{
  opacity_ = std::clamp(alpha, 0, 255);
  if (widget_) widget_->setWindowOpacity(opacity_ / 255.0);
}

void TWinControl::ApplyCursor()
{
  if (!widget_) return;
  int id = (hover_ && hover_->Cursor() != crDefault) ? hover_->Cursor() : Cursor();
  if (id == crDefault) widget_->unsetCursor();
  else widget_->setCursor(ToolkitCursor(id));
}

void TWinControl::Loaded()
{
  TControl::Loaded();
  Realign();
}

void TWinControl::WndProc(TMessage& m)
{
  switch (m.Msg) {
  case WM_KEYDOWN:
  case WM_KEYUP: {
    int key = int(m.WParam);
    const TShiftState shift = TShiftState(TShiftStateFlag(int(m.LParam)));
    TForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview()) {
      auto* f = static_cast<TWinControl*>(form);
      if (m.Msg == WM_KEYDOWN) f->KeyDown(key, shift);
      else f->KeyUp(key, shift);
    }
    if (key == 0) return;
    if (m.Msg == WM_KEYDOWN) KeyDown(key, shift);
    else KeyUp(key, shift);
    // Enter and Escape left over go to the form's default or cancel button.
    if (m.Msg == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE) && shift == TShiftState())
      if (TForm* f = form ? form : qobject_cast<TForm*>(this))
        if (static_cast<TComponent*>(f)->Perform(CM_DIALOGKEY, key)) key = 0;
    // Alt with a letter or digit left over: the control whose caption marks it.
    if (m.Msg == WM_KEYDOWN && (shift & ssAlt) && ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')))
      if (TForm* f = form ? form : qobject_cast<TForm*>(this))
        if (static_cast<TComponent*>(f)->Perform(CM_DIALOGCHAR, key)) key = 0;
    m.Result = key == 0;
    return;
  }
  case WM_CHAR: {
    QChar ch(char16_t(m.WParam));
    TForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview()) static_cast<TWinControl*>(form)->KeyPress(ch);
    if (ch.isNull()) return;
    KeyPress(ch);
    return;
  }
  case WM_SETFOCUS: DoEnter(); return;
  case WM_KILLFOCUS: DoExit(); return;
  case WM_ERASEBKGND: {
    TCanvas* canvas = PaintCanvasOf(m);
    if (canvas && !(controlStyle_ & (csOpaque | csNoEraseBackground))) {
      canvas->Brush()->SetColor(Color());
      canvas->FillRect(ClientRect());
    }
    m.Result = 1;
    return;
  }
  case WM_NCHITTEST: {
    const QPoint p = ScreenToClient(MouseLParamPoint(m.LParam));
    m.Result = ClientRect().contains(p) ? HTCLIENT : HTNOWHERE;
    return;
  }
  default:
    TControl::WndProc(m);
  }
}

void TWinControl::KeyDown(int& Key, TShiftState Shift)
{
  if (onKeyDown_) onKeyDown_(this, Key, Shift);
}
void TWinControl::KeyUp(int& Key, TShiftState Shift)
{
  if (onKeyUp_) onKeyUp_(this, Key, Shift);
}
void TWinControl::KeyPress(QChar& Key)
{
  if (onKeyPress_) onKeyPress_(this, Key);
}
void TWinControl::DoEnter()
{
  if (onEnter_) onEnter_(this);
}
void TWinControl::DoExit()
{
  if (onExit_) onExit_(this);
}

void TWinControl::PaintHandler(QPainter& painter, const QRect& dirty)
{
  if (!ncMargins_.isNull()) {
    TCanvas canvas;
    canvas.BeginPaint(&painter);
    canvas.Font()->Assign(Font());
    SendMessage(WM_NCPAINT, PointerParam(&canvas));
    canvas.EndPaint();
  }
  painter.save();
  painter.translate(ncMargins_.left(), ncMargins_.top());
  painter.setClipRect(ClientRect(), Qt::IntersectClip);
  PaintClient(painter, dirty.translated(-ncMargins_.left(), -ncMargins_.top()));
  painter.restore();
}

void TWinControl::PaintClient(QPainter& painter, const QRect& dirty)
{
  TCanvas canvas;
  canvas.BeginPaint(&painter);
  canvas.Font()->Assign(Font());
  SendMessage(WM_ERASEBKGND, PointerParam(&canvas));
  PaintWindow(canvas);
  canvas.EndPaint();
  PaintControls(painter, dirty);
}

void TWinControl::PaintWindow(TCanvas&) {}

void TWinControl::PaintControls(QPainter& painter, const QRect& dirty)
{
  for (TControl* c : controls_) {
    if (qobject_cast<TWinControl*>(c) || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    if (!dirty.intersects(c->BoundsRect())) continue;
    c->PaintTo(painter, c->Left(), c->Top());
  }
}

void TWinControl::PaintTo(QPainter& painter, int x, int y)
{
  painter.save();
  painter.translate(x, y);
  painter.setClipRect(QRect(0, 0, Width(), Height()), Qt::IntersectClip);
  if (!region_.isEmpty()) painter.setClipRegion(region_, Qt::IntersectClip);
  PaintHandler(painter, QRect(0, 0, Width(), Height()));
  for (TControl* c : controls_) {
    auto* w = qobject_cast<TWinControl*>(c);
    if (!w || !w->Visible()) continue;
    w->PaintTo(painter, w->Left() + ncMargins_.left(), w->Top() + ncMargins_.top());
  }
  painter.restore();
}

void TWinControl::WidgetMouse(QMouseEvent* e, TMouseAction action)
{
  const QPoint local = e->position().toPoint();
  const QPoint client = local - QPoint(ncMargins_.left(), ncMargins_.top());
  const QPoint global = e->globalPosition().toPoint();
  const Qt::MouseButton button = e->button();
  const qintptr keys = WParamFromQt(e->modifiers(), e->buttons());

  if (sizeMoveHit_) {
    if (action == TMouseAction::Move) ContinueMoveSize(global);
    else if (action == TMouseAction::Release && !(e->buttons() & Qt::LeftButton)) EndMoveSize();
    return;
  }

  // The frame around the client area: hit-test, tell the control, then move
  // or size the window when the press was on the caption or an edge.
  if (!ncMargins_.isNull() && !capture_ && !ClientRect().contains(client) && !(e->buttons() & ~button)) {
    const qintptr at = MakeMouseLParam(global.x(), global.y());
    const int hit = int(SendMessage(WM_NCHITTEST, 0, at));
    quint32 msg = WM_NCMOUSEMOVE;
    switch (action) {
    case TMouseAction::Press: msg = button == Qt::RightButton ? WM_NCRBUTTONDOWN : WM_NCLBUTTONDOWN; break;
    case TMouseAction::Release: msg = button == Qt::RightButton ? WM_NCRBUTTONUP : WM_NCLBUTTONUP; break;
    case TMouseAction::DoubleClick: msg = WM_NCLBUTTONDBLCLK; break;
    case TMouseAction::Move: break;
    }
    SendMessage(msg, hit, at);
    if (action == TMouseAction::Press && button == Qt::LeftButton && !parent_ &&
        (hit == HTCAPTION || (hit >= HTLEFT && hit <= HTBOTTOMRIGHT)))
      BeginMoveSize(hit, global);
    return;
  }

  TControl* target = capture_;
  if (!target) {
    TControl* under = ControlAtPos(client);
    if (action == TMouseAction::Move && under != hover_) {
      TControl* old = hover_;
      hover_ = under;
      if (old) old->SendMessage(CM_MOUSELEAVE);
      if (hover_) hover_->SendMessage(CM_MOUSEENTER);
      ApplyCursor();
    }
    target = under ? under : this;
  }
  quint32 msg = WM_MOUSEMOVE;
  if (action != TMouseAction::Move) {
    // Each button's messages run down, up, double click.
    const quint32 base = button == Qt::RightButton ? WM_RBUTTONDOWN : button == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    msg = base + quint32(action);
  }
  if ((action == TMouseAction::Press || action == TMouseAction::DoubleClick) && target != this && (target->ControlStyle() & csCaptureMouse)) capture_ = target;
  const QPoint p = target == this ? client : client - target->BoundsRect().topLeft();
  target->SendMessage(msg, keys, MakeMouseLParam(p.x(), p.y()));
  if (action == TMouseAction::Release && e->buttons() == Qt::NoButton) capture_ = nullptr;
}

void TWinControl::BeginMoveSize(int hitTest, QPoint globalPos)
{
  if (sizeMoveHit_) return;
  sizeMoveHit_ = hitTest;
  sizeMoveStart_ = globalPos;
  sizeMoveRect_ = BoundsRect();
  SendMessage(WM_ENTERSIZEMOVE);
  if (widget_) widget_->grabMouse();
}

void TWinControl::ContinueMoveSize(QPoint globalPos)
{
  const QPoint d = globalPos - sizeMoveStart_;
  QRect r = sizeMoveRect_;
  if (sizeMoveHit_ == HTCAPTION) {
    r.translate(d);
    SendMessage(WM_MOVING, 0, PointerParam(&r));
  } else {
    const int h = sizeMoveHit_;
    const bool left = h == HTLEFT || h == HTTOPLEFT || h == HTBOTTOMLEFT;
    const bool right = h == HTRIGHT || h == HTTOPRIGHT || h == HTBOTTOMRIGHT;
    const bool top = h == HTTOP || h == HTTOPLEFT || h == HTTOPRIGHT;
    const bool bottom = h == HTBOTTOM || h == HTBOTTOMLEFT || h == HTBOTTOMRIGHT;
    if (left) r.setLeft(std::min(r.left() + d.x(), r.right()));
    if (right) r.setRight(std::max(r.right() + d.x(), r.left()));
    if (top) r.setTop(std::min(r.top() + d.y(), r.bottom()));
    if (bottom) r.setBottom(std::max(r.bottom() + d.y(), r.top()));
    int edge = left ? (top ? WMSZ_TOPLEFT : bottom ? WMSZ_BOTTOMLEFT : WMSZ_LEFT)
               : right ? (top ? WMSZ_TOPRIGHT : bottom ? WMSZ_BOTTOMRIGHT : WMSZ_RIGHT)
               : top ? WMSZ_TOP : WMSZ_BOTTOM;
    SendMessage(WM_SIZING, edge, PointerParam(&r));
  }
  SetBounds(r.left(), r.top(), r.width(), r.height());
}

void TWinControl::EndMoveSize()
{
  if (!sizeMoveHit_) return;
  sizeMoveHit_ = 0;
  if (widget_) widget_->releaseMouse();
  SendMessage(WM_EXITSIZEMOVE);
}

void TWinControl::WidgetLeave()
{
  if (hover_) {
    TControl* old = hover_;
    hover_ = nullptr;
    old->SendMessage(CM_MOUSELEAVE);
    ApplyCursor();
  }
  SendMessage(CM_MOUSELEAVE);
}

void TWinControl::WidgetMoved() {}
void TWinControl::WidgetResized() {}

// ---------------------------------------------------------------- graphic and custom controls

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(new TCanvas())
{
  canvas_->setParent(this);
}

void TGraphicControl::PaintTo(QPainter& painter, int x, int y)
{
  painter.save();
  painter.translate(x, y);
  painter.setClipRect(QRect(0, 0, Width(), Height()), Qt::IntersectClip);
  canvas_->BeginPaint(&painter);
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  try {
    Paint();
  } catch (...) {
    canvas_->EndPaint();
    painter.restore();
    throw;
  }
  canvas_->EndPaint();
  painter.restore();
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(new TCanvas())
{
  canvas_->setParent(this);
}

void TCustomControl::PaintWindow(TCanvas& canvas)
{
  canvas_->BeginPaint(&canvas.Painter());
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  try {
    Paint();
  } catch (...) {
    canvas_->EndPaint();
    throw;
  }
  canvas_->EndPaint();
}

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner)
{
  SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint()
{
  if (onPaint_) onPaint_(this);
}
