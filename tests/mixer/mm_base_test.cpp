// Change batching (on a bevel), observers, named identifiers, the numeric
// helpers and the platform value tables.
#include "mixer_fixture.h"

#include "mixer/mm_utils.h"
#include "mixer_ui/mm_bevel.h"
#include "support/thrown.h"
#include "toolkit/forms.h"

namespace {

TEST(MMObject, SettersReportOnlyRealChangesAndBatchesFireOnceAtTheOutermostLevel)
{
  TMMBevel bevel;
  ChangeCounter count;
  count.Attach(bevel);

  bevel.SetBevelOuter(TControl::bvLowered);  // the default: nothing happens
  bevel.SetBorderColor(clBtnFace);
  EXPECT_EQ(count.Changed, 0);
  bevel.SetBorderWidth(2);
  EXPECT_EQ(count.Changed, 1);
  EXPECT_EQ(count.Changing, 0);

  bevel.BeginUpdate();
  bevel.BeginUpdate();
  bevel.SetBevelInner(TControl::bvRaised);
  bevel.SetBevelInnerWidth(3);
  bevel.SetBorderSpace(1);
  bevel.EndUpdate();
  bevel.SetColor(TMMBevel::ciOuterLight, 0x123456);
  bevel.SetBorderStyle(mm::bsSingle);
  EXPECT_EQ(count.Changing, 1);
  EXPECT_EQ(count.Changed, 1);
  bevel.EndUpdate();
  EXPECT_EQ(count.Changing, 1);
  EXPECT_EQ(count.Changed, 2);
  EXPECT_EQ(bevel.OuterLightColor(), 0x123456);
  EXPECT_EQ(bevel.UpdateCount(), 0);
}

TEST(MMObserver, AttachmentMovesAndNeverDuplicates)
{
  TMMObservable first, second;
  TMMObserver o;
  int calls = 0;
  o.OnNotify = [&](TMMObserver* sender, QObject*) {
    EXPECT_EQ(sender, &o);
    ++calls;
  };
  first.AddObserver(&o);
  first.AddObserver(&o);
  EXPECT_EQ(first.Observers().size(), 1u);
  second.AddObserver(&o);
  EXPECT_TRUE(first.Observers().empty());
  EXPECT_EQ(o.Observable(), &second);
  first.RemoveObserver(&o);  // not attached there: stays where it is
  EXPECT_EQ(o.Observable(), &second);

  TMMDeviceChange change;
  first.NotifyObservers(&change);
  EXPECT_EQ(calls, 0);
  second.NotifyObservers(&change);
  EXPECT_EQ(calls, 1);
}

TEST(MMObserver, NotificationsRunLastFirstAndSkipLockedObservers)
{
  TMMObservable observable;
  TMMObserver a, b, c;
  QString order;
  a.OnNotify = [&](TMMObserver*, QObject*) { order += 'A'; };
  b.OnNotify = [&](TMMObserver*, QObject*) { order += 'B'; };
  c.OnNotify = [&](TMMObserver*, QObject*) { order += 'C'; };
  observable.AddObserver(&a);
  observable.AddObserver(&b);
  observable.AddObserver(&c);
  TMMLineIdChange change;
  observable.NotifyObservers(&change);
  EXPECT_EQ(order, "CBA");

  order.clear();
  b.Lock();
  EXPECT_TRUE(b.IsLocked());
  observable.NotifyObservers(&change);
  EXPECT_EQ(order, "CA");
  b.Unlock();
  observable.NotifyObservers(&change);
  EXPECT_EQ(order, "CACBA");
}

TEST(MMObserver, DestroyingEitherSideDetaches)
{
  auto observable = std::make_unique<TMMObservable>();
  TMMObserver kept;
  {
    TMMObserver gone;
    observable->AddObserver(&gone);
    observable->AddObserver(&kept);
  }
  ASSERT_EQ(observable->Observers().size(), 1u);
  EXPECT_EQ(observable->Observers()[0], &kept);
  observable.reset();
  EXPECT_EQ(kept.Observable(), nullptr);
}

TEST(MMObserver, AReceiverThatDetachesItselfDoesNotDerailTheBroadcast)
{
  TMMObservable observable;
  TMMObserver a, b, c;
  int aCalls = 0;
  a.OnNotify = [&](TMMObserver*, QObject*) { ++aCalls; };
  c.OnNotify = [&](TMMObserver* self, QObject*) { observable.RemoveObserver(self); };
  observable.AddObserver(&a);
  observable.AddObserver(&b);
  observable.AddObserver(&c);
  TMMDeviceChange change;
  observable.NotifyObservers(&change);
  EXPECT_EQ(aCalls, 1);
  EXPECT_EQ(observable.Observers().size(), 2u);
}

TEST(MMIdents, IdentifierPropertiesReadAndWriteTheirNamesCaseInsensitively)
{
  RegisterMixerClasses();
  const auto* devices = TIntegerIdents::ForProperty(&TMMMixerDevice::staticMetaObject, "DeviceId");
  ASSERT_NE(devices, nullptr);
  EXPECT_EQ(TIntegerIdents::ToValue(*devices, "mapperid"), -1);
  EXPECT_EQ(TIntegerIdents::ToValue(*devices, "MAPPERID"), -1);
  EXPECT_EQ(TIntegerIdents::ToValue(*devices, "InvalidId"), -2);
  EXPECT_EQ(TIntegerIdents::ToName(*devices, -1), QString("MapperId"));
  EXPECT_FALSE(TIntegerIdents::ToName(*devices, 0).has_value());

  const auto* lines = TIntegerIdents::ForProperty(&TMMAudioLine::staticMetaObject, "LineId");
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(TIntegerIdents::ToValue(*lines, "BADLINEID"), -1);
  EXPECT_EQ(TIntegerIdents::ToName(*lines, -1), QString("badLineId"));
  for (const QMetaObject* meta : {&TMMMixerControl::staticMetaObject, &TMMVolumeControl::staticMetaObject,
                                  &TMMPanControl::staticMetaObject}) {
    const auto* controls = TIntegerIdents::ForProperty(meta, "ControlId");
    ASSERT_NE(controls, nullptr);
    EXPECT_EQ(TIntegerIdents::ToValue(*controls, "badcontrolid"), -1);
  }
  const auto* items = TIntegerIdents::ForProperty(&TMMControlInfo::staticMetaObject, "MultipleItems");
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(TIntegerIdents::ToValue(*items, "noitem"), -1);
  EXPECT_EQ(TComponentClasses::Find("TMMAudioLine"), &TMMAudioLine::staticMetaObject);
}

TEST(MMUtils, RangesClampsAndWideProducts)
{
  EXPECT_EQ(mm::MinMax(12, 0, 10), 10);
  EXPECT_EQ(mm::MinMax(-3, 0, 10), 0);
  EXPECT_TRUE(mm::InRange(10, 0, 10));
  EXPECT_FALSE(mm::InRange(11, 0, 10));
  // An empty range 0 .. -1 accepts -1 and 0 and nothing else.
  EXPECT_TRUE(mm::InMinMaxRange(-1, 0, -1));
  EXPECT_TRUE(mm::InMinMaxRange(0, 0, -1));
  EXPECT_FALSE(mm::InMinMaxRange(1, 0, -1));
  EXPECT_FALSE(mm::InMinMaxRange(-2, 0, -1));
  EXPECT_TRUE(mm::InMinMaxRange(7, 9, 5));
  EXPECT_EQ(mm::MulDiv64(40000, 16383, 32767), 19999);
  EXPECT_EQ(mm::MulDiv64(2000000000, 3, 4), 1500000000);  // product beyond 32 bits
  EXPECT_EQ(mm::MulDiv64(-32767, 32767, 65535), -16383);

  void* p = mm::GlobalAllocMem(64);
  ASSERT_NE(p, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(p);
  EXPECT_TRUE(std::all_of(bytes, bytes + 64, [](unsigned char b) { return b == 0; }));
  mm::GlobalFreeMem(p);
  EXPECT_EQ(p, nullptr);
  mm::GlobalFreeMem(p);  // null is fine
}

TEST(MMTypes, PlatformValuesConvertBothWaysAndUnknownOnesAreReported)
{
  for (int t = ctDstDigital; t <= ctSrcWaveOut; ++t)
    EXPECT_EQ(mm::ComponentTypeFromApi(mm::ComponentTypeToApi(TMMComponentType(t))), t);
  EXPECT_EQ(mm::ComponentTypeToApi(ctDstWaveIn), 0x0007u);
  EXPECT_EQ(mm::ComponentTypeToApi(ctSrcWaveOut), 0x1008u);
  EXPECT_EQ(ThrownMessage<EMMMixerServiceError>([&] { mm::ComponentTypeFromApi(0x2000); }), "Undefined API component type");
  for (int t = ctCustom; t <= ctMilliTime; ++t)
    EXPECT_EQ(mm::ControlTypeFromApi(mm::ControlTypeToApi(TMMControlType(t))), t);
  EXPECT_EQ(mm::ControlTypeFromApi(0x20010099), ctCustom);
  EXPECT_EQ(mm::ControlClassOf(ctMute), ccSwitch);
  EXPECT_EQ(mm::ControlClassOf(ctMux), ccList);
  EXPECT_EQ(mm::ControlClassOf(ctPeakMeter), ccMeter);
  EXPECT_EQ(mm::ControlClassOf(ctMilliTime), ccTime);
  EXPECT_THROW(mm::ControlClassOfApi(0x80000000), EMMMixerServiceError);

  EXPECT_EQ(mm::LineFlagsFromApi(0x80008001 | 0x10), TMMLineFlags(cfActive | cfDisconnected | cfSource));
  EXPECT_EQ(mm::ControlFlagsFromApi(0x80000003 | 0x100), TMMControlFlags(cfDisabled | cfMultiple | cfUniform));
}

} // namespace
