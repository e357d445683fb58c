// Writes a component tree in the description format (see form_reader.h).
#include "toolkit/form_parser.h"
#include "toolkit/form_reader.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <memory>

namespace {

struct PrototypeDeleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
using Prototype = std::unique_ptr<TComponent, PrototypeDeleter>;

// A fresh instance of the nearest creatable class, for the default values.
Prototype MakePrototype(const QMetaObject* meta)
{
  for (const QMetaObject* m = meta; m; m = m->superClass()) {
    if (!TComponentClasses::Find(QString::fromLatin1(m->className()))) continue;
    if (TComponent* c = TComponentClasses::Create(QString::fromLatin1(m->className()), nullptr)) return Prototype(c);
  }
  return Prototype();
}

bool AlwaysStored(const QMetaObject* meta, const char* property)
{
  const QByteArray key = QByteArray("AlwaysStored:") + property;
  return meta->indexOfClassInfo(key.constData()) >= 0;
}

// A class may decide per object whether a property is stored, with a method
// `Q_INVOKABLE bool Stored<Property>() const`; without one it is.
bool StoredByObject(QObject* o, const QByteArray& property)
{
  // What a control takes from its parent (ShowHint while ParentShowHint,
  // Color while ParentColor) is not its own: stored, it would read back as
  // set on the control, which then no longer follows its parent.
  const QByteArray parentFlag = "Parent" + property;
  const int flag = o->metaObject()->indexOfProperty(parentFlag.constData());
  if (flag >= 0 && o->metaObject()->property(flag).metaType().id() == QMetaType::Bool &&
      o->metaObject()->property(flag).read(o).toBool())
    return false;
  const QByteArray signature = "Stored" + property + "()";
  const int index = o->metaObject()->indexOfMethod(signature.constData());
  if (index < 0) return true;
  bool stored = true;
  o->metaObject()->method(index).invoke(o, Qt::DirectConnection, Q_RETURN_ARG(bool, stored));
  return stored;
}

// An enumeration or set value, whatever its storage size.
int RawInt(const QVariant& v)
{
  const void* d = v.constData();
  switch (v.metaType().sizeOf()) {
  case 1: return *static_cast<const qint8*>(d);
  case 2: return *static_cast<const qint16*>(d);
  case 8: return int(*static_cast<const qint64*>(d));
  default: return *static_cast<const qint32*>(d);
  }
}

bool IsPointerTo(const QMetaProperty& p, const QMetaObject* base)
{
  const QMetaObject* m = p.metaType().metaObject();
  return (p.metaType().flags() & QMetaType::PointerToQObject) && m && m->inherits(base);
}

class Writer {
public:
  QString Run(TComponent* root)
  {
    root_ = root;
    WriteObject(root, 0);
    return out_;
  }

private:
  void Line(int depth, const QString& text) { out_ += QString(depth * 2, u' ') + text + u'\n'; }

  void WriteObject(TComponent* c, int depth)
  {
    Line(depth, QStringLiteral("object %1: %2").arg(c->Name(), QString::fromLatin1(c->metaObject()->className())));
    Prototype proto = MakePrototype(c->metaObject());
    WriteProperties(c, proto.get(), QString(), depth + 1);
    for (TComponent* child : c->GetChildren(root_)) WriteObject(child, depth + 1);
    Line(depth, QStringLiteral("end"));
  }

