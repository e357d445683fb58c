#include "skin/skin_definitions.h"

#include <gtest/gtest.h>

using namespace skin_values;

namespace {
// Gives every field a distinct value that differs from its default.
class DistinctValues : public TbsSkinFieldVisitor {
public:
  int n = 7;
  void Integer(const char*, int& v, int) override { v = n++; }
  void Color(const char*, int& v, int) override { v = 0x10000 * n++; }
  void Flag(const char*, bool& v, bool def) override { v = !def; }
  void Point(const char*, QPoint& v, QPoint) override { v = QPoint(n, n + 1), n += 2; }
  void Rect(const char*, QRect& v, QRect) override { v = SkinRect(n, n + 1, n + 12, n + 9), n += 3; }
  void String(const char*, QString& v, const QString&) override { v = QStringLiteral("s%1").arg(n++); }
  void FontStyle(const char*, int& v, int) override { v = kbsFontBold | kbsFontStrikeOut; }
  void Alignment(const char*, TbsAlignment& v, TbsAlignment) override { v = TbsAlignment::taRightJustify; }
  void MorphKind(const char*, TbsMorphKind& v, TbsMorphKind) override { v = TbsMorphKind::mkPush; }
  void InactiveEffect(const char*, TbsInactiveEffect& v, TbsInactiveEffect) override
  {
    v = TbsInactiveEffect::ieInvert;
  }
  void Command(const char*, TbsStdCommand& v, TbsStdCommand) override { v = TbsStdCommand::cmRollUp; }
};

QStringList Written(TbsDataSkinDefinition& d)
{
  TMemIniFile ini(QStringList{});
  d.WriteToIni(ini);
  return ini.Lines();
}

// Every kind of both lists, as (is a skin object, kind).
std::vector<std::pair<bool, QString>> EveryKind()
{
  std::vector<std::pair<bool, QString>> all;
  for (const QString& kind : SkinObjectKinds()) all.emplace_back(true, kind);
  for (const QString& kind : SkinControlKinds()) all.emplace_back(false, kind);
  return all;
}

std::unique_ptr<TbsDataSkinDefinition> Create(bool object, const QString& kind, const QString& name)
{
  if (object) return CreateSkinObject(kind, name);
  return CreateSkinControl(kind, name);
}
} // namespace

TEST(SkinValues, PointsAndRectsSkipEverythingButDigitsAndCommas)
{
  EXPECT_EQ(ParseRect("-5,3,10,20"), SkinRect(5, 3, 10, 20));
  EXPECT_EQ(ParseRect(" 1 , 2 ,3,4 "), SkinRect(1, 2, 3, 4));
  EXPECT_EQ(ParsePoint("10,30"), QPoint(10, 30));
  EXPECT_EQ(ParsePoint("1x2,a3"), QPoint(12, 3));
  // Extra components are ignored.
  EXPECT_EQ(ParsePoint("1,2,3"), QPoint(1, 2));
  EXPECT_EQ(ParseRect("1,2,3,4,5,,"), SkinRect(1, 2, 3, 4));
  // A component without digits is an error naming the value.
  for (const char* bad : {"", "1,,3,4", "1,2,3", "a,b,c,d", "1,2,3,-"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseRect(QString::fromLatin1(bad)), EConvertError);
  }
  EXPECT_THROW(ParsePoint("5"), EConvertError);
  EXPECT_THROW(ParsePoint("99999999999,1"), EConvertError);
  EXPECT_EQ(RectText(ParseRect("197,183,258,206")), "197,183,258,206");
  EXPECT_TRUE(ParseRect("10,0,5,20").isEmpty());
  EXPECT_TRUE(ParseRect("0,0,0,0").isEmpty());
}

