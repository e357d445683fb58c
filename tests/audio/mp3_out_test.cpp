// TMP3Out: real LAME output decoded back with libmpg123.
#include "audio/mp3_frames.h"
#include "audio/mp3_out.h"
#include "audio_test_util.h"
#include "support/scoped_process_state.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

// The text of an ID3v2.3 frame (Latin-1 frames only), or nothing when the tag lacks it.
std::optional<QByteArray> Id3TextFrame(const QByteArray& file, const char* id)
{
  if (!file.startsWith("ID3") || file.size() < 10) return std::nullopt;
  const auto byte = [&](qsizetype i) { return quint32(quint8(file[i])); };
  const qsizetype end = 10 + ((byte(6) << 21) | (byte(7) << 14) | (byte(8) << 7) | byte(9));
  for (qsizetype pos = 10; pos + 10 <= end && file[pos] != 0;) {
    const qsizetype size = (byte(pos + 4) << 24) | (byte(pos + 5) << 16) | (byte(pos + 6) << 8) | byte(pos + 7);
    if (file.mid(pos, 4) == id) return file.mid(pos + 11, size - 1);
    pos += 10 + size;
  }
  return std::nullopt;
}

struct Mp3Fixture : ::testing::Test {
  QTemporaryDir Dir;
  QString Path(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }

  // Records `input` into `file` until the input is exhausted.
  static void RecordAll(TMP3Out& out, const QString& file)
  {
    out.SetFileName(file);
    std::atomic<bool> done{false};
    QString failure;
    out.SetOnDone(TOutputDoneEvent([&](TObject*) { done = true; }));
    out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
    out.Start();
    ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
    EXPECT_EQ(failure, QString());
    EXPECT_EQ(out.State(), TAuOutput::asIdle);
  }
};

TEST_F(Mp3Fixture, ToneSurvivesEncodingAtEachRecorderBitRate)
{
  const struct {
    TMP3Out::TMP3BitRate Rate;
    int Kbps;
  } cases[] = {{TMP3Out::br32, 32}, {TMP3Out::br64, 64}, {TMP3Out::br128, 128}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Kbps);
    TToneInput input;
    input.TotalBytes = 2 * 44100 * 4;  // two seconds
    input.Frequency = 440;
    input.Amplitude = 0.5;
    TMP3Out out(nullptr);
    out.SetInput(&input);
    out.SetBitRate(c.Rate);
    const QString file = Path("tone.mp3");
    RecordAll(out, file);

    const TDecoded d = DecodeMp3(file);
    ASSERT_TRUE(d.Ok);
    ASSERT_FALSE(d.Bitrates.empty());
    for (int b : d.Bitrates) EXPECT_EQ(b, c.Kbps);
    const double frame = (d.Rate >= 32000 ? 1152.0 : 576.0) / double(d.Rate);
    EXPECT_FALSE(FirstFrameIsEmptyPlaceholder(file));
    if (c.Kbps > 32) {
      // The Info frame tells decoders the encoder's delay and padding: within one frame.
      EXPECT_NEAR(double(InfoFrameCount(file)), double(d.Bitrates.size()), 1.0);  // gapless decoding may drop a pure padding frame
      EXPECT_NEAR(d.Seconds(), 2.0, frame);
      EXPECT_NEAR(double(d.ReportedLength), double(d.Frames()), frame * d.Rate);
    } else {
      // 32 kbps frames (144 bytes at 16 kHz) are too small for the encoder's
      // Info frame, so it writes none; the delay and padding stay in.
      EXPECT_EQ(InfoFrameCount(file), -1);
      EXPECT_NEAR(d.Seconds(), 2.0, 3 * frame);
    }
    const TToneStats t = AnalyzeTone(d, 0, d.Frames() / 4, d.Frames() * 3 / 4);
    EXPECT_NEAR(t.Frequency, 440.0, 440.0 * 0.01);
    EXPECT_NEAR(20 * std::log10(t.Rms / (0.5 * 32767 / std::sqrt(2.0))), 0.0, 1.0) << "level in dB";
    EXPECT_EQ(input.Closes.load(), 1);
  }
}

