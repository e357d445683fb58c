#include "skin/skin_definitions.h"

#include <functional>
#include <map>

namespace skin_values {
namespace {
// Digit runs separated by commas; anything else is skipped.
std::vector<int> ParseComponents(const QString& text, int count, const char* what)
{
  std::vector<int> values;
  QString digits;
  const auto finish = [&] {
    if (digits.isEmpty())
      throw EConvertError(QStringLiteral("\"%1\" is not a valid %2: a component has no digits").arg(text, what));
    bool ok = false;
    const int v = digits.toInt(&ok);
    if (!ok) throw EConvertError(QStringLiteral("\"%1\" is not a valid %2: %3 is too large").arg(text, what, digits));
    values.push_back(v);
    digits.clear();
  };
  for (QChar c : text) {
    if (c == u',') {
      // Components beyond the expected count are ignored.
      if (int(values.size()) < count) finish();
      else digits.clear();
    } else if (c >= u'0' && c <= u'9') {
      if (int(values.size()) < count) digits += c;
    }
  }
  if (int(values.size()) < count) finish();
  if (int(values.size()) < count)
    throw EConvertError(QStringLiteral("\"%1\" is not a valid %2: %3 numbers expected").arg(text, what).arg(count));
  return values;
}

struct NamedValue {
  const char* Name;
  int Value;
};
const NamedValue kMorphKinds[] = {{"mkdefault", 0}, {"mkgradient", 1}, {"mkleftgradient", 2}, {"mkrightgradient", 3},
                                  {"mkleftslide", 4}, {"mkrightslide", 5}, {"mkpush", 6}};
const NamedValue kEffects[] = {{"iebrightness", 0}, {"iedarkness", 1}, {"iegrayscale", 2},
                               {"ienoise", 3},      {"iesplitblur", 4}, {"ieinvert", 5}};
const NamedValue kCommands[] = {{"cmclose", 0},   {"cmmaximize", 1}, {"cmminimize", 2},        {"cmsysmenu", 3},
                                {"cmdefault", 4}, {"cmrollup", 5},   {"cmminimizetotray", 6}};

template <size_t N>
int Lookup(const NamedValue (&table)[N], const QString& text, int otherwise)
{
  for (const NamedValue& v : table)
    if (text == QLatin1String(v.Name)) return v.Value;
  return otherwise;
}
template <size_t N>
QString NameOf(const NamedValue (&table)[N], int value)
{
  for (const NamedValue& v : table)
    if (v.Value == value) return QString::fromLatin1(v.Name);
  return QString::fromLatin1(table[0].Name);
}
} // namespace

QPoint ParsePoint(const QString& text)
{
  const auto v = ParseComponents(text, 2, "point");
  return QPoint(v[0], v[1]);
}

QRect ParseRect(const QString& text)
{
  const auto v = ParseComponents(text, 4, "rectangle");
  return SkinRect(v[0], v[1], v[2], v[3]);
}

QString PointText(QPoint p) { return QStringLiteral("%1,%2").arg(p.x()).arg(p.y()); }

QString RectText(const QRect& r)
{
  return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.x() + r.width()).arg(r.y() + r.height());
}

TbsFontStyle ParseFontStyle(const QString& text)
{
  TbsFontStyle style = 0;
  if (text.contains(QLatin1String("fsbold"))) style |= kbsFontBold;
  if (text.contains(QLatin1String("fsitalic"))) style |= kbsFontItalic;
  if (text.contains(QLatin1String("fsunderline"))) style |= kbsFontUnderline;
  if (text.contains(QLatin1String("fsstrikeout"))) style |= kbsFontStrikeOut;
  return style;
}

QString FontStyleText(TbsFontStyle style)
{
  QStringList parts;
  if (style & kbsFontBold) parts << QStringLiteral("fsbold");
  if (style & kbsFontItalic) parts << QStringLiteral("fsitalic");
  if (style & kbsFontUnderline) parts << QStringLiteral("fsunderline");
  if (style & kbsFontStrikeOut) parts << QStringLiteral("fsstrikeout");
  return parts.join(u',');
}

TbsAlignment ParseAlignment(const QString& text)
{
  if (text == QLatin1String("tacenter")) return TbsAlignment::taCenter;
  if (text == QLatin1String("taleftjustify")) return TbsAlignment::taLeftJustify;
  return TbsAlignment::taRightJustify;
}

QString AlignmentText(TbsAlignment a)
{
  switch (a) {
  case TbsAlignment::taCenter: return QStringLiteral("tacenter");
  case TbsAlignment::taLeftJustify: return QStringLiteral("taleftjustify");
  default: return QStringLiteral("tarightjustify");
  }
}

TbsMorphKind ParseMorphKind(const QString& text) { return TbsMorphKind(Lookup(kMorphKinds, text, 0)); }
QString MorphKindText(TbsMorphKind k) { return NameOf(kMorphKinds, int(k)); }
TbsInactiveEffect ParseInactiveEffect(const QString& text) { return TbsInactiveEffect(Lookup(kEffects, text, 2)); }
QString InactiveEffectText(TbsInactiveEffect e) { return NameOf(kEffects, int(e)); }
TbsStdCommand ParseCommand(const QString& text) { return TbsStdCommand(Lookup(kCommands, text, 6)); }
QString CommandText(TbsStdCommand c) { return NameOf(kCommands, int(c)); }

