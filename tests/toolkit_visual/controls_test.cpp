// Controls: layout by Align and Anchors, parents, inherited fonts and colours,
// mouse and key messages, painting in z-order, windows made when needed.
#include "visual_support.h"

#include "toolkit/form_render.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>
#include <QMouseEvent>
#include <QHelpEvent>
#include <gtest/gtest.h>

namespace {
struct FormDeleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

FormPtr NewForm(int clientWidth = 246, int clientHeight = 500)
{
  FormPtr f(new TForm(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  f->SetClientSize(clientWidth, clientHeight);
  return f;
}

template <typename T>
T* Add(TForm* owner, TWinControl* parent, QRect bounds, TControl::TAlign align = TControl::alNone)
{
  auto* c = new T(owner);
  c->SetBoundsRect(bounds);
  c->SetAlign(align);
  c->SetParent(parent);
  return c;
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::MouseButtons buttons = Qt::NoButton)
{
  QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
} // namespace

TEST(Align, TopAndBottomFirstThenLeftAndRightThenClient)
{
  FormPtr f = NewForm(246, 500);
  // Created in an order that differs from the align order on purpose.
  auto* client = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 10, 10), TControl::alClient);
  auto* bottom = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 10, 21), TControl::alBottom);
  auto* right = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 40, 10), TControl::alRight);
  auto* left = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 30, 10), TControl::alLeft);
  auto* top = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 10, 25), TControl::alTop);
  auto* top2 = Add<TPanel>(f.get(), f.get(), QRect(0, 100, 10, 5), TControl::alTop);
  EXPECT_EQ(top->BoundsRect(), QRect(0, 0, 246, 25));
  EXPECT_EQ(top2->BoundsRect(), QRect(0, 25, 246, 5));  // below: it was placed lower
  EXPECT_EQ(bottom->BoundsRect(), QRect(0, 479, 246, 21));
  EXPECT_EQ(left->BoundsRect(), QRect(0, 30, 30, 449));
  EXPECT_EQ(right->BoundsRect(), QRect(206, 30, 40, 449));
  EXPECT_EQ(client->BoundsRect(), QRect(30, 30, 176, 449));

  // Hidden aligned controls take no room; resizing the parent lays out again.
  top2->SetVisible(false);
  EXPECT_EQ(client->Top(), 25);
  f->SetClientSize(300, 200);
  EXPECT_EQ(bottom->BoundsRect(), QRect(0, 179, 300, 21));
  EXPECT_EQ(right->Left(), 260);
  EXPECT_EQ(client->BoundsRect(), QRect(30, 25, 230, 154));
  // An aligned control keeps its own height (top/bottom) when the width is imposed.
  bottom->SetBounds(5, 0, 1, 30);
  EXPECT_EQ(bottom->BoundsRect(), QRect(0, 170, 300, 30));
  // None of it needed a window.
  EXPECT_FALSE(f->HandleAllocated());
  EXPECT_FALSE(client->HandleAllocated());
}

TEST(Align, NestedPanelsUseTheInnerAreaAndAnchorsFollowTheParent)
{
  FormPtr f = NewForm(200, 100);
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 10, 60), TControl::alTop);
  panel->SetBevelOuter(TControl::bvLowered);
  panel->SetBorderWidth(2);  // extent 3
  auto* inner = Add<TPanel>(f.get(), panel, QRect(0, 0, 50, 10), TControl::alRight);
  EXPECT_EQ(inner->BoundsRect(), QRect(147, 3, 50, 54));
  auto* btn = Add<TButton>(f.get(), f.get(), QRect(120, 70, 75, 25));
  btn->SetAnchors(TControl::akRight | TControl::akBottom);
  auto* stretch = Add<TEdit>(f.get(), f.get(), QRect(10, 70, 100, 21));
  stretch->SetAnchors(TControl::akLeft | TControl::akTop | TControl::akRight);
  f->SetClientSize(260, 140);
  EXPECT_EQ(btn->BoundsRect(), QRect(180, 110, 75, 25));
  EXPECT_EQ(stretch->BoundsRect(), QRect(10, 70, 160, 21));
  EXPECT_EQ(inner->BoundsRect(), QRect(207, 3, 50, 54));
}

