// Controls: the visual components. A control has bounds in its parent's
// client area, alignment, colour, font, hint and cursor, and receives mouse
// and key input as window messages (so that code and tests can send the same
// messages through Perform).
//
// TWinControl is windowed: it owns a QWidget handle, made when first needed
// (Handle(), or showing its form), and parents other controls. TGraphicControl
// has no window: its parent paints it, in z-order, and routes the mouse to it.
// Everything that needs no window (bounds, alignment, fonts, messages) works
// without a handle.
#pragma once

#include "toolkit/component.h"
#include "toolkit/graphics.h"

#include <QCursor>
#include <QMargins>
#include <QPointer>
#include <QWidget>

class TWinControl;
class TForm;

// ---------------------------------------------------------------- input types

enum TMouseButton { mbLeft, mbRight, mbMiddle };
Q_DECLARE_METATYPE(TMouseButton)
// What a widget's mouse event was; its value steps from a button's "down"
// message to the matching "up" and "double click" ones.
enum class TMouseAction { Press = 0, Release = 1, DoubleClick = 2, Move };

enum TShiftStateFlag { ssShift = 0x01, ssAlt = 0x02, ssCtrl = 0x04, ssLeft = 0x08, ssRight = 0x10,
                       ssMiddle = 0x20, ssDouble = 0x40 };
// Its own type (not a bare QFlags) so that handler signatures match by name.
class TShiftState : public QFlags<TShiftStateFlag> {
public:
  using QFlags<TShiftStateFlag>::QFlags;
  TShiftState(QFlags<TShiftStateFlag> f) : QFlags<TShiftStateFlag>(f) {}
};
Q_DECLARE_METATYPE(TShiftState)

using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TKeyEvent = TEvent<TObject*, int&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, QChar&>;
Q_DECLARE_METATYPE(TMouseEvent)
Q_DECLARE_METATYPE(TMouseMoveEvent)
Q_DECLARE_METATYPE(TKeyEvent)
Q_DECLARE_METATYPE(TKeyPressEvent)

// ---------------------------------------------------------------- messages

constexpr quint32 WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006,
                  WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_SETTEXT = 0x000C, WM_PAINT = 0x000F,
                  WM_CLOSE = 0x0010, WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018, WM_SETCURSOR = 0x0020,
                  WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085, WM_NCMOUSEMOVE = 0x00A0,
                  WM_NCLBUTTONDOWN = 0x00A1, WM_NCLBUTTONUP = 0x00A2, WM_NCLBUTTONDBLCLK = 0x00A3,
                  WM_NCRBUTTONDOWN = 0x00A4, WM_NCRBUTTONUP = 0x00A5, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
                  WM_CHAR = 0x0102, WM_TIMER = 0x0113, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201,
                  WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204,
                  WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206, WM_MBUTTONDOWN = 0x0207,
                  WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209,
                  WM_MOUSEWHEEL = 0x020A,  // WParam the turn in eighths of a degree (+ away from the user), LParam the client point
                  WM_SIZING = 0x0214, WM_MOVING = 0x0216,
                  WM_ENTERSIZEMOVE = 0x0231, WM_EXITSIZEMOVE = 0x0232;
// WM_NCPAINT, WM_ERASEBKGND: the canvas to paint on (WParam).
inline TCanvas* PaintCanvasOf(const TMessage& m) { return ParamPointer<TCanvas>(m.WParam); }
// WM_SIZING, WM_MOVING: the window's rectangle being dragged, to adjust in place (LParam).
inline QRect* DraggedRectOf(const TMessage& m) { return ParamPointer<QRect>(m.LParam); }
// WM_SIZING WParam: the edge being dragged.
constexpr int WMSZ_LEFT = 1, WMSZ_RIGHT = 2, WMSZ_TOP = 3, WMSZ_TOPLEFT = 4, WMSZ_TOPRIGHT = 5, WMSZ_BOTTOM = 6,
              WMSZ_BOTTOMLEFT = 7, WMSZ_BOTTOMRIGHT = 8;