TEST_F(Mp3Fixture, MonoInputIsFedToBothChannelsAndEncodedMono)
{
  TToneInput input;
  input.Channels = 1;
  input.TotalBytes = 44100 * 2;  // one second
  input.Amplitude = 0.4;
  TMP3Out out(nullptr);
  out.SetMode(TMP3Out::STEREO);
  out.SetInput(&input);
  RecordAll(out, Path("mono.mp3"));
  const TDecoded d = DecodeMp3(Path("mono.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Channels, 1);
  EXPECT_NEAR(d.Seconds(), 1.0, 1152.0 / d.Rate);
  // A silent right channel would have halved the level of the mono mix.
  const TToneStats t = AnalyzeTone(d, 0, d.Frames() / 4, d.Frames() * 3 / 4);
  EXPECT_NEAR(t.Frequency, 1000.0, 10.0);
  EXPECT_NEAR(20 * std::log10(t.Rms / (0.4 * 32767 / std::sqrt(2.0))), 0.0, 1.0);
}

TEST_F(Mp3Fixture, VbrBoundsAreSwappedAndRespected)
{
  TToneInput input;
  input.TotalBytes = 44100 * 4 * 2;
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetEnableVBR(true);
  out.SetWriteVBRHeader(true);
  out.SetVBRMinBitrate(192);
  out.SetVBRMaxBitrate(128);
  RecordAll(out, Path("vbr.mp3"));
  EXPECT_EQ(out.VBRMinBitrate(), 128);
  EXPECT_EQ(out.VBRMaxBitrate(), 192);
  const TDecoded d = DecodeMp3(Path("vbr.mp3"));
  ASSERT_TRUE(d.Ok);
  for (int b : d.Bitrates) {
    EXPECT_GE(b, 128);
    EXPECT_LE(b, 192);
  }
  EXPECT_NEAR(double(InfoFrameCount(Path("vbr.mp3"))), double(d.Bitrates.size()), 1.0) << "Xing frame counts the audio frames";
}

TEST_F(Mp3Fixture, LowInputRatesAreEncodedAt32kHz)
{
  TToneInput input;
  input.Rate = 22050;
  input.TotalBytes = 22050 * 4;
  TMP3Out out(nullptr);
  out.SetSampleRate(TMP3Out::sr48kHz);
  out.SetInput(&input);
  RecordAll(out, Path("low.mp3"));
  const TDecoded d = DecodeMp3(Path("low.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Rate, 32000);
  EXPECT_NEAR(d.Seconds(), 1.0, 1152.0 / 32000);
}

TEST_F(Mp3Fixture, ChineseTagsAreUnicodeFramesAndLatinOnesKeepId3v1)
{
  TToneInput input;
  input.TotalBytes = 44100 * 4 / 2;
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetId3TagTitle(QStringLiteral("午夜电台"));
  out.SetId3TagArtist(QStringLiteral("Velmora"));
  out.SetId3TagAlbum(QStringLiteral("Velmora 广播节目"));
  out.SetId3TagYear(QStringLiteral("2026"));
  out.SetId3TagTrack(QStringLiteral("http://radio.velmora.example/"));
  out.SetId3TagComment(QStringLiteral("录音 – Velmora"));
  out.SetId3TagGenre(QStringLiteral("http://radio.velmora.example/"));
  RecordAll(out, Path("tags.mp3"));
  const QByteArray bytes = ReadAll(Path("tags.mp3"));
  ASSERT_TRUE(bytes.startsWith("ID3")) << "the ID3v2 tag leads the file";

  const TDecoded d = DecodeMp3(Path("tags.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Title, "午夜电台");
  EXPECT_EQ(d.Artist, "Velmora");
  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_EQ(d.Year, "2026");
  EXPECT_EQ(d.Comment, "录音 – Velmora");
  EXPECT_EQ(d.Track, "http://radio.velmora.example/");
  EXPECT_NE(d.Genre.find("http://radio.velmora.example/"), std::string::npos);
  ASSERT_TRUE(d.HasV1);
  EXPECT_EQ(d.V1Artist, "Velmora");
  EXPECT_EQ(d.V1Year, "2026");
  EXPECT_EQ(d.V1Title, "") << "text that ID3v1 cannot hold stays out of it";
  EXPECT_EQ(d.V1Album, "");
  // Audio still decodes to the full half second after the tags.
  EXPECT_NEAR(d.Seconds(), 0.5, 1152.0 / d.Rate);
  // A length known in advance is the tag's length.
  EXPECT_EQ(Id3TextFrame(bytes, "TLEN"), QByteArray("500"));
}

TEST_F(Mp3Fixture, StoppedRecordingReportsItsTrueDuration)
{
  TToneInput input;  // endless: the encoder is told no length in advance
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetId3TagArtist(QStringLiteral("Velmora"));
  const QString file = Path("stopped.mp3");
  out.SetFileName(file);
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return input.Position() > 44100 * 4 * 3; }));
  out.RequestStop(true);
  out.WaitForStop();
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_GT(d.Seconds(), 3.0);
  EXPECT_NEAR(d.Seconds(), double(input.Position()) / (44100 * 4), 1152.0 / 44100);
  EXPECT_NEAR(double(InfoFrameCount(file)), double(d.Bitrates.size()), 1.0) << "the Info frame is filled in, not left empty";
  EXPECT_NEAR(double(d.ReportedLength), double(d.Frames()), 1152);
  EXPECT_EQ(ReadAll(file).right(128).left(3), QByteArray("TAG")) << "ends with the flushed frames and the tag";
  EXPECT_TRUE(Id3TextFrame(ReadAll(file), "TPE1").has_value());
  const auto length = Id3TextFrame(ReadAll(file), "TLEN");
  ASSERT_TRUE(length.has_value()) << "the length is written once known";
  EXPECT_NEAR(length->toDouble(), d.Seconds() * 1000, 30);
}

TEST_F(Mp3Fixture, TheLengthTagWaitsForTheRealLength)
{
  TToneInput input;
  input.TotalBytes = qint64(44100) * 4 * 3600;  // an hour asked for, far more than will come
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetId3TagTitle(QStringLiteral("asked"));
  const QString file = Path("asked.mp3");
  out.SetFileName(file);
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return input.Position() > 44100 * 4 * 2; }));
  // A file killed now (kill -9, power cut) claims no length it does not hold.
  EXPECT_EQ(Id3TextFrame(ReadAll(file), "TLEN"), std::nullopt);
  out.RequestStop(true);
  out.WaitForStop();
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  const auto length = Id3TextFrame(ReadAll(file), "TLEN");
  ASSERT_TRUE(length.has_value());
  EXPECT_NEAR(length->toDouble(), d.Seconds() * 1000, 30) << "not the hour asked for";
}

