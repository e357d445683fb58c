// Skinned controls in window descriptions: read, written back, read again.
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"
#include "toolkit/form_reader.h"

#include <gtest/gtest.h>

using namespace skin_test;

namespace {

const char* kDescription = R"(object Window1: TForm
  ClientWidth = 246
  ClientHeight = 120
  object Bar1: TbsSkinToolBar
    Align = alTop
    Height = 25
    CanScroll = True
    ScrollOffset = 30
    object Tool1: TbsSkinSpeedButton
      Align = alLeft
      Width = 25
      Height = 25
      ImageIndex = 4
      Layout = blGlyphTop
      GroupIndex = 1
    end
    object Version1: TbsSkinStdLabel
      Align = alRight
      Width = 65
      AutoSize = False
      Caption = '版本 1.2.4'
    end
  end
  object Status1: TbsSkinStatusBar
    Height = 21
    object Field1: TbsSkinStatusPanel
      Align = alLeft
      AutoSize = True
      BorderStyle = bvLowered
      NumGlyphs = 2
      Caption = '网络版请登录：'
    end
    object Link1: TbsSkinLinkLabel
      Align = alClient
      DefaultActiveFontColor = clRed
      URL = 'http://www.velmora.example/'
      Caption = 'www.velmora.example'
    end
  end
  object Save1: TbsSkinButton
    Left = 8
    Top = 40
    Width = 113
    Height = 25
    Caption = '&Save'
    Default = True
    ModalResult = mrOk
    RepeatInterval = 250
    DefaultFont.Name = 'Tahoma'
  end
  object Panel1: TbsSkinPanel
    Left = 130
    Top = 40
    CaptionMode = True
    CheckedMode = True
    RollUpMode = True
    DefaultAlignment = taCenter
  end
end
)";

TEST(SkinDescriptions, ReadWriteReadKeepsEveryValue)
{
  RegisterClasses();
  Owned<TComponent> first(ReadComponentText(QString::fromUtf8(kDescription), "window.vfm", nullptr, nullptr,
                                            TReadOptions{.Designing = true}));
  auto* tool = qobject_cast<TbsSkinSpeedButton*>(first->FindComponent("Tool1"));
  ASSERT_NE(tool, nullptr);
  EXPECT_EQ(tool->Layout(), blGlyphTop);
  auto* field = qobject_cast<TbsSkinStatusPanel*>(first->FindComponent("Field1"));
  EXPECT_EQ(field->BorderStyle(), int(TbsSkinBorderStyle::bvLowered));
  EXPECT_EQ(qobject_cast<TbsSkinButton*>(first->FindComponent("Save1"))->ModalResult(), mrOk);
  EXPECT_EQ(qobject_cast<TbsSkinLinkLabel*>(first->FindComponent("Link1"))->DefaultActiveFontColor(), clRed);

  const QString written = WriteComponentText(first.get());
  Owned<TComponent> second(
      ReadComponentText(written, "written.vfm", nullptr, nullptr, TReadOptions{.Designing = true}));
  EXPECT_EQ(WriteComponentText(second.get()), written);
  EXPECT_TRUE(written.contains("BorderStyle = bvLowered")) << written.toStdString();
  EXPECT_TRUE(written.contains("Layout = blGlyphTop"));
  EXPECT_FALSE(written.contains("RealHeight")) << "the default is not written";
}

} // namespace
