#include "sample_components.h"
#include "toolkit/form_reader.h"

#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const char* kSample = R"(object Form1: TSampleForm
  Caption = '录音 ''测试'''#13#10'line'
  Width = $F6
  DeviceId = invalidID
  Icons = [biSystemMenu, biMaximize]
  Align = alClient
  Font.Name = 'Arial'
  Font.Height = 14
  Ratio = 2.25
  // a comment
  object Panel1: TSampleWidget
    Align = alTop
    Buddy = Button2
    object Button1: TSampleWidget
      OnClick = buttonclick
      Lines = ('a' 'b''c' '')
      Data = {00FF 10
              ab}
    end
  end
  object Button2: TSampleWidget
    Visible = False
    Color = 4294967295
    DeviceId = -5
  end
end
)";

class FormReaderTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterSampleClasses(); }

  static QString ErrorOf(const QString& text)
  {
    try {
      TComponent* root = ReadComponentText(text, "test.vfm");
      TComponent::Free(root);
    } catch (const EReadError& e) {
      return e.Message();
    }
    return "no error";
  }
};

TEST_F(FormReaderTest, ReadsEveryKindOfValue)
{
  auto* form = qobject_cast<TSampleForm*>(ReadComponentText(QString::fromUtf8(kSample), "sample.vfm"));
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->Name(), "Form1");
  EXPECT_EQ(form->Caption(), QString::fromUtf8("录音 '测试'\r\nline"));
  EXPECT_EQ(form->Width(), 246);
  EXPECT_EQ(form->DeviceId(), -2);
  EXPECT_EQ(form->Icons(), TSampleWidget::biSystemMenu | TSampleWidget::biMaximize);
  EXPECT_EQ(form->Align(), TSampleWidget::alClient);
  EXPECT_EQ(form->Font()->Name(), "Arial");
  EXPECT_EQ(form->Font()->Height(), 14);
  EXPECT_DOUBLE_EQ(form->Ratio(), 2.25);
  ASSERT_EQ(form->ComponentCount(), 3);
  EXPECT_EQ(CountComponents(form), 4);

  auto* panel = qobject_cast<TSampleWidget*>(form->FindComponent("Panel1"));
  auto* button1 = qobject_cast<TSampleWidget*>(form->FindComponent("Button1"));
  auto* button2 = qobject_cast<TSampleWidget*>(form->FindComponent("Button2"));
  ASSERT_TRUE(panel && button1 && button2);
  EXPECT_EQ(panel->GetParentComponent(), form);
  EXPECT_EQ(button1->GetParentComponent(), panel);
  EXPECT_EQ(button1->Owner(), form);  // the root owns every component
  EXPECT_EQ(panel->Buddy(), button2);  // forward reference linked after all exist
  EXPECT_EQ(button1->Lines(), (QStringList{"a", "b'c", ""}));
  EXPECT_EQ(button1->Data(), QByteArray::fromHex("00FF10AB"));
  EXPECT_FALSE(button2->Visible());
  EXPECT_EQ(button2->Color(), 0xFFFFFFFFu);
  EXPECT_EQ(button2->DeviceId(), -5);

  button1->Click();
  EXPECT_EQ(form->clicks, QStringList{"Button1"});
  TComponent::Free(form);
}

TEST_F(FormReaderTest, LoadedRunsAfterEveryComponentExistsAndIsLinked)
{
  auto* form = ReadComponentText(QString::fromUtf8(kSample), "sample.vfm");
  auto* panel = qobject_cast<TSampleWidget*>(form->FindComponent("Panel1"));
  EXPECT_TRUE(panel->loadingSeenInLoaded);  // still loading when Loaded starts
  EXPECT_FALSE(panel->IsLoading());         // and not after
  EXPECT_EQ(panel->buddyAtLoaded, form->FindComponent("Button2"));
  EXPECT_EQ(panel->log.count("Loaded"), 1);
  EXPECT_FALSE(form->IsLoading());
  TComponent::Free(form);
}