// Notices of the toolkit between controls.
constexpr quint32 CM_BASE = 0xB000;
constexpr quint32 CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_ENABLEDCHANGED = CM_BASE + 3,
                  CM_COLORCHANGED = CM_BASE + 4, CM_FONTCHANGED = CM_BASE + 5, CM_CURSORCHANGED = CM_BASE + 6,
                  CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_PARENTFONTCHANGED = CM_BASE + 10,
                  CM_SHOWHINTCHANGED = CM_BASE + 12, CM_MOUSEENTER = CM_BASE + 19, CM_MOUSELEAVE = CM_BASE + 20,
                  CM_VISIBLECHANGED = CM_BASE + 22, CM_TEXTCHANGED = CM_BASE + 24,
                  CM_DIALOGKEY = CM_BASE + 27,  // Enter or Escape for the default / cancel button
                  CM_DIALOGCHAR = CM_BASE + 28;  // a character that may be a control's accelerator (Alt+letter)
// Mouse message WParam bits.
constexpr qintptr MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08, MK_MBUTTON = 0x10;
// Hit-test answers.
constexpr int HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTLEFT = 10, HTRIGHT = 11, HTTOP = 12,
              HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15, HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17;
// Virtual key codes (the ones the program uses).
constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
              VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
              VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
              VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_F1 = 0x70;

// Packs client coordinates as mouse messages carry them (x low, y high, signed 16-bit each).
constexpr qintptr MakeMouseLParam(int x, int y) { return qintptr((x & 0xFFFF) | ((y & 0xFFFF) << 16)); }
constexpr QPoint MouseLParamPoint(qintptr l) { return QPoint(qint16(l & 0xFFFF), qint16((l >> 16) & 0xFFFF)); }
// Key code of a Qt key (0 when it has none).
int QtKeyToVirtualKey(int qtKey, const QString& text);
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = Qt::NoButton);

// ---------------------------------------------------------------- cursors

// Stock cursor numbers; 1..32767 are free for the program's own cursors.
enum : int { crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
             crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12,
             crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18,
             crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22 };

// ---------------------------------------------------------------- TControl

// The mouse events a control and the notification-area icon both raise.
class TMouseEvents {
public:
  TNotifyEvent OnClick() const { return onClick_; }
  void SetOnClick(const TNotifyEvent& e) { onClick_ = e; }
  TNotifyEvent OnDblClick() const { return onDblClick_; }
  void SetOnDblClick(const TNotifyEvent& e) { onDblClick_ = e; }
  TMouseEvent OnMouseDown() const { return onMouseDown_; }
  void SetOnMouseDown(const TMouseEvent& e) { onMouseDown_ = e; }
  TMouseEvent OnMouseUp() const { return onMouseUp_; }
  void SetOnMouseUp(const TMouseEvent& e) { onMouseUp_ = e; }
  TMouseMoveEvent OnMouseMove() const { return onMouseMove_; }
  void SetOnMouseMove(const TMouseMoveEvent& e) { onMouseMove_ = e; }

protected:
  ~TMouseEvents() = default;

  TNotifyEvent onClick_, onDblClick_;
  TMouseEvent onMouseDown_, onMouseUp_;
  TMouseMoveEvent onMouseMove_;
};

// Places are clamped to +-kMaxControlCoordinate and sizes to [0, kMaxControlCoordinate]
// (Qt's largest widget size): 64 nested levels still add up within int.
constexpr int kMaxControlCoordinate = (1 << 24) - 1;

