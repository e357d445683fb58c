// The capture input over the in-memory capture device: exact bytes, refills in
// whole KiB, the looping buffer, stalls and device failures.
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "audio_test_util.h"
#include "platform/capture_alsa.h"
#include "platform/capture_sources.h"
#include "platform/capture_memory.h"
#include "platform/capture_ring.h"
#include "support/thrown.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// Byte i of the captured stream is i modulo 251 (the memory device's default).
bool IsStreamAt(const std::vector<uint8_t>& data, uint64_t offset)
{
  for (size_t i = 0; i < data.size(); ++i)
    if (data[i] != uint8_t((offset + i) % 251)) return false;
  return true;
}

TEST(CaptureRingTest, WrapsOnWriteAndCopiesAcrossTheEndInOrder)
{
  TCaptureRing ring;
  ring.Reset(1000);
  std::vector<uint8_t> in(700), out(700);
  for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i % 251);
  ring.Write(in.data(), 700);
  ring.Read(out.data(), 600);
  EXPECT_EQ(ring.BytesReady(), 100u);
  for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t((700 + i) % 251);
  ring.Write(in.data(), 700);  // wraps past the end
  EXPECT_EQ(ring.BytesReady(), 800u);
  std::vector<uint8_t> all(800);
  ring.Read(all.data(), 800);  // two parts, consecutive in the destination
  EXPECT_TRUE(IsStreamAt(all, 600));
  EXPECT_EQ(ring.BytesReady(), 0u);
}

TEST(CaptureRingTest, AReaderMoreThanOneBufferBehindReadsOnFromTheOldestByteHeld)
{
  TCaptureRing ring;
  ring.Reset(1000);
  std::vector<uint8_t> in(2300);
  for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i % 251);
  ring.Write(in.data(), 700);
  ring.Write(in.data() + 700, 1600);
  // Once the capture position went round, the whole buffer is new audio: all
  // of it is read, and only what was overwritten is lost (the capture
  // position's remainder alone would have lost 700 bytes more).
  EXPECT_EQ(ring.BytesReady(), 1000u);
  EXPECT_EQ(ring.Lost(), 1300u);
  std::vector<uint8_t> out(1000);
  ring.Read(out.data(), 1000);
  EXPECT_TRUE(IsStreamAt(out, 1300));
  EXPECT_EQ(ring.BytesReady(), 0u);
}

struct CaptureFixture : ::testing::Test {
  TMemoryCaptureSystem System;
  std::unique_ptr<TDXAudioIn> Make()
  {
    auto in = std::make_unique<TDXAudioIn>(nullptr, &System);
    in->SetInBitsPerSample(16);
    in->SetInChannels(2);
    in->SetInSampleRate(44100);
    in->SetBytesToRead(-1);
    return in;
  }
};

TEST_F(CaptureFixture, ConstructionDefaultsAndRecordingTime)
{
  TDXAudioIn in(nullptr, &System);
  EXPECT_EQ(in.InBitsPerSample(), 8);
  EXPECT_EQ(in.InChannels(), 1);
  EXPECT_EQ(in.InSampleRate(), 8000);
  EXPECT_EQ(in.Size(), -1);
  EXPECT_EQ(in.BytesToRead(), 0);
  in.SetInBitsPerSample(16);
  in.SetInChannels(2);
  in.SetInSampleRate(44100);
  in.SetRecTime(5);
  EXPECT_EQ(in.BytesToRead(), 5 * 44100 * 2 * 2);
  EXPECT_EQ(in.TotalSeconds(), 5);
  in.SetRecTime(0);
  EXPECT_EQ(in.BytesToRead(), -1);
  EXPECT_EQ(in.TotalSeconds(), 0);
}

TEST_F(CaptureFixture, DeviceTableKeepsTheFirstSixteenWithShortDescriptions)
{
  System.DeviceList.clear();
  for (int i = 0; i < 20; ++i)
    System.DeviceList.push_back({QByteArray::number(i), QString(200, QChar(u'声'))});
  TDXAudioIn in(nullptr, &System);
  EXPECT_EQ(in.DeviceCount(), 16);
  EXPECT_EQ(in.Device(15).Id, "15");
  EXPECT_EQ(in.Device(0).Description.size(), 127);
  in.SetDeviceNumber(16);
  in.SetInSampleRate(44100);
  EXPECT_EQ(ThrownMessage<EAuException>([&] { in.OpenInput(); }), "Invalid device number");
  EXPECT_FALSE(in.Busy());
  in.SetDeviceNumber(-1);
  EXPECT_THROW(in.OpenInput(), EAuException);

  System.DeviceList.clear();
  TDXAudioIn none(nullptr, &System);
  EXPECT_EQ(none.DeviceCount(), 0);
  EXPECT_THROW(none.OpenInput(), EAuException) << "with no device at all, device 0 is invalid";
}

