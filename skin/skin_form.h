// TbsSkinForm: turns the form that owns it into a skinned window. The form's
// window gets no frame from the window system (TForm::OwnFrame); this
// component hooks the form's window procedure and answers the frame messages
// of the toolkit from the skin: the frame margins, WM_NCPAINT (the border
// bands of the frame picture and the caption objects), WM_NCHITTEST (caption,
// resize edges, objects), the mouse over the frame, activation, the client
// background and the window region from the skin's mask. Without a loaded
// skin it draws a plain default frame with the same buttons.
//
// Skin notices from its own skin data re-read the skin; every form's skinned
// controls hear SKN_CHANGING (from the form's own skin data) and SKN_CHANGE
// (from any) through SendSkinNoticeToControls, each comparing WParam with its own
// skin data.
//
// The window behaviours live here too (skin/skin_form_behaviours.cpp):
// snapping to the work area's edges during the user's move loop, the magnet
// events at the end of every move or size loop, the component's own window
// states (minimize to a slot, maximize to the work area, restore, roll-up),
// minimize to and restore from the tray through a TbsTrayIcon, the skinned
// system and tray menus (the form is the menu host), and the fade-in.
#pragma once

#include "skin/caption_objects.h"
#include "skin/skin_data.h"
#include "skin/skin_form_geometry.h"
#include "skin/skin_menu.h"
#include "skin/tray_icon.h"
#include "toolkit/forms.h"

#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

using TbsObjectNameEvent = TEvent<TObject*, QString>;
using TbsObjectMouseEvent = TEvent<TObject*, QString, int, int, QRect, TMouseButton>;
using TbsObjectMouseMoveEvent = TEvent<TObject*, QString, int, int, QRect>;
using TbsObjectPaintEvent = TEvent<TObject*, QString, TCanvas*, QRect>;
using TbsActivateCustomObjectEvent = TEvent<TObject*, QString, bool&>;
Q_DECLARE_METATYPE(TbsObjectNameEvent)
Q_DECLARE_METATYPE(TbsObjectMouseEvent)
Q_DECLARE_METATYPE(TbsObjectMouseMoveEvent)
Q_DECLARE_METATYPE(TbsObjectPaintEvent)
Q_DECLARE_METATYPE(TbsActivateCustomObjectEvent)