TEST(SkinValues, NamedValuesAndTheirFallbacks)
{
  EXPECT_EQ(ParseFontStyle("fsbold,fsitalic"), kbsFontBold | kbsFontItalic);
  EXPECT_EQ(ParseFontStyle("FSBOLD"), 0);
  EXPECT_EQ(ParseFontStyle("xfsunderlinex fsstrikeout"), kbsFontUnderline | kbsFontStrikeOut);
  EXPECT_EQ(FontStyleText(kbsFontStrikeOut | kbsFontBold | kbsFontItalic), "fsbold,fsitalic,fsstrikeout");
  EXPECT_EQ(ParseAlignment("taright"), TbsAlignment::taRightJustify);
  EXPECT_EQ(ParseAlignment("taleftjustify"), TbsAlignment::taLeftJustify);
  EXPECT_EQ(ParseAlignment("TACENTER"), TbsAlignment::taRightJustify);
  EXPECT_EQ(ParseMorphKind("mkrightslide"), TbsMorphKind::mkRightSlide);
  EXPECT_EQ(ParseMorphKind("nonsense"), TbsMorphKind::mkDefault);
  EXPECT_EQ(ParseInactiveEffect("iedarkness"), TbsInactiveEffect::ieDarkness);
  EXPECT_EQ(ParseInactiveEffect("nonsense"), TbsInactiveEffect::ieGrayScale);
  EXPECT_EQ(ParseCommand("cmclose"), TbsStdCommand::cmClose);
  EXPECT_EQ(ParseCommand("cmsysmenu"), TbsStdCommand::cmSysMenu);
  EXPECT_EQ(ParseCommand("nonsense"), TbsStdCommand::cmMinimizeToTray);
  for (int k = 0; k <= 6; ++k) EXPECT_EQ(int(ParseMorphKind(MorphKindText(TbsMorphKind(k)))), k);
  for (int c = 0; c <= 6; ++c) EXPECT_EQ(int(ParseCommand(CommandText(TbsStdCommand(c)))), c);
  for (int e = 0; e <= 5; ++e) EXPECT_EQ(int(ParseInactiveEffect(InactiveEffectText(TbsInactiveEffect(e)))), e);
}

TEST(SkinDefinitions, KeysOfASectionReadWithTheirKinds)
{
  TMemIniFile ini(QStringList{"[statusbar]", "pictureindex=4", "skinrect=-197,183,258,206", "LeftTopPoint=10,12",
                              "righttoppoint=50,11", "clientrect=9,3,52,21", "alignment=taright", "fontheight=$C",
                              "fontstyle=fsbold,fsitalic", "fontcolor=16711680", "[anim]", "morphing=1",
                              "countframes=x", "[stretch]", "leftstretch=2", "topstretch=1", "bottomstretch=01"});
  auto panel = CreateSkinControl("panel", "statusbar");
  panel->ReadFromIni(ini);
  auto* p = dynamic_cast<TbsDataSkinPanelControl*>(panel.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->PictureIndex, 4);
  EXPECT_EQ(p->MaskPictureIndex, -1);
  EXPECT_EQ(p->SkinRect, SkinRect(197, 183, 258, 206));
  EXPECT_EQ(p->LTPoint, QPoint(10, 12));
  EXPECT_EQ(p->RTPoint, QPoint(50, 11));
  EXPECT_EQ(p->RBPoint, QPoint(0, 0));
  EXPECT_EQ(p->ClientRect, SkinRect(9, 3, 52, 21));
  EXPECT_EQ(p->BGPictureIndex, -1);
  EXPECT_EQ(p->Alignment, TbsAlignment::taRightJustify);
  EXPECT_EQ(p->FontName, "Arial");
  EXPECT_EQ(p->FontHeight, 12);
  EXPECT_EQ(p->FontStyle, kbsFontBold | kbsFontItalic);
  EXPECT_EQ(p->FontColor, 16711680);

  // Animations never morph; a bad integer gives the default.
  auto anim = CreateSkinObject("animate", "anim");
  anim->ReadFromIni(ini);
  auto* a = dynamic_cast<TbsDataSkinAnimate*>(anim.get());
  ASSERT_NE(a, nullptr);
  EXPECT_FALSE(a->Morphing);
  EXPECT_EQ(a->CountFrames, 1);
  EXPECT_EQ(a->TimerInterval, 50);
  EXPECT_EQ(a->Command, TbsStdCommand::cmDefault);

  // Flags are true only for the integer 1.
  TbsDataSkinPopupWindow popup;
  TMemIniFile stretch(QStringList{"[POPUPWINDOW]", "leftstretch=2", "topstretch=1", "bottomstretch=01"});
  popup.ReadFromIni(stretch);
  EXPECT_FALSE(popup.LeftStretch);
  EXPECT_TRUE(popup.TopStretch);
  EXPECT_TRUE(popup.BottomStretch);
  EXPECT_EQ(popup.WindowPictureIndex, -1);

  // An empty number inside a rect ends the read with the section and key named.
  TMemIniFile broken(QStringList{"[b]", "skinrect=1,,3,4"});
  auto button = CreateSkinControl("button", "b");
  try {
    button->ReadFromIni(broken);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_TRUE(e.Message().contains("[b] skinrect")) << e.what();
  }
}