// mp3val's count of a file's frames (the Info frame among them) and its warnings.
struct TMp3Check {
  int Frames = -1;
  QStringList Warnings;
};
TMp3Check Mp3Val(const QString& file)
{
  QProcess p;
  p.start("mp3val", {file});
  TMp3Check c;
  if (!p.waitForFinished(30000)) return c;
  for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
    if (line.startsWith("WARNING")) c.Warnings << line;
    const QRegularExpressionMatch m = QRegularExpression(R"((\d+) MPEG frames)").match(line);
    if (m.hasMatch()) c.Frames = m.captured(1).toInt();
  }
  return c;
}

TEST_F(Mp3Fixture, AfterAFullDiskTheInfoFrameDescribesWhatWasWritten)
{
  TToneInput input;
  TMP3Out out(nullptr);
  out.SetInput(&input);
  out.SetId3TagTitle(QStringLiteral("full"));
  const QString file = Path("full.mp3");
  out.SetFileName(file);
  std::atomic<bool> done{false};
  QString failure;
  out.SetOnDone(TOutputDoneEvent([&](TObject*) { done = true; }));
  out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
  {
    // Writes fail part way, as on a full disk.
    TScopedFileSizeLimit limit(200000);
    out.Start();
    ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
  }
  EXPECT_TRUE(failure.contains("File too large")) << failure.toStdString();
  const TMp3Check check = Mp3Val(file);
  ASSERT_GT(check.Frames, 100) << "mp3val missing or the file unreadable";
  EXPECT_TRUE(check.Warnings.isEmpty()) << check.Warnings.join('\n').toStdString();
  EXPECT_EQ(InfoFrameCount(file), check.Frames - 1) << "the Info frame counts the frames after it";
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  const auto length = Id3TextFrame(ReadAll(file), "TLEN");
  ASSERT_TRUE(length.has_value());
  EXPECT_NEAR(length->toDouble(), d.Seconds() * 1000, 30);
}

