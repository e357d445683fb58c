// The skin definition: the INI document at the end of a stored skin. Every
// list entry becomes one definition object whose fields are named after the
// keys (CamelCase: key "lefttoppoint" is field LeftTopPoint).
//
// Value kinds: integers and colours (0x00BBGGRR as decimal) as the INI reader
// reads them; flags are true only for the integer 1; points and rects are
// digit runs separated by commas (other characters skipped, so never
// negative; a component without digits raises EConvertError); rects are
// QRects built from left, top, right, bottom with right and bottom exclusive:
// use x() + width() for the exclusive right, and isEmpty() is the
// "width or height not positive" test.
#pragma once

#include "toolkit/exceptions.h"
#include "toolkit/ini_file.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <memory>

using TbsInteger = int;
using TbsColor = int;
using TbsFlag = bool;
using TbsPoint = QPoint;
using TbsRect = QRect;
using TbsString = QString;
// Font style bits (substrings "fsbold", "fsitalic", "fsunderline", "fsstrikeout").
using TbsFontStyle = int;
constexpr int kbsFontBold = 1, kbsFontItalic = 2, kbsFontUnderline = 4, kbsFontStrikeOut = 8;

enum class TbsAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TbsMorphKind { mkDefault, mkGradient, mkLeftGradient, mkRightGradient, mkLeftSlide, mkRightSlide, mkPush };
enum class TbsInactiveEffect { ieBrightness, ieDarkness, ieGrayScale, ieNoise, ieSplitBlur, ieInvert };
enum class TbsStdCommand { cmClose, cmMaximize, cmMinimize, cmSysMenu, cmDefault, cmRollUp, cmMinimizeToTray };

