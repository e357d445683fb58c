#include "toolkit/component.h"

#include "toolkit/exception_text.h"

#include <QHash>
#include <QMetaProperty>
#include <QMutex>
#include <algorithm>
#include <cstdio>
#include <map>

// ---------------------------------------------------------------- events

namespace events_detail {
namespace {
QByteArray Canonical(QByteArray t)
{
  t = QMetaObject::normalizedType(t.constData());
  if (t.startsWith("const ")) t = t.mid(6);
  // TObject is the program's name for QObject.
  if (t.startsWith("TObject")) t = "QObject" + t.mid(7);
  // Compare without the scope of nested enums ("TForm::TCloseAction").
  const int scope = t.lastIndexOf("::");
  if (scope >= 0) t = t.mid(scope + 2);
  return t;
}
} // namespace

bool SameParameterType(const QByteArray& expected, const QByteArray& declared)
{
  return Canonical(expected) == Canonical(declared);
}
} // namespace events_detail

namespace {
QHash<int, TEventTypes::Entry>& EventTypeTable()
{
  static QHash<int, TEventTypes::Entry> table;
  return table;
}
} // namespace

void TEventTypes::Add(int metaTypeId, Entry entry) { EventTypeTable().insert(metaTypeId, std::move(entry)); }

const TEventTypes::Entry* TEventTypes::Find(int metaTypeId)
{
  auto& table = EventTypeTable();
  auto it = table.constFind(metaTypeId);
  return it == table.constEnd() ? nullptr : &it.value();
}

// ---------------------------------------------------------------- persistent

void TPersistent::Assign(const TPersistent* source)
{
  if (!source || source == this) return;
  const QMetaObject* meta = metaObject();
  const QMetaObject* srcMeta = source->metaObject();
  for (int i = QObject::staticMetaObject.propertyCount(); i < srcMeta->propertyCount(); ++i) {
    QMetaProperty sp = srcMeta->property(i);
    int di = meta->indexOfProperty(sp.name());
    if (di < 0) continue;
    QMetaProperty dp = meta->property(di);
    if (dp.isWritable()) dp.write(this, sp.read(source));
  }
}

// ---------------------------------------------------------------- component

bool IsValidIdent(const QString& name)
{
  if (name.isEmpty()) return false;
  auto alpha = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](QChar c) { return alpha(c) || (c >= u'0' && c <= u'9'); });
}

TComponent::TComponent(TComponent* AOwner)
{
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
  if (!destructionStarted_) BeforeDestruction();
}

void TComponent::Free(TComponent* component)
{
  if (!component) return;
  if (!component->destructionStarted_) component->BeforeDestruction();
  delete component;
}

void TComponent::BeforeDestruction()
{
  if (destructionStarted_) return;
  destructionStarted_ = true;
  Destroying();
  RemoveFreeNotifications();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying()
{
  if (state_.testFlag(csDestroying)) return;
  state_ |= csDestroying;
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::RemoveFreeNotifications()
{
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& theirs = other->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, TOperation::opRemove);
  }
}

void TComponent::DestroyComponents()
{
  // Last first; each leaves the list through RemoveComponent, so the ones
  // still alive hear of it and drop their references.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    Free(c);
    if (!components_.empty() && components_.back() == c) components_.pop_back();
  }
}

void TComponent::SetName(const QString& NewName)
{
  if (NewName == name_) return;
  if (!NewName.isEmpty() && !IsValidIdent(NewName))
    throw EComponentError(QStringLiteral("\"%1\" is not a valid component name").arg(NewName));
  if (owner_ && !NewName.isEmpty()) {
    TComponent* other = owner_->FindComponent(NewName);
    if (other && other != this)
      throw EComponentError(QStringLiteral("A component named %1 already exists").arg(NewName));
  }
  if (owner_) {
    if (!name_.isEmpty()) owner_->names_.remove(name_.toLower());
    if (!NewName.isEmpty()) owner_->names_.insert(NewName.toLower(), this);
  }
  name_ = NewName;
  setObjectName(NewName);
}

int TComponent::ComponentIndex() const
{
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const QString& name) const
{
  // Names are identifiers (ASCII), so lower case is their case-blind form.
  if (name.isEmpty()) return nullptr;
  return names_.value(name.toLower(), nullptr);
}

void TComponent::InsertComponent(TComponent* AComponent)
{
  if (!AComponent || AComponent->owner_ == this) return;
  if (!AComponent->name_.isEmpty() && FindComponent(AComponent->name_))
    throw EComponentError(QStringLiteral("A component named %1 already exists").arg(AComponent->name_));
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  components_.push_back(AComponent);
  if (!AComponent->name_.isEmpty()) names_.insert(AComponent->name_.toLower(), AComponent);
  AComponent->owner_ = this;
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
  if (!AComponent || AComponent->owner_ != this) return;
  Notification(AComponent, TOperation::opRemove);
  // From the end: components are freed last first.
  const auto it = std::find(components_.rbegin(), components_.rend(), AComponent);
  if (it != components_.rend()) components_.erase(std::next(it).base());
  if (!AComponent->name_.isEmpty()) names_.remove(AComponent->name_.toLower());
  AComponent->owner_ = nullptr;
  ++removals_;
}