TEST(Controls, ParentsChildrenAndZOrder)
{
  FormPtr f = NewForm(100, 100);
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(10, 10, 50, 50));
  auto* a = Add<TPaintBox>(f.get(), panel, QRect(0, 0, 20, 20));
  auto* b = Add<TPaintBox>(f.get(), panel, QRect(10, 10, 20, 20));
  EXPECT_EQ(panel->ControlCount(), 2);
  EXPECT_EQ(b->Parent(), panel);
  EXPECT_EQ(b->GetParentForm(), f.get());
  EXPECT_EQ(panel->ControlAtPos(QPoint(15, 15)), b);
  b->SendToBack();
  EXPECT_EQ(panel->ControlAtPos(QPoint(15, 15)), a);
  b->SetEnabled(false);
  EXPECT_EQ(panel->ControlAtPos(QPoint(25, 25)), nullptr);
  EXPECT_EQ(panel->ControlAtPos(QPoint(25, 25), true), b);
  EXPECT_THROW(panel->SetParent(panel), EInvalidOperation);
  auto* child = Add<TPanel>(f.get(), panel, QRect(0, 0, 5, 5));
  EXPECT_THROW(panel->SetParent(child), EInvalidOperation);
  TComponent plain(nullptr);
  EXPECT_THROW(a->SetParentComponent(&plain), EInvalidOperation);

  // Children are written nested: the form holds the panel, the panel its controls.
  const auto formChildren = f->GetChildren(f.get());
  EXPECT_NE(std::find(formChildren.begin(), formChildren.end(), panel), formChildren.end());
  EXPECT_EQ(std::find(formChildren.begin(), formChildren.end(), a), formChildren.end());
  const auto panelChildren = panel->GetChildren(f.get());
  ASSERT_EQ(panelChildren.size(), 3u);
  EXPECT_EQ(panelChildren[0], b);

  // Freeing a child leaves its parent; freeing the form frees its controls.
  TComponent::Free(a);
  EXPECT_EQ(panel->ControlCount(), 2);
  QPointer<TControl> watch(b);
  f.reset();
  EXPECT_TRUE(watch.isNull());
}

TEST(Controls, FontsColoursAndHintsComeFromTheParentUntilSetOwn)
{
  FormPtr f = NewForm(100, 100);
  f->Font()->SetName("Arial");
  f->Font()->SetHeight(-14);
  f->SetColor(clTeal);
  f->SetShowHint(true);
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 50, 50));
  auto* label = Add<TLabel>(f.get(), panel, QRect(0, 0, 20, 20));
  EXPECT_EQ(label->Font()->Name(), "Arial");
  EXPECT_EQ(label->Font()->Height(), -14);
  EXPECT_TRUE(label->ShowHint());
  EXPECT_EQ(panel->Color(), clBtnFace);
  panel->SetParentColor(true);
  EXPECT_EQ(panel->Color(), clTeal);
  EXPECT_EQ(label->Color(), clTeal);  // labels take the parent's colour
  f->Font()->SetHeight(-20);
  EXPECT_EQ(label->Font()->Height(), -20);
  label->Font()->SetColor(clRed);  // own font from now on
  EXPECT_FALSE(label->ParentFont());
  f->Font()->SetHeight(-9);
  EXPECT_EQ(label->Font()->Height(), -20);
  EXPECT_EQ(panel->Font()->Height(), -9);
  EXPECT_EQ(TControl::GetShortHint("Refresh|Reloads the page"), "Refresh");
  f->SetShowHint(false);  // followed down the tree
  EXPECT_FALSE(label->ShowHint());
  label->SetShowHint(true);  // own setting from now on
  f->SetShowHint(true);
  f->SetShowHint(false);
  EXPECT_TRUE(label->ShowHint());
  EXPECT_FALSE(panel->ShowHint());
}

namespace {
struct MouseLog {
  QStringList Events;
  void Attach(TControl* c, const QString& name)
  {
    c->SetOnMouseDown([this, name](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      Events << QStringLiteral("%1 down %2 %3,%4%5").arg(name).arg(int(b)).arg(x).arg(y).arg(s.testFlag(ssShift) ? " shift" : "");
    });
    c->SetOnMouseUp([this, name](TObject*, TMouseButton b, TShiftState, int x, int y) {
      Events << QStringLiteral("%1 up %2 %3,%4").arg(name).arg(int(b)).arg(x).arg(y);
    });
    c->SetOnClick([this, name](TObject*) { Events << name + " click"; });
    c->SetOnMouseEnter([this, name](TObject*) { Events << name + " enter"; });
    c->SetOnMouseLeave([this, name](TObject*) { Events << name + " leave"; });
  }
};
} // namespace