TEST_F(Mp3Fixture, TheInfoFrameRewrittenForAWholeFileIsTheEncodersOwn)
{
  TToneInput input;
  input.TotalBytes = 44100 * 4 * 2;
  TMP3Out out(nullptr);
  out.SetInput(&input);
  RecordAll(out, Path("whole.mp3"));
  const QByteArray bytes = ReadAll(Path("whole.mp3"));
  const qsizetype start = bytes.startsWith("ID3") ? 10 + ((quint8(bytes[6]) << 21) | (quint8(bytes[7]) << 14) |
                                                          (quint8(bytes[8]) << 7) | quint8(bytes[9]))
                                                   : 0;
  const int infoLength = ParseMp3FrameHeader(reinterpret_cast<const uint8_t*>(bytes.constData() + start)).Length;
  ASSERT_GT(infoLength, 0);
  const QByteArray info = bytes.mid(start, infoLength);
  const TMp3FrameCount count = CountMp3Frames(bytes.mid(start + infoLength));
  EXPECT_EQ(count.Bytes + start + infoLength, bytes.size()) << "every frame counted";
  QByteArray rewritten = info;
  ASSERT_TRUE(DescribeMp3Frames(rewritten, count));
  // Every byte, the seek table and both CRCs included, is the encoder's.
  EXPECT_EQ(rewritten.toHex(), info.toHex());
}

TEST_F(Mp3Fixture, ExistingFileIsReplacedEvenWhenAppendIsAsked)
{
  const QString file = Path("old.mp3");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(200000, 'x'));
  }
  TToneInput input;
  input.TotalBytes = 44100 * 4 / 4;
  TMP3Out out(nullptr);
  out.SetFileMode(TAuFileOut::foAppend);
  EXPECT_EQ(out.FileMode(), TAuFileOut::foRewrite);
  out.SetInput(&input);
  RecordAll(out, file);
  const QByteArray bytes = ReadAll(file);
  EXPECT_LT(bytes.size(), 20000);
  EXPECT_FALSE(bytes.contains(QByteArray(64, 'x')));
  EXPECT_TRUE(DecodeMp3(file).Ok);
}

// Hands out prepared PCM in pieces that split frames, as a device may.
class TChunkedInput : public TAuInput {
public:
  TChunkedInput(int bits, int channels, QByteArray pcm) : TAuInput(nullptr), bits_(bits), channels_(channels), pcm_(pcm) {}
  int InBitsPerSample() override { return bits_; }
  int InChannels() override { return channels_; }
  int InSampleRate() override { return 44100; }
  int ReadData(void* buffer, int capacity) override
  {
    const int n = std::min<qsizetype>({qsizetype(capacity), pcm_.size() - read_, 5003});
    std::memcpy(buffer, pcm_.constData() + read_, size_t(n));
    read_ += n;
    return n;
  }
  void OpenInput() override { read_ = 0; }
  void CloseInput() override {}

private:
  int bits_, channels_;
  QByteArray pcm_;
  qsizetype read_ = 0;
};

TEST_F(Mp3Fixture, EveryPcmFormatIsConvertedAndKeepsItsChannels)
{
  for (int bits : {8, 16, 24}) {
    for (int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << bits << "-bit, " << channels << " channel(s)");
      TToneInput tone;
      tone.Bits = bits;
      tone.Channels = channels;
      tone.Frequency = 440;
      tone.RightFrequency = 1000;
      tone.Amplitude = 0.5;
      QByteArray pcm(44100 * channels * bits / 8, Qt::Uninitialized);  // one second
      ASSERT_EQ(tone.ReadData(pcm.data(), int(pcm.size())), pcm.size());
      TChunkedInput input(bits, channels, pcm);
      TMP3Out out(nullptr);
      out.SetInput(&input);
      const QString file = Path("format.mp3");
      RecordAll(out, file);
      const TDecoded d = DecodeMp3(file);
      ASSERT_TRUE(d.Ok);
      ASSERT_EQ(d.Channels, channels);
      EXPECT_NEAR(d.Seconds(), 1.0, 1152.0 / 44100);
      const double frequencies[] = {440, 1000};
      for (int c = 0; c < channels; ++c) {
        const TToneStats t = AnalyzeTone(d, c, d.Frames() / 4, d.Frames() * 3 / 4);
        EXPECT_NEAR(t.Frequency, frequencies[c], 5.0) << "channel " << c;
        EXPECT_NEAR(20 * std::log10(t.Rms / (0.5 * 32767 / std::sqrt(2.0))), 0.0, 1.0) << "channel " << c;
      }
    }
  }
}

