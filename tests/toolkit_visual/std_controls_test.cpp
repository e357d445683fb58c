// The plain controls, and a window description with every one of them read,
// laid out, painted headless and written back.
#include "visual_support.h"

#include "support/files.h"
#include "toolkit/form_reader.h"
#include "toolkit/form_render.h"
#include "toolkit/forms.h"
#include "toolkit/image_list.h"
#include "toolkit/std_controls.h"
#include "toolkit/timer.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct Deleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
template <typename T>
using Owned = std::unique_ptr<T, Deleter>;

const QString kSample = QStringLiteral(VELMORA_SOURCE_DIR "/tests/toolkit_visual/plain_window.vfm");

template <typename T>
T* Find(TComponent* root, const char* name)
{
  auto* c = root->FindComponent<T>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

// A 16 x 16 image: a red square on a transparent ground.
QImage RedSquare()
{
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  for (int y = 4; y < 12; ++y)
    for (int x = 4; x < 12; ++x) img.setPixel(x, y, qRgb(200, 0, 0));
  return img;
}
} // namespace

TEST(SampleWindow, LoadsAndLaysOutAsTheAlignRulesSay)
{
  TReadOptions options;
  options.Designing = true;
  Owned<TComponent> root(ReadComponentFile(kSample, nullptr, nullptr, options));
  auto* form = qobject_cast<TForm*>(root.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->ClientRect(), QRect(0, 0, 246, 300));
  EXPECT_EQ(Find<TPanel>(form, "PanelTop")->BoundsRect(), QRect(0, 0, 246, 25));
  EXPECT_EQ(Find<TPanel>(form, "PanelStatus")->BoundsRect(), QRect(0, 279, 246, 21));
  EXPECT_EQ(Find<TPanel>(form, "Panel1")->BoundsRect(), QRect(0, 25, 246, 254));
  EXPECT_EQ(Find<TButton>(form, "ButtonRefresh")->BoundsRect(), QRect(0, 0, 25, 25));
  EXPECT_EQ(Find<TButton>(form, "ButtonRecord")->BoundsRect(), QRect(25, 0, 25, 25));
  EXPECT_EQ(Find<TLabel>(form, "LabelVersion")->BoundsRect(), QRect(181, 0, 65, 25));
  auto* login = Find<TLabel>(form, "LabelLogin");
  auto* time = Find<TLabel>(form, "LabelTime");
  auto* edit = Find<TEdit>(form, "EditFile");
  EXPECT_GT(login->Width(), 40);  // sized to its text
  EXPECT_EQ(login->Left(), 0);
  EXPECT_EQ(time->BoundsRect(), QRect(146, 0, 100, 21));
  EXPECT_EQ(edit->BoundsRect(), QRect(login->Width(), 0, 146 - login->Width(), 21));
  EXPECT_EQ(Find<TComboBox>(form, "ComboBoxBit")->SelectedText(), "64 kbps");
  EXPECT_TRUE(Find<TCheckBox>(form, "CheckBoxMute")->Checked());
  EXPECT_FALSE(Find<TTimer>(form, "Timer1")->Enabled());
  auto* label = Find<TLabel>(form, "LabelTitle");
  EXPECT_GT(label->Width(), 20);  // auto-sized to its caption
  EXPECT_TRUE(Find<TButton>(form, "ButtonRefresh")->ShowHint());  // from the form
  // Designing: nothing shown, no windows made.
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_FALSE(form->Visible());

  // Written back, children stay nested inside their parents and read back the same.
  const QString text = WriteComponentText(form);
  const int panelAt = int(text.indexOf("object Panel1: TPanel"));
  const int buttonAt = int(text.indexOf("    object ButtonSelect: TButton"));
  const int statusAt = int(text.indexOf("object PanelStatus: TPanel"));
  ASSERT_GE(panelAt, 0);
  EXPECT_GT(buttonAt, panelAt);
  EXPECT_LT(buttonAt, statusAt);
  Owned<TComponent> again(ReadComponentText(text, "written.vfm", nullptr, nullptr, options));
  EXPECT_EQ(Find<TEdit>(again.get(), "EditFile")->BoundsRect(), edit->BoundsRect());
  EXPECT_EQ(Find<TLabel>(again.get(), "LabelTitle")->BoundsRect(), label->BoundsRect());
}