TEST(Messages, MouseMessagesMakeEventsAndClicks)
{
  FormPtr f = NewForm(100, 100);
  auto* box = Add<TPaintBox>(f.get(), f.get(), QRect(10, 10, 30, 30));
  MouseLog log;
  log.Attach(box, "box");
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MakeMouseLParam(5, 6));
  box->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(7, 8));
  EXPECT_EQ(log.Events, QStringList({"box down 0 5,6 shift", "box up 0 7,8", "box click"}));
  log.Events.clear();
  // Released outside: no click. Right button: no click either.
  box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(5, 5));
  box->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(-3, 50));
  box->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MakeMouseLParam(5, 5));
  box->Perform(WM_RBUTTONUP, 0, MakeMouseLParam(5, 5));
  EXPECT_EQ(log.Events, QStringList({"box down 0 5,5", "box up 0 -3,50", "box down 1 5,5", "box up 1 5,5"}));
  log.Events.clear();
  box->SetEnabled(false);
  box->SimulateClick();
  EXPECT_TRUE(log.Events.isEmpty());
  EXPECT_EQ(MouseLParamPoint(MakeMouseLParam(-5, 300)), QPoint(-5, 300));
}

TEST(Messages, KeyPreviewLetsTheFormSeeKeysFirst)
{
  FormPtr f = NewForm(100, 100);
  auto* edit = Add<TEdit>(f.get(), f.get(), QRect(0, 0, 50, 20));
  QStringList seen;
  f->SetOnKeyDown([&](TObject*, int& key, TShiftState) {
    seen << QStringLiteral("form %1").arg(key);
    if (key == VK_ESCAPE) key = 0;  // swallowed
  });
  edit->SetOnKeyDown([&](TObject*, int& key, TShiftState s) { seen << QStringLiteral("edit %1%2").arg(key).arg(s.testFlag(ssCtrl) ? " ctrl" : ""); });
  edit->Perform(WM_KEYDOWN, VK_RETURN, int(TShiftState(ssCtrl)));
  EXPECT_EQ(seen, QStringList({"edit 13 ctrl"}));
  f->SetKeyPreview(true);
  seen.clear();
  edit->Perform(WM_KEYDOWN, VK_RETURN);
  edit->Perform(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(seen, QStringList({"form 13", "edit 13", "form 27"}));
  // Characters reach the edit (and a read-only one ignores them).
  edit->Perform(WM_CHAR, 'a');
  edit->Perform(WM_CHAR, 'b');
  edit->Perform(WM_CHAR, '\b');
  EXPECT_EQ(edit->Text(), "a");
  edit->SetReadOnly(true);
  edit->Perform(WM_CHAR, 'z');
  EXPECT_EQ(edit->Text(), "a");
}

TEST(Painting, ChildrenAreDrawnInZOrderWithWindowedOnTop)
{
  FormPtr f = NewForm(60, 40);
  f->SetColor(clWhite);
  auto paintWith = [](TPaintBox* box, TColor color) {
    box->SetOnPaint([box, color](TObject*) {
      box->Canvas()->Brush()->SetColor(color);
      box->Canvas()->FillRect(box->ClientRect());
    });
  };
  auto* red = Add<TPaintBox>(f.get(), f.get(), QRect(0, 0, 30, 30));
  auto* blue = Add<TPaintBox>(f.get(), f.get(), QRect(20, 0, 30, 30));
  paintWith(red, clRed);
  paintWith(blue, clBlue);
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(40, 20, 20, 20));
  panel->SetBevelOuter(TControl::bvNone);
  panel->SetColor(clLime);
  QImage img = RenderControlImage(f.get());
  EXPECT_EQ(PixelAt(img, 5, 5), clRed);
  EXPECT_EQ(PixelAt(img, 25, 5), clBlue);  // later child above
  EXPECT_EQ(PixelAt(img, 45, 25), clLime);  // windowed over graphic
  EXPECT_EQ(PixelAt(img, 5, 35), clWhite);
  red->BringToFront();
  img = RenderControlImage(f.get());
  EXPECT_EQ(PixelAt(img, 25, 5), clRed);
  blue->SetVisible(false);
  img = RenderControlImage(f.get());
  EXPECT_EQ(PixelAt(img, 45, 5), clWhite);
  // Invalidate and Repaint without windows are harmless.
  red->Invalidate();
  red->Repaint();
  f->Invalidate();
  EXPECT_FALSE(f->HandleAllocated());
}