TEST_F(FormReaderTest, WriteThenReadGivesTheSameTree)
{
  TComponent* first = ReadComponentText(QString::fromUtf8(kSample), "sample.vfm");
  const QString written = WriteComponentText(first);
  // Defaults are left out, named values and sets written by name.
  EXPECT_FALSE(written.contains("Visible = True"));
  EXPECT_TRUE(written.contains("DeviceId = InvalidId")) << written.toStdString();
  EXPECT_TRUE(written.contains("Icons = [biSystemMenu, biMaximize]"));
  EXPECT_TRUE(written.contains("OnClick = ButtonClick"));
  EXPECT_TRUE(written.contains("Font.Name = 'Arial'")) << written.toStdString();
  EXPECT_TRUE(written.contains("Data = {}"));  // always stored, even when empty

  TComponent* second = ReadComponentText(written, "written.vfm");
  EXPECT_EQ(WriteComponentText(second), written);
  auto* b1 = qobject_cast<TSampleWidget*>(second->FindComponent("Button1"));
  ASSERT_NE(b1, nullptr);
  EXPECT_EQ(b1->GetParentComponent(), second->FindComponent("Panel1"));
  EXPECT_EQ(b1->Data(), QByteArray::fromHex("00FF10AB"));
  TComponent::Free(first);
  TComponent::Free(second);
}

TEST_F(FormReaderTest, LargeBinaryRoundTrip)
{
  TSampleForm form(nullptr);
  form.SetName("F");
  QByteArray blob(18000, '\0');
  for (int i = 0; i < blob.size(); ++i) blob[i] = char(i * 7 + i / 256);
  form.SetData(blob);
  TComponent* back = ReadComponentText(WriteComponentText(&form), "blob.vfm");
  EXPECT_EQ(qobject_cast<TSampleWidget*>(back)->Data(), blob);
  TComponent::Free(back);
}

TEST_F(FormReaderTest, ReadsIntoAGivenRoot)
{
  TSampleForm form(nullptr);
  ReadComponentText(QString::fromUtf8(kSample), "sample.vfm", &form);
  EXPECT_EQ(form.Name(), "Form1");
  EXPECT_EQ(form.ComponentCount(), 3);
  // The description must be of the root's class.
  TSampleForm other(nullptr);
  try {
    ReadComponentText("object X: TFailingLoad\nend\n", "x.vfm", &other);
    FAIL() << "class mismatch accepted";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Line(), 1);
  }
}