TEST(SkinDefinitions, EveryClassWritesWhatItReads)
{
  for (const auto& [object, kind] : EveryKind()) {
    auto d = Create(object, kind, "def");
    ASSERT_NE(d, nullptr) << kind.toStdString();
    SCOPED_TRACE(d->ClassName());
    // Defaults: a fresh object and one read from a missing section agree.
    auto fromEmpty = Create(object, kind, "def");
    fromEmpty->ReadFromIni(TMemIniFile(QStringList{}));
    EXPECT_EQ(Written(*fromEmpty), Written(*d));

    // Non-default values survive a write and a read.
    DistinctValues values;
    d->VisitFields(values);
    TMemIniFile ini(QStringList{"[def]", "stale=1"});
    d->WriteToIni(ini);
    EXPECT_FALSE(ini.ValueExists("def", "stale"));  // the section is rewritten
    auto back = Create(object, kind, "def");
    back->ReadFromIni(ini);
    // Animations drop morphing and up-downs their corner points on reading.
    if (kind == "animate") {
      EXPECT_FALSE(dynamic_cast<TbsDataSkinAnimate&>(*back).Morphing);
      dynamic_cast<TbsDataSkinAnimate&>(*back).Morphing = true;
    }
    if (kind == "updown") {
      auto& u = dynamic_cast<TbsDataSkinUpDownControl&>(*back);
      const auto& orig = dynamic_cast<TbsDataSkinUpDownControl&>(*d);
      EXPECT_EQ(u.LTPoint, QPoint());
      u.LTPoint = orig.LTPoint, u.RTPoint = orig.RTPoint, u.LBPoint = orig.LBPoint, u.RBPoint = orig.RBPoint;
      u.ClientRect = orig.ClientRect;
    }
    EXPECT_EQ(Written(*back), ini.Lines());
  }
}

TEST(SkinDefinitions, ParentKeysComeFirstAndSpecialClassesKeepTheirRules)
{
  TbsDataSkinStdButton button("b");
  QStringList keys;
  for (const QString& line : Written(button).mid(1)) keys << line.section('=', 0, 0);
  EXPECT_EQ(keys, (QStringList{"hint", "activepictureindex", "skinrectinapicture", "skinrect", "activeskinrect",
                               "inactiveskinrect", "morphing", "morphkind", "downrect", "disableskinrsect", "command",
                               "restorerect", "restoreactiverect", "restoredownrect", "restoreinactiverect"}));

  TMemIniFile ini(QStringList{"[u]", "skinrect=1,2,3,4", "hint=ignored", "lefttoppoint=5,5", "clientrect=1,1,9,9",
                              "upbuttonrect=0,0,8,8", "[m]", "unenabledfontcolor=255"});
  TbsDataUserObject user("u");
  user.ReadFromIni(ini);
  EXPECT_EQ(user.SkinRect, SkinRect(1, 2, 3, 4));
  EXPECT_EQ(user.Hint, "");
  EXPECT_EQ(Written(user), (QStringList{"[u]", "skinrect=1,2,3,4"}));

  TbsDataSkinUpDownControl updown("u");
  updown.ReadFromIni(ini);
  EXPECT_EQ(updown.LTPoint, QPoint());
  EXPECT_TRUE(updown.ClientRect.isEmpty());
  EXPECT_EQ(updown.UpButtonRect, SkinRect(0, 0, 8, 8));

  // The menu-bar item's key is spelled unenabledfontColor; keys ignore case.
  TbsDataSkinMainMenuBarItem item("m");
  item.ReadFromIni(ini);
  EXPECT_EQ(item.UnEnabledFontColor, 255);
  EXPECT_TRUE(Written(item).contains("unenabledfontColor=255"));

  // Kinds are matched exactly.
  EXPECT_EQ(CreateSkinControl("Button", "x"), nullptr);
  EXPECT_EQ(CreateSkinObject("panel", "x"), nullptr);
  EXPECT_NE(dynamic_cast<TbsDataSkinButton*>(CreateSkinObject("button", "x").get()), nullptr);
  EXPECT_NE(dynamic_cast<TbsDataSkinButtonControl*>(CreateSkinControl("button", "x").get()), nullptr);
  EXPECT_EQ(SkinObjectKinds().size(), 8);
  EXPECT_EQ(SkinControlKinds().size(), 28);
}