TEST(Handles, MadeWhenFirstNeededAndPaintedLikeTheHandlelessPicture)
{
  FormPtr f = NewForm(120, 80);
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 10, 30), TControl::alTop);
  auto* button = Add<TButton>(f.get(), panel, QRect(5, 3, 60, 24));
  button->SetCaption("OK");
  auto* box = Add<TPaintBox>(f.get(), f.get(), QRect(10, 40, 20, 20));
  box->SetOnPaint([box](TObject*) {
    box->Canvas()->Brush()->SetColor(clFuchsia);
    box->Canvas()->FillRect(box->ClientRect());
  });
  EXPECT_FALSE(button->HandleAllocated());
  QWidget* w = button->Handle();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(panel->HandleAllocated());
  EXPECT_TRUE(f->HandleAllocated());
  EXPECT_EQ(w->parentWidget(), panel->Handle());
  EXPECT_EQ(w->geometry(), QRect(5, 3, 60, 24));
  EXPECT_EQ(FindControl(w), button);
  // A graphic control never gets one.
  EXPECT_EQ(qobject_cast<TWinControl*>(box), nullptr);
  button->SetLeft(8);
  EXPECT_EQ(w->geometry().left(), 8);
  const QImage handleless = RenderControlImage(f.get());
  const QImage grabbed = f->Handle()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(grabbed.size(), handleless.size());
  EXPECT_EQ(PixelAt(grabbed, 15, 45), clFuchsia);
  int differing = 0;
  for (int y = 0; y < grabbed.height(); ++y)
    for (int x = 0; x < grabbed.width(); ++x)
      if (grabbed.pixel(x, y) != handleless.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
  // Leaving the parent takes the window down; it comes back when needed.
  button->SetParent(nullptr);
  EXPECT_FALSE(button->HandleAllocated());
  button->SetParent(panel);
  EXPECT_TRUE(button->HandleAllocated());
  // Window shape.
  f->SetWindowRegion(QRegion(0, 0, 50, 50, QRegion::Ellipse));
  EXPECT_FALSE(f->Handle()->mask().isEmpty());
  f->SetWindowRegion(QRegion());
  EXPECT_TRUE(f->Handle()->mask().isEmpty());
}

TEST(Handles, QtMouseInputReachesGraphicChildrenWithEnterLeaveAndCursor)
{
  FormPtr f = NewForm(100, 60);
  auto* a = Add<TPaintBox>(f.get(), f.get(), QRect(0, 0, 40, 40));
  auto* b = Add<TPaintBox>(f.get(), f.get(), QRect(50, 0, 40, 40));
  Screen->SetCursors(2005, QCursor(Qt::OpenHandCursor));
  b->SetCursor(2005);
  MouseLog log;
  log.Attach(a, "a");
  log.Attach(b, "b");
  QWidget* w = f->Handle();
  SendMouse(w, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton);
  SendMouse(w, QEvent::MouseMove, QPoint(60, 10), Qt::NoButton);
  EXPECT_EQ(w->cursor().shape(), Qt::OpenHandCursor);
  EXPECT_TRUE(b->MouseInControl());
  EXPECT_FALSE(a->MouseInControl());
  SendMouse(w, QEvent::MouseButtonPress, QPoint(60, 10), Qt::LeftButton, Qt::LeftButton);
  // Dragging out keeps the mouse with the pressed control.
  SendMouse(w, QEvent::MouseMove, QPoint(20, 10), Qt::NoButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, QPoint(20, 10), Qt::LeftButton, Qt::NoButton);
  SendMouse(w, QEvent::MouseMove, QPoint(20, 12), Qt::NoButton);
  SendMouse(w, QEvent::MouseButtonPress, QPoint(20, 12), Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, QPoint(20, 12), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(log.Events, QStringList({"a enter", "a leave", "b enter", "b down 0 10,10", "b up 0 -30,10", "b leave",
                                     "a enter", "a down 0 20,12", "a up 0 20,12", "a click"}));
  EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
}

TEST(Handles, QtKeysBecomeKeyMessages)
{
  FormPtr f = NewForm(100, 60);
  auto* edit = Add<TEdit>(f.get(), f.get(), QRect(0, 0, 80, 20));
  int downKey = 0;
  edit->SetOnKeyDown([&](TObject*, int& key, TShiftState) { downKey = key; });
  QWidget* w = edit->Handle();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(w, &press);
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
  QApplication::sendEvent(w, &left);
  EXPECT_EQ(edit->Text(), "x");
  EXPECT_EQ(downKey, VK_LEFT);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_A, "a"), 'A');
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_F5, ""), VK_F1 + 4);
  // Characters whose codes match navigation keys are not those keys.
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_ParenLeft, "("), 0);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_Period, "."), 0xBE);
  EXPECT_EQ(QtKeyToVirtualKey(Qt::Key_unknown, QStringLiteral("中")), 0);
}