TEST(SampleWindow, PaintsHeadlessWithEveryControlInPlace)
{
  const QImage img = RenderDescriptionFile(kSample);
  // VELMORA_SAVE_RENDER=out.png keeps the picture for a look.
  if (!qEnvironmentVariableIsEmpty("VELMORA_SAVE_RENDER")) img.save(qEnvironmentVariable("VELMORA_SAVE_RENDER"));
  ASSERT_EQ(img.size(), QSize(246, 300));
  // Top panel without bevels: face between the buttons and the label.
  EXPECT_EQ(PixelAt(img, 100, 0), ColorToRGB(clBtnFace));
  EXPECT_EQ(PixelAt(img, 100, 12), ColorToRGB(clBtnFace));
  // Panel: lowered bevel at its top-left, shadow colour.
  EXPECT_EQ(PixelAt(img, 0, 25), ColorToRGB(clBtnShadow));
  EXPECT_EQ(PixelAt(img, 245, 278), ColorToRGB(clBtnHighlight));
  // Button at (8, 8) inside the panel: highlight corner, dark shadow at the bottom right, face inside.
  EXPECT_EQ(PixelAt(img, 8, 33), clWhite);
  EXPECT_EQ(PixelAt(img, 8 + 112, 33 + 24), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(PixelAt(img, 12, 37), ColorToRGB(clBtnFace));
  EXPECT_GT(CountNear(img, QRect(10, 35, 109, 21), clBlack, 200), 20);  // caption ink
  // Combo box: white field, face-coloured button at its right end.
  EXPECT_EQ(PixelAt(img, 196, 38), clWhite);
  EXPECT_EQ(PixelAt(img, 130 + 100 - 5, 35 + 3), ColorToRGB(clBtnFace));
  // Check box: white box with a black mark.
  EXPECT_EQ(PixelAt(img, 8 + 2, 25 + 44 + 4), clWhite);
  EXPECT_GT(CountColor(img, QRect(8 + 2, 25 + 44 + 2, 9, 9), clBlack), 6);
  // Bottom strip: read-only edit with a white field; the time label's text.
  EXPECT_EQ(PixelAt(img, 120, 279 + 2), clWhite);  // above the text
  EXPECT_GT(CountNear(img, QRect(150, 281, 92, 17), clBlack, 200), 20);
}

TEST(SampleWindow, RenderingABrokenOrNonWindowDescriptionFails)
{
  QTemporaryDir dir;
  const QString broken = dir.filePath("broken.vfm");
  WriteFile(broken, "object W: TForm\n  object B: TButton\n    Left = 'x'\n  end\nend\n");
  EXPECT_THROW(RenderDescriptionFile(broken), EReadError);
  const QString timer = dir.filePath("timer.vfm");
  WriteFile(timer, "object T: TTimer\nend\n");
  EXPECT_THROW(RenderDescriptionFile(timer), EInvalidOperation);
}

TEST(PlainControls, ButtonsClickAndEndModalStates)
{
  Owned<TForm> form(new TForm(nullptr));
  auto* b = new TButton(form.get());
  b->SetParent(form.get());
  int clicks = 0;
  b->SetOnClick([&](TObject*) { ++clicks; });
  b->SetModalResult(mrYes);
  b->SimulateClick();
  int key = VK_SPACE;
  b->Perform(WM_KEYDOWN, key);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(form->ModalResult(), mrYes);
  // The look while held: pushed in only with the mouse over it.
  b->Perform(CM_MOUSEENTER);
  b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(3, 3));
  EXPECT_TRUE(b->Down());
  b->Perform(CM_MOUSELEAVE);
  EXPECT_FALSE(b->Down());
}

TEST(PlainControls, CheckBoxAndCombo)
{
  Owned<TForm> form(new TForm(nullptr));
  auto* check = new TCheckBox(form.get());
  check->SetParent(form.get());
  int clicks = 0;
  check->SetOnClick([&](TObject*) { ++clicks; });
  check->SimulateClick();
  EXPECT_TRUE(check->Checked());
  check->SetChecked(true);  // same value: nothing
  check->SetChecked(false);
  EXPECT_EQ(clicks, 2);

  auto* combo = new TComboBox(form.get());
  combo->SetParent(form.get());
  combo->SetItems({"32 kbps", "64 kbps", "128 kbps"});
  int changes = 0;
  combo->SetOnChange([&](TObject*) { ++changes; });
  combo->SetItemIndex(7);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->SelectedText(), "");
  combo->Perform(WM_KEYDOWN, VK_DOWN);
  combo->Perform(WM_KEYDOWN, VK_DOWN);
  combo->Perform(WM_KEYDOWN, VK_END);
  combo->Perform(WM_KEYDOWN, VK_END);  // already last: no change
  EXPECT_EQ(combo->SelectedText(), "128 kbps");
  EXPECT_EQ(changes, 3);
  combo->SetItems({"only"});
  EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST(PlainControls, ImageListsTravelInDescriptionsWithTheirTransparency)
{
  Owned<TForm> form(new TForm(nullptr));
  form->SetName("Form1");
  auto* images = new TImageList(form.get());
  images->SetName("ImageList1");
  EXPECT_EQ(images->Width(), 16);
  images->AddImage(RedSquare());
  QImage blue(32, 16, QImage::Format_ARGB32);
  blue.fill(qRgb(0, 0, 255));
  EXPECT_EQ(images->AddImage(blue), 1);  // a strip adds one image per 16 columns
  const QString text = WriteComponentText(form.get());
  EXPECT_TRUE(text.contains("Bitmap = {")) << text.toStdString();
  Owned<TComponent> back(ReadComponentText(text, "images.vfm"));
  auto* read = Find<TImageList>(back.get(), "ImageList1");
  ASSERT_EQ(read->Count(), 3);
  EXPECT_EQ(read->Image(0).pixel(6, 6), qRgb(200, 0, 0));
  EXPECT_EQ(qAlpha(read->Image(0).pixel(0, 0)), 0);
  EXPECT_EQ(read->Image(1).pixel(0, 0), qRgb(0, 0, 255));
  TBitmap out;
  ASSERT_TRUE(read->GetBitmap(0, &out));
  EXPECT_EQ(out.Canvas()->Pixel(0, 0), clFuchsia);
  EXPECT_FALSE(read->GetBitmap(3, &out));
}

