// Descriptions with the largest and smallest integers: places, sizes and
// font heights are clamped (no arithmetic leaves the int range), reading stays
// near linear in the number of components, and a picture too large to make is
// refused with the file's name.
#include "support/files.h"
#include "toolkit/form_reader.h"
#include "toolkit/form_render.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>

namespace {
struct Deleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
using RootPtr = std::unique_ptr<TComponent, Deleter>;

RootPtr Read(const QString& text)
{
  return RootPtr(ReadComponentText(text, "extreme.vfm", nullptr, nullptr, TReadOptions{.Designing = true}));
}

TEST(ExtremeValues, PlacesSizesAndFontHeightsAreClamped)
{
  for (const char* value : {"2147483647", "-2147483648"}) {
    SCOPED_TRACE(value);
    const QString text = QString(R"(object F: TForm
  Left = %1
  Top = %1
  ClientWidth = %1
  ClientHeight = %1
  Font.Height = %1
  object P: TPanel
    Left = %1
    Top = %1
    Width = %1
    Height = %1
    Anchors = [akLeft, akTop, akRight, akBottom]
    Font.Size = %1
    object B: TButton
      Left = %1
      Width = %1
      Anchors = [akRight, akBottom]
    end
  end
end
)")
                             .arg(value);
    RootPtr root = Read(text);
    auto* form = qobject_cast<TForm*>(root.get());
    ASSERT_NE(form, nullptr);
    auto* panel = qobject_cast<TControl*>(form->FindComponent("P"));
    auto* button = qobject_cast<TControl*>(form->FindComponent("B"));
    for (TControl* c : {static_cast<TControl*>(form), panel, button}) {
      EXPECT_LE(std::abs(qint64(c->Left())), kMaxControlCoordinate) << c->Name().toStdString();
      EXPECT_LE(c->Width(), kMaxControlCoordinate);
      EXPECT_GE(c->Width(), 0);
      EXPECT_LE(std::abs(qint64(c->Font()->Height())), kMaxFontHeight);
      // The sums that overflowed: right edges, origins on the screen, fonts.
      const QRect r = c->BoundsRect();
      EXPECT_EQ(qint64(r.right()), qint64(c->Left()) + c->Width() - 1);
      (void)c->ClientOrigin();
      EXPECT_GT(c->Font()->ToQFont().pixelSize(), 0);
    }
    // Moving the parent applies the anchors without leaving the range.
    form->SetClientSize(INT_MAX, INT_MIN);
    EXPECT_LE(panel->Width(), kMaxControlCoordinate);
  }
}

TEST(ExtremeValues, APictureTooLargeToMakeIsRefusedWithTheFileName)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("huge.vfm");
  WriteFile(path, "object F: TForm\n  BorderStyle = bsNone\n  ClientWidth = 2147483647\n  ClientHeight = 2147483647\nend\n");
  try {
    RenderDescriptionFile(path);
    ADD_FAILURE() << "rendered";
  } catch (const EInvalidOperation& e) {
    EXPECT_TRUE(e.Message().startsWith(path + ": Too large to render")) << e.Message().toStdString();
  }
}

// Counts what reading a window costs in notifications.
class TCountingButton : public TButton {
  Q_OBJECT
public:
  using TButton::TButton;
  static inline qint64 notifications = 0;
  void Notification(TComponent* c, TOperation op) override
  {
    ++notifications;
    TButton::Notification(c, op);
  }
};

qint64 NotificationsToRead(int buttons)
{
  QString text = "object F: TForm\n";
  for (int i = 0; i < buttons; ++i)
    text += QString("  object B%1: TCountingButton\n    Left = %1\n  end\n").arg(i);
  text += "end\n";
  TCountingButton::notifications = 0;
  RootPtr root = Read(text);
  return TCountingButton::notifications;
}

TEST(ExtremeValues, ReadingAWindowIsNotQuadraticInItsComponents)
{
  TComponentClasses::Register<TCountingButton>();
  const qint64 small = NotificationsToRead(200);
  const qint64 large = NotificationsToRead(400);
  // Twice the buttons may cost twice the notifications, not four times.
  EXPECT_LE(large, 2 * small + 400) << small << " then " << large;
}

} // namespace

#include "extreme_values_test.moc"
