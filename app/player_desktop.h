// The station player outside the page: the tray icon's hint ("电台名 — 曲目"),
// the tray menu's "播放"/"停止" and the last five stations played, the
// desktop's media controls (MPRIS), and volume and mute kept in the settings
// file ("[player] volume=, muted="). The recent stations live in the data
// folder ("recent.json").
#pragma once

#include "audio/station_player.h"
#include "platform/media_controls.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class TForm_Main;
class TbsTrayIcon;
class TbsSkinPopupMenu;

class TPlayerDesktop : public QObject {
  Q_OBJECT
public:
  static constexpr int kRecentCount = 5;

  struct TPlaces {
    QString SettingsRead, SettingsWrite;  // the program's settings file
    QString RecentFile;                   // recent.json
  };
  TPlayerDesktop(TStationPlayer& player, TPlaces places, std::unique_ptr<TMediaControls> controls, QObject* parent = nullptr);
  ~TPlayerDesktop() override;

  // The tray icon whose hint follows the player (its designed hint when nothing plays)
  // and whose menu gains the player's items (added before its own).
  void SetTray(TbsTrayIcon* tray, TbsSkinPopupMenu* menu);
  // A first line of the tray hint besides the player's (a scheduled recording); "" for none.
  void SetHintNote(const QString& note);
  // What "Raise" and "Quit" of the media controls do.
  std::function<void()> OnRaise, OnQuit;

  const std::vector<TPlayingStation>& Recent() const { return recent_; }
  TMediaControls* Controls() const { return controls_.get(); }
  // The menu's player items as they are now (the menu calls it before it opens).
  void FillTrayMenu();

private:
  void OnChanged();
  void Remember(const TPlayingStation& station);
  void SaveVolume();
  TMediaState MediaState();

  TStationPlayer& player_;
  TPlaces places_;
  std::unique_ptr<TMediaControls> controls_;
  QPointer<TbsTrayIcon> tray_;
  TbsSkinPopupMenu* menu_ = nullptr;
  QString designedHint_, hintNote_;
  std::vector<TPlayingStation> recent_;
  int track_ = 0;
  QString trackStation_;
  bool volumeSaveReported_ = false;
  int savedVolume_ = 100;
  bool savedMuted_ = false;
  bool paused_ = false;  // stopped by the media controls' Pause: shown as paused
};

// The recent stations as kept in the data folder (newest first); an unreadable file reads as none.
std::vector<TPlayingStation> ReadRecentStations(const QString& path);
bool WriteRecentStations(const QString& path, const std::vector<TPlayingStation>& stations);

// The program's player on the main window: its settings file, the data folder,
// the tray icon, the session bus; owned by the window.
TPlayerDesktop* AttachPlayerToMainWindow(TForm_Main& form);