TEST(PlainControls, LabelsSizeToTheirText)
{
  Owned<TForm> form(new TForm(nullptr));
  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetCaption("short");
  const int shortWidth = label->Width();
  label->SetCaption("a much longer caption");
  EXPECT_GT(label->Width(), shortWidth);
  const int oneLine = label->Height();
  label->SetWordWrap(true);
  label->SetWidth(40);
  label->SetCaption("a much longer caption");
  label->AdjustBounds();
  EXPECT_EQ(label->Width(), 40);
  EXPECT_GT(label->Height(), oneLine);
  label->SetAutoSize(false);
  label->SetCaption("x");
  EXPECT_EQ(label->Width(), 40);
}

// Runs on a real X display (ctest's toolkit_visual_on_display under Xvfb).
TEST(SampleWindow, ShownOnTheScreenLooksLikeTheHeadlessPicture)
{
  if (TApplication::Headless()) GTEST_SKIP() << "no screen to take the pixels from";
  Owned<TComponent> root(ReadComponentFile(kSample));
  auto* form = qobject_cast<TForm*>(root.get());
  ASSERT_NE(form, nullptr);
  const QImage expected = RenderControlImage(form);
  form->Show();
  QWidget* w = form->Handle();
  ASSERT_TRUE(PumpUntil([&] { return w->windowHandle() && w->windowHandle()->isExposed(); }));
  QImage shown;
  // The window system may take a moment to put the pixels up.
  const bool same = PumpUntil([&] {
    shown = w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    return shown.size() == expected.size() && shown.pixel(8, 33) == expected.pixel(8, 33) &&
           shown.pixel(245, 299) == expected.pixel(245, 299);
  });
  if (!qEnvironmentVariableIsEmpty("VELMORA_SAVE_SCREEN")) shown.save(qEnvironmentVariable("VELMORA_SAVE_SCREEN"));
  ASSERT_TRUE(same) << QGuiApplication::platformName().toStdString();
  int differing = 0;
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      if (shown.pixel(x, y) != expected.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0);
  // The mouse over a graphic control gives its cursor.
  QWidget* panel = w->childAt(160, 80);
  ASSERT_NE(panel, nullptr);
  const QPoint at = panel->mapFrom(w, QPoint(160, 80));
  QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(panel->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(panel, &move);
  EXPECT_EQ(panel->cursor().shape(), Qt::PointingHandCursor);
}

TEST(PlainControls, EnterAndEscapeReachTheDefaultAndCancelButtons)
{
  Owned<TForm> form(new TForm(nullptr));
  auto* panel = new TPanel(form.get());
  panel->SetParent(form.get());
  auto* ok = new TButton(form.get());
  ok->SetParent(panel);
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto* cancel = new TButton(form.get());
  cancel->SetParent(panel);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->Perform(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(form->ModalResult(), mrOk);
  edit->Perform(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(form->ModalResult(), mrCancel);
  form->SetModalResult(mrNone);
  ok->SetEnabled(false);  // a disabled default button does not answer
  edit->Perform(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(form->ModalResult(), mrNone);
  // A key the control used itself does not reach the buttons.
  edit->SetOnKeyDown([](TObject*, int& key, TShiftState) { key = 0; });
  edit->Perform(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(form->ModalResult(), mrNone);
}

TEST(PlainControls, WhatAControlTakesFromItsParentIsNotStoredSoItStillFollowsAfterReading)
{
  const QString text = QStringLiteral("object Form1: TForm\n"
                                      "  ShowHint = True\n"
                                      "  Color = 255\n"
                                      "  object Panel1: TPanel\n"
                                      "    ParentColor = True\n"
                                      "  end\n"
                                      "end\n");
  Owned<TComponent> form(ReadComponentText(text, "inherit.vfm"));
  auto* panel = Find<TPanel>(form.get(), "Panel1");
  ASSERT_TRUE(panel->ShowHint());
  ASSERT_EQ(panel->Color(), TColor(255));
  const QString written = WriteComponentText(form.get());
  Owned<TComponent> again(ReadComponentText(written, "written.vfm"));
  EXPECT_EQ(WriteComponentText(again.get()), written);
  auto* form2 = qobject_cast<TForm*>(again.get());
  auto* panel2 = Find<TPanel>(again.get(), "Panel1");
  EXPECT_TRUE(panel2->ParentShowHint());
  EXPECT_TRUE(panel2->ParentColor());
  form2->SetShowHint(false);
  form2->SetColor(TColor(0xFF00));
  EXPECT_FALSE(panel2->ShowHint()) << written.toStdString();
  EXPECT_EQ(panel2->Color(), TColor(0xFF00));
}