void TComponent::FreeNotification(TComponent* AComponent)
{
  if (!AComponent || AComponent == this) return;
  // Components of one owner already hear of each other through the owner.
  if (!owner_ || AComponent->owner_ != owner_) {
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end()) {
      freeNotifies_.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  state_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
  auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent);
  if (it == freeNotifies_.end()) return;
  freeNotifies_.erase(it);
  AComponent->RemoveFreeNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
  // An insertion concerns the owner alone: passing it on to every owned
  // component would make reading a window quadratic in its components.
  if (Operation != TOperation::opRemove) return;
  if (AComponent) RemoveFreeNotification(AComponent);
  // Copy: a notified component may free others. Until one leaves the list,
  // every component of the copy is still owned and alive.
  const std::vector<TComponent*> owned = components_;
  const quint64 removals = removals_;
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    TComponent* c = *it;
    if (removals_ == removals || std::find(components_.begin(), components_.end(), c) != components_.end())
      c->Notification(AComponent, Operation);
  }
}

void TComponent::Loaded() { state_ &= ~TComponentState(csLoading | csReading); }

std::vector<TComponent*> TComponent::GetChildren(TComponent* root) const
{
  // Without a visual parent, the root writes its directly owned components
  // that have no parent component.
  std::vector<TComponent*> children;
  if (this != root) return children;
  for (TComponent* c : components_)
    if (!c->GetParentComponent() || c->GetParentComponent() == root) children.push_back(c);
  return children;
}

qintptr TComponent::Perform(quint32 Msg, qintptr WParam, qintptr LParam)
{
  TMessage m{Msg, WParam, LParam, 0};
  WndProc(m);
  return m.Result;
}

void TComponent::PostMessage(TComponent* target, quint32 Msg, qintptr WParam, qintptr LParam)
{
  if (!target) return;
  QMetaObject::invokeMethod(
      target, [target, Msg, WParam, LParam] { target->Perform(Msg, WParam, LParam); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- class registry

namespace {
struct ClassEntry {
  const QMetaObject* Meta;
  TComponentClasses::Factory Factory;
};
std::map<QString, ClassEntry>& ClassTable()
{
  static std::map<QString, ClassEntry> table;
  return table;
}
} // namespace

void TComponentClasses::Add(const QMetaObject* meta, Factory factory)
{
  ClassTable()[QString::fromLatin1(meta->className())] = ClassEntry{meta, std::move(factory)};
}

const QMetaObject* TComponentClasses::Find(const QString& className)
{
  auto it = ClassTable().find(className);
  return it == ClassTable().end() ? nullptr : it->second.Meta;
}

TComponent* TComponentClasses::Create(const QString& className, TComponent* owner)
{
  auto it = ClassTable().find(className);
  if (it == ClassTable().end() || !it->second.Factory) return nullptr;
  return it->second.Factory(owner);
}

// ---------------------------------------------------------------- named integers

namespace {
std::map<QString, std::vector<TIntegerIdents::Ident>>& IdentTables()
{
  static std::map<QString, std::vector<TIntegerIdents::Ident>> tables;
  return tables;
}
} // namespace

void TIntegerIdents::Register(const QString& table, std::vector<Ident> idents)
{
  IdentTables()[table] = std::move(idents);
}

const std::vector<TIntegerIdents::Ident>* TIntegerIdents::Find(const QString& table)
{
  auto it = IdentTables().find(table);
  return it == IdentTables().end() ? nullptr : &it->second;
}

const std::vector<TIntegerIdents::Ident>* TIntegerIdents::ForProperty(const QMetaObject* meta, const char* property)
{
  const QByteArray key = QByteArray("IntegerIdents:") + property;
  int index = meta->indexOfClassInfo(key.constData());
  if (index < 0) return nullptr;
  return Find(QString::fromLatin1(meta->classInfo(index).value()));
}

std::optional<int> TIntegerIdents::ToValue(const std::vector<Ident>& table, const QString& name)
{
  for (const Ident& i : table)
    if (i.Name.compare(name, Qt::CaseInsensitive) == 0) return i.Value;
  return std::nullopt;
}

std::optional<QString> TIntegerIdents::ToName(const std::vector<Ident>& table, int value)
{
  for (const Ident& i : table)
    if (i.Value == value) return i.Name;
  return std::nullopt;
}

void RegisterToolkitClasses()
{
  TEventTypes::Register<TNotifyEvent>();
  TComponentClasses::Register<TComponent>();
}

namespace {
std::function<void(std::exception_ptr)>& ExceptionHandler()
{
  static std::function<void(std::exception_ptr)> handler;
  return handler;
}
} // namespace

void SetToolkitExceptionHandler(std::function<void(std::exception_ptr)> handler) { ExceptionHandler() = std::move(handler); }

void HandleToolkitException(std::exception_ptr error)
{
  if (ExceptionHandler())
    ExceptionHandler()(error);
  else
    std::fprintf(stderr, "%s\n", ExceptionText(error).toLocal8Bit().constData());
}