QStringList ReadNameList(const TCustomIniFile& ini, const QString& section, const QString& stem, int limit)
{
  const int count = ini.ReadInteger(section, stem + QStringLiteral("count"), 0);
  if (count > limit)
    throw ESkinDataError(QStringLiteral("[%1] %2count is %3; at most %4 names are accepted")
                             .arg(section, stem)
                             .arg(count)
                             .arg(limit));
  QStringList names;
  for (int i = 0; i < count; ++i) names.append(ini.ReadString(section, QString::number(i), QString()));
  return names;
}

void WriteNameList(TCustomIniFile& ini, const QString& section, const QString& stem, const QStringList& names)
{
  ini.WriteInteger(section, stem + QStringLiteral("count"), int(names.size()));
  for (int i = 0; i < names.size(); ++i) ini.WriteString(section, QString::number(i), names[i]);
}
} // namespace skin_values

using namespace skin_values;

namespace {
class ReadVisitor : public TbsSkinFieldVisitor {
public:
  ReadVisitor(const TCustomIniFile& ini, const QString& section) : ini_(ini), section_(section) {}
  void Integer(const char* key, int& value, int def) override { value = ini_.ReadInteger(section_, Key(key), def); }
  void Color(const char* key, int& value, int def) override { Integer(key, value, def); }
  void Flag(const char* key, bool& value, bool def) override
  {
    value = ini_.ReadInteger(section_, Key(key), def ? 1 : 0) == 1;
  }
  void Point(const char* key, QPoint& value, QPoint def) override
  {
    const QString* text = Find(key);
    value = text ? Checked([&] { return ParsePoint(*text); }, key) : def;
  }
  void Rect(const char* key, QRect& value, QRect def) override
  {
    const QString* text = Find(key);
    value = text ? Checked([&] { return ParseRect(*text); }, key) : def;
  }
  void String(const char* key, QString& value, const QString& def) override
  {
    value = ini_.ReadString(section_, Key(key), def);
  }
  void FontStyle(const char* key, int& value, int def) override
  {
    const QString* text = Find(key);
    value = text ? ParseFontStyle(*text) : def;
  }
  void Alignment(const char* key, TbsAlignment& value, TbsAlignment def) override
  {
    const QString* text = Find(key);
    value = text ? ParseAlignment(*text) : def;
  }
  void MorphKind(const char* key, TbsMorphKind& value, TbsMorphKind def) override
  {
    const QString* text = Find(key);
    value = text ? ParseMorphKind(*text) : def;
  }
  void InactiveEffect(const char* key, TbsInactiveEffect& value, TbsInactiveEffect def) override
  {
    const QString* text = Find(key);
    value = text ? ParseInactiveEffect(*text) : def;
  }
  void Command(const char* key, TbsStdCommand& value, TbsStdCommand def) override
  {
    const QString* text = Find(key);
    value = text ? ParseCommand(*text) : def;
  }

private:
  static QString Key(const char* key) { return QString::fromLatin1(key); }
  const QString* Find(const char* key)
  {
    // The reader's own rules decide whether the key is there.
    if (!ini_.ValueExists(section_, Key(key))) return nullptr;
    text_ = ini_.ReadString(section_, Key(key), QString());
    return &text_;
  }
  template <typename F>
  auto Checked(F parse, const char* key) -> decltype(parse())
  {
    try {
      return parse();
    } catch (const EConvertError& e) {
      throw EConvertError(QStringLiteral("[%1] %2: %3").arg(section_, Key(key), e.Message()));
    }
  }
  const TCustomIniFile& ini_;
  const QString& section_;
  QString text_;
};

class WriteVisitor : public TbsSkinFieldVisitor {
public:
  WriteVisitor(TCustomIniFile& ini, const QString& section) : ini_(ini), section_(section) {}
  void Integer(const char* key, int& value, int) override { Put(key, QString::number(value)); }
  void Color(const char* key, int& value, int) override { Put(key, QString::number(value)); }
  void Flag(const char* key, bool& value, bool) override { Put(key, value ? QStringLiteral("1") : QStringLiteral("0")); }
  void Point(const char* key, QPoint& value, QPoint) override { Put(key, PointText(value)); }
  void Rect(const char* key, QRect& value, QRect) override { Put(key, RectText(value)); }
  void String(const char* key, QString& value, const QString&) override { Put(key, value); }
  void FontStyle(const char* key, int& value, int) override { Put(key, FontStyleText(value)); }
  void Alignment(const char* key, TbsAlignment& value, TbsAlignment) override { Put(key, AlignmentText(value)); }
  void MorphKind(const char* key, TbsMorphKind& value, TbsMorphKind) override { Put(key, MorphKindText(value)); }
  void InactiveEffect(const char* key, TbsInactiveEffect& value, TbsInactiveEffect) override
  {
    Put(key, InactiveEffectText(value));
  }
  void Command(const char* key, TbsStdCommand& value, TbsStdCommand) override { Put(key, CommandText(value)); }

private:
  void Put(const char* key, const QString& text) { ini_.WriteString(section_, QString::fromLatin1(key), text); }
  TCustomIniFile& ini_;
  const QString& section_;
};
} // namespace