class TControl : public TComponent, public TMouseEvents {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Cursor", "TCursor")
  Q_PROPERTY(int Left READ Left WRITE SetLeft)
  Q_PROPERTY(int Top READ Top WRITE SetTop)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
  Q_PROPERTY(TAnchors Anchors READ Anchors WRITE SetAnchors)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
  Q_PROPERTY(TFont* Font READ Font WRITE SetFont)
  Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
  Q_PROPERTY(bool ParentShowHint READ ParentShowHint WRITE SetParentShowHint)
  Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
  Q_PROPERTY(TNotifyEvent OnClick READ OnClick WRITE SetOnClick)
  Q_PROPERTY(TNotifyEvent OnDblClick READ OnDblClick WRITE SetOnDblClick)
  Q_PROPERTY(TMouseEvent OnMouseDown READ OnMouseDown WRITE SetOnMouseDown)
  Q_PROPERTY(TMouseEvent OnMouseUp READ OnMouseUp WRITE SetOnMouseUp)
  Q_PROPERTY(TMouseMoveEvent OnMouseMove READ OnMouseMove WRITE SetOnMouseMove)
  Q_PROPERTY(TNotifyEvent OnMouseEnter READ OnMouseEnter WRITE SetOnMouseEnter)
  Q_PROPERTY(TNotifyEvent OnMouseLeave READ OnMouseLeave WRITE SetOnMouseLeave)
  Q_PROPERTY(TNotifyEvent OnResize READ OnResize WRITE SetOnResize)

public:
  enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
  Q_ENUM(TAlign)
  enum TAnchorKind { akLeft = 0x1, akTop = 0x2, akRight = 0x4, akBottom = 0x8 };
  Q_DECLARE_FLAGS(TAnchors, TAnchorKind)
  Q_FLAG(TAnchors)
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)
  enum TTextLayout { tlTop, tlCenter, tlBottom };
  Q_ENUM(TTextLayout)
  enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
  Q_ENUM(TBevelCut)
  // Behaviour flags of a class, set by its constructor.
  enum TControlStyleFlag { csAcceptsControls = 0x1, csCaptureMouse = 0x2, csClickEvents = 0x4,
                           csOpaque = 0x8, csSetCaption = 0x10, csDoubleClicks = 0x20, csNoEraseBackground = 0x40 };
  Q_DECLARE_FLAGS(TControlStyle, TControlStyleFlag)

  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // Geometry, in the parent's client coordinates (forms: on the screen).
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  QRect BoundsRect() const { return QRect(left_, top_, width_, height_); }
  void SetBoundsRect(const QRect& r) { SetBounds(r.left(), r.top(), r.width(), r.height()); }
  // The client area in the control's own coordinates.
  virtual QRect ClientRect() const { return QRect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().width(); }
  int ClientHeight() const { return ClientRect().height(); }
  virtual void SetClientSize(int w, int h);
  void SetClientWidth(int w) { SetClientSize(w, ClientHeight()); }
  void SetClientHeight(int h) { SetClientSize(ClientWidth(), h); }
  // Origin of the client area on the screen; works without windows.
  virtual QPoint ClientOrigin() const;
  QPoint ClientToScreen(QPoint p) const { return p + ClientOrigin(); }
  QPoint ScreenToClient(QPoint p) const { return p - ClientOrigin(); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign v);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors v);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent visible (and, with windows, shown).
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);

  TColor Color() const { return color_; }
  void SetColor(TColor v);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  TFont* Font() const { return font_; }
  void SetFont(TFont* v);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);

  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v);
  // A hint switch of the control's own is written as ShowHint, which clears
  // ParentShowHint when read (the writer leaves out one taken from the parent).
  Q_INVOKABLE bool StoredParentShowHint() const { return parentShowHint_ || !showHint_; }
  // The part before '|'.
  static QString GetShortHint(const QString& hint);
  int Cursor() const { return cursor_; }
  void SetCursor(int v);

  // Caption or text (published by the classes that show one).
  QString Caption() const { return text_; }
  void SetCaption(const QString& v) { SetText(v); }
  QString Text() const { return text_; }
  void SetText(const QString& v);

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* AParent) override;
  bool HasParent() const { return parent_ != nullptr; }
  // The form this control sits on (itself for a form), or nullptr.
  TForm* GetParentForm() const;
  void BringToFront();
  void SendToBack();

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle s) { controlStyle_ = s; }
  bool MouseInControl() const { return mouseInControl_; }
  bool MouseCapture() const;
  void SetMouseCapture(bool v);

  // Asks for a repaint later; Repaint paints now (when there is a window).
  virtual void Invalidate();
  virtual void Repaint();
  void Update() { Repaint(); }

  void WndProc(TMessage& Message) override;

  // Messages from the window system and SendMessage go through the window
  // procedure. A component may replace it to watch or handle a control's
  // messages; it keeps the previous one and passes messages on to it.
  using TWndMethod = std::function<void(TMessage&)>;
  TWndMethod WindowProc();
  void SetWindowProc(TWndMethod method) { windowProc_ = std::move(method); }
  qintptr SendMessage(quint32 Msg, qintptr WParam = 0, qintptr LParam = 0);

  TNotifyEvent OnMouseEnter() const { return onMouseEnter_; }
  void SetOnMouseEnter(const TNotifyEvent& e) { onMouseEnter_ = e; }
  TNotifyEvent OnMouseLeave() const { return onMouseLeave_; }
  void SetOnMouseLeave(const TNotifyEvent& e) { onMouseLeave_ = e; }
  TNotifyEvent OnResize() const { return onResize_; }
  void SetOnResize(const TNotifyEvent& e) { onResize_ = e; }

  // Pressed as the user would: button down and up at the centre.
  void SimulateClick();

  // Paints the control and what it contains at the painter's origin.
  virtual void PaintTo(QPainter& painter, int x, int y) = 0;

  void Loaded() override;

