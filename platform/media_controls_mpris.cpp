// MPRIS2: the root interface (Raise, Quit, what the player is) and the
// player interface on /org/mpris/MediaPlayer2, with PropertiesChanged sent
// for every change the desktop would otherwise have to poll for.
#include "platform/media_controls.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.velmora");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

class TMprisControls;

class TMprisRoot : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
  TMprisRoot(QObject* holder, TMprisControls* controls) : QDBusAbstractAdaptor(holder), controls_(controls) {}
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Velmora网络广播"); }
  QString DesktopEntry() const { return QStringLiteral("velmora"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("http"), QStringLiteral("https")}; }
  QStringList SupportedMimeTypes() const
  {
    return {"audio/mpeg", "audio/aac", "audio/aacp", "audio/ogg", "audio/flac", "audio/x-scpls", "audio/x-mpegurl",
            "application/vnd.apple.mpegurl"};
  }
public slots:
  void Raise();
  void Quit();

private:
  TMprisControls* controls_;
};

class TMprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ No)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPlay)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)
public:
  TMprisPlayer(QObject* holder, TMprisControls* controls) : QDBusAbstractAdaptor(holder), controls_(controls) {}
  QString PlaybackStatus() const;
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  QVariantMap Metadata() const;
  double Volume() const;
  void SetVolume(double volume);
  qlonglong Position() const { return 0; }
  bool No() const { return false; }
  bool Yes() const { return true; }
  bool CanPlay() const;
public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next() {}
  void Previous() {}
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString& uri);
signals:
  void Seeked(qlonglong position);

private:
  TMprisControls* controls_;
};

class TMprisControls : public TMediaControls {
public:
  explicit TMprisControls(const QDBusConnection& connection) : connection_(connection)
  {
    if (!connection_.isConnected()) return;
    root_ = new TMprisRoot(&holder_, this);
    player_ = new TMprisPlayer(&holder_, this);
    registered_ = connection_.registerObject(kPath, &holder_, QDBusConnection::ExportAdaptors) &&
                  connection_.registerService(kService);
  }
  ~TMprisControls() override
  {
    if (!connection_.isConnected()) return;
    connection_.unregisterService(kService);
    connection_.unregisterObject(kPath);
  }

  void Publish(const TMediaState& state) override
  {
    if (state == state_) return;
    const TMediaState old = state_;
    state_ = state;
    if (!registered_) return;
    QVariantMap changed;
    if (old.Status != state.Status) changed.insert("PlaybackStatus", player_->PlaybackStatus());
    if (old.TrackId != state.TrackId || old.Title != state.Title || old.Artist != state.Artist ||
        old.Album != state.Album || old.ArtUrl != state.ArtUrl)
      changed.insert("Metadata", player_->Metadata());
    if (old.Volume != state.Volume) changed.insert("Volume", state.Volume);
    if (old.CanPlay != state.CanPlay) {
      changed.insert("CanPlay", state.CanPlay);
      changed.insert("CanPause", state.CanPlay);
    }
    if (changed.isEmpty()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    connection_.send(signal);
  }
  bool Registered() const override { return registered_; }

  const TMediaState& State() const { return state_; }
  void Call(const std::function<void()>& f) const
  {
    if (f) f();
  }

private:
  QDBusConnection connection_;
  QObject holder_;
  TMprisRoot* root_ = nullptr;
  TMprisPlayer* player_ = nullptr;
  bool registered_ = false;
  TMediaState state_;
  friend class TMprisPlayer;
  friend class TMprisRoot;
};

void TMprisRoot::Raise() { controls_->Call(controls_->OnRaise); }
void TMprisRoot::Quit() { controls_->Call(controls_->OnQuit); }

QString TMprisPlayer::PlaybackStatus() const
{
  switch (controls_->State().Status) {
  case TMediaState::msPlaying: return QStringLiteral("Playing");
  case TMediaState::msPaused: return QStringLiteral("Paused");
  default: return QStringLiteral("Stopped");
  }
}

QVariantMap TMprisPlayer::Metadata() const
{
  const TMediaState& s = controls_->State();
  QVariantMap m;
  if (s.TrackId.isEmpty()) {
    m.insert("mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/TrackList/NoTrack")));
    return m;
  }
  m.insert("mpris:trackid", QVariant::fromValue(QDBusObjectPath(s.TrackId)));
  if (!s.Title.isEmpty()) m.insert("xesam:title", s.Title);
  if (!s.Artist.isEmpty()) m.insert("xesam:artist", QStringList{s.Artist});
  if (!s.Album.isEmpty()) m.insert("xesam:album", s.Album);
  if (!s.ArtUrl.isEmpty()) m.insert("mpris:artUrl", s.ArtUrl);
  return m;
}

double TMprisPlayer::Volume() const { return controls_->State().Volume; }
void TMprisPlayer::SetVolume(double volume)
{
  if (controls_->OnVolume) controls_->OnVolume(qBound(0.0, volume, 1.0));
}
bool TMprisPlayer::CanPlay() const { return controls_->State().CanPlay; }
void TMprisPlayer::Play() { controls_->Call(controls_->OnPlay); }
void TMprisPlayer::Pause() { controls_->Call(controls_->OnPause); }
void TMprisPlayer::PlayPause() { controls_->Call(controls_->OnPlayPause); }
void TMprisPlayer::Stop() { controls_->Call(controls_->OnStop); }
void TMprisPlayer::OpenUri(const QString& uri)
{
  if (controls_->OnOpenUri) controls_->OnOpenUri(QUrl(uri));
}

// A session bus to talk to: its address is set, or the standard socket is there.
bool SessionBusExpected()
{
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

} // namespace

std::unique_ptr<TMediaControls> CreateMprisMediaControls(const QString& busAddress)
{
  // Without a bus the program plays all the same; asking Qt for one would
  // only print warnings (or start a bus of its own).
  if (busAddress.isEmpty() && !SessionBusExpected())
    return std::make_unique<TMprisControls>(QDBusConnection(QStringLiteral("velmora-no-bus")));
  if (busAddress.isEmpty()) return std::make_unique<TMprisControls>(QDBusConnection::sessionBus());
  return std::make_unique<TMprisControls>(QDBusConnection::connectToBus(busAddress, QStringLiteral("velmora-mpris")));
}

void SplitStreamTitle(const QString& streamTitle, QString& artist, QString& title)
{
  static const QRegularExpression separator(QStringLiteral("\\s+[-–—]\\s+"));
  const QRegularExpressionMatch m = separator.match(streamTitle);
  if (m.hasMatch() && m.capturedStart() > 0 && m.capturedEnd() < streamTitle.size()) {
    artist = streamTitle.left(m.capturedStart()).trimmed();
    title = streamTitle.mid(m.capturedEnd()).trimmed();
  } else {
    artist.clear();
    title = streamTitle;
  }
}

#include "media_controls_mpris.moc"
