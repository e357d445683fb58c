// The audio classes as a window description sees them: created by class name,
// published properties set by name, enums by their names.
#include "audio/audio_classes.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "platform/capture_memory.h"

#include <QMetaProperty>
#include <gtest/gtest.h>

namespace {

TEST(AudioClassesTest, ComponentsAreCreatedAndSetUpByName)
{
  RegisterAudioClasses();
  TMemoryCaptureSystem system;
  TCaptureSystem::SetDefault(&system);
  TComponent form(nullptr);
  TComponent* in = TComponentClasses::Create("TDXAudioIn", &form);
  TComponent* out = TComponentClasses::Create("TMP3Out", &form);
  TCaptureSystem::SetDefault(nullptr);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(qobject_cast<TDXAudioIn*>(in)->DeviceCount(), 1) << "the table came from the capture system in force";

  EXPECT_TRUE(in->setProperty("InSampleRate", 44100));
  EXPECT_TRUE(in->setProperty("RecTime", 2));
  EXPECT_TRUE(out->setProperty("BitRate", QStringLiteral("br64")));
  EXPECT_TRUE(out->setProperty("Mode", QStringLiteral("MONO")));
  EXPECT_TRUE(out->setProperty("SampleRate", QStringLiteral("sr48kHz")));
  EXPECT_TRUE(out->setProperty("FileMode", QStringLiteral("foAppend")));
  EXPECT_TRUE(out->setProperty("Id3TagAlbum", QStringLiteral("Velmora 广播节目")));
  EXPECT_TRUE(out->setProperty("Input", QVariant::fromValue(qobject_cast<TAuInput*>(in))));

  auto* mp3 = qobject_cast<TMP3Out*>(out);
  EXPECT_EQ(mp3->BitRate(), TMP3Out::br64);
  EXPECT_EQ(mp3->Mode(), TMP3Out::MONO);
  EXPECT_EQ(mp3->SampleRate(), TMP3Out::sr48kHz);
  EXPECT_EQ(mp3->FileMode(), TAuFileOut::foRewrite);
  EXPECT_EQ(mp3->Id3TagAlbum(), QStringLiteral("Velmora 广播节目"));
  EXPECT_EQ(mp3->Input(), in);
  EXPECT_EQ(qobject_cast<TDXAudioIn*>(in)->BytesToRead(), 2 * 44100);

  // The event properties have registered types, so a description can bind them.
  const QMetaObject* meta = out->metaObject();
  for (const char* name : {"OnDone", "OnProgress", "OnThreadException"}) {
    const QMetaProperty p = meta->property(meta->indexOfProperty(name));
    ASSERT_TRUE(p.isValid()) << name;
    EXPECT_NE(TEventTypes::Find(p.metaType().id()), nullptr) << name;
  }
  // Freeing the input first leaves the output without one.
  TComponent::Free(in);
  EXPECT_EQ(mp3->Input(), nullptr);
}

} // namespace
