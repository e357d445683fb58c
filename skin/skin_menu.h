// Skinned popup menus.
//
// TbsSkinMenu runs one open menu of a skinned form: one TbsSkinPopupWindow
// per level (skin/skin_popup_window.h), the 500 ms submenu delay, keyboard
// and mouse tracking, item execution, and the open/close notices.
// TbsSkinPopupMenu is the popup menu component that windows and the tray icon
// hold; showing it runs it through the TbsSkinMenu of its skinned form.
//
// How a skinned form plugs in: it implements TbsSkinMenuHost (so a popup
// menu on the form finds it), owns one TbsSkinMenu, sets the menu's Form (the
// control told of closing and commands), UseSkinFont, DefaultMenuItemHeight,
// DefaultMenuItemFont and the alpha-blend settings from its own properties,
// and sets OnMenuOpen / OnMenuClose to mark its skin-menu-open flag and raise
// OnSkinMenuOpen / OnSkinMenuClose. Its system menu is a TbsSkinPopupMenu
// (or its items) opened with TbsSkinMenu::Popup at the button's rectangle.
// While a menu is open the TbsSkinMenu itself watches the application's
// keyboard and mouse (keys, wheel, a press outside every level); the form only
// calls CloseAll for its own closing messages (move, size, deactivation).
#pragma once

#include "skin/skin_data.h"
#include "toolkit/menus.h"

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <functional>
#include <vector>

class TbsSkinPopupWindow;
class TControl;
class TFont;
class TMenuItem;

// Notices to the form and the control that opened a menu (Message.WParam 0).
constexpr quint32 WM_CLOSESKINMENU = 1228;   // the menu closed
constexpr quint32 WM_AFTERDISPATCH = 1229;   // an item's command has run

class TbsSkinMenu;

// What a skinned form offers the popup menus on it.
class TbsSkinMenuHost {
public:
  virtual ~TbsSkinMenuHost() = default;
  // The form's menu runner.
  virtual TbsSkinMenu* SkinMenu() const = 0;
  // The skin for menus without their own: MenusSkinData, else SkinData (may be null).
  virtual TbsSkinData* MenuSkinData() const = 0;
};

class TbsSkinMenu : public TComponent {
  Q_OBJECT
public:
  static constexpr int kSubMenuDelayMs = 500;

  explicit TbsSkinMenu(TComponent* AOwner);
  ~TbsSkinMenu() override;

  // The control told of closing (WM_CLOSESKINMENU); usually the form.
  TControl* Form() const { return form_; }
  void SetForm(TControl* form);
  bool UseSkinFont() const { return useSkinFont_; }
  void SetUseSkinFont(bool v) { useSkinFont_ = v; }
  int DefaultMenuItemHeight() const { return defaultItemHeight_; }
  // Only heights above 0 are taken.
  void SetDefaultMenuItemHeight(int v)
  {
    if (v > 0) defaultItemHeight_ = v;
  }
  TFont* DefaultMenuItemFont() const { return defaultFont_; }
  void SetDefaultMenuItemFont(const TFont* font);
  bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool v) { alphaBlend_ = v; }
  int AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(int v) { alphaBlendValue_ = qBound(0, v, 255); }
  bool AlphaBlendAnimation() const { return alphaBlendAnimation_; }
  void SetAlphaBlendAnimation(bool v) { alphaBlendAnimation_ = v; }
  // Raised after the first level opened / after everything closed.
  TNotifyEvent OnMenuOpen;
  TNotifyEvent OnMenuClose;

  // Opens the children of `items` from `startIndex` at `anchor` (screen
  // coordinates; an empty rectangle at a point opens at that point). Any open
  // menu closes first. Nothing opens for no items or a start past the last.
  void Popup(TControl* popupControl, TbsSkinData* skinData, bool upward, TMenuItem* items, const QRect& anchor,
             int startIndex = 0, TImageList* images = nullptr);
  // Closes every level and sends the close notices (when a menu was open).
  void CloseAll();
  bool IsOpen() const { return open_; }

  int LevelCount() const { return int(levels_.size()); }
  TbsSkinPopupWindow* Level(int index) const { return levels_.at(size_t(index)); }
  // The deepest level whose window holds the screen point, or nullptr.
  TbsSkinPopupWindow* LevelAt(QPoint screenPos) const;
  TbsSkinData* SkinData() const { return skinData_; }
  TImageList* Images() const { return images_; }
  // The work area menus stay in (the form's monitor), taken at each popup.
  QRect Bounds() const { return bounds_; }

  // Keys while open (virtual key codes); true when the key was used.
  bool KeyDown(int key);

  // Called by the levels.
  void ItemActivated(TbsSkinPopupWindow* level, int index);
  void ItemClicked(TbsSkinPopupWindow* level, int index);

  // The submenu delay: runs while an activated item waits for its submenu.
  const QTimer& SubMenuTimer() const { return subMenuTimer_; }
  // What the delay's expiry does (the timer calls it).
  void SubMenuTimerElapsed();

  // Where the levels read the cursor (the real one unless a test installs its own).
  static void SetCursorSource(std::function<QPoint()> source);
  static QPoint CursorPos();

  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void OpenSubMenu(TbsSkinPopupWindow* level, int index);
  void CloseLevelsAfter(int keep);
  void CloseDeepest();
  void ExecuteItem(TMenuItem* item);
  void Notify(quint32 msg, TControl* control);

  QPointer<TControl> form_;
  bool useSkinFont_ = true;
  int defaultItemHeight_ = 20;
  TFont* defaultFont_;
  bool alphaBlend_ = false, alphaBlendAnimation_ = false;
  int alphaBlendValue_ = 150;

  std::vector<TbsSkinPopupWindow*> levels_;
  QTimer subMenuTimer_;
  QPointer<TbsSkinPopupWindow> waitingLevel_;
  int waitingIndex_ = -1;
  bool open_ = false;
  bool filtering_ = false;
  QPointer<TControl> popupControl_, lastPopupControl_;
  QPointer<TbsSkinData> skinData_;
  QPointer<TImageList> images_;
  QRect bounds_;
};

// The popup menu component of skinned windows.
class TbsSkinPopupMenu : public TPopupMenu {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
public:
  Q_INVOKABLE explicit TbsSkinPopupMenu(TComponent* AOwner);

  TbsSkinData* SkinData() const { return skinData_; }
  void SetSkinData(TbsSkinData* v);
  // The form the menu belongs to (the skinned form sets it for its tray menu);
  // without one, the owner (or the owner's owner) when that is a form.
  TComponent* Form() const { return form_; }
  void SetForm(TComponent* v);

  // OnPopup, then opens at the screen point through the form's skinned menu;
  // without a skinned form nothing is shown.
  void Popup(int X, int Y) override;
  // Under (or, with `upward`, above) a screen rectangle, for a menu button.
  void PopupUnder(const QRect& anchor, bool upward);
  // At a point, only when a skin data was found (an edit box's menu).
  void PopupFromEdit(int X, int Y);
  // The skinned form's host (the form itself or its first component that is one), or nullptr.
  TbsSkinMenuHost* FindHost() const;

  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  bool Open(const QRect& anchor, bool upward, bool needSkin);

  TbsSkinData* skinData_ = nullptr;
  TComponent* form_ = nullptr;
};

void RegisterSkinMenuClasses();