  void WriteProperties(QObject* o, QObject* proto, const QString& prefix, int depth)
  {
    const QMetaObject* meta = o->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
      QMetaProperty p = meta->property(i);
      const QByteArray name = p.name();
      if (name == "objectName" || (name == "Name" && qobject_cast<TComponent*>(o))) continue;
      QVariant value = p.read(o);
      QVariant protoValue;
      if (proto && proto->metaObject()->indexOfProperty(name.constData()) >= 0) protoValue = proto->property(name.constData());

      // Sub-objects are read-only pointers (Qt counts those as not stored).
      if (IsPointerTo(p, &TPersistent::staticMetaObject)) {
        QObject* sub = value.value<QObject*>();
        QObject* protoSub = protoValue.isValid() ? protoValue.value<QObject*>() : nullptr;
        if (sub) WriteProperties(sub, protoSub, prefix + QString::fromLatin1(name) + u'.', depth);
        continue;
      }
      if (!p.isWritable() || !p.isStored() || !StoredByObject(o, name)) continue;
      const bool always = AlwaysStored(meta, name.constData());
      QString text = Format(o, p, value);
      if (text.isNull()) continue;
      if (!always && protoValue.isValid() && text == Format(proto, p, protoValue)) continue;
      if (!always && !protoValue.isValid() && IsDefaultLooking(value)) continue;
      Line(depth, prefix + QString::fromLatin1(name) + QStringLiteral(" = ") + text);
    }
  }

  // Without a prototype, leave out what reads as "nothing".
  static bool IsDefaultLooking(const QVariant& v)
  {
    if (!v.isValid() || v.isNull()) return true;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Double: return v.toDouble() == 0;
    case QMetaType::Bool: return !v.toBool();
    case QMetaType::QString: return v.toString().isEmpty();
    case QMetaType::QByteArray: return v.toByteArray().isEmpty();
    case QMetaType::QStringList: return v.toStringList().isEmpty();
    default: return false;
    }
  }

  // The value as description text; a null string when it is not written.
  QString Format(QObject* o, const QMetaProperty& p, const QVariant& v) const
  {
    const QMetaType type = p.metaType();
    if (const TEventTypes::Entry* event = TEventTypes::Find(type.id())) {
      QString method = event->MethodName(v);
      return method.isEmpty() ? QString() : method;
    }
    if (IsPointerTo(p, &TComponent::staticMetaObject)) {
      auto* c = qobject_cast<TComponent*>(v.value<QObject*>());
      return c && !c->Name().isEmpty() ? c->Name() : QStringLiteral("nil");
    }
    if (p.isFlagType()) {
      QMetaEnum e = p.enumerator();
      const int bits = RawInt(v);
      QStringList keys;
      for (int i = 0; i < e.keyCount(); ++i) {
        const uint k = uint(e.value(i));
        if (k != 0 && (k & (k - 1)) == 0 && (uint(bits) & k) == k) keys << QString::fromLatin1(e.key(i));
      }
      return u'[' + keys.join(QStringLiteral(", ")) + u']';
    }
    if (p.isEnumType()) {
      const int raw = RawInt(v);
      const char* key = p.enumerator().valueToKey(raw);
      return key ? QString::fromLatin1(key) : QString::number(raw);
    }
    if (IsDescIntegerType(type.id())) {
      const qint64 n = v.toLongLong();
      if (const auto* table = TIntegerIdents::ForProperty(o->metaObject(), p.name()))
        if (auto name = TIntegerIdents::ToName(*table, int(n)); name && qint64(int(n)) == n) return *name;
      return QString::number(n);
    }
    switch (type.id()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float: {
      QString s = QString::number(v.toDouble(), 'g', 17);
      if (!s.contains(u'.') && !s.contains(u'e')) s += QStringLiteral(".0");
      return s;
    }
    case QMetaType::QString: return QuoteDescString(v.toString());
    case QMetaType::QByteArray: return FormatBinary(v.toByteArray());
    case QMetaType::QStringList: {
      QStringList items;
      for (const QString& s : v.toStringList()) items << QuoteDescString(s);
      return u'(' + items.join(u' ') + u')';
    }
    default: return QString();  // not streamable
    }
  }

  static QString FormatBinary(const QByteArray& bytes)
  {
    const QString hex = QString::fromLatin1(bytes.toHex().toUpper());
    if (hex.size() <= 64) return u'{' + hex + u'}';
    QString out = QStringLiteral("{");
    for (qsizetype i = 0; i < hex.size(); i += 64) out += QStringLiteral("\n    ") + hex.mid(i, 64);
    return out + u'}';
  }

  TComponent* root_ = nullptr;
  QString out_;
};

} // namespace

QString WriteComponentText(TComponent* root) { return root ? Writer().Run(root) : QString(); }
