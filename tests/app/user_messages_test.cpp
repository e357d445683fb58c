// What the user reads: the components' English messages in Chinese, the
// system's reason kept in its words.
#include "app/user_messages.h"

#include <gtest/gtest.h>

namespace {

TEST(UserMessageText, TheProgramsOwnMessagesAreChineseAndTheSystemsReasonStays)
{
  const struct {
    const char* Message;
    const char* Shown;
  } cases[] = {
      {"Cannot create file /媒体/a: b.mp3: Read-only file system", "无法创建文件 /媒体/a: b.mp3：Read-only file system"},
      {"Cannot write file /tmp/x.mp3: No space left on device", "无法写入文件 /tmp/x.mp3：No space left on device"},
      {"Cannot open file /tmp/%2.ini. Permission denied", "无法打开文件 /tmp/%2.ini：Permission denied"},
      {"Unable to write to /etc/mainform.ini: Permission denied", "无法写入 /etc/mainform.ini：Permission denied"},
      {"The capture device failed: the sound system stopped responding", "录音设备出错：声音系统没有响应"},
      {"The capture device failed: No such device", "录音设备出错：No such device"},
      {"Failed to create DirectSound device: DSERR_GENERIC", "无法打开录音设备（DSERR_GENERIC）"},
      {"Failed to create DirectSound buffer", "无法打开录音设备：不能建立录音缓冲区"},
      {"Component is Busy", "录音正在进行，请先停止录音"},
      {"设置无法保存", "设置无法保存"},
      {"Something else", "Something else"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UserMessageText(QString::fromUtf8(c.Message)).toStdString(), c.Shown) << c.Message;
}

} // namespace
