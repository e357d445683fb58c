#include "toolkit/form_reader.h"

#include "toolkit/form_parser.h"
#include "toolkit/regular_file.h"

#include <QFile>
#include <QMetaEnum>
#include <QMetaProperty>
#include <limits>

namespace {

const QMetaObject* ComponentMeta() { return &TComponent::staticMetaObject; }
const QMetaObject* PersistentMeta() { return &TPersistent::staticMetaObject; }

bool IsComponentReference(const QMetaProperty& p)
{
  const QMetaObject* m = p.metaType().metaObject();
  return (p.metaType().flags() & QMetaType::PointerToQObject) && m && m->inherits(ComponentMeta());
}

bool IsSubObject(const QMetaProperty& p)
{
  const QMetaObject* m = p.metaType().metaObject();
  return (p.metaType().flags() & QMetaType::PointerToQObject) && m && m->inherits(PersistentMeta());
}

struct Fixup {
  TComponent* Component;
  QObject* Target;  // the component or one of its sub-objects
  QMetaProperty Property;
  QString Path;
  QString Name;
  int Line;
};

class Reader {
public:
  Reader(QString file, TComponent* root, TComponent* owner, TReadOptions options)
      : file_(std::move(file)), root_(root), owner_(owner), options_(options) {}

  TComponent* Run(const TDescObject& top)
  {
    const bool rootGiven = root_ != nullptr;
    try {
      ReadAll(top);
    } catch (...) {
      Abandon(rootGiven);
      throw;
    }
    return root_;
  }

private:
  [[noreturn]] void Fail(int line, const QString& message) const { throw EReadError(file_, line, message); }

  void ReadAll(const TDescObject& top)
  {
    if (root_) {
      if (!root_->inherits(top.ClassName.toLatin1().constData()))
        Fail(top.Line, QStringLiteral("the description is of class %1, not %2")
                           .arg(top.ClassName, QString::fromLatin1(root_->metaObject()->className())));
    } else {
      root_ = CreateComponent(top, owner_);
    }
    root_->BeginLoading();
    if (options_.Designing) root_->SetDesigning(true);
    loaded_.push_back(root_);
    SetName(root_, top);
    ReadProperties(root_, top);
    for (const auto& child : top.Children) ReadChild(*child, root_);
    for (const Fixup& f : fixups_) Resolve(f);
    fixups_.clear();
    // Everything exists and is linked: now deferred work may run.
    // The root last: a window's own Loaded (its OnCreate) sees every
    // component's deferred work done.
    for (TComponent* c : loaded_)
      if (c != root_) c->Loaded();
    root_->Loaded();
  }

  TComponent* CreateComponent(const TDescObject& node, TComponent* owner)
  {
    if (!TComponentClasses::Find(node.ClassName))
      Fail(node.Line, QStringLiteral("unknown class %1").arg(node.ClassName));
    TComponent* c = nullptr;
    try {
      c = TComponentClasses::Create(node.ClassName, owner);
    } catch (const Exception& e) {
      Fail(node.Line, QStringLiteral("cannot create %1: %2").arg(node.ClassName, e.Message()));
    }
    if (!c) Fail(node.Line, QStringLiteral("class %1 cannot be created here").arg(node.ClassName));
    created_.push_back(c);
    if (options_.Designing) c->SetDesigning(true);
    return c;
  }

  void SetName(TComponent* c, const TDescObject& node)
  {
    try {
      c->SetName(node.Name);
    } catch (const Exception& e) {
      Fail(node.Line, e.Message());
    }
  }

  void ReadChild(const TDescObject& node, TComponent* parent)
  {
    TComponent* c = CreateComponent(node, root_);
    c->BeginLoading();
    loaded_.push_back(c);
    SetName(c, node);
    try {
      c->SetParentComponent(parent);
    } catch (const Exception& e) {
      Fail(node.Line, e.Message());
    }
    ReadProperties(c, node);
    for (const auto& child : node.Children) ReadChild(*child, c);
  }

  void ReadProperties(TComponent* c, const TDescObject& node)
  {
    for (const TDescProperty& p : node.Properties) ReadProperty(c, p);
  }

  // Follows "Font.Name" to the sub-object that holds the last name.
  void ReadProperty(TComponent* c, const TDescProperty& p)
  {
    QObject* target = c;
    const QStringList parts = p.Name.split(u'.');
    for (int i = 0; i < parts.size() - 1; ++i) {
      QMetaProperty sub = FindProperty(target, parts[i]);
      if (!sub.isValid() || !IsSubObject(sub))
        Fail(p.Line, QStringLiteral("unknown property %1 of %2").arg(p.Name, ClassName(c)));
      target = sub.read(target).value<QObject*>();
      if (!target) Fail(p.Line, QStringLiteral("property %1 of %2 is not set").arg(parts[i], ClassName(c)));
    }
    QMetaProperty prop = FindProperty(target, parts.last());
    if (!prop.isValid() || QByteArray(prop.name()) == "objectName")
      Fail(p.Line, QStringLiteral("unknown property %1 of %2").arg(p.Name, ClassName(c)));
    if (target == c && QByteArray(prop.name()) == "Name") Fail(p.Line, QStringLiteral("the name is given in the object line"));
    if (!prop.isWritable()) Fail(p.Line, QStringLiteral("property %1 of %2 is read-only").arg(p.Name, ClassName(c)));

    if (IsComponentReference(prop)) {
      if (p.Value.ValueKind != TDescValue::Ident) WrongKind(p, "a component name");
      if (p.Value.Text.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0) {
        Write(c, target, prop, QVariant(prop.metaType(), nullptr), p);
        return;
      }
      fixups_.push_back(Fixup{c, target, prop, p.Name, p.Value.Text, p.Line});
      return;
    }
    Write(c, target, prop, Convert(c, target, prop, p), p);
  }