TEST_F(FormReaderTest, EveryBadInputNamesFileAndLine)
{
  struct Case {
    const char* Text;
    const char* Expected;
  } cases[] = {
      {"object F: TNoSuch\nend\n", "test.vfm:1: unknown class TNoSuch"},
      {"object F: TSampleForm\n  Nope = 1\nend\n", "test.vfm:2: unknown property Nope of TSampleForm"},
      {"object F: TSampleForm\n  Font.Nope = 1\nend\n", "test.vfm:2: unknown property Font.Nope of TSampleForm"},
      {"object F: TSampleForm\n  Width = 'x'\nend\n", "test.vfm:2: property Width expects an integer, not a string"},
      {"object F: TSampleForm\n  Visible = 1\nend\n", "test.vfm:2: property Visible expects True or False, not an integer"},
      {"object F: TSampleForm\n  Align = alNowhere\nend\n", "test.vfm:2: alNowhere is not a value of TSampleAlign"},
      {"object F: TSampleForm\n  Icons = [biNone]\nend\n", "test.vfm:2: biNone is not an element of TSampleIcons"},
      {"object F: TSampleForm\n  Width = 99999999999\nend\n", "test.vfm:2: value 99999999999 is out of range for Width"},
      {"object F: TSampleForm\n  DeviceId = Mapper\nend\n", "test.vfm:2: Mapper is not a named value of DeviceId"},
      {"object F: TSampleForm\n\n  Buddy = Ghost\nend\n", "test.vfm:3: unresolved reference Ghost in Buddy"},
      {"object F: TSampleForm\n  object G: TFailingLoad\n  end\n  Buddy = G\nend\n",
       "test.vfm:4: G is a TFailingLoad, but Buddy needs a TSampleWidget"},
      {"object F: TSampleForm\n  OnClick = Missing\nend\n", "test.vfm:2: unknown method Missing of TSampleForm for OnClick"},
      {"object F: TSampleForm\n  OnClick = WrongHandler\nend\n",
       "test.vfm:2: method WrongHandler does not take the parameters of OnClick"},
      {"object F: TSampleForm\n  object A: TSampleWidget\n  end\n", "test.vfm:1: object \"F\" is not terminated: expected \"end\""},
      {"object F: TSampleForm\n  Caption = 'open\nend\n", "test.vfm:2: string is not terminated"},
      {"object F: TSampleForm\n  Data = {12 3G}\nend\n", "test.vfm:2: binary data is not hexadecimal: \"G\""},
      {"object F: TSampleForm\n  Data = {123}\nend\n", "test.vfm:2: binary data has an odd number of hex digits"},
      {"object F: TSampleForm\n  Data = {1234\n", "test.vfm:2: binary data is not terminated: expected \"}\""},
      {"object F: TSampleForm\n  object A: TSampleWidget\n  end\n  object a: TSampleWidget\n  end\nend\n",
       "test.vfm:4: A component named a already exists"},
      {"object F: TSampleForm\n  Limited = -1\nend\n", "test.vfm:2: Limited: Limited must not be negative"},
      {"object F: TSampleForm\nend\nend\n", "test.vfm:3: unexpected text after the final \"end\""},
      {"", "test.vfm:1: empty description: expected \"object\""},
      {"object F TSampleForm\nend\n", "test.vfm:1: expected \":\", found \"T\""},
      {"object F: TSampleForm\n  Width 3\nend\n", "test.vfm:2: expected \"=\", found \"3\""},
      {"object F: TSampleForm\n  Lines = ('a' 3)\nend\n", "test.vfm:2: list Lines holds an integer, expected strings"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(QString::fromUtf8(c.Text)), QString::fromUtf8(c.Expected)) << c.Text;
}

TEST_F(FormReaderTest, AHalfReadWindowIsFreedCompletely)
{
  // Components created before the error are gone, the given root survives clean.
  TSampleForm form(nullptr);
  const int before = TFailingLoad::alive;
  EXPECT_THROW(ReadComponentText("object F: TSampleForm\n  object A: TFailingLoad\n  end\n"
                                 "  object B: TSampleWidget\n    Width = 'bad'\n  end\nend\n",
                                 "t.vfm", &form),
               EReadError);
  EXPECT_EQ(TFailingLoad::alive, before);
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_FALSE(form.IsLoading());
  EXPECT_FALSE(form.log.contains("Loaded")) << "a half-read window's own deferred work must not run";

  // Deferred work failing in a child: the window's own Loaded (its OnCreate) is skipped too.
  EXPECT_THROW(ReadComponentText("object F: TSampleForm\n  object A: TFailingLoad\n  end\nend\n", "t.vfm", &form),
               Exception);
  EXPECT_FALSE(form.log.contains("Loaded"));
  EXPECT_EQ(form.ComponentCount(), 0);

  // A root created by the reader is freed too (nothing leaks: run under ASan).
  EXPECT_THROW(ReadComponentText("object F: TSampleForm\n  object A: TFailingLoad\n  end\n  Nope = 1\nend\n", "t.vfm"),
               EReadError);
  EXPECT_EQ(TFailingLoad::alive, before);
}

TEST_F(FormReaderTest, DeferredWorkFailureEscapesWithItsOwnMessage)
{
  const QString text = "object F: TSampleForm\n  object Mixer1: TFailingLoad\n  end\nend\n";
  const int before = TFailingLoad::alive;
  try {
    ReadComponentText(text, "t.vfm");
    FAIL() << "Loaded failure swallowed";
  } catch (const EReadError&) {
    FAIL() << "a failure of deferred work is not a syntax error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Device not valid");
  }
  EXPECT_EQ(TFailingLoad::alive, before);

  // Designing (for checks and tools) skips the deferred device work.
  TComponent* root = ReadComponentText(text, "t.vfm", nullptr, nullptr, TReadOptions{.Designing = true});
  EXPECT_TRUE(root->FindComponent("Mixer1")->IsDesigning());
  TComponent::Free(root);
}

TEST_F(FormReaderTest, ReadsFilesAndReportsMissingOnes)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("f.vfm");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(kSample);
  f.close();
  TComponent* root = ReadComponentFile(path);
  EXPECT_EQ(root->Name(), "Form1");
  TComponent::Free(root);
  EXPECT_THROW(ReadComponentFile(dir.filePath("missing.vfm")), EReadError);
}

} // namespace
