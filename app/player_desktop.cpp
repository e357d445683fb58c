#include "app/player_desktop.h"

#include "app/form_main.h"
#include "browser/directory_config.h"
#include "skin/skin_menu.h"
#include "skin/tray_icon.h"
#include "toolkit/exceptions.h"
#include "toolkit/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cstdio>

namespace {
const QString kSection = QStringLiteral("player");
const QString kItemPrefix = QStringLiteral("MenuItemPlayer");

bool Active(TStationPlayer::TState s)
{
  return s == TStationPlayer::psConnecting || s == TStationPlayer::psBuffering || s == TStationPlayer::psPlaying;
}
} // namespace

std::vector<TPlayingStation> ReadRecentStations(const QString& path)
{
  std::vector<TPlayingStation> out;
  QFile f(path);
  if (f.size() > 64 * 1024 || !f.open(QIODevice::ReadOnly)) return out;
  for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll()).array()) {
    const QJsonObject o = v.toObject();
    TPlayingStation s{o.value("key").toString(), o.value("name").toString().left(200), o.value("url").toString(),
                      o.value("stream").toString(), o.value("favicon").toString()};
    const QUrl url(s.StreamUrl);
    if (s.Name.isEmpty() || !url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) continue;
    out.push_back(s);
    if (int(out.size()) == TPlayerDesktop::kRecentCount) break;
  }
  return out;
}

bool WriteRecentStations(const QString& path, const std::vector<TPlayingStation>& stations)
{
  QJsonArray a;
  for (const TPlayingStation& s : stations)
    a.append(QJsonObject{{"key", s.Key}, {"name", s.Name}, {"url", s.Url}, {"stream", s.StreamUrl}, {"favicon", s.Favicon}});
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(QJsonDocument(a).toJson());
  return f.commit();
}

TPlayerDesktop::TPlayerDesktop(TStationPlayer& player, TPlaces places, std::unique_ptr<TMediaControls> controls, QObject* parent)
    : QObject(parent), player_(player), places_(std::move(places)), controls_(std::move(controls))
{
  recent_ = ReadRecentStations(places_.RecentFile);
  if (!places_.SettingsRead.isEmpty() && QFileInfo::exists(places_.SettingsRead)) {
    try {
      TMemIniFile ini(places_.SettingsRead);
      player_.SetVolume(ini.ReadInteger(kSection, QStringLiteral("volume"), 100));
      player_.SetMuted(ini.ReadBool(kSection, QStringLiteral("muted"), false));
      savedVolume_ = player_.Volume();
      savedMuted_ = player_.Muted();
    } catch (const Exception&) {
      // An unreadable file keeps full volume; the window reports the file itself.
    }
  }
  connect(&player_, &TStationPlayer::Changed, this, &TPlayerDesktop::OnChanged);
  connect(&player_, &TStationPlayer::StationStarted, this, &TPlayerDesktop::Remember);
  if (controls_) {
    controls_->OnPlay = [this] { player_.Resume(); };
    // A live stream cannot wait: pausing stops it, playing again reconnects.
    controls_->OnPause = [this] {
      if (!Active(player_.State())) return;
      paused_ = true;
      player_.Stop();
    };
    controls_->OnStop = [this] {
      paused_ = false;
      player_.Stop();
    };
    controls_->OnPlayPause = [this] { Active(player_.State()) ? player_.Stop() : player_.Resume(); };
    controls_->OnOpenUri = [this](const QUrl& url) {
      if (url.scheme() != "http" && url.scheme() != "https") return;
      const QString address = url.toString();
      player_.Play({address, url.host(), address, address, {}});
    };
    controls_->OnVolume = [this](double v) { player_.SetVolume(qRound(v * 100)); };
    controls_->OnRaise = [this] {
      if (OnRaise) OnRaise();
    };
    controls_->OnQuit = [this] {
      if (OnQuit) OnQuit();
    };
    controls_->Publish(MediaState());
  }
  OnChanged();
}

// The window that showed the player goes: so does the sound.
TPlayerDesktop::~TPlayerDesktop() { player_.Stop(); }

void TPlayerDesktop::SetTray(TbsTrayIcon* tray, TbsSkinPopupMenu* menu)
{
  tray_ = tray;
  menu_ = menu;
  if (tray) designedHint_ = tray->Hint();
  if (menu) {
    const TNotifyEvent before = menu->OnPopup();
    menu->SetOnPopup([this, before](TObject* sender) {
      FillTrayMenu();
      if (before) before(sender);
    });
    FillTrayMenu();
  }
  OnChanged();
}