class TbsSkinForm : public TComponent, public TbsSkinMenuHost {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(TbsSkinData* MenusSkinData READ MenusSkinData WRITE SetMenusSkinData)
  Q_PROPERTY(TbsBorderIcons BorderIcons READ BorderIcons WRITE SetBorderIcons)
  Q_PROPERTY(bool HideCaptionButtons READ HideCaptionButtons WRITE SetHideCaptionButtons)
  Q_PROPERTY(TFont* DefCaptionFont READ DefCaptionFont WRITE SetDefCaptionFont)
  Q_PROPERTY(TFont* DefInActiveCaptionFont READ DefInActiveCaptionFont WRITE SetDefInActiveCaptionFont)
  Q_PROPERTY(bool ShowIcon READ ShowIcon WRITE SetShowIcon)
  Q_PROPERTY(TBitmap* LogoBitMap READ LogoBitMap WRITE SetLogoBitMap)
  Q_PROPERTY(bool LogoBitMapStretch READ LogoBitMapStretch WRITE SetLogoBitMapStretch)
  Q_PROPERTY(bool LogoBitMapTransparent READ LogoBitMapTransparent WRITE SetLogoBitMapTransparent)
  Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
  Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
  Q_PROPERTY(int MinWidth READ MinWidth WRITE SetMinWidth)
  Q_PROPERTY(int MinHeight READ MinHeight WRITE SetMinHeight)
  Q_PROPERTY(bool MaximizeOnFullScreen READ MaximizeOnFullScreen WRITE SetMaximizeOnFullScreen)
  Q_PROPERTY(bool ShowObjectHint READ ShowObjectHint WRITE SetShowObjectHint)
  Q_PROPERTY(bool UseDefaultObjectHint READ UseDefaultObjectHint WRITE SetUseDefaultObjectHint)
  // Window behaviours' settings (snapping, transparency, menus, tray).
  Q_PROPERTY(bool Magnetic READ Magnetic WRITE SetMagnetic)
  Q_PROPERTY(int MagneticSize READ MagneticSize WRITE SetMagneticSize)
  Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
  Q_PROPERTY(bool AlphaBlendAnimation READ AlphaBlendAnimation WRITE SetAlphaBlendAnimation)
  Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
  Q_PROPERTY(bool MenusAlphaBlend READ MenusAlphaBlend WRITE SetMenusAlphaBlend)
  Q_PROPERTY(bool MenusAlphaBlendAnimation READ MenusAlphaBlendAnimation WRITE SetMenusAlphaBlendAnimation)
  Q_PROPERTY(int MenusAlphaBlendValue READ MenusAlphaBlendValue WRITE SetMenusAlphaBlendValue)
  Q_PROPERTY(bool UseSkinFontInMenu READ UseSkinFontInMenu WRITE SetUseSkinFontInMenu)
  Q_PROPERTY(int DefMenuItemHeight READ DefMenuItemHeight WRITE SetDefMenuItemHeight)
  Q_PROPERTY(TFont* DefMenuItemFont READ DefMenuItemFont WRITE SetDefMenuItemFont)
  Q_PROPERTY(bool AlwaysShowInTray READ AlwaysShowInTray WRITE SetAlwaysShowInTray)
  Q_PROPERTY(bool AlwaysMinimizeToTray READ AlwaysMinimizeToTray WRITE SetAlwaysMinimizeToTray)
  Q_PROPERTY(bool UseDefaultSysMenu READ UseDefaultSysMenu WRITE SetUseDefaultSysMenu)
  Q_PROPERTY(TbsTrayIcon* TrayIcon READ TrayIcon WRITE SetTrayIcon)
  Q_PROPERTY(TbsSkinPopupMenu* SystemMenu READ SystemMenu WRITE SetSystemMenu)
  Q_PROPERTY(TNotifyEvent OnMagnetTopIn READ OnMagnetTopIn WRITE SetOnMagnetTopIn)
  Q_PROPERTY(TNotifyEvent OnMagnetTopOut READ OnMagnetTopOut WRITE SetOnMagnetTopOut)
  Q_PROPERTY(TNotifyEvent OnChangeRollUpState READ OnChangeRollUpState WRITE SetOnChangeRollUpState)
  Q_PROPERTY(TNotifyEvent OnMinimizeToTray READ OnMinimizeToTray WRITE SetOnMinimizeToTray)
  Q_PROPERTY(TNotifyEvent OnRestoreFromTray READ OnRestoreFromTray WRITE SetOnRestoreFromTray)
  Q_PROPERTY(TNotifyEvent OnSkinMenuOpen READ OnSkinMenuOpen WRITE SetOnSkinMenuOpen)
  Q_PROPERTY(TNotifyEvent OnSkinMenuClose READ OnSkinMenuClose WRITE SetOnSkinMenuClose)
  Q_PROPERTY(TNotifyEvent OnMainMenuEnter READ OnMainMenuEnter WRITE SetOnMainMenuEnter)
  Q_PROPERTY(TNotifyEvent OnMainMenuExit READ OnMainMenuExit WRITE SetOnMainMenuExit)
  Q_PROPERTY(TNotifyEvent OnChangeSkinData READ OnChangeSkinData WRITE SetOnChangeSkinData)
  Q_PROPERTY(TNotifyEvent OnActivate READ OnActivate WRITE SetOnActivate)
  Q_PROPERTY(TNotifyEvent OnDeActivate READ OnDeActivate WRITE SetOnDeActivate)
  Q_PROPERTY(TbsObjectNameEvent OnMouseEnterEvent READ OnMouseEnterEvent WRITE SetOnMouseEnterEvent)
  Q_PROPERTY(TbsObjectNameEvent OnMouseLeaveEvent READ OnMouseLeaveEvent WRITE SetOnMouseLeaveEvent)
  Q_PROPERTY(TbsObjectMouseEvent OnMouseDownEvent READ OnMouseDownEvent WRITE SetOnMouseDownEvent)
  Q_PROPERTY(TbsObjectMouseEvent OnMouseUpEvent READ OnMouseUpEvent WRITE SetOnMouseUpEvent)
  Q_PROPERTY(TbsObjectMouseMoveEvent OnMouseMoveEvent READ OnMouseMoveEvent WRITE SetOnMouseMoveEvent)
  Q_PROPERTY(TbsObjectPaintEvent OnPaintEvent READ OnPaintEvent WRITE SetOnPaintEvent)
  Q_PROPERTY(TbsActivateCustomObjectEvent OnActivateCustomObject READ OnActivateCustomObject WRITE SetOnActivateCustomObject)

public:
  enum TbsBorderIcon { biSystemMenu = 0x1, biMinimize = 0x2, biMaximize = 0x4, biRollUp = 0x8, biMinimizeToTray = 0x10 };
  Q_DECLARE_FLAGS(TbsBorderIcons, TbsBorderIcon)
  Q_FLAG(TbsBorderIcons)