// Builds a rect from its four edges (right and bottom exclusive).
inline QRect SkinRect(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// Value syntax, shared by readers, writers and tools.
namespace skin_values {
QPoint ParsePoint(const QString& text);  // EConvertError on a component without digits
QRect ParseRect(const QString& text);
QString PointText(QPoint p);
QString RectText(const QRect& r);
TbsFontStyle ParseFontStyle(const QString& text);
QString FontStyleText(TbsFontStyle style);
TbsAlignment ParseAlignment(const QString& text);
QString AlignmentText(TbsAlignment a);
TbsMorphKind ParseMorphKind(const QString& text);
QString MorphKindText(TbsMorphKind k);
TbsInactiveEffect ParseInactiveEffect(const QString& text);
QString InactiveEffectText(TbsInactiveEffect e);
TbsStdCommand ParseCommand(const QString& text);
QString CommandText(TbsStdCommand c);
// Name list: KEYcount, then keys 0..count-1. Counts beyond `limit` raise ESkinDataError.
QStringList ReadNameList(const TCustomIniFile& ini, const QString& section, const QString& stem, int limit);
void WriteNameList(TCustomIniFile& ini, const QString& section, const QString& stem, const QStringList& names);
} // namespace skin_values

VELMORA_EXCEPTION(ESkinDataError, Exception);  // a stored skin that breaks a limit or the container format

// Visits the fields of a definition in reading order with their keys and defaults.
class TbsSkinFieldVisitor {
public:
  virtual ~TbsSkinFieldVisitor() = default;
  virtual void Integer(const char* key, int& value, int def) = 0;
  virtual void Color(const char* key, int& value, int def) = 0;
  virtual void Flag(const char* key, bool& value, bool def) = 0;
  virtual void Point(const char* key, QPoint& value, QPoint def) = 0;
  virtual void Rect(const char* key, QRect& value, QRect def) = 0;
  virtual void String(const char* key, QString& value, const QString& def) = 0;
  virtual void FontStyle(const char* key, int& value, int def) = 0;
  virtual void Alignment(const char* key, TbsAlignment& value, TbsAlignment def) = 0;
  virtual void MorphKind(const char* key, TbsMorphKind& value, TbsMorphKind def) = 0;
  virtual void InactiveEffect(const char* key, TbsInactiveEffect& value, TbsInactiveEffect def) = 0;
  virtual void Command(const char* key, TbsStdCommand& value, TbsStdCommand def) = 0;
};

// A set of keys read from one section.
class TbsSkinFieldSet {
public:
  virtual ~TbsSkinFieldSet() = default;
  virtual void VisitFields(TbsSkinFieldVisitor&) {}
  virtual const char* ClassName() const = 0;
  // Reads every key of `section` (a missing key gives its default).
  void ReadSection(const TCustomIniFile& ini, const QString& section);
  // Erases `section`, then writes every key in reading order.
  void WriteSection(TCustomIniFile& ini, const QString& section);
};

using TbsTypeInteger = int;
using TbsTypeColor = int;
using TbsTypeFlag = bool;
using TbsTypePoint = QPoint;
using TbsTypeRect = QRect;
using TbsTypeString = QString;
using TbsTypeFontStyle = int;
using TbsTypeAlignment = TbsAlignment;
using TbsTypeMorphKind = TbsMorphKind;
using TbsTypeInactiveEffect = TbsInactiveEffect;
using TbsTypeCommand = TbsStdCommand;

#define BS_FIELD_DECLARE(kind, member, key, def) TbsType##kind member = def;
#define BS_FIELD_VISIT(kind, member, key, def) v.kind(key, member, def);

// A definition class: its fields, declared with their defaults, and visited
// after the parent's.
#define BS_DEFINITION_CLASS(Class, Parent, FIELDS)                              \
  class Class : public Parent {                                                \
  public:                                                                      \
    using Parent::Parent;                                                      \
    FIELDS(BS_FIELD_DECLARE)                                                   \
    void VisitFields(TbsSkinFieldVisitor& v) override                          \
    {                                                                          \
      Parent::VisitFields(v);                                                  \
      FIELDS(BS_FIELD_VISIT)                                                   \
    }                                                                          \
    const char* ClassName() const override { return #Class; }                  \
  };

#define BS_NO_FIELDS(F)

#define BS_ARIAL QStringLiteral("Arial")
#define BS_CENTER TbsAlignment::taCenter
#define BS_MK TbsMorphKind::mkDefault
#define BS_CMD TbsStdCommand::cmDefault

// The font of a text ("caption" gives CaptionFontName from "captionfontname"
// and so on; BS_FONT_FIELDS the plain FontName from "fontname"), and a
// text's place, font and hot colour.
#define BS_NAMED_FONT_FIELDS(F, Name, key)                                     \
  F(String, Name##FontName, key "fontname", BS_ARIAL)                          \
  F(Integer, Name##FontHeight, key "fontheight", 14)                           \
  F(FontStyle, Name##FontStyle, key "fontstyle", 0)                            \
  F(Color, Name##FontColor, key "fontcolor", 0)
#define BS_FONT_FIELDS(F) BS_NAMED_FONT_FIELDS(F, , "")
// A frame button's pictures: normal, hot, pressed ("closebutton" gives
// CloseButtonRect from "closebuttonrect" and so on).
#define BS_BUTTON_STATE_RECTS(F, Name, key)                                    \
  F(Rect, Name##Rect, key "rect", QRect())                                     \
  F(Rect, Name##ActiveRect, key "activerect", QRect())                         \
  F(Rect, Name##DownRect, key "downrect", QRect())
#define BS_TEXT_FIELDS(F)                                                      \
  F(Rect, TextRect, "textrect", QRect())                                       \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 0)

// ------------------------------------------------------------------ named definitions

// A definition of either list: its name is also its section.
class TbsDataSkinDefinition : public TbsSkinFieldSet {
public:
  explicit TbsDataSkinDefinition(QString name) : IDName(std::move(name)) {}
  QString IDName;   // the entry's name, also the section it is read from
  QString Kind;     // the entry's kind ("button", ...) when created from a list
  virtual void ReadFromIni(const TCustomIniFile& ini) { ReadSection(ini, IDName); }
  virtual void WriteToIni(TCustomIniFile& ini) { WriteSection(ini, IDName); }
};

// ------------------------------------------------------------------ skin objects

#define BS_OBJECT_FIELDS(F)                                                    \
  F(String, Hint, "hint", QString())                                           \
  F(Integer, ActivePictureIndex, "activepictureindex", -1)                     \
  F(Flag, SkinRectInAPicture, "skinrectinapicture", false)                     \
  F(Rect, SkinRect, "skinrect", QRect())                                       \
  F(Rect, ActiveSkinRect, "activeskinrect", QRect())                           \
  F(Rect, InActiveSkinRect, "inactiveskinrect", QRect())                       \
  F(Flag, Morphing, "morphing", false)                                         \
  F(MorphKind, MorphKind, "morphkind", BS_MK)
BS_DEFINITION_CLASS(TbsDataSkinObject, TbsDataSkinDefinition, BS_OBJECT_FIELDS)

#define BS_MENUITEM_FIELDS(F)                                                  \
  F(Integer, ItemLeftOffset, "itemleftoffset", 0)                              \
  F(Integer, ItemRightOffset, "itemrightoffset", 0)                            \
  F(Rect, DividerRect, "dividerrect", QRect())                                 \
  F(Integer, DividerLeftOffset, "dividerleftoffset", 0)                        \
  F(Integer, DividerRightOffset, "dividerrightoffset", 0)                      \
  BS_TEXT_FIELDS(F)                                                            \
  F(Color, UnEnabledFontColor, "unenabledfontcolor", 0)
BS_DEFINITION_CLASS(TbsDataSkinMenuItem, TbsDataSkinObject, BS_MENUITEM_FIELDS)

#define BS_MAINMENUITEM_FIELDS(F)                                              \
  F(Integer, ItemLeftOffset, "itemleftoffset", 0)                              \
  F(Integer, ItemRightOffset, "itemrightoffset", 0)                            \
  F(Rect, DownRect, "downrect", QRect())                                       \
  BS_TEXT_FIELDS(F)                                                            \
  F(Color, DownFontColor, "downfontcolor", 0)                                  \
  F(Color, UnEnabledFontColor, "unenabledfontColor", 0)
BS_DEFINITION_CLASS(TbsDataSkinMainMenuItem, TbsDataSkinObject, BS_MAINMENUITEM_FIELDS)
BS_DEFINITION_CLASS(TbsDataSkinMainMenuBarItem, TbsDataSkinMainMenuItem, BS_NO_FIELDS)

#define BS_BUTTON_FIELDS(F)                                                    \
  F(Rect, DownRect, "downrect", QRect())                                       \
  F(Rect, DisableSkinRect, "disableskinrsect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinButton, TbsDataSkinObject, BS_BUTTON_FIELDS)

#define BS_STDBUTTON_FIELDS(F)                                                 \
  F(Command, Command, "command", BS_CMD)                                       \
  F(Rect, RestoreRect, "restorerect", QRect())                                 \
  F(Rect, RestoreActiveRect, "restoreactiverect", QRect())                     \
  F(Rect, RestoreDownRect, "restoredownrect", QRect())                         \
  F(Rect, RestoreInActiveRect, "restoreinactiverect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinStdButton, TbsDataSkinButton, BS_STDBUTTON_FIELDS)
BS_DEFINITION_CLASS(TbsDataSkinMainMenuBarButton, TbsDataSkinStdButton, BS_NO_FIELDS)

#define BS_CAPTION_FIELDS(F)                                                   \
  BS_TEXT_FIELDS(F)                                                            \
  F(Alignment, Alignment, "alignment", BS_CENTER)                              \
  F(Flag, Shadow, "shadow", false)                                             \
  F(Color, ShadowColor, "shadowcolor", 0)                                      \
  F(Color, ActiveShadowColor, "activeshadowcolor", 0)                          \
  F(Rect, FrameRect, "framerect", QRect())                                     \
  F(Rect, ActiveFrameRect, "activeframerect", QRect())                         \
  F(Rect, FrameTextRect, "frametextrect", QRect())                             \
  F(Integer, FrameLeftOffset, "frameleftoffset", 0)                            \
  F(Integer, FrameRightOffset, "framerightoffset", 0)
BS_DEFINITION_CLASS(TbsDataSkinCaption, TbsDataSkinObject, BS_CAPTION_FIELDS)

#define BS_ANIMATE_FIELDS(F)                                                   \
  F(Integer, CountFrames, "countframes", 1)                                    \
  F(Flag, Cycle, "cycle", false)                                               \
  F(Flag, ButtonStyle, "buttonstyle", false)                                   \
  F(Integer, TimerInterval, "timerinterval", 50)                               \
  F(Command, Command, "command", BS_CMD)
class TbsDataSkinAnimateBase : public TbsDataSkinObject {
public:
  using TbsDataSkinObject::TbsDataSkinObject;
  // An animation never morphs, whatever its section says.
  void ReadFromIni(const TCustomIniFile& ini) override
  {
    TbsDataSkinObject::ReadFromIni(ini);
    Morphing = false;
  }
};
BS_DEFINITION_CLASS(TbsDataSkinAnimate, TbsDataSkinAnimateBase, BS_ANIMATE_FIELDS)

// A user object reads its skin rectangle only.
class TbsDataUserObject : public TbsDataSkinObject {
public:
  using TbsDataSkinObject::TbsDataSkinObject;
  void VisitFields(TbsSkinFieldVisitor& v) override { v.Rect("skinrect", SkinRect, QRect()); }
  const char* ClassName() const override { return "TbsDataUserObject"; }
};

// ------------------------------------------------------------------ control definitions

#define BS_CONTROL_FIELDS(F)                                                   \
  F(Integer, PictureIndex, "pictureindex", -1)                                 \
  F(Integer, MaskPictureIndex, "maskpictureindex", -1)                         \
  F(Rect, SkinRect, "skinrect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinControl, TbsDataSkinDefinition, BS_CONTROL_FIELDS)

#define BS_CORNER_FIELDS(F)                                                    \
  F(Point, LTPoint, "lefttoppoint", QPoint())                                  \
  F(Point, RTPoint, "righttoppoint", QPoint())                                 \
  F(Point, LBPoint, "leftbottompoint", QPoint())                               \
  F(Point, RBPoint, "rightbottompoint", QPoint())
#define BS_CUSTOM_FIELDS(F)                                                    \
  BS_CORNER_FIELDS(F)                                                          \
  F(Rect, ClientRect, "clientrect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinCustomControl, TbsDataSkinControl, BS_CUSTOM_FIELDS)

#define BS_PANEL_FIELDS(F)                                                     \
  F(Integer, BGPictureIndex, "bgpictureindex", -1)                             \
  F(Rect, CaptionRect, "captionrect", QRect())                                 \
  F(Alignment, Alignment, "alignment", BS_CENTER)                              \
  BS_FONT_FIELDS(F)                                                            \
  F(Rect, CheckImageRect, "checkimagerect", QRect())                           \
  F(Rect, UnCheckImageRect, "uncheckimagerect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinPanelControl, TbsDataSkinCustomControl, BS_PANEL_FIELDS)

#define BS_EXPANEL_FIELDS(F)                                                   \
  F(Rect, RollHSkinRect, "rollhskinrect", QRect())                             \
  F(Rect, RollVSkinRect, "rollvskinrect", QRect())                             \
  F(Integer, RollLeftOffset, "rollleftoffset", 0)                              \
  F(Integer, RollRightOffset, "rollrightoffset", 0)                            \
  F(Integer, RollTopOffset, "rolltopoffset", 0)                                \
  F(Integer, RollBottomOffset, "rollbottomoffset", 0)                          \
  F(Rect, RollVCaptionRect, "rollvcaptionrect", QRect())                       \
  F(Rect, RollHCaptionRect, "rollhcaptionrect", QRect())                       \
  BS_BUTTON_STATE_RECTS(F, CloseButton, "closebutton")                         \
  BS_BUTTON_STATE_RECTS(F, HRollButton, "hrollbutton")                         \
  BS_BUTTON_STATE_RECTS(F, HRestoreButton, "hrestorebutton")                   \
  BS_BUTTON_STATE_RECTS(F, VRollButton, "vrollbutton")                         \
  BS_BUTTON_STATE_RECTS(F, VRestoreButton, "vrestorebutton")                   \
  F(Rect, CaptionRect, "captionrect", QRect())                                 \
  BS_FONT_FIELDS(F)
BS_DEFINITION_CLASS(TbsDataSkinExPanelControl, TbsDataSkinCustomControl, BS_EXPANEL_FIELDS)

#define BS_BUTTONCONTROL_FIELDS(F)                                             \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 0)                              \
  F(Color, DownFontColor, "downfontcolor", 0)                                  \
  F(Color, DisabledFontColor, "disabledfontcolor", 0)                          \
  F(Rect, ActiveSkinRect, "activeskinrect", QRect())                           \
  F(Rect, DownSkinRect, "downskinrect", QRect())                               \
  F(Rect, DisabledSkinRect, "disabledskinrect", QRect())                       \
  F(Flag, Morphing, "morphing", false)                                         \
  F(MorphKind, MorphKind, "morphkind", BS_MK)
BS_DEFINITION_CLASS(TbsDataSkinButtonControl, TbsDataSkinCustomControl, BS_BUTTONCONTROL_FIELDS)

#define BS_MENUBUTTON_FIELDS(F) F(Rect, TrackButtonRect, "trackbuttonrect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinMenuButtonControl, TbsDataSkinButtonControl, BS_MENUBUTTON_FIELDS)

#define BS_CHECKRADIO_FIELDS(F)                                                \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 0)                              \
  F(Color, UnEnabledFontColor, "unenabledfontcolor", 0)                        \
  F(Color, FrameFontColor, "framefontcolor", 0)                                \
  F(Rect, ActiveSkinRect, "activeskinrect", QRect())                           \
  F(Rect, CheckImageArea, "checkimagearea", QRect())                           \
  F(Rect, TextArea, "textarea", QRect())                                       \
  F(Rect, CheckImageRect, "checkimagerect", QRect())                           \
  F(Rect, UnCheckImageRect, "uncheckimagerect", QRect())                       \
  F(Rect, ActiveCheckImageRect, "activecheckimagerect", QRect())               \
  F(Rect, ActiveUnCheckImageRect, "activeuncheckimagerect", QRect())           \
  F(Rect, UnEnabledCheckImageRect, "unenabledcheckimagerect", QRect())         \
  F(Rect, UnEnabledUnCheckImageRect, "unenableduncheckimagerect", QRect())     \
  F(Flag, Morphing, "morphing", false)                                         \
  F(MorphKind, MorphKind, "morphkind", BS_MK)
BS_DEFINITION_CLASS(TbsDataSkinCheckRadioControl, TbsDataSkinCustomControl, BS_CHECKRADIO_FIELDS)

#define BS_GAUGE_FIELDS(F)                                                     \
  F(Rect, ProgressArea, "progressarea", QRect())                               \
  F(Rect, ProgressRect, "progressrect", QRect())                               \
  F(Integer, BeginOffset, "beginoffset", 0)                                    \
  F(Integer, EndOffset, "endoffset", 0)                                        \
  F(Flag, Vertical, "vertical", false)                                         \
  BS_FONT_FIELDS(F)
BS_DEFINITION_CLASS(TbsDataSkinGaugeControl, TbsDataSkinCustomControl, BS_GAUGE_FIELDS)

BS_DEFINITION_CLASS(TbsDataSkinSplitterControl, TbsDataSkinCustomControl, BS_NO_FIELDS)

#define BS_TRACKBAR_FIELDS(F)                                                  \
  F(Rect, TrackArea, "trackarea", QRect())                                     \
  F(Rect, ButtonRect, "buttonrect", QRect())                                   \
  F(Rect, ActiveButtonRect, "activebuttonrect", QRect())                       \
  F(Flag, Vertical, "vertical", false)
BS_DEFINITION_CLASS(TbsDataSkinTrackBarControl, TbsDataSkinCustomControl, BS_TRACKBAR_FIELDS)

BS_DEFINITION_CLASS(TbsDataSkinLabelControl, TbsDataSkinCustomControl, BS_FONT_FIELDS)

#define BS_STDLABEL_FIELDS(F)                                                  \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 16711680)
BS_DEFINITION_CLASS(TbsDataSkinStdLabelControl, TbsDataSkinControl, BS_STDLABEL_FIELDS)

#define BS_UPDOWNBUTTON_FIELDS(F)                                              \
  F(Rect, UpButtonRect, "upbuttonrect", QRect())                               \
  F(Rect, ActiveUpButtonRect, "activeupbuttonrect", QRect())                   \
  F(Rect, DownUpButtonRect, "downupbuttonrect", QRect())                       \
  F(Rect, DownButtonRect, "downbuttonrect", QRect())                           \
  F(Rect, ActiveDownButtonRect, "activedownbuttonrect", QRect())               \
  F(Rect, DownDownButtonRect, "downdownbuttonrect", QRect())
class TbsDataSkinUpDownBase : public TbsDataSkinCustomControl {
public:
  using TbsDataSkinCustomControl::TbsDataSkinCustomControl;
  // An up-down is never stretched by corner points.
  void ReadFromIni(const TCustomIniFile& ini) override
  {
    TbsDataSkinCustomControl::ReadFromIni(ini);
    LTPoint = RTPoint = LBPoint = RBPoint = QPoint();
    ClientRect = QRect();
  }
};
BS_DEFINITION_CLASS(TbsDataSkinUpDownControl, TbsDataSkinUpDownBase, BS_UPDOWNBUTTON_FIELDS)

#define BS_GRID_FIELDS(F)                                                      \
  F(Rect, FixedCellRect, "fixedcellrect", QRect())                             \
  F(Rect, SelectCellRect, "selectcellrect", QRect())                           \
  F(Rect, FocusCellRect, "focuscellrect", QRect())                             \
  F(Integer, FixedCellLeftOffset, "fixedcellleftoffset", 0)                    \
  F(Integer, FixedCellRightOffset, "fixedcellrightoffset", 0)                  \
  F(Rect, FixedCellTextRect, "fixedcelltextrect", QRect())                     \
  F(Integer, CellLeftOffset, "cellleftoffset", 0)                              \
  F(Integer, CellRightOffset, "cellrightoffset", 0)                            \
  F(Rect, CellTextRect, "celltextrect", QRect())                               \
  F(Color, LinesColor, "linescolor", 0)                                        \
  F(Color, BGColor, "bgcolor", 0)                                              \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, SelectFontColor, "selectfontcolor", 0)                              \
  F(Color, FocusFontColor, "focusfontcolor", 0)                                \
  BS_NAMED_FONT_FIELDS(F, Fixed, "fixed")
BS_DEFINITION_CLASS(TbsDataSkinGridControl, TbsDataSkinControl, BS_GRID_FIELDS)

#define BS_TAB_FIELDS(F)                                                       \
  F(Rect, TabRect, "tabrect", QRect())                                         \
  F(Rect, ActiveTabRect, "activetabrect", QRect())                             \
  F(Rect, FocusTabRect, "focustabrect", QRect())                               \
  F(Rect, MouseInTabRect, "mouseintabrect", QRect())                           \
  F(Rect, ClientRect, "clientrect", QRect())                                   \
  F(Integer, BGPictureIndex, "bgpictureindex", -1)                             \
  BS_CORNER_FIELDS(F)                                                          \
  F(Integer, TabLeftOffset, "tableftoffset", 0)                                \
  F(Integer, TabRightOffset, "tabrightoffset", 0)                              \
  F(Rect, TabsBGRect, "tabsbgrect", QRect())                                   \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 0)                              \
  F(Color, FocusFontColor, "focusfontcolor", 0)                                \
  F(Color, MouseInFontColor, "mouseinfontcolor", 0)                            \
  F(String, UpDown, "updown", QString())
BS_DEFINITION_CLASS(TbsDataSkinTabControl, TbsDataSkinControl, BS_TAB_FIELDS)

#define BS_MAINMENUBAR_FIELDS(F)                                               \
  F(Rect, ItemsRect, "itemsrect", QRect())                                     \
  F(String, MenuBarItem, "menubaritem", QString())                             \
  F(String, CloseButton, "closebutton", QString())                             \
  F(String, MinButton, "minbutton", QString())                                 \
  F(String, MaxButton, "maxbutton", QString())                                 \
  F(String, SysMenuButton, "sysmenubutton", QString())                         \
  F(Color, TrackMarkColor, "trackmarkcolor", 0)                                \
  F(Color, TrackMarkActiveColor, "trackmarkactivecolor", 0)
BS_DEFINITION_CLASS(TbsDataSkinMainMenuBar, TbsDataSkinControl, BS_MAINMENUBAR_FIELDS)

#define BS_CONTROLBAR_FIELDS(F)                                                \
  F(Rect, ItemRect, "itemrect", QRect())                                       \
  F(Integer, BGPictureIndex, "bgpictureindex", -1)
BS_DEFINITION_CLASS(TbsDataSkinControlBar, TbsDataSkinCustomControl, BS_CONTROLBAR_FIELDS)

#define BS_EDIT_FIELDS(F)                                                      \
  F(Rect, ActiveSkinRect, "activeskinrect", QRect())                           \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, DisabledFontColor, "disabledfontcolor", 0)                          \
  F(Color, ActiveFontColor, "activefontcolor", 0)                              \
  F(Rect, ButtonRect, "buttonrect", QRect())                                   \
  F(Rect, ActiveButtonRect, "activebuttonrect", QRect())                       \
  F(Rect, DownButtonRect, "downbuttonrect", QRect())                           \
  F(Rect, UnEnabledButtonRect, "unenabledbuttonrect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinEditControl, TbsDataSkinCustomControl, BS_EDIT_FIELDS)

#define BS_MEMO_FIELDS(F)                                                      \
  F(Color, BGColor, "bgcolor", 0)                                              \
  F(Color, ActiveBGColor, "activebgcolor", 0)
BS_DEFINITION_CLASS(TbsDataSkinMemoControl, TbsDataSkinEditControl, BS_MEMO_FIELDS)

#define BS_LISTBOX_FIELDS(F)                                                   \
  F(Rect, ItemRect, "itemrect", QRect())                                       \
  F(Rect, ActiveItemRect, "activeitemrect", QRect())                           \
  F(Rect, FocusItemRect, "focusitemrect", QRect())                             \
  F(Integer, ItemLeftOffset, "itemleftoffset", 0)                              \
  F(Integer, ItemRightOffset, "itemrightoffset", 0)                            \
  F(Rect, ItemTextRect, "itemtextrect", QRect())                               \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 0)                              \
  F(Color, FocusFontColor, "focusfontcolor", 0)                                \
  F(Rect, CaptionRect, "captionrect", QRect())                                 \
  BS_NAMED_FONT_FIELDS(F, Caption, "caption")                                  \
  BS_UPDOWNBUTTON_FIELDS(F)                                                    \
  F(Rect, CheckButtonRect, "checkbuttonrect", QRect())                         \
  F(Rect, ActiveCheckButtonRect, "activecheckbuttonrect", QRect())             \
  F(Rect, DownCheckButtonRect, "downcheckbuttonrect", QRect())                 \
  F(String, VScrollBarName, "vscrollbarname", QStringLiteral("vscrollbar"))    \
  F(String, HScrollBarName, "hscrollbarname", QStringLiteral("hscrollbar"))    \
  F(String, BothScrollBarName, "bothhscrollbarname", QStringLiteral("bothhscrollbar"))
BS_DEFINITION_CLASS(TbsDataSkinListBox, TbsDataSkinCustomControl, BS_LISTBOX_FIELDS)

#define BS_CHECKLISTBOX_FIELDS(F)                                              \
  F(Rect, ItemCheckRect, "itemcheckrect", QRect())                             \
  F(Rect, CheckImageRect, "checkimagerect", QRect())                           \
  F(Rect, UnCheckImageRect, "uncheckimagerect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinCheckListBox, TbsDataSkinListBox, BS_CHECKLISTBOX_FIELDS)

#define BS_COMBOBOX_FIELDS(F)                                                  \
  F(Rect, ItemRect, "itemrect", QRect())                                       \
  F(Rect, FocusItemRect, "focusitemrect", QRect())                             \
  F(Integer, ItemLeftOffset, "itemleftoffset", 0)                              \
  F(Integer, ItemRightOffset, "itemrightoffset", 0)                            \
  F(Rect, ItemTextRect, "itemtextrect", QRect())                               \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, FocusFontColor, "focusfontcolor", 0)                                \
  F(String, ListBoxName, "listboxname", QString())                             \
  F(Rect, ButtonRect, "buttonrect", QRect())                                   \
  F(Rect, ActiveButtonRect, "activebuttonrect", QRect())                       \
  F(Rect, DownButtonRect, "downbuttonrect", QRect())                           \
  F(Rect, UnEnabledButtonRect, "unenabledbuttonrect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinComboBox, TbsDataSkinCustomControl, BS_COMBOBOX_FIELDS)

#define BS_SCROLLBAR_FIELDS(F)                                                 \
  F(Rect, TrackArea, "trackarea", QRect())                                     \
  BS_UPDOWNBUTTON_FIELDS(F)                                                    \
  F(Rect, ThumbRect, "thumbrect", QRect())                                     \
  F(Rect, ActiveThumbRect, "activethumbrect", QRect())                         \
  F(Rect, DownThumbRect, "downthumbrect", QRect())                             \
  F(Integer, ThumbOffset1, "thumboffset1", 0)                                  \
  F(Integer, ThumbOffset2, "thumboffset2", 0)                                  \
  F(Rect, GlyphRect, "glyphrect", QRect())                                     \
  F(Rect, ActiveGlyphRect, "activeglyphrect", QRect())                         \
  F(Rect, DownGlyphRect, "downglyphrect", QRect())
BS_DEFINITION_CLASS(TbsDataSkinScrollBarControl, TbsDataSkinCustomControl, BS_SCROLLBAR_FIELDS)

#define BS_SPINEDIT_FIELDS(F)                                                  \
  F(Rect, ActiveSkinRect, "activeskinrect", QRect())                           \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, ActiveFontColor, "activefontcolor", 0)                              \
  F(Color, DisabledFontColor, "disabledfontcolor", 0)                          \
  BS_UPDOWNBUTTON_FIELDS(F)
BS_DEFINITION_CLASS(TbsDataSkinSpinEditControl, TbsDataSkinCustomControl, BS_SPINEDIT_FIELDS)

#define BS_SCROLLBOX_FIELDS(F) F(Integer, BGPictureIndex, "bgpictureindex", -1)
BS_DEFINITION_CLASS(TbsDataSkinScrollBoxControl, TbsDataSkinCustomControl, BS_SCROLLBOX_FIELDS)

#define BS_VIEW_FIELDS(F)                                                      \
  BS_FONT_FIELDS(F)                                                            \
  F(Color, BGColor, "bgcolor", 0)
BS_DEFINITION_CLASS(TbsDataSkinTreeView, TbsDataSkinControl, BS_VIEW_FIELDS)
BS_DEFINITION_CLASS(TbsDataSkinListView, TbsDataSkinControl, BS_VIEW_FIELDS)
BS_DEFINITION_CLASS(TbsDataSkinRichEdit, TbsDataSkinControl, BS_VIEW_FIELDS)

#define BS_BEVEL_FIELDS(F)                                                     \
  F(Color, LightColor, "lightcolor", 0)                                        \
  F(Color, DarkColor, "darkcolor", 0)
BS_DEFINITION_CLASS(TbsDataSkinBevel, TbsDataSkinControl, BS_BEVEL_FIELDS)

#define BS_SLIDER_FIELDS(F)                                                    \
  F(Color, BGColor, "bgcolor", 0)                                              \
  F(Rect, HRulerRect, "hrulerrect", QRect())                                   \
  F(Rect, HThumbRect, "hthumbrect", QRect())                                   \
  F(Rect, VRulerRect, "vrulerrect", QRect())                                   \
  F(Rect, VThumbRect, "vthumbrect", QRect())                                   \
  F(Integer, EdgeSize, "edgesize", 0)                                          \
  F(Color, PointsColor, "pointscolor", 0)
BS_DEFINITION_CLASS(TbsDataSkinSlider, TbsDataSkinControl, BS_SLIDER_FIELDS)

// ------------------------------------------------------------------ fixed sections

class TbsSkinFixedSection : public TbsSkinFieldSet {
public:
  virtual const char* Section() const = 0;
  void ReadFromIni(const TCustomIniFile& ini) { ReadSection(ini, QString::fromLatin1(Section())); }
  void WriteToIni(TCustomIniFile& ini) { WriteSection(ini, QString::fromLatin1(Section())); }
};

#define BS_STRETCH_FIELDS(F)                                                   \
  F(Flag, LeftStretch, "leftstretch", false)                                   \
  F(Flag, RightStretch, "rightstretch", false)                                 \
  F(Flag, TopStretch, "topstretch", false)                                     \
  F(Flag, BottomStretch, "bottomstretch", false)

#define BS_POPUPWINDOW_FIELDS(F)                                               \
  F(Integer, WindowPictureIndex, "windowpictureindex", -1)                     \
  F(Integer, MaskPictureIndex, "maskpictureindex", -1)                         \
  BS_CORNER_FIELDS(F)                                                          \
  F(Rect, ItemsRect, "itemsrect", QRect())                                     \
  F(Color, ScrollMarkerColor, "scrollmarkercolor", 0)                          \
  F(Color, ScrollMarkerActiveColor, "scrollmarkeractivecolor", 0)              \
  BS_STRETCH_FIELDS(F)
class TbsDataSkinPopupWindowBase : public TbsSkinFixedSection {
public:
  const char* Section() const override { return "POPUPWINDOW"; }
};
BS_DEFINITION_CLASS(TbsDataSkinPopupWindow, TbsDataSkinPopupWindowBase, BS_POPUPWINDOW_FIELDS)

#define BS_HINTWINDOW_FIELDS(F)                                                \
  F(Integer, WindowPictureIndex, "windowpictureindex", -1)                     \
  F(Integer, MaskPictureIndex, "maskpictureindex", -1)                         \
  BS_CORNER_FIELDS(F)                                                          \
  F(Rect, ClientRect, "clientrect", QRect())                                   \
  BS_FONT_FIELDS(F)                                                            \
  BS_STRETCH_FIELDS(F)
class TbsDataSkinHintWindowBase : public TbsSkinFixedSection {
public:
  const char* Section() const override { return "HINTWINDOW"; }
};
BS_DEFINITION_CLASS(TbsDataSkinHintWindow, TbsDataSkinHintWindowBase, BS_HINTWINDOW_FIELDS)

// The form frame values of [FORMINFO].
#define BS_FORMINFO_FIELDS(F)                                                  \
  BS_CORNER_FIELDS(F)                                                          \
  F(Rect, ClientRect, "clientrect", QRect())                                   \
  F(Integer, BGPictureIndex, "bgpictureindex", -1)                             \
  F(Integer, MDIBGPictureIndex, "mdibgpictureindex", -1)                       \
  BS_STRETCH_FIELDS(F)                                                         \
  F(Rect, MaskRectArea, "maskrectarea", QRect())                               \
  F(Point, HitTestLTPoint, "hittestlefttoppoint", QPoint())                    \
  F(Point, HitTestRTPoint, "hittestrighttoppoint", QPoint())                   \
  F(Point, HitTestLBPoint, "hittestleftbottompoint", QPoint())                 \
  F(Point, HitTestRBPoint, "hittestrightbottompoint", QPoint())                \
  F(Rect, ButtonsRect, "buttonsrect", QRect())                                 \
  F(Rect, CaptionRect, "captionrect", QRect())                                 \
  F(Integer, ButtonsOffset, "buttonsoffset", 0)                                \
  F(Flag, ButtonsInLeft, "buttonsinleft", false)                               \
  F(Flag, MainMenuPopupUp, "mainmenupopupup", false)                           \
  F(Integer, BorderWidth, "borderwidth", 0)                                    \
  F(Flag, AutoRenderingInActiveImage, "autorenderinginactiveimage", false)     \
  F(InactiveEffect, InActiveEffect, "inactiveeffect", TbsInactiveEffect::ieBrightness)
class TbsDataSkinFormInfoBase : public TbsSkinFixedSection {
public:
  const char* Section() const override { return "FORMINFO"; }
};
BS_DEFINITION_CLASS(TbsDataSkinFormInfo, TbsDataSkinFormInfoBase, BS_FORMINFO_FIELDS)

// ------------------------------------------------------------------ kinds

// New definition of the kind (exact, case counts) for the skin-object list,
// or nullptr for a kind that list does not know.
std::unique_ptr<TbsDataSkinObject> CreateSkinObject(const QString& kind, const QString& name);
std::unique_ptr<TbsDataSkinControl> CreateSkinControl(const QString& kind, const QString& name);
// Every kind of each list, in table order (for tools and tests).
QStringList SkinObjectKinds();
QStringList SkinControlKinds();
