#include "sample_components.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

class ComponentTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterSampleClasses(); }
};

TEST_F(ComponentTest, OwnerFreesOwnedComponentsLastFirstAndSiblingsHearOfEachRemoval)
{
  auto* owner = new TSampleWidget(nullptr);
  owner->SetName("Owner");
  auto* a = new TSampleWidget(owner);
  a->SetName("A");
  auto* b = new TSampleWidget(owner);
  b->SetName("B");
  a->SetBuddy(b);
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(1), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(owner->FindComponent("a"), a);  // names match without regard to case

  // Freeing b alone: its sibling a drops the reference.
  TComponent::Free(b);
  EXPECT_EQ(a->Buddy(), nullptr);
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_TRUE(a->log.contains("remove B"));

  bool aGone = false;
  QObject::connect(a, &QObject::destroyed, [&] { aGone = true; });
  TComponent::Free(owner);
  EXPECT_TRUE(aGone);
}

TEST_F(ComponentTest, FreeNotificationAcrossOwnersClearsReferencesBothWays)
{
  auto* formA = new TSampleWidget(nullptr);
  auto* formB = new TSampleWidget(nullptr);
  auto* user = new TSampleWidget(formA);
  user->SetName("User");
  auto* used = new TSampleWidget(formB);
  used->SetName("Used");
  user->SetBuddy(used);
  TComponent::Free(formB);  // frees `used`
  EXPECT_EQ(user->Buddy(), nullptr);
  EXPECT_TRUE(user->log.contains("remove Used"));

  // And the other way: the watcher goes first, the watched one must forget it.
  auto* formC = new TSampleWidget(nullptr);
  auto* used2 = new TSampleWidget(formC);
  user->SetBuddy(used2);
  TComponent::Free(formA);
  // Would touch freed `user` if the link were left behind: the sanitizer run
  // reports such a touch.
  TComponent::Free(formC);
}

TEST_F(ComponentTest, RemoveFreeNotificationStopsNotices)
{
  auto* watcher = new TSampleWidget(nullptr);
  auto* other = new TSampleWidget(nullptr);
  other->SetName("Other");
  other->FreeNotification(watcher);
  other->RemoveFreeNotification(watcher);
  TComponent::Free(other);
  EXPECT_FALSE(watcher->log.contains("remove Other"));
  TComponent::Free(watcher);
}

TEST_F(ComponentTest, NamesMustBeIdentifiersAndUniqueWithinTheOwner)
{
  TSampleWidget owner(nullptr);
  auto* a = new TSampleWidget(&owner);
  a->SetName("Button1");
  auto* b = new TSampleWidget(&owner);
  EXPECT_THROW(b->SetName("button1"), EComponentError);
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  EXPECT_EQ(b->Name(), QString());
  b->SetName("_ok2");
  EXPECT_EQ(b->Name(), "_ok2");
  // Inserting a component whose name clashes is refused too.
  auto* stray = new TSampleWidget(nullptr);
  stray->SetName("Button1");
  EXPECT_THROW(owner.InsertComponent(stray), EComponentError);
  TComponent::Free(stray);
}

TEST_F(ComponentTest, DestroyingStateIsVisibleToNotifiedComponents)
{
  auto* owner = new TSampleWidget(nullptr);
  auto* child = new TSampleWidget(owner);
  bool sawDestroying = false;
  QObject::connect(child, &QObject::destroyed, [&] { sawDestroying = owner->IsDestroying(); });
  TComponent::Free(owner);
  EXPECT_TRUE(sawDestroying);
}

TEST_F(ComponentTest, PerformDispatchesToTheMessageHandlerAndPostMessageQueues)
{
  TSampleWidget w(nullptr);
  EXPECT_EQ(w.Perform(1225, 3, 4), 7);
  EXPECT_EQ(w.log.last(), "message 3 4");
  EXPECT_EQ(w.Perform(9999), 0);

  TComponent::PostMessage(&w, 1225, 5, 6);
  EXPECT_NE(w.log.last(), "message 5 6");  // not yet: it waits for the event loop
  QCoreApplication::processEvents();
  EXPECT_EQ(w.log.last(), "message 5 6");

  // A message posted to a component freed before delivery is dropped.
  auto* gone = new TSampleWidget(nullptr);
  TComponent::PostMessage(gone, 1225, 1, 1);
  TComponent::Free(gone);
  QCoreApplication::processEvents();
}

TEST_F(ComponentTest, EventsCallCodeAndBoundMethods)
{
  TSampleForm form(nullptr);
  auto* button = new TSampleWidget(&form);
  button->SetName("Button1");
  int calls = 0;
  button->SetOnClick([&](TObject* sender) {
    EXPECT_EQ(sender, button);
    ++calls;
  });
  button->Click();
  EXPECT_EQ(calls, 1);

  const QMetaObject* m = form.metaObject();
  QMetaMethod handler = m->method(m->indexOfMethod("ButtonClick(QObject*)"));
  ASSERT_TRUE(TNotifyEvent::Accepts(handler));
  EXPECT_FALSE(TNotifyEvent::Accepts(m->method(m->indexOfMethod("WrongHandler(int)"))));
  button->SetOnClick(TNotifyEvent::Bind(&form, handler));
  EXPECT_EQ(button->OnClick().MethodName(), "ButtonClick");
  button->Click();
  EXPECT_EQ(form.clicks, QStringList{"Button1"});
}

TEST_F(ComponentTest, ClassRegistryAndNamedIntegerValues)
{
  EXPECT_NE(TComponentClasses::Find("TSampleWidget"), nullptr);
  EXPECT_EQ(TComponentClasses::Find("TNoSuchClass"), nullptr);
  TComponent* c = TComponentClasses::Create("TSampleWidget", nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->inherits("TSampleWidget"));
  TComponent::Free(c);

  const auto* table = TIntegerIdents::ForProperty(&TSampleWidget::staticMetaObject, "DeviceId");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(TIntegerIdents::ToValue(*table, "mapperid"), -1);
  EXPECT_EQ(TIntegerIdents::ToValue(*table, "INVALIDID"), -2);
  EXPECT_FALSE(TIntegerIdents::ToValue(*table, "Other"));
  EXPECT_EQ(TIntegerIdents::ToName(*table, -2), "InvalidId");
  EXPECT_EQ(TIntegerIdents::ForProperty(&TSampleWidget::staticMetaObject, "Width"), nullptr);
}

} // namespace
