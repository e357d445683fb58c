// Plays one network audio stream at a time: opens an address, reports what
// happens (buffering, playing, the stream's tags, errors, its end) and takes
// volume and mute. The Linux implementation is GStreamer's playbin3 on
// GStreamer's own threads; its reports arrive queued on the thread that made
// the engine, never while a call into it runs. TStreamEngineMemory stands in
// for tests of what is built on top.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

struct TStreamEvent {
  enum TKind { seBuffering, sePlaying, seTags, seError, seEnded };
  enum TError { erNone, erNotFound, erUnreachable, erNotAudio, erUnknownCodec, erBadPlaylist, erOther };
  TKind kind = sePlaying;
  int percent = 0;        // seBuffering: 0..100
  QString title;          // seTags: the stream's title ("" when this tag list has none)
  QString codec;          // seTags: as the stream names it
  int bitrate = 0;        // seTags: bits per second (0: not in this list)
  TError error = erNone;  // seError
  QString detail;         // seError: the framework's own words, for the log
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

  std::function<void(const TStreamEvent&)> OnEvent;
};

// GStreamer's playbin3; nullptr with `error` set when GStreamer or its
// playbin3 is missing. Decoded sound passes a `volume` element inside the
// audio sink bin before reaching the sound server; its sink pad sees the
// sound before volume and mute (the place to take a copy of it).
std::unique_ptr<TStreamEngine> CreateGstStreamEngine(QString* error = nullptr);

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
  void Emit(const TStreamEvent& e)
  {
    if (open && OnEvent) OnEvent(e);
  }

  std::vector<QUrl> opened;
  bool open = false;
  bool paused = false;
  bool muted = false;
  double volume = 1.0;
};
