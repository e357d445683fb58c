// Plays one network audio stream at a time: opens an address, reports what
// happens (buffering, playing, the stream's tags, errors, its end) and takes
// volume and mute. The Linux implementation is GStreamer's playbin3 on
// GStreamer's own threads; its reports arrive queued on the thread that made
// the engine, never while a call into it runs. TStreamEngineMemory stands in
// for tests of what is built on top.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct TStreamEvent {
  enum TKind { seBuffering, sePlaying, seTags, seError, seEnded };
  enum TError { erNone, erNotFound, erUnreachable, erNotAudio, erUnknownCodec, erBadPlaylist, erOther };
  TKind Kind = sePlaying;
  int Percent = 0;        // seBuffering: 0..100
  QString Title;          // seTags: the stream's title ("" when this tag list has none)
  QString Name;           // seTags: the station's name as the stream gives it (ICY's icy-name)
  QString Codec;          // seTags: as the stream names it
  int Bitrate = 0;        // seTags: bits per second (0: not in this list)
  TError Error = erNone;  // seError
  QString Detail;         // seError: the framework's own words, for the log
};

class TStreamEngine {
public:
  virtual ~TStreamEngine() = default;
  // Drops what played before and connects to `url`. Reports of an earlier
  // Open never arrive after this call.
  virtual void Open(const QUrl& url) = 0;
  // Stops and lets go of the connection; nothing more is reported.
  virtual void Close() = 0;
  // Holds the sound while the stream buffers (true) and lets it go on.
  virtual void SetPaused(bool paused) = 0;
  // 0..1, applied to the decoded sound (not the system mixer).
  virtual void SetVolume(double volume) = 0;
  virtual void SetMuted(bool muted) = 0;
  // Seconds a blocked read may last before the connection counts as lost.
  virtual void SetReadTimeout(int seconds) { (void)seconds; }

  // The decoded sound as it plays, taken before volume and mute, as 44.1 kHz
  // 16-bit stereo (interleaved, little-endian), on the framework's own thread.
  // A copy is made only while a sink is set; any thread may set one, and a
  // call that replaces or clears it returns once no call to the old one runs.
  static constexpr int kPcmRate = 44100, kPcmChannels = 2, kPcmBits = 16;
  using TPcmSink = std::function<void(const char* data, qsizetype bytes)>;
  virtual void SetPcmSink(TPcmSink sink) = 0;

  std::function<void(const TStreamEvent&)> OnEvent;
};

// GStreamer's playbin3; nullptr with `error` set when GStreamer or its
// playbin3 is missing. Decoded sound is split in the audio sink bin before
// its `volume` element: one way to the output (the sound server, or with
// `soundOutput` false nowhere, paced by the clock alone, for recording only),
// the other converted for the PCM sink.
std::unique_ptr<TStreamEngine> CreateGstStreamEngine(QString* error = nullptr, bool soundOutput = true);

// Records what it is asked; the test plays the stream's part with Emit.
class TStreamEngineMemory : public TStreamEngine {
public:
  void Open(const QUrl& url) override
  {
    opened.push_back(url);
    open = true;
    paused = false;
  }
  void Close() override { open = false; }
  void SetPaused(bool p) override { paused = p; }
  void SetVolume(double v) override { volume = v; }
  void SetMuted(bool m) override { muted = m; }
  void SetPcmSink(TPcmSink sink) override
  {
    std::lock_guard lock(pcmMutex);
    pcmSink = std::move(sink);
  }
  void Emit(const TStreamEvent& e)
  {
    if (open && OnEvent) OnEvent(e);
  }
  // The stream's decoded sound, while it is open.
  void EmitPcm(const QByteArray& pcm)
  {
    std::lock_guard lock(pcmMutex);
    if (open && pcmSink) pcmSink(pcm.constData(), pcm.size());
  }

  std::vector<QUrl> opened;
  bool open = false;
  bool paused = false;
  bool muted = false;
  double volume = 1.0;

private:
  std::mutex pcmMutex;
  TPcmSink pcmSink;
};