TEST_F(CaptureFixture, OpenFailuresNameTheCauseAndLeaveTheInputClosed)
{
  auto in = Make();
  System.OpenResult = TCaptureResult::Allocated;
  EXPECT_EQ(ThrownMessage<EAuException>([&] { in->OpenInput(); }), "Failed to create DirectSound device: DSERR_ALLOCATED");
  EXPECT_FALSE(in->Busy());
  System.OpenResult = static_cast<TCaptureResult>(0x80001234);
  EXPECT_EQ(ThrownMessage<EAuException>([&] { in->OpenInput(); }), "Failed to create DirectSound device: Unknown");
  System.OpenResult = TCaptureResult::Ok;
  System.CreateResult = TCaptureResult::BadFormat;
  EXPECT_EQ(ThrownMessage<EAuException>([&] { in->OpenInput(); }), "Failed to create DirectSound buffer");
  EXPECT_FALSE(in->Busy());
  EXPECT_EQ(System.Opens.load(), System.Closes.load()) << "the opened device was released";

  uint8_t block[16];
  EXPECT_EQ(ThrownMessage<EAuException>([&] { in->ReadData(block, sizeof block); }), "The Stream is not opened");
}

TEST_F(CaptureFixture, OpenTwiceIsBusyAndCloseReleasesTheDevice)
{
  auto in = Make();
  in->OpenInput();
  EXPECT_TRUE(in->Busy());
  EXPECT_EQ(System.LastFormat.SampleRate, 44100);
  EXPECT_EQ(System.LastFormat.Channels, 2);
  EXPECT_EQ(System.LastFormat.BitsPerSample, 16);
  EXPECT_EQ(System.LastBufferBytes, uint32_t(TDXAudioIn::CaptureBufferSize));
  EXPECT_EQ(System.Starts.load(), 1);
  EXPECT_EQ(ThrownMessage<EAuException>([&] { in->OpenInput(); }), "The component is busy");
  in->CloseInput();
  EXPECT_FALSE(in->Busy());
  EXPECT_EQ(System.Stops.load(), 1);
  EXPECT_EQ(System.Closes.load(), 1);
}

TEST_F(CaptureFixture, ZeroBytesToReadEndsAtOnce)
{
  auto in = Make();
  in->SetBytesToRead(0);
  in->OpenInput();
  uint8_t block[16384];
  EXPECT_EQ(in->ReadData(block, sizeof block), 0);
  EXPECT_EQ(System.Waits.load(), 0);
  in->CloseInput();
}

TEST_F(CaptureFixture, DeliversTheExactStreamInWholeKiBRefills)
{
  auto in = Make();
  // Uneven arrivals: 70000 bytes per wait is not a whole number of KiB.
  System.Schedule = [](int, int, const TCaptureFormat&) { return 70000u; };
  in->OpenInput();
  std::vector<uint8_t> got;
  uint8_t block[16384];
  while (got.size() < 500000) {
    const int n = in->ReadData(block, sizeof block);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 16384);
    got.insert(got.end(), block, block + n);
  }
  EXPECT_TRUE(IsStreamAt(got, 0)) << "no byte lost or repeated across refills and wraps";
  EXPECT_EQ(in->Position(), int(got.size()));
  EXPECT_EQ(System.WaitedMs.load(), 400 * System.Waits.load());
  in->CloseInput();
}

TEST_F(CaptureFixture, RecordingTimeLimitsTheRun)
{
  auto in = Make();
  in->SetRecTime(1);
  in->OpenInput();
  EXPECT_EQ(in->Size(), 176400);
  uint8_t block[16384];
  int total = 0;
  for (int n; (n = in->ReadData(block, sizeof block)) > 0;) total += n;
  EXPECT_GE(total, 176400);
  EXPECT_LT(total, 176400 + 16384) << "the limit is tested before each read";
  in->CloseInput();
}

