// A form class that reads its own description in its constructor, with
// events bound by name to its methods, as the program's windows do.
#include "form_subclass_test.h"
#include "visual_support.h"

#include "toolkit/form_reader.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"
#include "support/thrown.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

TEST(FormSubclass, ReadsItsDescriptionBindsEventsAndRunsOnCreate)
{
  QPointer<TForm_Test> f(new TForm_Test(nullptr));
  EXPECT_EQ(f->log, QStringList({"create ButtonGo"}));
  EXPECT_EQ(f->Caption(), "Test window");
  EXPECT_EQ(f->BoundsRect(), QRect(50, 60, 200, 120));
  auto* button = qobject_cast<TButton*>(f->FindComponent("ButtonGo"));
  auto* box = qobject_cast<TPaintBox*>(f->FindComponent("PaintBox1"));
  ASSERT_TRUE(button && box);
  EXPECT_EQ(box->BoundsRect(), QRect(0, 40, 200, 80));
  EXPECT_EQ(f->OnClose().MethodName(), "FormClose");

  f->Show();
  QWidget* panel = qobject_cast<TWinControl*>(f->FindComponent("Panel1"))->Handle();
  auto send = [](QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), QPointF(w->mapToGlobal(p)), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  send(panel, QEvent::MouseMove, QPoint(150, 20), Qt::NoButton);
  send(panel, QEvent::MouseButtonPress, QPoint(150, 21), Qt::LeftButton);
  send(panel, QEvent::MouseButtonRelease, QPoint(150, 21), Qt::NoButton);
  QWidget* bw = button->Handle();
  send(bw, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
  send(bw, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::NoButton);
  button->Perform(WM_KEYDOWN, VK_F1);
  const QImage img = f->Handle()->grab().toImage();
  EXPECT_EQ(PixelAt(img, 100, 100), clMaroon);
  EXPECT_EQ(f->log, QStringList({"create ButtonGo", "move 150,20", "down 0 1 150,21", "click ButtonGo",
                                 QStringLiteral("key %1").arg(VK_F1)}));

  // Close: the query refuses once; then the form frees itself (caFree).
  f->allowClose = false;
  f->Close();
  EXPECT_TRUE(f->Visible());
  f->allowClose = true;
  f->Close();
  EXPECT_TRUE(PumpUntil([&] { return f.isNull(); }));
}

TEST(FormSubclass, ABrokenDescriptionFailsTheConstructionCleanly)
{
  class TBroken : public TForm {
  public:
    explicit TBroken(TComponent* owner) : TForm(owner)
    {
      ReadComponentText("object F: TForm\n  object P: TPanel\n    Align = alMiddle\n  end\nend\n", "broken.vfm", this);
    }
  };
  const int before = Screen->FormCount();
  const std::optional<EReadError> e = Thrown<EReadError>([] { TBroken form(nullptr); });
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Line(), 3);
  EXPECT_TRUE(e->Message().contains("alMiddle")) << e->Message().toStdString();
  EXPECT_EQ(Screen->FormCount(), before);
}
