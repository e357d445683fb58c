// The record window's capture source as kept in the settings file.
#include "app/record_source.h"
#include "audio/dx_audio_in.h"
#include "platform/capture_memory.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(RecordSourceTest, ChoiceIsKeptBesideThePlacementAndFollowedByName)
{
  QTemporaryDir dir;
  const QString ini = dir.filePath("mainform.ini");
  WriteFile(ini, "[main]\nleft=12\n");
  EXPECT_EQ(ReadRecordSource(ini), QString()) << "no entry: the default input";
  WriteRecordSource(ini, QStringLiteral("正在播放的声音"));
  EXPECT_EQ(ReadRecordSource(ini), QStringLiteral("正在播放的声音"));

  TMemoryCaptureSystem system;
  system.DeviceList = {{"default", "默认输入"}, {"pulse:x", "USB Microphone"}, {"pulse:m", "正在播放的声音"}};
  TDXAudioIn in(nullptr, &system);
  EXPECT_TRUE(UseRecordSource(in, ReadRecordSource(ini)));
  EXPECT_EQ(in.DeviceNumber(), 2);

  // A source that is gone (a microphone unplugged) records from the default
  // input and the choice stays for when it is back.
  WriteRecordSource(ini, QStringLiteral("Headset"));
  EXPECT_FALSE(UseRecordSource(in, ReadRecordSource(ini)));
  EXPECT_EQ(in.DeviceNumber(), 0);
  EXPECT_EQ(ReadRecordSource(ini), QStringLiteral("Headset"));

  // Forgetting the choice leaves the placement alone.
  WriteRecordSource(ini, QString());
  EXPECT_EQ(ReadRecordSource(ini), QString());
  QFile f(ini);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll().contains("left=12"));
}

TEST(RecordSourceTest, UnwritableSettingsAreReported)
{
  EXPECT_THROW(WriteRecordSource(QStringLiteral("/proc/velmora/mainform.ini"), QStringLiteral("x")), Exception);
}

} // namespace