TEST_F(CaptureFixture, RecordingsLongerThan2GiBKeepCountingAndStopOnTime)
{
  // Four hours of CD-quality audio are 2.54 GB: past 2^31 bytes after 3.4 hours.
  auto in = Make();
  System.Source = [](uint64_t, uint8_t*, uint32_t) {};  // the bytes do not matter here, only their count
  // Nearly a buffer each time (a whole one would look like none in a looping buffer).
  System.Schedule = [](int, int, const TCaptureFormat&) { return uint32_t(TDXAudioIn::CaptureBufferSize - 1024); };
  in->SetRecTime(4 * 3600);
  const qint64 limit = qint64(4) * 3600 * 176400;
  EXPECT_EQ(in->BytesToRead(), limit);
  EXPECT_EQ(in->TotalSeconds(), 4 * 3600);
  TMP3Out out(nullptr);
  out.SetInput(in.get());
  in->OpenInput();
  EXPECT_EQ(in->Size(), limit);
  std::vector<uint8_t> block(TDXAudioIn::LocalBufferSize);
  qint64 total = 0;
  bool checkedPast2GiB = false;
  for (int n; (n = in->ReadData(block.data(), int(block.size()))) > 0;) {
    total += n;
    if (!checkedPast2GiB && total > std::numeric_limits<int32_t>::max()) {
      checkedPast2GiB = true;
      EXPECT_EQ(in->Position(), total);
      EXPECT_EQ(out.ElapsedSeconds(), RoundHalfEven(total, 176400));
      EXPECT_EQ(out.Progress(), RoundHalfEven(total * 100, limit));
    }
  }
  EXPECT_TRUE(checkedPast2GiB);
  EXPECT_EQ(in->Position(), total);
  EXPECT_GE(total, limit);
  EXPECT_LT(total, limit + qint64(block.size())) << "stops at the recording time, not 2^32 bytes later";
  EXPECT_EQ(out.ElapsedSeconds(), 4 * 3600);
  EXPECT_EQ(out.Progress(), 100);
  in->CloseInput();
}

TEST_F(CaptureFixture, FallingBehindLosesTheOldestAudioAndSaysHowMuch)
{
  auto in = Make();
  const uint32_t over = 300000;
  System.Schedule = [over](int index, int, const TCaptureFormat&) {
    return index == 0 ? uint32_t(TDXAudioIn::CaptureBufferSize) + over : 4096u;
  };
  in->OpenInput();
  uint8_t block[16384];
  // The reader goes on from the oldest byte the looping buffer still holds,
  // and takes the rest of it without waiting.
  ASSERT_EQ(in->ReadData(block, sizeof block), 16384);
  EXPECT_TRUE(IsStreamAt(std::vector<uint8_t>(block, block + 16384), over));
  EXPECT_EQ(in->LostBytes(), qint64(over));
  std::vector<uint8_t> got;
  while (got.size() < size_t(TDXAudioIn::CaptureBufferSize) - 16384) {
    const int n = in->ReadData(block, sizeof block);
    ASSERT_GT(n, 0);
    got.insert(got.end(), block, block + n);
  }
  EXPECT_TRUE(IsStreamAt(got, over + 16384));
  EXPECT_EQ(System.Waits.load(), 1) << "a buffer that held more than one refill is emptied at once";
  in->CloseInput();
  EXPECT_EQ(in->LostBytes(), qint64(over)) << "kept for the report after the run";
}

TEST_F(CaptureFixture, AStallKeepsWaitingWhileTheDeviceLives)
{
  auto in = Make();
  // Nothing (or less than 1 KiB) for five refills, then the audio comes back.
  System.Schedule = [](int index, int, const TCaptureFormat&) -> uint32_t {
    if (index >= 1 && index <= 5) return index == 3 ? 500u : 0u;
    return 70560;
  };
  in->OpenInput();
  std::vector<uint8_t> got;
  uint8_t block[16384];
  while (got.size() < 200000) {
    const int n = in->ReadData(block, sizeof block);
    ASSERT_GT(n, 0) << "a stall must not end the input";
    got.insert(got.end(), block, block + n);
  }
  EXPECT_TRUE(IsStreamAt(got, 0));
  EXPECT_GE(System.Waits.load(), 7);
  in->CloseInput();
}

TEST_F(CaptureFixture, AStalledReadReturnsWhenInterrupted)
{
  auto in = Make();
  System.Schedule = [](int index, int, const TCaptureFormat&) -> uint32_t { return index == 0 ? 4096u : 0u; };
  in->OpenInput();
  uint8_t block[16384];
  EXPECT_EQ(in->ReadData(block, sizeof block), 4096);
  in->InterruptRead();
  EXPECT_EQ(in->ReadData(block, sizeof block), 0);
  in->CloseInput();
}