  static QString ClassName(const QObject* o) { return QString::fromLatin1(o->metaObject()->className()); }

  static QMetaProperty FindProperty(const QObject* o, const QString& name)
  {
    const QMetaObject* m = o->metaObject();
    int i = m->indexOfProperty(name.toLatin1().constData());
    if (i >= 0) return m->property(i);
    for (int j = 0; j < m->propertyCount(); ++j)
      if (QString::fromLatin1(m->property(j).name()).compare(name, Qt::CaseInsensitive) == 0) return m->property(j);
    return QMetaProperty();
  }

  [[noreturn]] void WrongKind(const TDescProperty& p, const char* expected) const
  {
    Fail(p.Line, QStringLiteral("property %1 expects %2, not %3")
                     .arg(p.Name, QLatin1String(expected), TDescValue::KindName(p.Value.ValueKind)));
  }

  QVariant Convert(TComponent* c, QObject* target, const QMetaProperty& prop, const TDescProperty& p)
  {
    const TDescValue& v = p.Value;
    const QMetaType type = prop.metaType();

    if (const TEventTypes::Entry* event = TEventTypes::Find(type.id())) {
      if (v.ValueKind != TDescValue::Ident) WrongKind(p, "a method name");
      if (v.Text.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0) return QVariant(type);
      const QMetaObject* m = root_->metaObject();
      bool nameFound = false;
      for (int i = 0; i < m->methodCount(); ++i) {
        QMetaMethod method = m->method(i);
        if (QString::fromLatin1(method.name()).compare(v.Text, Qt::CaseInsensitive) != 0) continue;
        nameFound = true;
        if (auto bound = event->Bind(root_, method)) return *bound;
      }
      if (nameFound)
        Fail(p.Line, QStringLiteral("method %1 does not take the parameters of %2").arg(v.Text, p.Name));
      Fail(p.Line, QStringLiteral("unknown method %1 of %2 for %3").arg(v.Text, ClassName(root_), p.Name));
    }

    if (prop.isFlagType()) {
      if (v.ValueKind != TDescValue::Set) WrongKind(p, "a set");
      QMetaEnum e = prop.enumerator();
      int bits = 0;
      for (const QString& ident : v.Idents) {
        auto value = EnumValue(e, ident);
        if (!value) Fail(p.Line, QStringLiteral("%1 is not an element of %2").arg(ident, QLatin1String(e.name())));
        bits |= *value;
      }
      return QVariant(type, &bits);
    }
    if (prop.isEnumType()) {
      if (v.ValueKind != TDescValue::Ident) WrongKind(p, "an enumeration value");
      auto value = EnumValue(prop.enumerator(), v.Text);
      if (!value)
        Fail(p.Line, QStringLiteral("%1 is not a value of %2").arg(v.Text, QLatin1String(prop.enumerator().name())));
      int raw = *value;
      return QVariant(type, &raw);
    }

    if (IsDescIntegerType(type.id())) {
      qint64 n = 0;
      if (v.ValueKind == TDescValue::Integer) {
        n = v.IntValue;
      } else if (v.ValueKind == TDescValue::Ident) {
        const auto* table = TIntegerIdents::ForProperty(target->metaObject(), prop.name());
        auto named = table ? TIntegerIdents::ToValue(*table, v.Text) : std::nullopt;
        if (!named) Fail(p.Line, QStringLiteral("%1 is not a named value of %2").arg(v.Text, p.Name));
        n = *named;
      } else {
        WrongKind(p, "an integer");
      }
      QVariant out(n);
      if (!RangeFits(type.id(), n) || !out.convert(type))
        Fail(p.Line, QStringLiteral("value %1 is out of range for %2").arg(n).arg(p.Name));
      return out;
    }
    switch (type.id()) {
    case QMetaType::Bool:
      if (v.ValueKind == TDescValue::Ident) {
        if (v.Text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
        if (v.Text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
      }
      WrongKind(p, "True or False");
    case QMetaType::Double:
    case QMetaType::Float:
      if (v.ValueKind == TDescValue::Integer) return QVariant(double(v.IntValue));
      if (v.ValueKind == TDescValue::Float) return QVariant(v.Real);
      WrongKind(p, "a number");
    case QMetaType::QString:
      if (v.ValueKind != TDescValue::String) WrongKind(p, "a string");
      return v.Text;
    case QMetaType::QByteArray:
      if (v.ValueKind != TDescValue::Binary) WrongKind(p, "binary data");
      return v.Bytes;
    case QMetaType::QStringList: {
      if (v.ValueKind != TDescValue::List) WrongKind(p, "a list of strings");
      QStringList list;
      for (const TDescValue& item : v.Items) {
        if (item.ValueKind != TDescValue::String)
          Fail(item.Line, QStringLiteral("list %1 holds %2, expected strings")
                              .arg(p.Name, TDescValue::KindName(item.ValueKind)));
        list << item.Text;
      }
      return list;
    }
    default:
      break;
    }
    Q_UNUSED(c);
    Fail(p.Line, QStringLiteral("property %1 of type %2 cannot be read from a description")
                     .arg(p.Name, QLatin1String(type.name())));
  }

  static bool RangeFits(int typeId, qint64 n)
  {
    switch (typeId) {
    case QMetaType::Int: return n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
    // Unsigned 32-bit values may also be written as their signed image.
    case QMetaType::UInt: return n >= std::numeric_limits<qint32>::min() && n <= qint64(0xFFFFFFFFu);
    case QMetaType::Short: return n >= -32768 && n <= 32767;
    case QMetaType::UShort: return n >= 0 && n <= 65535;
    case QMetaType::UChar: return n >= 0 && n <= 255;
    case QMetaType::Char:
    case QMetaType::SChar: return n >= -128 && n <= 127;
    case QMetaType::ULongLong: return n >= 0;
    default: return true;
    }
  }

  static std::optional<int> EnumValue(const QMetaEnum& e, const QString& name)
  {
    for (int i = 0; i < e.keyCount(); ++i)
      if (QString::fromLatin1(e.key(i)).compare(name, Qt::CaseInsensitive) == 0) return e.value(i);
    return std::nullopt;
  }

  void Write(TComponent* c, QObject* target, const QMetaProperty& prop, QVariant value, const TDescProperty& p)
  {
    try {
      if (!prop.write(target, value))
        Fail(p.Line, QStringLiteral("cannot set %1 of %2").arg(p.Name, ClassName(c)));
    } catch (const EReadError&) {
      throw;
    } catch (const Exception& e) {
      Fail(p.Line, QStringLiteral("%1: %2").arg(p.Name, e.Message()));
    }
  }

  void Resolve(const Fixup& f)
  {
    TComponent* found = nullptr;
    if (root_->Name().compare(f.Name, Qt::CaseInsensitive) == 0)
      found = root_;
    else
      found = root_->FindComponent(f.Name);
    if (!found) Fail(f.Line, QStringLiteral("unresolved reference %1 in %2").arg(f.Name, f.Path));
    const QMetaObject* wanted = f.Property.metaType().metaObject();
    if (!found->metaObject()->inherits(wanted))
      Fail(f.Line, QStringLiteral("%1 is a %2, but %3 needs a %4")
                       .arg(f.Name, ClassName(found), f.Path, QLatin1String(wanted->className())));
    // The pointer is stored as the property's own type: TComponent derives
    // from QObject first, so the address is the same.
    QObject* asObject = found;
    TDescProperty p;
    p.Name = f.Path;
    p.Line = f.Line;
    Write(f.Component, f.Target, f.Property, QVariant(f.Property.metaType(), &asObject), p);
  }

  // Frees what this read created. A root given by the caller stays, with its
  // loading state cleared; one created here goes too.
  void Abandon(bool rootGiven)
  {
    fixups_.clear();
    if (!rootGiven && root_) {
      TComponent::Free(root_);
      root_ = nullptr;
      return;
    }
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) TComponent::Free(*it);
    created_.clear();
    // Only the loading state goes: the half-read window's own Loaded (its OnCreate) must not run.
    if (root_ && root_->IsLoading()) root_->TComponent::Loaded();
  }

  QString file_;
  TComponent* root_;
  TComponent* owner_;
  TReadOptions options_;
  std::vector<TComponent*> created_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
};

} // namespace

TComponent* ReadComponentText(const QString& text, const QString& fileName, TComponent* root, TComponent* owner,
                              TReadOptions options)
{
  std::unique_ptr<TDescObject> top = ParseDescription(text, fileName);
  return Reader(fileName, root, owner, options).Run(*top);
}

TComponent* ReadComponentFile(const QString& path, TComponent* root, TComponent* owner, TReadOptions options)
{
  const TRegularFileRead file = ReadRegularFile(path, kMaxDescriptionSize);
  if (file.Status == TRegularFileRead::Missing) throw EReadError(path, 0, QStringLiteral("cannot open: no such file"));
  if (!file.Ok()) throw EReadError(path, 0, QStringLiteral("cannot open: %1").arg(file.Error));
  return ReadComponentText(QString::fromUtf8(file.Data), path, root, owner, options);
}

int CountComponents(TComponent* root) { return root ? 1 + root->ComponentCount() : 0; }
