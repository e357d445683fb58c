// The station's recording source on the in-memory engine and a clock of the
// test's own: sound passes once it flows, gaps become silence up to the
// clock, sound too far ahead is dropped, and only an open take gets any.
#include "audio/station_audio_in.h"
#include "audio/station_player.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

class StationAudioInTest : public ::testing::Test {
protected:
  StationAudioInTest()
  {
    auto e = std::make_unique<TStreamEngineMemory>();
    engine = e.get();
    player = std::make_unique<TStationPlayer>(std::move(e));
    in = std::make_unique<TStationAudioIn>(nullptr, player.get());
    in->Clock = [this] { return now; };
    player->Play({"k", "测试台", "http://127.0.0.1:1/a.mp3", {}, {}});
  }
  ~StationAudioInTest() override
  {
    in.reset();
    player.reset();
  }
  // `ms` of stereo frames whose samples all hold `value`.
  static QByteArray Sound(int ms, qint16 value)
  {
    QByteArray pcm(TStationAudioIn::BytesFor(ms), Qt::Uninitialized);
    auto* s = reinterpret_cast<qint16*>(pcm.data());
    std::fill(s, s + pcm.size() / 2, value);
    return pcm;
  }
  // One read of up to `ms`.
  QByteArray Read(int ms = 10000)
  {
    QByteArray out(TStationAudioIn::BytesFor(ms), '\x7f');
    out.truncate(in->ReadData(out.data(), int(out.size())));
    return out;
  }
  static bool All(const QByteArray& pcm, qint16 value)
  {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    return std::all_of(s, s + pcm.size() / 2, [value](qint16 v) { return v == value; });
  }

  qint64 now = 50000;
  TStreamEngineMemory* engine;
  std::unique_ptr<TStationPlayer> player;
  std::unique_ptr<TStationAudioIn> in;
};

TEST_F(StationAudioInTest, ABurstThatStallsStaysOnePieceAndAGapBecomesSilenceUpToTheClock)
{
  EXPECT_EQ(in->InSampleRate(), 44100);
  EXPECT_EQ(in->InChannels(), 2);
  EXPECT_EQ(in->InBitsPerSample(), 16);
  in->OpenInput();
  // The first sound comes as a burst, stalls while the output starts, then
  // flows: held until it flows, the pieces stay together and end at the clock.
  constexpr int S = TStationAudioIn::kSettleMaxMs;
  engine->EmitPcm(Sound(100, 1000));
  now += 500;
  for (int i = 0; i < 4; ++i, now += 100) engine->EmitPcm(Sound(100, 1001));
  now -= 100;
  const QByteArray lead = Read();
  EXPECT_EQ(lead.size(), TStationAudioIn::BytesFor(300));
  EXPECT_TRUE(All(lead, 0));
  EXPECT_TRUE(All(Read(100), 1000));
  EXPECT_TRUE(All(Read(), 1001));
  EXPECT_EQ(in->Position(), TStationAudioIn::BytesFor(800));

  // Within a stream's jitter nothing is made up: a stop finds nothing to hand out.
  now += TStationAudioIn::kJitterMs;
  in->InterruptRead();
  EXPECT_EQ(Read().size(), 0);

  // The station drops for 2 s: the gap is silence, exactly up to the clock.
  now += 2000 - TStationAudioIn::kJitterMs;
  const QByteArray gap = Read();
  EXPECT_EQ(gap.size(), TStationAudioIn::BytesFor(2000));
  EXPECT_TRUE(All(gap, 0));
  EXPECT_EQ(in->Position(), TStationAudioIn::BytesFor(800 + 2000));
  EXPECT_EQ(in->SilenceBytes(), lead.size() + gap.size());

  // It comes back in the same take, once it flows.
  for (int i = 0; i < 4; ++i, now += 100) engine->EmitPcm(Sound(100, -7));
  now -= 100;
  const QByteArray back = Read();
  EXPECT_EQ(back.size(), TStationAudioIn::BytesFor(400));
  EXPECT_TRUE(All(back, -7));
  // Flowing sound that comes late follows silence up to the clock.
  now += 1600;
  engine->EmitPcm(Sound(200, 4));
  const QByteArray pause = Read();
  EXPECT_EQ(pause.size(), TStationAudioIn::BytesFor(1600 - 100 - 200));
  EXPECT_TRUE(All(pause, 0));
  EXPECT_TRUE(All(Read(), 4));
  EXPECT_EQ(in->Position(), TStationAudioIn::BytesFor(4700));
  EXPECT_EQ(in->DroppedBytes(), 0);
  in->CloseInput();

  // Closed, nothing reaches it; a new take starts empty.
  engine->EmitPcm(Sound(100, 5));
  in->OpenInput();
  EXPECT_EQ(in->Position(), 0);
  EXPECT_EQ(in->SilenceBytes(), 0);
  engine->EmitPcm(Sound(S, 9));
  EXPECT_TRUE(All(Read(), 9));
  in->CloseInput();
}

TEST_F(StationAudioInTest, SoundTooFarAheadOfTheClockGoesOldestFirst)
{
  in->OpenInput();
  // A burst of 3 s at once: only the newest second (the ahead allowance) stays.
  engine->EmitPcm(Sound(1000, 1));
  engine->EmitPcm(Sound(1000, 2));
  engine->EmitPcm(Sound(TStationAudioIn::kAheadMs, 3));
  const QByteArray kept = Read();
  EXPECT_EQ(kept.size(), TStationAudioIn::BytesFor(TStationAudioIn::kAheadMs));
  EXPECT_TRUE(All(kept, 3));
  EXPECT_EQ(in->DroppedBytes(), TStationAudioIn::BytesFor(2000));

  // A reader that stalls keeps the newest kMaxHeldMs; what it lost is silence,
  // so the take stays as long as the clock ran.
  for (int i = 0; i < 7; ++i) {
    now += 1000;
    engine->EmitPcm(Sound(1000, qint16(10 + i)));
  }
  EXPECT_TRUE(All(Read(), 0));
  EXPECT_EQ(in->Position(), TStationAudioIn::BytesFor(2000));
  const QByteArray held = Read(20000);
  EXPECT_EQ(held.size(), TStationAudioIn::BytesFor(TStationAudioIn::kMaxHeldMs));
  EXPECT_TRUE(All(held.left(TStationAudioIn::BytesFor(1000)), 12));
  EXPECT_EQ(in->Position(), TStationAudioIn::BytesFor(7000));
  in->CloseInput();
}

TEST_F(StationAudioInTest, StopsAtItsLengthAndNeedsAPlayer)
{
  in->SetBytesToRead(TStationAudioIn::BytesFor(1000));
  EXPECT_EQ(in->TotalSeconds(), 1);
  in->OpenInput();
  now += 5000;
  EXPECT_EQ(Read().size(), TStationAudioIn::BytesFor(1000));
  EXPECT_EQ(Read().size(), 0);
  in->CloseInput();

  // A player without an engine (GStreamer missing) cannot be recorded.
  TStationPlayer none(nullptr);
  TStationAudioIn orphan(nullptr, &none);
  EXPECT_THROW(orphan.OpenInput(), EAuException);
  EXPECT_FALSE(orphan.Busy());
}

} // namespace