TEST_F(CaptureFixture, ADeviceThatFailsWhileRecordingIsReported)
{
  QTemporaryDir dir;
  auto in = Make();
  System.FailAtWait = 4;
  System.FailMessage = QStringLiteral("No such device");
  System.Source = [](uint64_t offset, uint8_t* out, uint32_t count) {
    // A 1 kHz tone, 16-bit stereo at 44100 Hz.
    auto* s = reinterpret_cast<int16_t*>(out);
    const uint64_t first = offset / 4;
    for (uint32_t i = 0; i < count / 4; ++i) {
      const auto v = int16_t(12000 * std::sin(2 * M_PI * 1000.0 * double(first + i) / 44100));
      s[2 * i] = s[2 * i + 1] = v;
    }
  };
  TMP3Out out(nullptr);
  out.SetInput(in.get());
  out.SetFileName(dir.filePath("fail.mp3"));
  QString failure;
  std::atomic<int> done{0};
  out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
  out.SetOnDone(TOutputDoneEvent([&](TObject*) { ++done; }));
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return done.load() == 1; }));
  EXPECT_EQ(failure, "The capture device failed: No such device");
  EXPECT_FALSE(in->Busy());
  EXPECT_EQ(System.Closes.load(), 1);
  // What was captured before the failure (four refills of 400 ms) is in the file.
  const TDecoded d = DecodeMp3(dir.filePath("fail.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 1.6, 0.03);
  EXPECT_NEAR(AnalyzeTone(d, 1, 4410, d.Frames() - 4410).Frequency, 1000, 10);
}

TEST_F(CaptureFixture, StopDuringAStallIsPrompt)
{
  QTemporaryDir dir;
  auto in = Make();
  std::atomic<bool> stalled{false};
  System.Schedule = [&](int index, int, const TCaptureFormat&) -> uint32_t {
    if (index < 2) return 70560;
    stalled = true;
    return 0;
  };
  TMP3Out out(nullptr);
  out.SetInput(in.get());
  out.SetFileName(dir.filePath("stall.mp3"));
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return stalled.load(); }));
  out.RequestStop(false);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  const TDecoded d = DecodeMp3(dir.filePath("stall.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 0.8, 0.03);
}

TEST(CaptureSourcesTest, NamesSayWhatEachSourceIs)
{
  TSoundServerState server;
  server.DefaultSink = "out";
  server.Sources = {{"out.monitor", "Monitor of Out", true},
                    {"mic1", "USB Microphone", false},
                    {"mic2", "USB Microphone", false},
                    {"hdmi.monitor", "Monitor of HDMI", true}};
  std::vector<TCaptureDeviceInfo> list = ServerCaptureSources(server);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Description, kDefaultInputName);
  EXPECT_EQ(list[0].Id, "default");
  EXPECT_EQ(list[1].Description, kPlayingSoundName);
  EXPECT_EQ(list[1].Id, "pulse:DEVICE=\"@DEFAULT_MONITOR@\"");
  EXPECT_EQ(list[2].Description, "USB Microphone");
  EXPECT_EQ(list[2].Id, "pulse:DEVICE=\"mic1\"");
  EXPECT_EQ(list[3].Description, "USB Microphone (2)");

  // Nothing plays without an output; a name that would break the device string is left out.
  server.DefaultSink.clear();
  server.Sources = {{"odd\"name", "Odd", false}};
  list = ServerCaptureSources(server);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Description, kDefaultInputName);

  // Without a server: the cards' capture devices, converted to the asked format.
  list = CardCaptureSources({{"PCH", 0, "HDA Intel PCH", "ALC892 Analog"}, {"U0x46d", 0, "USB Camera", ""}});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].Description, "HDA Intel PCH: ALC892 Analog");
  EXPECT_EQ(list[1].Id, "plughw:CARD=PCH,DEV=0");
  EXPECT_EQ(list[2].Description, "USB Camera");
}

TEST(AlsaCaptureTest, DeviceTableStartsWithTheDefaultDevice)
{
  TAlsaCaptureSystem alsa;
  const auto devices = alsa.Devices();
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(devices[0].Id, "default");
  for (const auto& d : devices) EXPECT_FALSE(d.Description.contains(QLatin1Char('\n')));
}

} // namespace