protected:
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void Resize();
  virtual void TextChanged() { Invalidate(); }
  virtual void FontChanged() { Invalidate(); }
  virtual void ColorChanged() { Invalidate(); }
  virtual void EnabledChanged() { Invalidate(); }
  // Bounds were applied; windowed controls move their window.
  virtual void BoundsChanged(bool sizeChanged);
  // The parent's font, colour or hint setting changed (followed when Parent... is set).
  void ParentFontChanged();
  void ParentColorChanged();
  void ParentShowHintChanged();
  void ShowHintChanged();
  // Remembers the distances that right and bottom anchors keep.
  void UpdateAnchorRules();
  void ApplyAnchors(int parentWidth, int parentHeight);

  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TControlStyle controlStyle_ = TControlStyle(csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks);
  bool mouseInControl_ = false;
  bool pressed_ = false;  // left button went down inside

private:
  void DoMouseMessage(TMessage& m);
  void FontObjectChanged();

  TWndMethod windowProc_;
  TAlign align_ = alNone;
  TAnchors anchors_ = TAnchors(akLeft | akTop);
  int anchorRight_ = 0, anchorBottom_ = 0;
  bool anchorRulesSet_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TFont* font_;
  bool parentFont_ = true;
  bool fontFromParent_ = false;
  QString hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  int cursor_ = crDefault;
  QString text_;
  TNotifyEvent onMouseEnter_, onMouseLeave_, onResize_;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TControl::TAnchors)
Q_DECLARE_OPERATORS_FOR_FLAGS(TControl::TControlStyle)

// ---------------------------------------------------------------- TWinControl

// The QWidget behind a windowed control: turns Qt's events into messages.
class TControlWidget : public QWidget {
  Q_OBJECT
public:
  TControlWidget(TWinControl* control, QWidget* parent);
  TWinControl* Control() const { return control_; }

protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
  void MouseEvent(QMouseEvent* e, TMouseAction action);
  friend class TWinControl;
  TWinControl* control_;
};

class TWinControl : public TControl {
  Q_OBJECT
  Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)
  Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
  Q_PROPERTY(TKeyEvent OnKeyDown READ OnKeyDown WRITE SetOnKeyDown)
  Q_PROPERTY(TKeyEvent OnKeyUp READ OnKeyUp WRITE SetOnKeyUp)
  Q_PROPERTY(TKeyPressEvent OnKeyPress READ OnKeyPress WRITE SetOnKeyPress)
  Q_PROPERTY(TNotifyEvent OnEnter READ OnEnter WRITE SetOnEnter)
  Q_PROPERTY(TNotifyEvent OnExit READ OnExit WRITE SetOnExit)

