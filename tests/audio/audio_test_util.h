// Helpers of the audio tests: a tone source, waiting on conditions while
// servicing the worker's synchronised calls, and MP3 decoding with libmpg123.
#pragma once

#include "audio/au_pipeline.h"
#include "support/played_tone.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

// Runs the UI thread's queued calls until `done` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// What pactl answers (output and errors), "<pactl did not finish>" after 5 s.
QString Pactl(const QStringList& args);

// A sine tone of known frequency and level, sized or endless, as 8-bit
// (unsigned), 16-bit or 24-bit PCM.
class TToneInput : public TAuInput {
  Q_OBJECT
public:
  explicit TToneInput(TComponent* owner = nullptr) : TAuInput(owner) {}
  int Bits = 16, Channels = 2, Rate = 44100;
  double Frequency = 1000, Amplitude = 0.5;
  double RightFrequency = 0;  // 0: the right channel plays Frequency too
  qint64 TotalBytes = -1;     // -1: endless
  qint64 FailAtBytes = -1;    // ReadData raises once this many bytes were delivered
  bool FailOpen = false;
  std::atomic<int> Opens{0}, Closes{0};

  int InBitsPerSample() override { return Bits; }
  int InChannels() override { return Channels; }
  int InSampleRate() override { return Rate; }
  int ReadData(void* buffer, int capacity) override;
  void OpenInput() override;
  void CloseInput() override;
  void SetPosition(qint64 p) { position_ = p; }
  void SetSize(qint64 s) { size_ = s; }

private:
  qint64 frame_ = 0;
};

struct TDecoded {
  bool Ok = false;
  long Rate = 0;
  int Channels = 0;
  std::vector<int16_t> Samples;  // interleaved
  std::vector<int> Bitrates;     // kbps of every frame
  int64_t ReportedLength = -1;   // samples per channel the file claims before a full scan
  std::string Title, Artist, Album, Year, Comment, Genre, Track;  // ID3v2, UTF-8
  std::string DayMonth;  // ID3v2.3 TDAT, "DDMM"
  bool HasV1 = false;
  std::string V1Title, V1Artist, V1Album, V1Year, V1Comment;
  size_t Frames() const { return Channels ? Samples.size() / size_t(Channels) : 0; }
  double Seconds() const { return Rate ? double(Frames()) / double(Rate) : 0; }
};
TDecoded DecodeMp3(const QString& path);

struct TToneStats {
  double Frequency = 0;
  double Rms = 0;
};
// Frequency (zero crossings) and RMS of one channel over frames [from, to).
TToneStats AnalyzeTone(const TDecoded& d, int channel, size_t from, size_t to);
// The longest unbroken stretch, in seconds, of 20 ms windows of channel 0
// holding a tone within 30 Hz of `frequency` at least half as loud as the
// whole recording (the level the server's volumes gave it): a gap breaks it.
double LongestToneSeconds(const TDecoded& d, double frequency);

// Whether a recorded tone runs on unbroken. The tone's phase against the
// file's own sample clock is measured in 20 ms windows: audio dropped or
// repeated anywhere shifts it (unless by whole periods), silence breaks it.
struct TToneContinuity {
  double FirstToneAt = -1;  // seconds into the file where the tone begins
  double ToneSeconds = 0;   // from there to the end of the file
  int Gaps = 0;             // breaks after the tone began
  double Level = 0;         // the tone's typical amplitude (0..32767)
};
TToneContinuity AnalyzeContinuity(const TDecoded& d, double frequency, int channel = 0);

// The frame count recorded in the file's Xing/Info frame, -1 when none.
int64_t InfoFrameCount(const QString& path);

QByteArray ReadAll(const QString& path);
// True when the first MPEG frame is the encoder's blank placeholder (all zero after the header).
bool FirstFrameIsEmptyPlaceholder(const QString& path);
