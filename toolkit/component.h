// The component model every part of the program stands on.
//
// A component has a name, an owner that frees it, a list of the components it
// owns, and free-notification: a component that refers to another asks to be
// told when that one goes away (Notification with opRemove) and clears its
// reference then. Published properties, enumerations and sets are Qt
// meta-object properties (Q_PROPERTY, Q_ENUM, Q_FLAG); window descriptions
// read and write them by name.
//
// Ownership is ours, not QObject's: a component never has a QObject parent.
// Free() destroys a component while it is still whole, so the owner and the
// watchers see virtual Notification calls of the full class; plain `delete`
// works too but then the dying object's own overrides are no longer called.
#pragma once

#include "toolkit/events.h"
#include "toolkit/exceptions.h"

#include <QFlags>
#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <vector>

enum class TOperation { opInsert, opRemove };

// Window message: a number with two parameters and a result.
struct TMessage {
  quint32 Msg = 0;
  qintptr WParam = 0;
  qintptr LParam = 0;
  qintptr Result = 0;
};

// A pointer that travels in a message's WParam or LParam, and back. Each
// message that carries one has its typed accessor beside its number.
template <class T>
qintptr PointerParam(T* p)
{
  return reinterpret_cast<qintptr>(p);
}
template <class T>
T* ParamPointer(qintptr param)
{
  return reinterpret_cast<T*>(param);
}

// Messages of the toolkit itself (below the skin notices 1225..1274).
constexpr quint32 WM_USER = 0x0400;

class TComponent;

// A published sub-object of a component (a font, a bevel): streamed as
// dotted property names ("Font.Name"). Owned by its component.
class TPersistent : public QObject {
  Q_OBJECT
public:
  explicit TPersistent(QObject* parent = nullptr) : QObject(parent) {}
  // Copies every published property of `source` (same class or a base).
  virtual void Assign(const TPersistent* source);
  // Runs after any property change made through Changed().
  std::function<void(TPersistent*)> OnChange;

protected:
  void Changed()
  {
    if (OnChange) OnChange(this);
  }
};

class TComponent : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)

public:
  enum TComponentStateFlag {
    csLoading = 0x01,     // a description is being read into it
    csReading = 0x02,     // its own properties are being read
    csDestroying = 0x04,  // Free has begun
    csFreeNotification = 0x08,
    csDesigning = 0x10,   // read for checking or editing: no devices, no windows shown
  };
  Q_DECLARE_FLAGS(TComponentState, TComponentStateFlag)
  Q_FLAG(TComponentState)

  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Destroys the component (null-safe). Prefer this to delete.
  static void Free(TComponent* component);
  void Free() { Free(this); }

  QString Name() const { return name_; }
  // Raises EComponentError for a name that is no identifier or that another
  // component of the same owner already has (case-insensitive).
  virtual void SetName(const QString& NewName);
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  int ComponentIndex() const;
  // Owned component by name, case-insensitive; nullptr when none.
  TComponent* FindComponent(const QString& name) const;
  // The same when it is a T, else nullptr.
  template <class T>
  T* FindComponent(const QString& name) const
  {
    return qobject_cast<T*>(FindComponent(name));
  }
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, last first.
  void DestroyComponents();

  // Asks that `AComponent` be notified (opRemove) when this component goes
  // away, and the other way round.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);
  // Points a reference of this component at `value`, moving the
  // free-notification from the old one; false when it already pointed there.
  template <class T> bool ReplaceReference(T*& field, T* value)
  {
    if (field == value) return false;
    if (field) field->RemoveFreeNotification(this);
    field = value;
    if (value) value->FreeNotification(this);
    return true;
  }

  TComponentState ComponentState() const { return state_; }
  bool IsLoading() const { return state_.testFlag(csLoading); }
  bool IsDestroying() const { return state_.testFlag(csDestroying); }
  // Components that open devices or start work in Loaded skip it while designing.
  bool IsDesigning() const { return state_.testFlag(csDesigning); }
  void SetDesigning(bool on)
  {
    if (on) state_ |= csDesigning; else state_ &= ~TComponentState(csDesigning);
  }

  // The reader marks components it creates as loading and calls Loaded on each
  // once the whole window exists, references linked.
  void BeginLoading() { state_ |= csLoading; }
  virtual void Loaded();

  // Visual nesting in a description (a control's Parent). Non-visual
  // components have none and sit at the root's level.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent*) {}
  // Components written nested inside this one, in order.
  virtual std::vector<TComponent*> GetChildren(TComponent* root) const;

  // Window messages: Perform dispatches synchronously to WndProc.
  qintptr Perform(quint32 Msg, qintptr WParam = 0, qintptr LParam = 0);
  virtual void WndProc(TMessage& Message) { DefaultHandler(Message); }
  virtual void DefaultHandler(TMessage&) {}
  // Queues the message for the UI thread; dropped if the target is freed first.
  static void PostMessage(TComponent* target, quint32 Msg, qintptr WParam = 0, qintptr LParam = 0);

  // Called with opInsert/opRemove for components inserted into or removed from
  // the owner's list and for free-notification partners. Overrides must call
  // the base, which passes a removal (not an insertion) on to every owned component.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