public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  int ControlCount() const { return int(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(size_t(index)); }
  std::vector<TComponent*> GetChildren(TComponent* root) const override;
  // Topmost visible child (enabled unless `allowDisabled`) at the point, or nullptr.
  TControl* ControlAtPos(QPoint p, bool allowDisabled = false, bool allowWinControls = false) const;

  // The window, created with its parents' and children's when first asked for.
  QWidget* Handle();
  bool HandleAllocated() const { return !widget_.isNull(); }
  virtual void DestroyHandle();

  // Frame area inside the window that is not client area (drawn on WM_NCPAINT).
  QMargins NonClientMargins() const { return ncMargins_; }
  void SetNonClientMargins(const QMargins& m);
  QRect ClientRect() const override;
  void SetClientSize(int w, int h) override;
  QPoint ClientOrigin() const override;

  // Moving or sizing a top-level window with the mouse, started by a left
  // press on its frame that hit-tests as HTCAPTION or an edge: WM_ENTERSIZEMOVE,
  // then for each mouse move WM_MOVING or WM_SIZING (WParam the WMSZ_ edge)
  // with the proposed screen rectangle as a QRect* in LParam, which the
  // handler may change before it is applied, and WM_EXITSIZEMOVE when the
  // button is released.
  void BeginMoveSize(int hitTest, QPoint globalPos);
  bool InMoveSize() const { return sizeMoveHit_ != 0; }

  // Layout of the children by Align and Anchors.
  void Realign();
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();
  // The rectangle that aligned children share (the client area, less borders).
  virtual void AdjustClientRect(QRect& rect) const { Q_UNUSED(rect); }

  // Place in the parent's keyboard order; unset (-1) means creation order.
  int TabOrder() const;
  void SetTabOrder(int v);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  bool Focused() const;
  bool CanFocus() const;
  void SetFocus();

  void Invalidate() override;
  void Repaint() override;
  void InvalidateRect(const QRect& r);
  void PaintTo(QPainter& painter, int x, int y) override;
  void SetVisible(bool v) override;
  void SetParent(TWinControl* AParent) override;
  // Applies a window shape (empty: none) and remembers it for re-created windows.
  void SetWindowRegion(const QRegion& region);
  QRegion WindowRegion() const { return region_; }
  // Opacity of a top-level window, 0..255 (255 opaque), kept for a later window.
  void SetWindowOpacity(int alpha);
  int WindowOpacity() const { return opacity_; }

  void WndProc(TMessage& Message) override;

  TKeyEvent OnKeyDown() const { return onKeyDown_; }
  void SetOnKeyDown(const TKeyEvent& e) { onKeyDown_ = e; }
  TKeyEvent OnKeyUp() const { return onKeyUp_; }
  void SetOnKeyUp(const TKeyEvent& e) { onKeyUp_ = e; }
  TKeyPressEvent OnKeyPress() const { return onKeyPress_; }
  void SetOnKeyPress(const TKeyPressEvent& e) { onKeyPress_ = e; }
  TNotifyEvent OnEnter() const { return onEnter_; }
  void SetOnEnter(const TNotifyEvent& e) { onEnter_ = e; }
  TNotifyEvent OnExit() const { return onExit_; }
  void SetOnExit(const TNotifyEvent& e) { onExit_ = e; }

  void Loaded() override;

  // Widget side (called by TControlWidget).
  void PaintHandler(QPainter& painter, const QRect& dirty);
  void WidgetMouse(QMouseEvent* e, TMouseAction action);
  void WidgetLeave();
  virtual void WidgetMoved();
  virtual void WidgetResized();
  TControl* HoverControl() const { return hover_; }

  // Text composed by an input method (pinyin and the like): a control that
  // takes typed text says so and gets each committed string; the rectangle
  // (client coordinates) places the method's candidate window at the caret.
  virtual bool WantsInputMethod() const { return false; }
  virtual void InputMethodCommit(const QString& /*text*/) {}
  virtual QRect InputMethodCursorRect() const { return QRect(); }

protected:
  // Creates the window; forms make top-level ones.
  virtual QWidget* CreateWidget(QWidget* parentWidget);
  virtual void CreateHandle();
  // Window settings that follow the control's state.
  virtual void UpdateWidgetGeometry();
  virtual QPoint WidgetPos() const;
  void BoundsChanged(bool sizeChanged) override;
  void ColorChanged() override;
  void FontChanged() override;
  void EnabledChanged() override;
  // Painting steps: background (WM_ERASEBKGND), own drawing, graphic children.
  virtual void PaintWindow(TCanvas& canvas);
  void PaintControls(QPainter& painter, const QRect& dirty);
  virtual void KeyDown(int& Key, TShiftState Shift);
  virtual void KeyUp(int& Key, TShiftState Shift);
  virtual void KeyPress(QChar& Key);
  virtual void DoEnter();
  virtual void DoExit();
  // Children come and go.
  virtual void InsertControl(TControl* c);
  virtual void RemoveControl(TControl* c);
  virtual void AlignControls(QRect rect);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ApplyCursor();
  // Orders the children's windows for the Tab key by TabOrder.
  void ApplyTabOrder();

  friend class TControl;
  friend class TControlWidget;
  std::vector<TControl*> controls_;
  QPointer<QWidget> widget_;
  QMargins ncMargins_;
  QRegion region_;
  int opacity_ = 255;

private:
  void PaintClient(QPainter& painter, const QRect& dirty);
  void SyncChildWidget(TControl* c);

  void ContinueMoveSize(QPoint globalPos);
  void EndMoveSize();

  int sizeMoveHit_ = 0;
  QPoint sizeMoveStart_;
  QRect sizeMoveRect_;
  int alignDisabled_ = 0;
  bool aligning_ = false;
  bool realignPending_ = false;
  int tabOrder_ = -1;
  bool tabStop_ = false;
  TControl* hover_ = nullptr;    // graphic child under the mouse
  TControl* capture_ = nullptr;  // graphic child holding the mouse
  TKeyEvent onKeyDown_, onKeyUp_;
  TKeyPressEvent onKeyPress_;
  TNotifyEvent onEnter_, onExit_;
};