void TPlayerDesktop::FillTrayMenu()
{
  if (!menu_) return;
  TMenuItem* items = menu_->Items();
  for (int i = items->Count() - 1; i >= 0; --i)
    if (items->Items(i)->Name().startsWith(kItemPrefix)) items->Delete(i);
  int at = 0;
  const bool active = Active(player_.State());
  TMenuItem* toggle = TMenuItem::Create(kItemPrefix + QStringLiteral("Toggle"), active ? QStringLiteral("停止") : QStringLiteral("播放"),
                                        QString(), [this](TObject*) { Active(player_.State()) ? player_.Stop() : player_.Resume(); });
  toggle->SetEnabled(active || player_.HasStation());
  items->Insert(at++, toggle);
  for (size_t i = 0; i < recent_.size(); ++i) {
    if (i == 0) items->Insert(at++, TMenuItem::Create(kItemPrefix + QStringLiteral("Line1"), QStringLiteral("-")));
    const TPlayingStation station = recent_[i];
    QString caption = station.Name;
    caption.replace(u'&', QLatin1String("&&"));
    TMenuItem* item = TMenuItem::Create(kItemPrefix + QStringLiteral("Recent%1").arg(i), caption, QString(),
                                        [this, station](TObject*) { player_.Play(station); });
    item->SetChecked(active && player_.Station().Key == station.Key);
    items->Insert(at++, item);
  }
  items->Insert(at++, TMenuItem::Create(kItemPrefix + QStringLiteral("Line2"), QStringLiteral("-")));
}

void TPlayerDesktop::SetHintNote(const QString& note)
{
  if (note == hintNote_) return;
  hintNote_ = note;
  OnChanged();
}

void TPlayerDesktop::Remember(const TPlayingStation& station)
{
  std::erase_if(recent_, [&](const TPlayingStation& s) { return s.Key == station.Key; });
  recent_.insert(recent_.begin(), station);
  if (int(recent_.size()) > kRecentCount) recent_.resize(kRecentCount);
  if (!places_.RecentFile.isEmpty() && !WriteRecentStations(places_.RecentFile, recent_))
    std::fprintf(stderr, "%s\n", QStringLiteral("无法保存最近收听的电台：%1").arg(places_.RecentFile).toLocal8Bit().constData());
}

void TPlayerDesktop::OnChanged()
{
  if (tray_) {
    const bool active = Active(player_.State());
    const QString note = hintNote_.isEmpty() ? QString() : hintNote_.left(TbsTrayIcon::kMaxTipLength / 2) + u'\n';
    const int room = TbsTrayIcon::kMaxTipLength - int(note.size());
    tray_->SetHint(note + (active ? NowPlayingHint(player_.Station().Name, player_.Title(), room) : designedHint_.left(room)));
  }
  if (controls_) controls_->Publish(MediaState());
  SaveVolume();
}

void TPlayerDesktop::SaveVolume()
{
  if (places_.SettingsWrite.isEmpty() || (savedVolume_ == player_.Volume() && savedMuted_ == player_.Muted())) return;
  savedVolume_ = player_.Volume();
  savedMuted_ = player_.Muted();
  try {
    TIniFile ini(places_.SettingsWrite);
    ini.WriteInteger(kSection, QStringLiteral("volume"), player_.Volume());
    ini.WriteBool(kSection, QStringLiteral("muted"), player_.Muted());
  } catch (const Exception& e) {
    // Told once; the volume still applies for this run.
    if (!volumeSaveReported_)
      std::fprintf(stderr, "%s\n", QStringLiteral("无法保存音量：%1").arg(e.Message()).toLocal8Bit().constData());
    volumeSaveReported_ = true;
  }
}

TMediaState TPlayerDesktop::MediaState()
{
  TMediaState s;
  const TStationPlayer::TState state = player_.State();
  if (Active(state)) paused_ = false;
  s.Status = Active(state) ? TMediaState::msPlaying : paused_ ? TMediaState::msPaused : TMediaState::msStopped;
  s.Volume = player_.Muted() ? 0.0 : player_.Volume() / 100.0;
  s.CanPlay = player_.HasStation();
  if (player_.HasStation()) {
    const TPlayingStation& station = player_.Station();
    // One track id per station played in a row (it names the station, not the song).
    if (station.Key != trackStation_) trackStation_ = station.Key, ++track_;
    s.TrackId = QStringLiteral("/org/velmora/Station/%1").arg(track_);
    s.Album = station.Name;
    if (player_.Title().isEmpty()) s.Title = station.Name;
    else SplitStreamTitle(player_.Title(), s.Artist, s.Title);
    if (station.Favicon.startsWith(QLatin1String("http://")) || station.Favicon.startsWith(QLatin1String("https://")))
      s.ArtUrl = station.Favicon;
  }
  return s;
}

TPlayerDesktop* AttachPlayerToMainWindow(TForm_Main& form)
{
  TPlayerDesktop::TPlaces places{form.SettingsReadPath, form.SettingsWritePath,
                                 QDir(UserDataFolder()).filePath(QStringLiteral("recent.json"))};
  auto* desktop = new TPlayerDesktop(*TStationPlayer::Instance(), places, CreateMprisMediaControls(), &form);
  if (auto* tray = qobject_cast<TbsTrayIcon*>(form.FindComponent(QStringLiteral("bsTrayIcon1"))))
    desktop->SetTray(tray, tray->PopupMenu());
  QPointer<TForm_Main> window(&form);
  desktop->OnRaise = [window] {
    if (window) window->BringBack();
  };
  desktop->OnQuit = [window] {
    if (window) window->Close();
  };
  return desktop;
}
