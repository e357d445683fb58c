// The mixer components as a window description sets them up: published
// properties written by name the way a reader does (numbers, enumeration
// keys, component references), events bound to methods of the form by name,
// and Loaded run once everything exists.
#include "mixer_fixture.h"

#include "toolkit/form_reader.h"

#include <QMetaProperty>

namespace {

bool Write(QObject* o, const char* name, const QVariant& value)
{
  const int index = o->metaObject()->indexOfProperty(name);
  return index >= 0 && o->metaObject()->property(index).write(o, value);
}

QVariant Read(QObject* o, const char* name) { return o->property(name); }

class TTestForm : public TComponent {
  Q_OBJECT
public:
  using TComponent::TComponent;
  Q_INVOKABLE void MixerControlChange(QObject* Sender, int LineId, int CtlId)
  {
    calls << QStringLiteral("%1:%2:%3").arg(Sender->objectName()).arg(LineId).arg(CtlId);
  }
  Q_INVOKABLE void MuteChange(QObject* Sender) { calls << "mute:" + Sender->objectName(); }
  QStringList calls;
};

class PropertiesTest : public MixerTest {
protected:
  void SetUp() override
  {
    MixerTest::SetUp();
    RegisterToolkitClasses();  // TNotifyEvent
  }
};

TEST_F(PropertiesTest, AStoredFormOpensTheMixerAndResolvesOnlyOnceLoaded)
{
  AddStandardMixer();
  AddStandardMixer("Second");
  TTestForm form(nullptr);
  auto* mixer = new TMMMixerDevice(&form);
  auto* line = new TMMAudioLine(&form);
  auto* mute = new TMMMixerControl(&form);
  mixer->SetName("MMMixerDevice1");
  mute->SetName("MMMute");
  for (TComponent* c : {static_cast<TComponent*>(mixer), static_cast<TComponent*>(line), static_cast<TComponent*>(mute)})
    c->BeginLoading();

  EXPECT_TRUE(Write(mixer, "Active", true));
  EXPECT_TRUE(Write(mixer, "DeviceId", 1));
  EXPECT_TRUE(Write(line, "Mixer", QVariant::fromValue<QObject*>(mixer)));
  EXPECT_TRUE(Write(line, "LineId", -65535));
  EXPECT_TRUE(Write(mute, "AudioLine", QVariant::fromValue<QObject*>(line)));
  EXPECT_TRUE(Write(mute, "ControlType", QString("ctMute")));
  EXPECT_EQ(Read(mixer, "Active").toBool(), true);  // the stored value while loading
  EXPECT_EQ(mixer->Handle(), 0u);
  EXPECT_EQ(mute->ControlClass(), ccSwitch);
  EXPECT_EQ(mute->ControlId(), -1);

  for (TComponent* c : {static_cast<TComponent*>(mixer), static_cast<TComponent*>(line), static_cast<TComponent*>(mute)})
    c->Loaded();
  EXPECT_TRUE(mixer->Active());
  EXPECT_NE(mixer->Handle(), 0u);
  EXPECT_EQ(mixer->MixerId(), 1);
  EXPECT_EQ(line->LineInfo()->Name(), "Recording Control");
  EXPECT_TRUE(mute->IsEnabled());
  EXPECT_EQ(Read(mute, "ControlType").toInt(), int(ctMute));
  EXPECT_EQ(Read(line, "ComponentType").toInt(), int(ctDstWaveIn));

  // Storage rules: what a description would write back.
  EXPECT_TRUE(line->StoredLineId());
  EXPECT_FALSE(line->StoredComponentType());
  EXPECT_TRUE(mute->StoredControlType());
  EXPECT_FALSE(mute->StoredControlId());
  EXPECT_TRUE(mixer->StoredDeviceId());
}

TEST_F(PropertiesTest, EventsBindToFormMethodsByName)
{
  AddStandardMixer();
  TTestForm form(nullptr);
  auto* mixer = new TMMMixerDevice(&form);
  mixer->SetName("MMMixerDevice1");
  auto* line = new TMMAudioLine(&form);
  line->SetMixer(mixer);
  line->SetLineId(-65535);
  auto* mute = new TMMMixerControl(&form);
  mute->SetName("MMMute");
  mute->SetAudioLine(line);
  mute->SetControlType(ctMute);

  auto bind = [&](QObject* target, const char* property, const char* method) {
    const QMetaProperty p = target->metaObject()->property(target->metaObject()->indexOfProperty(property));
    const TEventTypes::Entry* entry = TEventTypes::Find(p.userType());
    EXPECT_NE(entry, nullptr) << property;
    if (!entry) return;
    const QMetaMethod m = form.metaObject()->method(form.metaObject()->indexOfMethod(method));
    auto value = entry->Bind(&form, m);
    ASSERT_TRUE(value.has_value()) << method;
    EXPECT_TRUE(p.write(target, *value));
    EXPECT_EQ(entry->MethodName(p.read(target)), QString::fromLatin1(m.name()));
  };
  bind(mixer, "OnControlChange", "MixerControlChange(QObject*,int,int)");
  bind(mute, "OnChange", "MuteChange(QObject*)");
  bind(line, "OnControlChange", "MixerControlChange(QObject*,int,int)");

  mixer->SetActive(true);
  mem->InjectControlChange(0, recMute, {1});
  PumpPosted();
  // The report travels mixer -> line -> control; each fires its event after
  // passing the report on.
  EXPECT_EQ(form.calls, QStringList({"mute:MMMute", QString(":-65535:%1").arg(recMute),
                                     QString("MMMixerDevice1:-65535:%1").arg(recMute)}));
}

TEST_F(PropertiesTest, DisplayOnlyPropertiesAreNeverStoredAndIgnoreWrites)
{
  AddStandardMixer();
  TMMMixerDevice mixer(&owner);
  TMMAudioLine line(&owner);
  TMMPanControl pan(&owner);
  const std::pair<QObject*, const char*> shown[] = {
      {&mixer, "DeviceCount"}, {&mixer, "DeviceCaps"}, {&mixer, "Mapper"}, {&mixer, "Destinations"},
      {&line, "LineInfo"},     {&pan, "ControlInfo"},  {&pan, "ControlClass"}};
  for (auto [object, name] : shown) {
    const QMetaProperty p = object->metaObject()->property(object->metaObject()->indexOfProperty(name));
    ASSERT_TRUE(p.isValid()) << name;
    EXPECT_FALSE(p.isStored()) << name;
    EXPECT_TRUE(p.isWritable()) << name;
  }
  EXPECT_TRUE(Write(&mixer, "DeviceCount", 9));
  EXPECT_EQ(mixer.DeviceCount(), 1);
  EXPECT_TRUE(Write(&mixer, "Destinations", 9));
  EXPECT_EQ(mixer.Destinations(), 2);
  EXPECT_TRUE(Write(mixer.DeviceCaps(), "ProductName", QString("changed")));
  EXPECT_EQ(mixer.DeviceCaps()->ProductName(), "Test Mixer");
  EXPECT_EQ(Read(&pan, "Simulate").toBool(), true);
}

} // namespace


