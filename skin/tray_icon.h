// The notification-area icon of the skinned windows: one icon with a hint,
// mouse reports (a click told from a double click by the desktop's
// double-click time), the tray menu, animation from an image list, and
// hiding the application's windows into the tray and bringing them back.
//
// The skinned form uses MinimizeToTray, IconVisible, PopupMenu, OnDblClick
// and RestoreMainWindow; MinimizeMainToTray and HideMainWindow are there for
// it too. Without a notification area (no panel, or a desktop without one)
// the windows are never hidden: CanHideToTray tells, and IconVisible reads
// false while the icon is not really shown.
#pragma once

#include "platform/tray_area.h"
#include "skin/skin_menu.h"
#include "toolkit/controls.h"

#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

class TForm;

using TbsCycleEvent = TIntEvent;

class TbsTrayIcon : public TComponent, public TMouseEvents {
  Q_OBJECT
  Q_PROPERTY(bool DesignPreview READ DesignPreview WRITE SetDesignPreview)
  Q_PROPERTY(TImageList* IconList READ IconList WRITE SetIconList)
  Q_PROPERTY(bool CycleIcons READ CycleIcons WRITE SetCycleIcons)
  Q_PROPERTY(int AnimateTimerInterval READ AnimateTimerInterval WRITE SetAnimateTimerInterval)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
  Q_PROPERTY(bool IconVisible READ IconVisible WRITE SetIconVisible)
  Q_PROPERTY(int IconIndex READ IconIndex WRITE SetIconIndex)
  Q_PROPERTY(TbsSkinPopupMenu* PopupMenu READ PopupMenu WRITE SetPopupMenu)
  Q_PROPERTY(bool PopupByLeftButton READ PopupByLeftButton WRITE SetPopupByLeftButton)
  Q_PROPERTY(bool MinimizedOnStart READ MinimizedOnStart WRITE SetMinimizedOnStart)
  Q_PROPERTY(bool MinimizeToTray READ MinimizeToTray WRITE SetMinimizeToTray)
  Q_PROPERTY(TNotifyEvent OnClick READ OnClick WRITE SetOnClick)
  Q_PROPERTY(TNotifyEvent OnDblClick READ OnDblClick WRITE SetOnDblClick)
  Q_PROPERTY(TMouseEvent OnMouseDown READ OnMouseDown WRITE SetOnMouseDown)
  Q_PROPERTY(TMouseEvent OnMouseUp READ OnMouseUp WRITE SetOnMouseUp)
  Q_PROPERTY(TMouseMoveEvent OnMouseMove READ OnMouseMove WRITE SetOnMouseMove)
  Q_PROPERTY(TbsCycleEvent OnCycle READ OnCycle WRITE SetOnCycle)

public:
  static constexpr int kMaxTipLength = 127;

  Q_INVOKABLE explicit TbsTrayIcon(TComponent* AOwner);
  ~TbsTrayIcon() override;

  bool DesignPreview() const { return designPreview_; }
  void SetDesignPreview(bool v) { designPreview_ = v; }
  TImageList* IconList() const { return iconList_; }
  // Stores the list and selects its first image.
  void SetIconList(TImageList* v);
  bool CycleIcons() const { return cycleIcons_; }
  // On: from the first image, the animation timer runs (with an interval above 0).
  void SetCycleIcons(bool v);
  int AnimateTimerInterval() const { return animateInterval_; }
  void SetAnimateTimerInterval(int v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  QString Hint() const { return hint_; }
  void SetHint(const QString& v);
  // A balloon message at the icon, while the icon is shown.
  void ShowBalloon(const QString& title, const QString& text);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  // Whether the icon is in the notification area; before the desktop was
  // asked (designing, loading, or never shown) whether it is wanted there.
  bool IconVisible() const;
  void SetIconVisible(bool v);
  int IconIndex() const { return iconIndex_; }
  // Clamped to the image list; a negative index or an empty (or no) list selects no image.
  void SetIconIndex(int v);
  TbsSkinPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TbsSkinPopupMenu* v);
  bool PopupByLeftButton() const { return popupByLeftButton_; }
  void SetPopupByLeftButton(bool v) { popupByLeftButton_ = v; }
  bool MinimizedOnStart() const { return minimizedOnStart_; }
  void SetMinimizedOnStart(bool v) { minimizedOnStart_ = v; }
  // While true, minimizing the main window takes the application to the tray.
  bool MinimizeToTray() const { return minimizeToTray_; }
  void SetMinimizeToTray(bool v) { minimizeToTray_ = v; }

  // The icon shown: the one set, else the owner form's or the application's.
  QIcon Icon() const;
  void SetIcon(const QIcon& icon);
  // The hint as the notification area gets it.
  QString Tip() const;

  // A notification area is there to hide the windows into.
  bool CanHideToTray() const;
  void AddIcon();
  void RemoveIcon();
  void UpdateIcon();
  // Restores the application's windows, shows the main form, un-minimizes it.
  void RestoreMainWindow();
  // Hides the main form and the application's other shown windows.
  void HideMainWindow();
  // HideMainWindow and AddIcon; without a notification area the windows stay shown.
  void MinimizeMainToTray();

  TbsCycleEvent OnCycle() const { return onCycle_; }
  void SetOnCycle(const TbsCycleEvent& e) { onCycle_ = e; }

  // The notification area's report of a mouse action (the area calls it).
  void TrayMouse(TTrayMouseAction action);
  // The single-click timer ran out (the timer calls it).
  void ClickTimerElapsed();
  // One step of the animation (the timer calls it).
  void AnimateTick();
  const QTimer& ClickTimer() const { return clickTimer_; }
  const QTimer& AnimateTimer() const { return animateTimer_; }
  TTrayArea* Area();

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void ApplyVisibility();
  void UpdateAnimateTimer();
  void PopupTrayMenu();
  TShiftState CurrentShift(TMouseButton button) const;
  TForm* MainForm() const;

  bool designPreview_ = false;
  TImageList* iconList_ = nullptr;
  bool cycleIcons_ = false;
  int animateInterval_ = 0;
  bool enabled_ = true;
  QString hint_;
  bool showHint_ = true;
  bool wanted_ = true;  // IconVisible as set
  int iconIndex_ = 0;
  TbsSkinPopupMenu* popupMenu_ = nullptr;
  bool popupByLeftButton_ = false;
  bool minimizedOnStart_ = false;
  bool minimizeToTray_ = true;
  QIcon icon_;
  TbsCycleEvent onCycle_;

  std::unique_ptr<TTrayArea> area_;
  QTimer animateTimer_, clickTimer_;
  bool clickPending_ = false, clickArmed_ = false, doubleClicked_ = false;
  std::vector<QPointer<TForm>> hiddenForms_;
};

void RegisterTrayIconClasses();