protected:
  // Runs once, first thing of Free (or of the destructor): marks the
  // component destroying, tells the free-notification partners, frees owned
  // components and leaves the owner.
  virtual void BeforeDestruction();

private:
  void Destroying();
  void RemoveFreeNotifications();

  QString name_;
  int tag_ = 0;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  QHash<QString, TComponent*> names_;  // owned components by lower-case name
  quint64 removals_ = 0;               // components that left the list so far
  std::vector<TComponent*> freeNotifies_;
  TComponentState state_;
  bool destructionStarted_ = false;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TComponent::TComponentState)

// True when `name` is a valid component name (letter or '_' then letters,
// digits or '_').
bool IsValidIdent(const QString& name);

// Registry of component classes by name for the description reader.
class TComponentClasses {
public:
  using Factory = std::function<TComponent*(TComponent* owner)>;
  template <typename T>
  static void Register()
  {
    Add(&T::staticMetaObject, [](TComponent* owner) -> TComponent* { return new T(owner); });
  }
  // A class made by its own factory: the program's windows register one that
  // builds a bare window (no description loaded), for the reader and tools.
  template <typename T>
  static void RegisterWith(Factory factory)
  {
    Add(&T::staticMetaObject, std::move(factory));
  }
  // Classes that may only be the root of a description register without a factory.
  static void RegisterRootOnly(const QMetaObject* meta) { Add(meta, nullptr); }
  static const QMetaObject* Find(const QString& className);
  // New component of the class (case-sensitive name), or nullptr when unknown
  // or not creatable.
  static TComponent* Create(const QString& className, TComponent* owner);

private:
  static void Add(const QMetaObject* meta, Factory factory);
};

// Integer property types with named values, streamed by name. A class maps a
// property to a table with Q_CLASSINFO("IntegerIdents:PropName", "TableName").
class TIntegerIdents {
public:
  struct Ident {
    QString Name;
    int Value;
  };
  static void Register(const QString& table, std::vector<Ident> idents);
  static const std::vector<Ident>* Find(const QString& table);
  // Table of `property` of `meta`, or nullptr.
  static const std::vector<Ident>* ForProperty(const QMetaObject* meta, const char* property);
  // Case-insensitive name lookup.
  static std::optional<int> ToValue(const std::vector<Ident>& table, const QString& name);
  static std::optional<QString> ToName(const std::vector<Ident>& table, int value);
};

// Registers the toolkit's own component classes and event types. Safe to call
// more than once.
void RegisterToolkitClasses();

// Reports an error that escaped an event handler: the application's report
// once one is set up (SetToolkitExceptionHandler), else the error's text on
// standard error.
void HandleToolkitException(std::exception_ptr error);
void SetToolkitExceptionHandler(std::function<void(std::exception_ptr)> handler);
// Runs work called from Qt's event dispatch, a timer or a watcher: an error
// that escapes it goes to the application's report instead of unwinding into
// the caller.
template <typename F>
void Guarded(F&& f)
{
  try {
    f();
  } catch (...) {
    HandleToolkitException(std::current_exception());
  }
}