// ---------------------------------------------------------------- painted controls

// A window-less control drawn by its parent.
class TGraphicControl : public TControl {
  Q_OBJECT
public:
  explicit TGraphicControl(TComponent* AOwner);
  TCanvas* Canvas() const { return canvas_; }
  void PaintTo(QPainter& painter, int x, int y) override;

protected:
  virtual void Paint() {}
  friend class TWinControl;

private:
  TCanvas* canvas_;
};

// A windowed control with a canvas of its own.
class TCustomControl : public TWinControl {
  Q_OBJECT
public:
  explicit TCustomControl(TComponent* AOwner);
  TCanvas* Canvas() const { return canvas_; }

protected:
  virtual void Paint() {}
  void PaintWindow(TCanvas& canvas) override;

private:
  TCanvas* canvas_;
};

// A graphic control that paints through its OnPaint event.
class TPaintBox : public TGraphicControl {
  Q_OBJECT
  Q_PROPERTY(TNotifyEvent OnPaint READ OnPaint WRITE SetOnPaint)
public:
  explicit TPaintBox(TComponent* AOwner);
  TNotifyEvent OnPaint() const { return onPaint_; }
  void SetOnPaint(const TNotifyEvent& e) { onPaint_ = e; }

protected:
  void Paint() override;

private:
  TNotifyEvent onPaint_;
};

// The control behind a window, or nullptr.
TWinControl* FindControl(QWidget* widget);

// Shows a control's hint at a screen point (the application's hint window).
void ShowToolkitHint(TControl* control, QPoint globalPos, const QString& text);
// The cursor of a number: stock cursors and the program's own (TScreen::Cursors).
QCursor ToolkitCursor(int id);
