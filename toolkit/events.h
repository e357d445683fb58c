// Events: callbacks that take the sending object first. An event is either set
// in code (any callable) or bound by a window description to a method of the
// form by name; the bound name is kept so that the description can be written
// back.
//
// Handler methods that a description may bind are declared Q_INVOKABLE (or as
// slots) on the form, with exactly the event's parameters, e.g.
//   Q_INVOKABLE void ButtonClick(QObject* Sender);
// Var parameters are plain references: `bool& CanClose`.
#pragma once

#include <QByteArray>
#include <QMetaMethod>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <type_traits>

using TObject = QObject;

namespace events_detail {
// The parameter type name as moc records it, for checking a handler's signature.
template <typename A>
QByteArray ParameterTypeName()
{
  using Bare = std::remove_cvref_t<A>;
  QByteArray name = QMetaType::fromType<Bare>().name();
  if constexpr (std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>)
    name += '&';
  return name;
}
bool SameParameterType(const QByteArray& expected, const QByteArray& declared);
} // namespace events_detail

template <typename... Args>
class TEvent {
public:
  using Function = std::function<void(Args...)>;

  TEvent() = default;
  template <typename F>
    requires(std::is_invocable_v<F, Args...> && !std::is_same_v<std::remove_cvref_t<F>, TEvent>)
  TEvent(F f) : fn_(std::move(f)) {}

  explicit operator bool() const { return static_cast<bool>(fn_); }
  void operator()(Args... args) const
  {
    if (fn_) fn_(std::forward<Args>(args)...);
  }

  // Equal when both are empty or both are bound to the same method of the
  // same object; callables set in code never compare equal.
  friend bool operator==(const TEvent& a, const TEvent& b)
  {
    if (!a.fn_ || !b.fn_) return !a.fn_ && !b.fn_;
    return !a.methodName_.isEmpty() && a.methodName_ == b.methodName_ && a.target_ == b.target_;
  }

  // Name of the form method this event was bound to; empty when set in code.
  const QString& MethodName() const { return methodName_; }
  QObject* Target() const { return target_; }

  // True when `method` takes exactly this event's parameters.
  static bool Accepts(const QMetaMethod& method)
  {
    if (method.parameterCount() != static_cast<int>(sizeof...(Args))) return false;
    const QList<QByteArray> declared = method.parameterTypes();
    const QByteArray expected[] = {events_detail::ParameterTypeName<Args>()..., QByteArray()};
    for (int i = 0; i < method.parameterCount(); ++i)
      if (!events_detail::SameParameterType(expected[i], declared[i])) return false;
    return true;
  }

  // Binds to `method` of `target`. The call is skipped once the target is gone.
  static TEvent Bind(QObject* target, const QMetaMethod& method)
  {
    TEvent e;
    QPointer<QObject> guard(target);
    const int index = method.methodIndex();
    e.fn_ = [guard, index](Args... args) {
      if (!guard) return;
      void* argv[] = {nullptr, const_cast<void*>(static_cast<const void*>(&args))...};
      QMetaObject::metacall(guard.data(), QMetaObject::InvokeMetaMethod, index, argv);
    };
    e.methodName_ = QString::fromLatin1(method.name());
    e.target_ = target;
    return e;
  }

private:
  Function fn_;
  QString methodName_;
  QPointer<QObject> target_;
};

// Registry of event types, so that the description reader can bind any event
// property by its meta-type.
class TEventTypes {
public:
  struct Entry {
    // Builds the property value bound to `method`, or nothing when the
    // method's parameters do not fit.
    std::function<std::optional<QVariant>(QObject* target, const QMetaMethod& method)> Bind;
    // Name of the bound method held by a property value ("" when unbound or set in code).
    std::function<QString(const QVariant&)> MethodName;
    // True when the property value holds a handler.
    std::function<bool(const QVariant&)> Assigned;
  };

  template <typename E>
  static void Register()
  {
    Entry entry;
    entry.Bind = [](QObject* target, const QMetaMethod& method) -> std::optional<QVariant> {
      if (!E::Accepts(method)) return std::nullopt;
      return QVariant::fromValue(E::Bind(target, method));
    };
    entry.MethodName = [](const QVariant& v) { return v.value<E>().MethodName(); };
    entry.Assigned = [](const QVariant& v) { return static_cast<bool>(v.value<E>()); };
    Add(QMetaType::fromType<E>().id(), std::move(entry));
  }
  static const Entry* Find(int metaTypeId);

private:
  static void Add(int metaTypeId, Entry entry);
};

using TNotifyEvent = TEvent<TObject*>;
Q_DECLARE_METATYPE(TNotifyEvent)
// Sender and one integer: several families share this signature (a mixer
// line change, the tray icon's animation cycle), so it is declared once here.
using TIntEvent = TEvent<TObject*, int>;
Q_DECLARE_METATYPE(TIntEvent)