  // The owner must be the form.
  Q_INVOKABLE explicit TbsSkinForm(TComponent* AOwner);
  ~TbsSkinForm() override;

  TForm* Form() const { return form_; }

  TbsSkinData* SkinData() const { return skinData_; }
  void SetSkinData(TbsSkinData* v);
  TbsSkinData* MenusSkinData() const { return menusSkinData_; }
  void SetMenusSkinData(TbsSkinData* v);
  TbsBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TbsBorderIcons v);
  bool HideCaptionButtons() const { return hideCaptionButtons_; }
  void SetHideCaptionButtons(bool v);
  TFont* DefCaptionFont() const { return defCaptionFont_; }
  void SetDefCaptionFont(TFont* v) { if (v) defCaptionFont_->Assign(v); }
  TFont* DefInActiveCaptionFont() const { return defInactiveCaptionFont_; }
  void SetDefInActiveCaptionFont(TFont* v) { if (v) defInactiveCaptionFont_->Assign(v); }
  bool ShowIcon() const { return showIcon_; }
  void SetShowIcon(bool v);
  TBitmap* LogoBitMap() const { return logo_; }
  void SetLogoBitMap(TBitmap* v);
  bool LogoBitMapStretch() const { return logoStretch_; }
  void SetLogoBitMapStretch(bool v);
  bool LogoBitMapTransparent() const { return logoTransparent_; }
  void SetLogoBitMapTransparent(bool v);
  int ClientWidth() const { return clientWidth_; }
  void SetClientWidth(int v) { clientWidth_ = v; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientHeight(int v) { clientHeight_ = v; }
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int v) { minWidth_ = std::max(0, v); }
  int MinHeight() const { return minHeight_; }
  void SetMinHeight(int v) { minHeight_ = std::max(0, v); }
  bool MaximizeOnFullScreen() const { return maximizeOnFullScreen_; }
  void SetMaximizeOnFullScreen(bool v) { maximizeOnFullScreen_ = v; }
  bool ShowObjectHint() const { return showObjectHint_; }
  void SetShowObjectHint(bool v) { showObjectHint_ = v; }
  bool UseDefaultObjectHint() const { return useDefaultObjectHint_; }
  void SetUseDefaultObjectHint(bool v);
  bool Magnetic() const { return magnetic_; }
  void SetMagnetic(bool v) { magnetic_ = v; }
  int MagneticSize() const { return magneticSize_; }
  void SetMagneticSize(int v) { magneticSize_ = qBound(0, v, 255); }
  bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool v);
  bool AlphaBlendAnimation() const { return alphaBlendAnimation_; }
  void SetAlphaBlendAnimation(bool v) { alphaBlendAnimation_ = v; }
  int AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(int v);
  bool MenusAlphaBlend() const { return menusAlphaBlend_; }
  void SetMenusAlphaBlend(bool v) { menusAlphaBlend_ = v; }
  bool MenusAlphaBlendAnimation() const { return menusAlphaBlendAnimation_; }
  void SetMenusAlphaBlendAnimation(bool v) { menusAlphaBlendAnimation_ = v; }
  int MenusAlphaBlendValue() const { return menusAlphaBlendValue_; }
  void SetMenusAlphaBlendValue(int v) { menusAlphaBlendValue_ = qBound(0, v, 255); }
  bool UseSkinFontInMenu() const { return useSkinFontInMenu_; }
  void SetUseSkinFontInMenu(bool v) { useSkinFontInMenu_ = v; }
  int DefMenuItemHeight() const { return defMenuItemHeight_; }
  void SetDefMenuItemHeight(int v) { if (v > 0) defMenuItemHeight_ = v; }
  TFont* DefMenuItemFont() const { return defMenuItemFont_; }
  void SetDefMenuItemFont(TFont* v) { if (v) defMenuItemFont_->Assign(v); }
  bool AlwaysShowInTray() const { return alwaysShowInTray_; }
  void SetAlwaysShowInTray(bool v) { alwaysShowInTray_ = v; }
  bool AlwaysMinimizeToTray() const { return alwaysMinimizeToTray_; }
  void SetAlwaysMinimizeToTray(bool v) { alwaysMinimizeToTray_ = v; }
  bool UseDefaultSysMenu() const { return useDefaultSysMenu_; }
  void SetUseDefaultSysMenu(bool v) { useDefaultSysMenu_ = v; }
  TbsTrayIcon* TrayIcon() const { return trayIcon_; }
  // Binds the icon: hidden unless AlwaysShowInTray, not taking the minimized
  // application, and at run time given the tray menu and the double click
  // that restores (when it has no menu of its own).
  void SetTrayIcon(TbsTrayIcon* v);
  TbsSkinPopupMenu* SystemMenu() const { return systemMenu_; }
  void SetSystemMenu(TbsSkinPopupMenu* v);

  TNotifyEvent OnMagnetTopIn() const { return onMagnetTopIn_; }
  void SetOnMagnetTopIn(const TNotifyEvent& e) { onMagnetTopIn_ = e; }
  TNotifyEvent OnMagnetTopOut() const { return onMagnetTopOut_; }
  void SetOnMagnetTopOut(const TNotifyEvent& e) { onMagnetTopOut_ = e; }
  TNotifyEvent OnChangeRollUpState() const { return onChangeRollUpState_; }
  void SetOnChangeRollUpState(const TNotifyEvent& e) { onChangeRollUpState_ = e; }
  TNotifyEvent OnMinimizeToTray() const { return onMinimizeToTray_; }
  void SetOnMinimizeToTray(const TNotifyEvent& e) { onMinimizeToTray_ = e; }
  TNotifyEvent OnRestoreFromTray() const { return onRestoreFromTray_; }
  void SetOnRestoreFromTray(const TNotifyEvent& e) { onRestoreFromTray_ = e; }
  TNotifyEvent OnSkinMenuOpen() const { return onSkinMenuOpen_; }
  void SetOnSkinMenuOpen(const TNotifyEvent& e) { onSkinMenuOpen_ = e; }
  TNotifyEvent OnSkinMenuClose() const { return onSkinMenuClose_; }
  void SetOnSkinMenuClose(const TNotifyEvent& e) { onSkinMenuClose_ = e; }
  TNotifyEvent OnMainMenuEnter() const { return onMainMenuEnter_; }
  void SetOnMainMenuEnter(const TNotifyEvent& e) { onMainMenuEnter_ = e; }
  TNotifyEvent OnMainMenuExit() const { return onMainMenuExit_; }
  void SetOnMainMenuExit(const TNotifyEvent& e) { onMainMenuExit_ = e; }

  // ---- the menu host
  TbsSkinMenu* SkinMenu() const override { return skinMenu_; }
  TbsSkinData* MenuSkinData() const override { return menusSkinData_ ? menusSkinData_ : skinData_; }
  bool SkinMenuOpen() const { return skinMenuOpen_; }
  // The tray menu: "TRAY_BSF_RESTORE", "-", "TRAY_BSF_CLOSE".
  TbsSkinPopupMenu* TrayMenu() const { return trayMenu_; }
  // Fills the system menu for the current state and border icons: the
  // user's SystemMenu (after its OnPopup) with the standard entries
  // (UseDefaultSysMenu), or the form's own default menu. The menu that would
  // be shown.
  TbsSkinPopupMenu* BuildSystemMenu();
  // Opens the system menu under a screen rectangle (a point: at the point).
  void ShowSystemMenu(const QRect& anchor);

  // ---- window behaviours
  TForm::TWindowState WindowState() const { return windowState_; }
  // Minimize (the application, for the main form; else the minimum size at
  // a free slot), maximize (the work area) or restore (the bounds before).
  void SetWindowState(TForm::TWindowState v);
  // Rolled up: only the frame is left (needs biRollUp; refused while minimized).
  void SetRollUpState(bool v);
  // Hides the application into the tray through TrayIcon. Without a tray
  // icon, or without a notification area to come back from, nothing happens.
  void MinimizeToTray();
  void RestoreFromTray();
  // The bounds remembered before minimizing or maximizing (empty: none).
  QRect NormalBounds() const { return normalBounds_; }
  // Where a proposed top-left corner of a drag lands (snapping, a maximized
  // window staying put).
  QPoint DragPosition(QPoint proposed) const;
  // One step of the fade-in (the timer calls it).
  void FadeTick();
  bool FadeTimerActive() const { return fadeTimer_.isActive(); }

  TNotifyEvent OnChangeSkinData() const { return onChangeSkinData_; }
  void SetOnChangeSkinData(const TNotifyEvent& e) { onChangeSkinData_ = e; }
  TNotifyEvent OnActivate() const { return onActivate_; }
  void SetOnActivate(const TNotifyEvent& e) { onActivate_ = e; }
  TNotifyEvent OnDeActivate() const { return onDeActivate_; }
  void SetOnDeActivate(const TNotifyEvent& e) { onDeActivate_ = e; }
  TbsObjectNameEvent OnMouseEnterEvent() const { return onMouseEnter_; }
  void SetOnMouseEnterEvent(const TbsObjectNameEvent& e) { onMouseEnter_ = e; }
  TbsObjectNameEvent OnMouseLeaveEvent() const { return onMouseLeave_; }
  void SetOnMouseLeaveEvent(const TbsObjectNameEvent& e) { onMouseLeave_ = e; }
  TbsObjectMouseEvent OnMouseDownEvent() const { return onMouseDown_; }
  void SetOnMouseDownEvent(const TbsObjectMouseEvent& e) { onMouseDown_ = e; }
  TbsObjectMouseEvent OnMouseUpEvent() const { return onMouseUp_; }
  void SetOnMouseUpEvent(const TbsObjectMouseEvent& e) { onMouseUp_ = e; }
  TbsObjectMouseMoveEvent OnMouseMoveEvent() const { return onMouseMove_; }
  void SetOnMouseMoveEvent(const TbsObjectMouseMoveEvent& e) { onMouseMove_ = e; }
  TbsObjectPaintEvent OnPaintEvent() const { return onPaint_; }
  void SetOnPaintEvent(const TbsObjectPaintEvent& e) { onPaint_ = e; }
  TbsActivateCustomObjectEvent OnActivateCustomObject() const { return onActivateCustomObject_; }
  void SetOnActivateCustomObject(const TbsActivateCustomObjectEvent& e) { onActivateCustomObject_ = e; }

  // ---- seams for the window behaviours (unset: the plain fallback noted)
  // A caption button's or menu's command; true when handled. Unhandled:
  // close closes the form, maximize and minimize set the form's window
  // state, minimize-to-tray minimizes it, the rest do nothing.
  std::function<bool(TbsStdCommand command, TbsActiveSkinObject* object)> CommandHandler;
  // Opens the system menu under `anchor` (screen coordinates; for a right
  // click on the caption, a 1 x 1 rectangle at the cursor). Unset: no menu.
  std::function<void(const QRect& anchor)> SystemMenuHandler;
  // Shows a caption object's hint (empty text: hide), with ShowObjectHint.
  std::function<void(const QString& text)> ObjectHintHandler;
  // Where the cursor is, on the screen (tests replace it).
  std::function<QPoint()> CursorPos;

  // ---- state
  bool SkinInUse() const { return skinInUse_; }
  bool FormActive() const { return active_; }
  bool HasBorder() const;
  bool Sizeable() const;
  bool ToolWindow() const;
  // Window state of the behaviours: the component's own, and rolled up.
  bool RolledUp() const { return rolledUp_; }
  bool Maximized() const { return windowState_ == TForm::wsMaximized; }
  bool Minimized() const { return windowState_ == TForm::wsMinimized; }
  bool InMoveSize() const { return inMove_; }

  const std::vector<std::unique_ptr<TbsActiveSkinObject>>& Objects() const { return objects_; }
  // Index of the first object of that name, -1 when none.
  int ObjectIndex(const QString& name) const;
  TbsActiveSkinObject* Object(int index) const;
  TbsActiveSkinObject* Object(const QString& name) const { return Object(ObjectIndex(name)); }
  TbsSkinCaptionObject* CaptionObject() const;
  int HoverIndex() const { return hover_; }
  int PressedIndex() const { return pressed_; }

  // Frame geometry for the window's current size (skin in use).
  const TbsFrameGeometry& Geometry() const { return geometry_; }
  QMargins FrameMargins() const;
  QSize MinimumSize() const;
  QSize MaximumSize() const;
  // The answer of WM_NCHITTEST at a point in window coordinates.
  int HitTest(QPoint windowPoint);
  // Window point of a screen point.
  QPoint WindowPoint(QPoint screen) const;

  // Paints the frame (window coordinates) on a canvas; `clip` limits the work.
  void PaintFrame(TCanvas& canvas, const QRect& clip);
  // Paints the client background (client coordinates).
  void PaintClientBackground(TCanvas& canvas);
  // Asks for one object to be drawn again / the whole frame.
  void RedrawObject(const TbsActiveSkinObject* object);
  void InvalidateFrame();

  // Re-reads the skin (or the default frame) and lays the window out again.
  void ApplySkin();
  // Which objects are usable, visible, and their hints.
  void UpdateObjectAvailability();
  // Geometry and object places for the window's current size.
  void UpdateLayout();

  // The timers' work (public so that tests step them without waiting).
  void HoverTick();
  void AnimationTick();
  void MorphTick();
  bool HoverTimerActive() const { return hoverTimer_.isActive(); }
  bool AnimationTimerActive() const { return animationTimer_.isActive(); }
  bool MorphTimerActive() const { return morphTimer_.isActive(); }

  // For the caption objects.
  void StartAnimation();
  void StartMorph();
  void RunCommand(TbsStdCommand command, TbsActiveSkinObject* object);
  void ShowSystemMenuUnder(const TbsActiveSkinObject* object);
  bool CommandToggled(TbsStdCommand command) const;
  QString FormCaption() const;
  int CaptionCharset() const;
  QImage SmallIcon() const;
  void ObjectEvent(TbsObjectEventKind kind, const TbsActiveSkinObject* object, int x = 0, int y = 0,
                   TMouseButton button = mbLeft);
  // The skin's pictures ready for drawing: an extra picture by index, the
  // frame picture; nullptr when there is none.
  const QImage* SkinImage(int index) const;
  const QImage* FrameImage() const;
  // Grows whenever the objects are rebuilt or freed (an object's own call
  // that ran a command checks it before touching itself again).
  unsigned ObjectGeneration() const { return generation_; }
  void PaintUserObject(const TbsActiveSkinObject* object, TCanvas& canvas);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void WindowMessage(TMessage& m);
  // The groups of WindowMessage: true when the message was handled.
  bool FramePaintMessage(TMessage& m);
  bool FrameMouseMessage(TMessage& m);
  bool WindowStateMessage(TMessage& m);
  bool SizeMoveMessage(TMessage& m);
  void PassOn(TMessage& m);
  void SkinNotice(TMessage& m);
  void FreeObjects();
  void ClearMarks();
  void BuildObjects();
  void BuildDefaultObjects();
  void PlaceObjects();
  void PlaceDefaultObjects();
  void AutoLayoutButtons();
  void ApplyFrameMargins();
  void EnforceMinimumSize();
  void UpdateRegion();
  void UpdateActive();
  void UpdateClientTile();
  void EvaluateHover(QPoint windowPoint, bool evenInactive = false);
  void SetHover(int index);
  void PressAt(QPoint windowPoint, TMouseButton button, int hit);
  void CaptionDoubleClick();
  void ReleasePressed(QPoint windowPoint, TMouseButton button);
  void SetFrameCursor(int hit);
  void ClampSizing(QRect& proposed, int edge);
  void SizeChanged();
  void WatchWidget();
  void PaintDefaultFrame(TCanvas& canvas);
  bool MaskTransparentAt(QPoint windowPoint) const;
  void RefreshObjectHints();
  // The hint of the caption object under a screen point (ShowObjectHint),
  // through the application's hint; true when the point is on the frame.
  bool ShowFrameHint(QPoint screen);
  QPoint CurrentCursor() const;
  // Behaviours (skin/skin_form_behaviours.cpp).
  void CreateMenus();
  void BindTrayIcon();
  bool IsMainForm() const;
  void Minimize();
  void Maximize();
  void Restore();
  void MoveLoopEnded();
  void WindowShown();
  void WindowHidden();
  bool ClosesSkinMenu(quint32 msg) const;
  QString MenuCaption(const char* resName, const char* builtIn) const;
  TMenuItem* SystemMenuItem(const char* name) const;

  TForm* form_ = nullptr;
  TControl::TWndMethod previous_;
  TbsSkinData* skinData_ = nullptr;
  TbsSkinData* menusSkinData_ = nullptr;
  TbsBorderIcons borderIcons_ = TbsBorderIcons(biSystemMenu | biMinimize | biMaximize | biRollUp);
  bool hideCaptionButtons_ = false;
  TFont* defCaptionFont_;
  TFont* defInactiveCaptionFont_;
  TFont* defMenuItemFont_;
  bool showIcon_ = false;
  TBitmap* logo_;
  bool logoStretch_ = false, logoTransparent_ = false;
  int clientWidth_ = 0, clientHeight_ = 0, minWidth_ = 0, minHeight_ = 0;
  bool maximizeOnFullScreen_ = false;
  bool showObjectHint_ = false, useDefaultObjectHint_ = true;
  bool magnetic_ = false;
  int magneticSize_ = 5;
  bool alphaBlend_ = false, alphaBlendAnimation_ = false;
  int alphaBlendValue_ = 200;
  bool menusAlphaBlend_ = false, menusAlphaBlendAnimation_ = false;
  int menusAlphaBlendValue_ = 200;
  bool useSkinFontInMenu_ = true;
  int defMenuItemHeight_ = 20;
  bool alwaysShowInTray_ = false, alwaysMinimizeToTray_ = false, useDefaultSysMenu_ = true;
  TNotifyEvent onChangeSkinData_, onActivate_, onDeActivate_;
  TbsObjectNameEvent onMouseEnter_, onMouseLeave_;
  TbsObjectMouseEvent onMouseDown_, onMouseUp_;
  TbsObjectMouseMoveEvent onMouseMove_;
  TbsObjectPaintEvent onPaint_;
  TbsActivateCustomObjectEvent onActivateCustomObject_;
  TNotifyEvent onMagnetTopIn_, onMagnetTopOut_, onChangeRollUpState_, onMinimizeToTray_, onRestoreFromTray_;
  TNotifyEvent onSkinMenuOpen_, onSkinMenuClose_, onMainMenuEnter_, onMainMenuExit_;
  TbsTrayIcon* trayIcon_ = nullptr;
  TbsSkinPopupMenu* systemMenu_ = nullptr;
  // Owned as a component: freed with the other owned components, before the
  // destructor runs.
  QPointer<TbsSkinMenu> skinMenu_;
  TbsSkinPopupMenu* defaultSystemMenu_ = nullptr;
  TbsSkinPopupMenu* trayMenu_ = nullptr;
  bool skinMenuOpen_ = false;
  TForm::TWindowState windowState_ = TForm::wsNormal;
  bool rolledUpWhileMaximized_ = false;
  int rollUpHeight_ = 0;
  QRect normalBounds_;
  QTimer fadeTimer_;
  int fadeOpacity_ = 255;

  bool skinInUse_ = false;
  bool active_ = false;
  bool rolledUp_ = false;
  bool inMove_ = false;
  bool changePending_ = false;  // SKN_CHANGING seen, SKN_CHANGE not yet
  bool frameCursor_ = false;    // a resize cursor is set on the window
  std::vector<std::unique_ptr<TbsActiveSkinObject>> objects_;
  std::vector<std::unique_ptr<TbsDataSkinStdButton>> defaultButtonData_;
  int hover_ = -1, previousHover_ = -1, pressed_ = -1;
  TbsFrameGeometry geometry_;
  unsigned generation_ = 0;
  std::vector<QImage> images_;  // the extra pictures, converted; null where none
  QImage frameImage_, inactiveFrameImage_;
  QImage clientTile_;
  QPixmap clientTilePixmap_;
  // Mask bands at their window places, for hit-testing near the edges.
  struct MaskBand {
    QRect Place;
    QImage Image;
  };
  std::vector<MaskBand> maskBands_;
  QTimer hoverTimer_, morphTimer_, animationTimer_;
  QPointer<QWidget> watched_;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TbsSkinForm::TbsBorderIcons)

// Registers TbsSkinForm and its event types for window descriptions.
void RegisterSkinFormClasses();
