// A sine tone played into the sound server's default sink, for the tests that
// record through the real stack (the private server of scripts/test).
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A 44.1 kHz stereo 16-bit WAV file of a sine tone.
bool WriteToneWav(const QString& path, double seconds, double frequency, double amplitude);
// True while something plays into the sound server's sinks (pactl).
bool SinkIsPlaying();

// Plays from Start() until the object goes (paplay, killed then).
class TPlayedTone {
public:
  explicit TPlayedTone(double seconds, double frequency = 1000.0, double amplitude = 0.5)
      : seconds_(seconds), frequency_(frequency), amplitude_(amplitude)
  {
  }
  ~TPlayedTone() { Stop(); }
  TPlayedTone(const TPlayedTone&) = delete;
  TPlayedTone& operator=(const TPlayedTone&) = delete;

  // Empty once the tone plays (when `untilTheSinkPlays`, once the server has
  // it), else what went wrong.
  QString Start(bool untilTheSinkPlays = true);
  void Stop();

private:
  double seconds_, frequency_, amplitude_;
  QTemporaryDir dir_;
  QProcess player_;
};