namespace {
class DescriptionTest : public MixerTest {
protected:
  void SetUp() override
  {
    MixerTest::SetUp();
    RegisterToolkitClasses();
  }
};

const char* kRecordingMixer = R"(object Root: TComponent
  object MMMixerDevice1: TMMMixerDevice
    Active = True
  end
  object MMAudioLine1: TMMAudioLine
    Mixer = MMMixerDevice1
    LineId = -65535
  end
  object MMMute: TMMMixerControl
    AudioLine = MMAudioLine1
    ControlType = ctMute
  end
  object MMSpeakers: TMMAudioLine
    Mixer = MMMixerDevice1
    ComponentType = ctDstSpeakers
  end
  object MMVolume: TMMMixerControl
    AudioLine = MMSpeakers
    ControlId = badControlId
  end
end
)";

TEST_F(DescriptionTest, AReadDescriptionOpensResolvesAndWritesBackOnlyWhatItStores)
{
  AddStandardMixer();
  TComponent root(nullptr);
  ReadComponentText(kRecordingMixer, "recording.dfm", &root);
  auto* mixer = qobject_cast<TMMMixerDevice*>(root.FindComponent("MMMixerDevice1"));
  auto* line = qobject_cast<TMMAudioLine*>(root.FindComponent("MMAudioLine1"));
  auto* mute = qobject_cast<TMMMixerControl*>(root.FindComponent("MMMute"));
  auto* speakers = qobject_cast<TMMAudioLine*>(root.FindComponent("MMSpeakers"));
  ASSERT_TRUE(mixer && line && mute && speakers);
  EXPECT_TRUE(mixer->Active());
  EXPECT_NE(mixer->Handle(), 0u);
  EXPECT_EQ(line->LineInfo()->Name(), "Recording Control");
  EXPECT_TRUE(mute->IsEnabled());
  EXPECT_EQ(speakers->LineId(), -65536);

  const QString written = WriteComponentText(&root);
  EXPECT_TRUE(written.contains("Active = True")) << written.toStdString();
  EXPECT_FALSE(written.contains("DeviceId")) << written.toStdString();
  EXPECT_TRUE(written.contains("LineId = -65535")) << written.toStdString();
  EXPECT_TRUE(written.contains("ComponentType = ctDstSpeakers")) << written.toStdString();
  EXPECT_EQ(written.count("LineId"), 1) << written.toStdString();
  EXPECT_EQ(written.count("ComponentType"), 1) << written.toStdString();
  EXPECT_TRUE(written.contains("ControlType = ctMute")) << written.toStdString();
  EXPECT_FALSE(written.contains("ControlId")) << written.toStdString();

  // Read back, the same lines are found the same ways.
  TComponent again(nullptr);
  ReadComponentText(written, "again.dfm", &again);
  auto* line2 = qobject_cast<TMMAudioLine*>(again.FindComponent("MMAudioLine1"));
  auto* speakers2 = qobject_cast<TMMAudioLine*>(again.FindComponent("MMSpeakers"));
  EXPECT_EQ(line2->LineMode(), TMMAudioLine::lmById);
  EXPECT_EQ(speakers2->LineMode(), TMMAudioLine::lmByComponentType);
  EXPECT_EQ(speakers2->LineId(), -65536);
}

TEST_F(DescriptionTest, CheckingADescriptionTouchesNoDevice)
{
  AddStandardMixer();
  TComponent root(nullptr);
  TReadOptions options;
  options.Designing = true;
  ReadComponentText(kRecordingMixer, "recording.dfm", &root, nullptr, options);
  auto* mixer = qobject_cast<TMMMixerDevice*>(root.FindComponent("MMMixerDevice1"));
  auto* line = qobject_cast<TMMAudioLine*>(root.FindComponent("MMAudioLine1"));
  EXPECT_EQ(mixer->Handle(), 0u);
  EXPECT_TRUE(mixer->Active());  // as stored
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::Open), 0);
  EXPECT_EQ(line->LineId(), -65535);
  EXPECT_EQ(mem->CallCount(TMemoryMixerBackend::Call::LineInfo), 0);
  EXPECT_TRUE(WriteComponentText(&root).contains("Active = True"));
}
} // namespace

#include "mm_properties_test.moc"
