// The desktop's media controls (media keys, the panel's player widget,
// playerctl): the program publishes what plays and takes the commands. The
// Linux implementation is MPRIS2 on the session bus
// (org.mpris.MediaPlayer2.velmora); without a session bus it stays silent.
// TMediaControlsMemory records what is published for tests.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

struct TMediaState {
  enum TStatus { msStopped, msPlaying, msPaused };
  TStatus Status = msStopped;
  QString TrackId;   // changes with each station
  QString Title;     // the stream's title, else the station's name
  QString Artist;    // when the title reads "artist - title"
  QString Album;     // the station's name
  QString ArtUrl;    // the station's icon (http(s) only)
  double Volume = 1.0;
  bool CanPlay = false;
  bool operator==(const TMediaState&) const = default;
};

class TMediaControls {
public:
  virtual ~TMediaControls() = default;
  // Publishes the state; every change is announced to the desktop.
  virtual void Publish(const TMediaState& state) = 0;
  // Whether the desktop can reach the controls (a session bus, the name held).
  virtual bool Registered() const = 0;

  std::function<void()> OnPlay, OnPause, OnPlayPause, OnStop, OnRaise, OnQuit;
  std::function<void(const QUrl&)> OnOpenUri;
  std::function<void(double)> OnVolume;
};

// MPRIS2 on the session bus; Registered() false (and no word said) without one.
// `busAddress` names a bus of its own (tests); empty: the session bus.
std::unique_ptr<TMediaControls> CreateMprisMediaControls(const QString& busAddress = QString());

class TMediaControlsMemory : public TMediaControls {
public:
  void Publish(const TMediaState& s) override
  {
    if (s == state) return;
    state = s;
    ++changes;
  }
  bool Registered() const override { return true; }
  TMediaState state;
  int changes = 0;
};

// Splits "artist - title" as stations send it; artist empty when it does not read so.
void SplitStreamTitle(const QString& streamTitle, QString& artist, QString& title);