TEST(Messages, AReplacedWindowProcedureSeesWindowMessagesFirst)
{
  FormPtr f = NewForm(100, 60);
  auto* box = Add<TPaintBox>(f.get(), f.get(), QRect(0, 0, 40, 40));
  int clicks = 0;
  box->SetOnClick([&](TObject*) { ++clicks; });
  QList<quint32> seen;
  auto previous = f->WindowProc();
  f->SetWindowProc([&, previous](TMessage& m) {
    seen << m.Msg;
    if (m.Msg == WM_SIZE) m.Result = 7;
    previous(m);
  });
  QStringList swallowed;
  auto boxPrevious = box->WindowProc();
  box->SetWindowProc([&, boxPrevious](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN) {
      swallowed << "down";
      return;  // handled here: the control never sees it
    }
    boxPrevious(m);
  });
  QWidget* w = f->Handle();
  SendMouse(w, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
  SendMouse(w, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(swallowed, QStringList({"down"}));
  EXPECT_EQ(clicks, 0);  // no press, no click
  f->SetClientSize(120, 60);
  EXPECT_TRUE(seen.contains(WM_SIZE));
  EXPECT_EQ(f->SendMessage(WM_SIZE), 7);
  EXPECT_EQ(f->Perform(WM_SIZE), 0);  // Perform goes straight to WndProc
}

namespace {
constexpr int kHtFrame = 18;
struct TFramed : TForm {
  using TForm::TForm;
  QList<int> Hits;
  void WndProc(TMessage& m) override
  {
    if (m.Msg == WM_NCPAINT) {
      TCanvas* canvas = PaintCanvasOf(m);
      canvas->Brush()->SetColor(clNavy);
      canvas->FillRect(QRect(0, 0, Width(), Height()));
      return;
    }
    if (m.Msg == WM_NCHITTEST) {
      const QPoint p = MouseLParamPoint(m.LParam) - ClientOrigin();
      m.Result = p.y() < 0 ? HTCAPTION : kHtFrame;
      return;
    }
    if (m.Msg == WM_NCLBUTTONDOWN) Hits << int(m.WParam);
    TForm::WndProc(m);
  }
};
} // namespace

TEST(NonClient, FrameAroundTheClientAreaIsPaintedAndHitTested)
{
  std::unique_ptr<TFramed, FormDeleter> f(new TFramed(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  f->SetBounds(0, 0, 100, 80);
  f->SetNonClientMargins(QMargins(4, 20, 4, 4));
  EXPECT_EQ(f->ClientRect(), QRect(0, 0, 92, 56));
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 10, 10), TControl::alClient);
  panel->SetBevelOuter(TControl::bvNone);
  panel->SetColor(clLime);
  EXPECT_EQ(panel->BoundsRect(), QRect(0, 0, 92, 56));
  const QImage img = RenderControlImage(f.get());
  EXPECT_EQ(PixelAt(img, 1, 1), clNavy);
  EXPECT_EQ(PixelAt(img, 99, 79), clNavy);
  EXPECT_EQ(PixelAt(img, 4, 20), clLime);
  EXPECT_EQ(PixelAt(img, 95, 75), clLime);
  // The panel's window sits inside the frame.
  EXPECT_EQ(panel->Handle()->geometry(), QRect(4, 20, 92, 56));
  f->SetClientSize(100, 50);
  EXPECT_EQ(f->BoundsRect(), QRect(0, 0, 108, 74));
  // A press on the frame is hit-tested and reported as a frame message.
  SendMouse(f->Handle(), QEvent::MouseButtonPress, QPoint(50, 5), Qt::LeftButton, Qt::LeftButton);
  SendMouse(f->Handle(), QEvent::MouseButtonRelease, QPoint(50, 5), Qt::LeftButton, Qt::NoButton);
  SendMouse(f->Handle(), QEvent::MouseButtonPress, QPoint(1, 40), Qt::LeftButton, Qt::LeftButton);
  SendMouse(f->Handle(), QEvent::MouseButtonRelease, QPoint(1, 40), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->Hits, QList<int>({HTCAPTION, kHtFrame}));
}

TEST(Hints, TheHintWindowShowsTheShortHintOfTheControlUnderTheMouse)
{
  FormPtr f = NewForm(100, 60);
  auto* a = Add<TPaintBox>(f.get(), f.get(), QRect(0, 0, 40, 40));
  auto* b = Add<TPaintBox>(f.get(), f.get(), QRect(50, 0, 40, 40));
  a->SetHint("刷新|Reload the page");
  a->SetShowHint(true);
  b->SetHint("hidden");
  QStringList shown;
  Application->HintWindow = [&](TControl* c, QPoint, const QString& text) { shown << c->Name() + ":" + text; };
  a->SetName("A");
  QWidget* w = f->Handle();
  QHelpEvent overA(QEvent::ToolTip, QPoint(10, 10), w->mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(w, &overA);
  QHelpEvent overB(QEvent::ToolTip, QPoint(60, 10), w->mapToGlobal(QPoint(60, 10)));
  QApplication::sendEvent(w, &overB);  // ShowHint off: nothing
  Application->HintWindow = nullptr;
  EXPECT_EQ(shown, QStringList({"A:刷新"}));
}

TEST(Platform, WaylandSessionsRunThroughXWayland)
{
  const QByteArray saved[] = {qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"),
                              qgetenv("XDG_SESSION_TYPE")};
  qunsetenv("QT_QPA_PLATFORM");
  qputenv("WAYLAND_DISPLAY", "wayland-0");
  qputenv("DISPLAY", ":0");
  EXPECT_EQ(ChooseWindowSystem(), "xcb");
  EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "xcb");
  qunsetenv("QT_QPA_PLATFORM");
  qunsetenv("DISPLAY");  // no XWayland: Qt chooses
  EXPECT_EQ(ChooseWindowSystem(), "");
  qputenv("QT_QPA_PLATFORM", "offscreen");  // an explicit choice stays
  EXPECT_EQ(ChooseWindowSystem(), "offscreen");
  const char* names[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY", "XDG_SESSION_TYPE"};
  for (int i = 0; i < 4; ++i) {
    if (saved[i].isNull()) qunsetenv(names[i]);
    else qputenv(names[i], saved[i]);
  }
}

namespace {
// A frameless window whose top 20 pixels are its caption; it snaps to y = 0
// when moved within 5 pixels of it and keeps at least 60 x 40 when sized.
struct TSnapping : TForm {
  using TForm::TForm;
  QStringList Log;
  void WndProc(TMessage& m) override
  {
    switch (m.Msg) {
    case WM_NCHITTEST: {
      const QPoint p = MouseLParamPoint(m.LParam) - QPoint(Left(), Top());
      m.Result = p.x() >= Width() - 4 && p.y() >= Height() - 4 ? HTBOTTOMRIGHT : p.y() < 20 ? HTCAPTION : HTCLIENT;
      return;
    }
    case WM_ENTERSIZEMOVE: Log << "enter"; return;
    case WM_EXITSIZEMOVE: Log << QStringLiteral("exit %1,%2 %3x%4").arg(Left()).arg(Top()).arg(Width()).arg(Height()); return;
    case WM_MOVING: {
      QRect* r = DraggedRectOf(m);
      if (std::abs(r->top()) < 5) r->moveTop(0);
      return;
    }
    case WM_SIZING: {
      QRect* r = DraggedRectOf(m);
      Log << QStringLiteral("sizing %1").arg(m.WParam);
      r->setWidth(std::max(r->width(), 60));
      r->setHeight(std::max(r->height(), 40));
      return;
    }
    default: TForm::WndProc(m);
    }
  }
};

void SendGlobal(QWidget* w, QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons)
{
  QMouseEvent e(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
} // namespace

TEST(NonClient, DraggingTheCaptionMovesAndTheEdgeSizesTheWindow)
{
  std::unique_ptr<TSnapping, FormDeleter> f(new TSnapping(nullptr));
  f->SetBorderStyle(TForm::bsNone);
  f->SetBounds(100, 50, 120, 90);
  f->SetNonClientMargins(QMargins(2, 20, 2, 2));
  f->Show();
  QWidget* w = f->Handle();
  // Press on the caption at (130, 60), drag up by 47: the handler snaps the top to 0.
  SendGlobal(w, QEvent::MouseButtonPress, QPoint(130, 60), Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(f->InMoveSize());
  SendGlobal(w, QEvent::MouseMove, QPoint(140, 30), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(f->BoundsRect(), QRect(110, 20, 120, 90));
  SendGlobal(w, QEvent::MouseMove, QPoint(140, 13), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(f->Top(), 0);
  SendGlobal(w, QEvent::MouseButtonRelease, QPoint(140, 13), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(f->InMoveSize());
  EXPECT_EQ(w->pos(), QPoint(110, 0));
  // The bottom-right corner sizes; the handler keeps a minimum.
  SendGlobal(w, QEvent::MouseButtonPress, QPoint(110 + 118, 88), Qt::LeftButton, Qt::LeftButton);
  SendGlobal(w, QEvent::MouseMove, QPoint(110 + 138, 98), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(f->BoundsRect(), QRect(110, 0, 140, 100));
  SendGlobal(w, QEvent::MouseMove, QPoint(110, 10), Qt::NoButton, Qt::LeftButton);
  SendGlobal(w, QEvent::MouseButtonRelease, QPoint(110, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(f->BoundsRect(), QRect(110, 0, 60, 40));
  EXPECT_EQ(f->Log, QStringList({"enter", "exit 110,0 120x90", "enter", QStringLiteral("sizing %1").arg(WMSZ_BOTTOMRIGHT),
                                 QStringLiteral("sizing %1").arg(WMSZ_BOTTOMRIGHT), "exit 110,0 60x40"}));
}

TEST(Handles, InvalidatePaintsLaterRepaintPaintsNow)
{
  FormPtr f = NewForm(100, 60);
  auto* panel = Add<TPanel>(f.get(), f.get(), QRect(0, 0, 60, 60));
  auto* box = Add<TPaintBox>(f.get(), panel, QRect(5, 5, 20, 20));
  int paints = 0;
  box->SetOnPaint([&](TObject*) { ++paints; });
  f->Show();
  QWidget* w = f->Handle();
  ASSERT_TRUE(PumpUntil([&] { return w->windowHandle() && w->windowHandle()->isExposed() && paints > 0; }));
  QCoreApplication::processEvents();
  const int settled = paints;
  box->Repaint();
  EXPECT_EQ(paints, settled + 1);  // at once
  box->Invalidate();
  EXPECT_EQ(paints, settled + 1);  // not yet
  EXPECT_TRUE(PumpUntil([&] { return paints == settled + 2; }));
  // A hidden control is not painted.
  box->SetVisible(false);
  box->Repaint();
  QCoreApplication::processEvents();
  EXPECT_EQ(paints, settled + 2);
}

TEST(Handles, TabOrderSetsTheKeyboardOrderOfTheWindows)
{
  FormPtr f = NewForm(100, 100);
  auto* third = Add<TEdit>(f.get(), f.get(), QRect(0, 0, 50, 20));
  auto* first = Add<TEdit>(f.get(), f.get(), QRect(0, 30, 50, 20));
  auto* second = Add<TEdit>(f.get(), f.get(), QRect(0, 60, 50, 20));
  EXPECT_EQ(second->TabOrder(), 2);  // creation order until set
  third->SetTabOrder(2);
  first->SetTabOrder(0);
  second->SetTabOrder(1);
  f->Handle();
  EXPECT_EQ(first->Handle()->nextInFocusChain(), second->Handle());
  EXPECT_EQ(second->Handle()->nextInFocusChain(), third->Handle());
  third->SetTabOrder(0);
  first->SetTabOrder(1);
  second->SetTabOrder(2);
  EXPECT_EQ(third->Handle()->nextInFocusChain(), first->Handle());
  EXPECT_EQ(first->Handle()->nextInFocusChain(), second->Handle());
}