TEST_F(Mp3Fixture, UnsupportedFormatEndsTheRunWithAClearErrorAndKeepsTheFile)
{
  const QString file = Path("keep.mp3");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier recording");
  }
  const struct {
    int Bits, Channels;
  } cases[] = {{32, 2}, {12, 2}, {0, 2}, {16, 0}, {16, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Bits << "-bit, " << c.Channels << " channel(s)");
    TToneInput input;
    input.Bits = c.Bits;
    input.Channels = c.Channels;
    TMP3Out out(nullptr);
    out.SetInput(&input);
    out.SetFileName(file);
    QString failure;
    out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
    out.Start();
    EXPECT_TRUE(failure.contains(QStringLiteral("不支持的输入格式"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QString::number(c.Bits))) << failure.toStdString();
    EXPECT_EQ(out.State(), TAuOutput::asIdle);
    EXPECT_EQ(input.Opens.load(), 0);
    EXPECT_EQ(ReadAll(file), QByteArray("earlier recording"));
  }
}

// An encoder that refuses the settings it was given.
class TRefusingMp3Out : public TMP3Out {
public:
  using TMP3Out::TMP3Out;
  bool Refuse = true;

protected:
  int InitEncoderParams(lame_global_struct* handle) override { return Refuse ? -1 : TMP3Out::InitEncoderParams(handle); }
};

TEST_F(Mp3Fixture, EncoderThatFailsToInitialiseIsReportedAndTheNextRunWorks)
{
  TToneInput input;
  input.TotalBytes = 44100 * 4 / 4;
  TRefusingMp3Out out(nullptr);
  out.SetInput(&input);
  const QString file = Path("refused.mp3");
  out.SetFileName(file);
  QString failure;
  out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
  out.Start();
  EXPECT_EQ(failure, QStringLiteral("LAME init failed"));
  EXPECT_EQ(out.State(), TAuOutput::asIdle);
  EXPECT_FALSE(input.Busy()) << "the input is left idle";
  EXPECT_EQ(ReadAll(file), QByteArray());
  out.Refuse = false;
  RecordAll(out, file);
  EXPECT_TRUE(DecodeMp3(file).Ok);
}

} // namespace

// Asks for a split once, on the recording thread, after taking the folder away.
class TFolderGoneTone : public TToneInput {
public:
  TMP3Out* Out = nullptr;
  QString Folder, MovedTo;
  int ReadData(void* buffer, int capacity) override
  {
    if (++reads_ == 3) {
      QDir().rename(Folder, MovedTo);
      Out->RequestNextFile(QStringLiteral("下一首"));
    }
    return TToneInput::ReadData(buffer, capacity);
  }

private:
  int reads_ = 0;
};

TEST_F(Mp3Fixture, ASplitWhoseFileCannotBeMadeKeepsTheTakeInTheCurrentFile)
{
  ASSERT_TRUE(QDir(Dir.path()).mkdir("take"));
  TFolderGoneTone input;
  input.TotalBytes = 44100 * 4;
  TMP3Out out(nullptr);
  input.Out = &out;
  input.Folder = Path("take");
  input.MovedTo = Path("moved");
  out.SetInput(&input);
  RecordAll(out, Path("take/a.mp3"));
  ASSERT_EQ(out.Parts().size(), 1u);
  EXPECT_EQ(out.Parts()[0].Frames, 44100);
  EXPECT_TRUE(out.SplitProblem().startsWith("Cannot create file")) << out.SplitProblem().toStdString();
  const TDecoded d = DecodeMp3(Path("moved/a.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 1.0, 0.05) << "the whole take in the one file";
}
