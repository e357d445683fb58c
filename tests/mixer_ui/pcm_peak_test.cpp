// The peak meter fed from captured PCM: the tap passes a recording's bytes
// through unchanged and the connector feeds one consistent snapshot per tick.
#include "mixer_ui_fixture.h"

#include "mixer_ui/mm_pcm_peak.h"

namespace {

// Stereo 16-bit: left at +-1000, right reaching -20000 once every 64 frames.
class PatternInput : public TAuInput {
public:
  explicit PatternInput(TComponent* owner) : TAuInput(owner) {}
  int InBitsPerSample() override { return 16; }
  int InChannels() override { return 2; }
  int InSampleRate() override { return 44100; }
  void OpenInput() override { ++opens; }
  void CloseInput() override { ++closes; }
  // One continuous stream of 64-frame cycles, cut wherever the reader asks.
  int ReadData(void* buffer, int capacity) override
  {
    auto* out = static_cast<char*>(buffer);
    for (int i = 0; i < capacity; ++i, ++offset) {
      const int frame = int(offset / 4) % 64, part = int(offset % 4);
      const qint16 v = part < 2 ? qint16(frame % 2 ? 1000 : -1000) : qint16(frame == 10 ? right : 50);
      out[i] = char(part % 2 ? (uint16_t(v) >> 8) : (uint16_t(v) & 0xFF));
    }
    written.append(out, capacity);
    return capacity;
  }
  qint64 offset = 0;
  qint16 right = -20000;
  int opens = 0, closes = 0;
  QByteArray written;
};

TEST_F(MixerUiTest, TheTapPassesPcmThroughAndTheConnectorFeedsOneSnapshotPerTick)
{
  auto* input = new PatternInput(&owner);
  auto* tap = new TMMPcmPeakTap(&owner);
  EXPECT_THROW(tap->OpenInput(), EAuException);
  tap->SetInput(input);
  auto* left = new TMMLevel(&owner);
  auto* right = new TMMLevel(&owner);
  auto* connector = new TMMPcmConnector(&owner);
  connector->SetLevel1(left);
  connector->SetLevel2(right);
  EXPECT_FALSE(left->Enabled());  // no tap yet
  connector->SetTap(tap);
  EXPECT_TRUE(left->Enabled());

  tap->OpenInput();
  EXPECT_EQ(input->opens, 1);
  // Odd-sized reads split samples between blocks: the channels stay apart.
  QByteArray passed;
  char buffer[256];
  for (int size : {101, 155, 256}) {
    const int n = tap->ReadData(buffer, size);
    passed.append(buffer, n);
  }
  EXPECT_EQ(passed, input->written);
  EXPECT_EQ(tap->Position(), passed.size());
  MMTickTimer::Tick();
  EXPECT_EQ(left->LastValue(), 1000);
  EXPECT_EQ(right->LastValue(), 20000);
  MMTickTimer::Tick();  // nothing captured since: silence
  EXPECT_EQ(right->LastValue(), 0);

  input->right = -32768;  // pinned to full scale
  tap->ReadData(buffer, 256);
  tap->ReadData(buffer, 256);
  qint32 l = 0, r = 0, both = 0;
  tap->Snapshot(l, r, both);
  EXPECT_EQ(r, 32767);
  EXPECT_EQ(both, 32767);
  tap->CloseInput();
  EXPECT_EQ(input->closes, 1);

  // 8-bit mono: both channels see the one signal.
  const uint8_t mono[] = {128, 200, 60, 128};
  tap->Feed(mono, 4, 8, 1);
  tap->Snapshot(l, r, both);
  EXPECT_EQ(l, 72 * 256);
  EXPECT_EQ(r, 72 * 256);

  input->Free();
  EXPECT_EQ(tap->Input(), nullptr);
  tap->Free();
  EXPECT_EQ(connector->Tap(), nullptr);
  EXPECT_FALSE(right->Enabled());
}

} // namespace