void TbsSkinFieldSet::ReadSection(const TCustomIniFile& ini, const QString& section)
{
  ReadVisitor v(ini, section);
  VisitFields(v);
}

void TbsSkinFieldSet::WriteSection(TCustomIniFile& ini, const QString& section)
{
  ini.EraseSection(section);
  WriteVisitor v(ini, section);
  VisitFields(v);
}

namespace {
template <typename Base>
using Factory = std::function<std::unique_ptr<Base>(const QString&)>;

template <typename Base, typename T>
std::pair<QString, Factory<Base>> Kind(const char* kind)
{
  return {QString::fromLatin1(kind), [](const QString& name) { return std::unique_ptr<Base>(new T(name)); }};
}

const std::vector<std::pair<QString, Factory<TbsDataSkinObject>>>& ObjectKinds()
{
  using B = TbsDataSkinObject;
  static const std::vector<std::pair<QString, Factory<B>>> kinds = {
      Kind<B, TbsDataSkinMenuItem>("menuitem"),
      Kind<B, TbsDataSkinMainMenuBarItem>("mainmenubaritem"),
      Kind<B, TbsDataSkinButton>("button"),
      Kind<B, TbsDataSkinStdButton>("stdbutton"),
      Kind<B, TbsDataSkinMainMenuBarButton>("mainmenubarbutton"),
      Kind<B, TbsDataSkinCaption>("caption"),
      Kind<B, TbsDataSkinAnimate>("animate"),
      Kind<B, TbsDataUserObject>("userobject"),
  };
  return kinds;
}

const std::vector<std::pair<QString, Factory<TbsDataSkinControl>>>& ControlKinds()
{
  using B = TbsDataSkinControl;
  static const std::vector<std::pair<QString, Factory<B>>> kinds = {
      Kind<B, TbsDataSkinPanelControl>("panel"),
      Kind<B, TbsDataSkinExPanelControl>("expanel"),
      Kind<B, TbsDataSkinButtonControl>("button"),
      Kind<B, TbsDataSkinMenuButtonControl>("menubutton"),
      Kind<B, TbsDataSkinCheckRadioControl>("checkradio"),
      Kind<B, TbsDataSkinGaugeControl>("gauge"),
      Kind<B, TbsDataSkinSplitterControl>("splitter"),
      Kind<B, TbsDataSkinTrackBarControl>("trackbar"),
      Kind<B, TbsDataSkinLabelControl>("label"),
      Kind<B, TbsDataSkinStdLabelControl>("stdlabel"),
      Kind<B, TbsDataSkinUpDownControl>("updown"),
      Kind<B, TbsDataSkinGridControl>("grid"),
      Kind<B, TbsDataSkinTabControl>("tab"),
      Kind<B, TbsDataSkinMainMenuBar>("mainmenubar"),
      Kind<B, TbsDataSkinControlBar>("controlbar"),
      Kind<B, TbsDataSkinEditControl>("edit"),
      Kind<B, TbsDataSkinMemoControl>("memo"),
      Kind<B, TbsDataSkinListBox>("listbox"),
      Kind<B, TbsDataSkinCheckListBox>("checklistbox"),
      Kind<B, TbsDataSkinComboBox>("combobox"),
      Kind<B, TbsDataSkinScrollBarControl>("scrollbar"),
      Kind<B, TbsDataSkinSpinEditControl>("spinedit"),
      Kind<B, TbsDataSkinScrollBoxControl>("scrollbox"),
      Kind<B, TbsDataSkinTreeView>("treeview"),
      Kind<B, TbsDataSkinListView>("listview"),
      Kind<B, TbsDataSkinRichEdit>("richedit"),
      Kind<B, TbsDataSkinBevel>("bevel"),
      Kind<B, TbsDataSkinSlider>("slider"),
  };
  return kinds;
}

template <typename Base, typename Table>
std::unique_ptr<Base> Create(const Table& table, const QString& kind, const QString& name)
{
  for (const auto& [k, factory] : table)
    if (k == kind) {
      std::unique_ptr<Base> d = factory(name);
      d->Kind = kind;
      return d;
    }
  return nullptr;
}
} // namespace

std::unique_ptr<TbsDataSkinObject> CreateSkinObject(const QString& kind, const QString& name)
{
  return Create<TbsDataSkinObject>(ObjectKinds(), kind, name);
}

std::unique_ptr<TbsDataSkinControl> CreateSkinControl(const QString& kind, const QString& name)
{
  return Create<TbsDataSkinControl>(ControlKinds(), kind, name);
}

QStringList SkinObjectKinds()
{
  QStringList kinds;
  for (const auto& k : ObjectKinds()) kinds << k.first;
  return kinds;
}

QStringList SkinControlKinds()
{
  QStringList kinds;
  for (const auto& k : ControlKinds()) kinds << k.first;
  return kinds;
}
