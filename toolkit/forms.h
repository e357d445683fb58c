// Forms (top-level windows), the screen and the application.
//
// A form subclass reads its own description in its constructor:
//   TForm_Main::TForm_Main(TComponent* owner) : TForm(owner)
//   { ReadComponentFile(path, this); }
// OnCreate runs when the description has been loaded (or, for forms built in
// code, through Application->CreateForm / DoCreate). Prefer Free() to delete
// so that OnDestroy runs while every component still exists.
#pragma once

#include "toolkit/controls.h"

#include <QCursor>
#include <QRect>
#include <QScopedValueRollback>
#include <map>
#include <vector>

// Modal results (also the message-box answers).
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
             mrAll = 8, mrNoToAll = 9, mrYesToAll = 10 };

class TForm : public TCustomControl {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:ModalResult", "TModalResult")
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(TBorderIcons BorderIcons READ BorderIcons WRITE SetBorderIcons)
  Q_PROPERTY(TPosition Position READ Position WRITE SetPosition)
  Q_PROPERTY(TFormStyle FormStyle READ FormStyle WRITE SetFormStyle)
  Q_PROPERTY(TWindowState WindowState READ WindowState WRITE SetWindowState)
  Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
  Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
  Q_PROPERTY(bool KeyPreview READ KeyPreview WRITE SetKeyPreview)
  Q_PROPERTY(bool AutoScroll READ AutoScroll WRITE SetAutoScroll)
  Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
  Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
  Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult STORED false)
  Q_PROPERTY(TNotifyEvent OnCreate READ OnCreate WRITE SetOnCreate)
  Q_PROPERTY(TNotifyEvent OnDestroy READ OnDestroy WRITE SetOnDestroy)
  Q_PROPERTY(TNotifyEvent OnShow READ OnShow WRITE SetOnShow)
  Q_PROPERTY(TNotifyEvent OnHide READ OnHide WRITE SetOnHide)
  Q_PROPERTY(TNotifyEvent OnActivate READ OnActivate WRITE SetOnActivate)
  Q_PROPERTY(TNotifyEvent OnDeactivate READ OnDeactivate WRITE SetOnDeactivate)
  Q_PROPERTY(TNotifyEvent OnPaint READ OnPaint WRITE SetOnPaint)
  Q_PROPERTY(TCloseEvent OnClose READ OnClose WRITE SetOnClose)
  Q_PROPERTY(TCloseQueryEvent OnCloseQuery READ OnCloseQuery WRITE SetOnCloseQuery)

public:
  enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
  Q_ENUM(TFormBorderStyle)
  enum TBorderIcon { biSystemMenu = 0x1, biMinimize = 0x2, biMaximize = 0x4, biHelp = 0x8 };
  Q_DECLARE_FLAGS(TBorderIcons, TBorderIcon)
  Q_FLAG(TBorderIcons)
  enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                   poMainFormCenter, poOwnerFormCenter };
  Q_ENUM(TPosition)
  enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
  Q_ENUM(TFormStyle)
  enum TWindowState { wsNormal, wsMinimized, wsMaximized };
  Q_ENUM(TWindowState)
  enum TCloseAction { caNone, caHide, caFree, caMinimize };
  Q_ENUM(TCloseAction)
  using TCloseEvent = TEvent<TObject*, TCloseAction&>;
  using TCloseQueryEvent = TEvent<TObject*, bool&>;

  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons v);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition v) { position_ = v; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle v);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState v);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool v) { autoScroll_ = v; }
  bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool v);
  int AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(int v);
  bool StayOnTop() const { return formStyle_ == fsStayOnTop; }
  // The window draws its own frame (a skinned frame does): the window system
  // adds no border or caption, whatever the border style says.
  bool OwnFrame() const { return ownFrame_; }
  void SetOwnFrame(bool v);
  // False: the window manager neither frames nor places the window, so it
  // stands exactly where the program puts it, off the screen edge included
  // (a docked window slid out of sight). Changing it maps the window anew.
  bool ManagedByWindowSystem() const { return managed_; }
  void SetManagedByWindowSystem(bool v);
  // The window system gave the window another parent. A manager that lets
  // an unmanaged window go late leaves it unmapped at its frame's corner,
  // with no position report: the window is shown again at the program's place.
  void WindowReparented();
  // Where the window stands now (Left, Top as the window system sees them):
  // the frame's corner, or the window's own when it is unmanaged.
  QPoint WindowPosition() const;

  int ModalResult() const { return modalResult_; }
  void SetModalResult(int v) { modalResult_ = v; }
  bool Modal() const { return modal_; }
  bool Active() const { return active_; }

  // Shows the window (creating it) or hides it; OnShow / OnHide.
  void SetVisible(bool v) override;
  // Shows the form modally and runs messages until ModalResult is set (or the
  // form is closed); returns ModalResult.
  int ShowModal();
  // Close: OnCloseQuery may refuse; OnClose chooses the action (hide by
  // default, or free). Closing the main form ends the application.
  void Close();
  bool CloseQuery();
  // Frees the form once the current event has been handled.
  void Release();
  // Brings the window up and gives it the focus.
  void BringToFront();

  // Runs OnCreate once (also called when the description has been read).
  void DoCreate();

  void WndProc(TMessage& Message) override;
  void Loaded() override;

  TNotifyEvent OnCreate() const { return onCreate_; }
  void SetOnCreate(const TNotifyEvent& e) { onCreate_ = e; }
  TNotifyEvent OnDestroy() const { return onDestroy_; }
  void SetOnDestroy(const TNotifyEvent& e) { onDestroy_ = e; }
  TNotifyEvent OnShow() const { return onShow_; }
  void SetOnShow(const TNotifyEvent& e) { onShow_ = e; }
  TNotifyEvent OnHide() const { return onHide_; }
  void SetOnHide(const TNotifyEvent& e) { onHide_ = e; }
  TNotifyEvent OnActivate() const { return onActivate_; }
  void SetOnActivate(const TNotifyEvent& e) { onActivate_ = e; }
  TNotifyEvent OnDeactivate() const { return onDeactivate_; }
  void SetOnDeactivate(const TNotifyEvent& e) { onDeactivate_ = e; }
  TNotifyEvent OnPaint() const { return onPaint_; }
  void SetOnPaint(const TNotifyEvent& e) { onPaint_ = e; }
  TCloseEvent OnClose() const { return onClose_; }
  void SetOnClose(const TCloseEvent& e) { onClose_ = e; }
  TCloseQueryEvent OnCloseQuery() const { return onCloseQuery_; }
  void SetOnCloseQuery(const TCloseQueryEvent& e) { onCloseQuery_ = e; }

protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void UpdateWidgetGeometry() override;
  void TextChanged() override;
  void Paint() override;
  void BeforeDestruction() override;
  virtual void DoClose(TCloseAction& Action);
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  void WidgetMoved() override;
  void WidgetResized() override;
  friend class TWinControl;
  friend class TControlWidget;

private:
  Qt::WindowFlags WindowFlagsFor() const;
  void ApplyWindowFlags();
  void PlaceOnFirstShow();
  void ShowWindowNow();

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = TBorderIcons(biSystemMenu | biMinimize | biMaximize);
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  TWindowState windowState_ = wsNormal;
  bool keyPreview_ = false;
  bool ownFrame_ = false;
  bool autoScroll_ = false;
  bool alphaBlend_ = false;
  int alphaBlendValue_ = 255;
  int modalResult_ = mrNone;
  bool modal_ = false;
  bool active_ = false;
  bool created_ = false;
  bool destroyed_ = false;
  bool placed_ = false;
  bool syncing_ = false;  // geometry being pushed to the window
  // Runs `f` with syncing_ set (back as it was after, also on an error): the
  // window's answers to our own changes are not taken for the user's.
  template <class F>
  void Syncing(F&& f)
  {
    const QScopedValueRollback<bool> guard(syncing_, true);
    f();
  }
  bool managed_ = true;
  int distrustMoves_ = 0;  // moves of a window just mapped anew still to be corrected
  // Places the program gave the managed window that the manager has not yet
  // reported (the newest last): a report of one of them is the manager
  // catching up, not a move.
  std::vector<QPoint> unconfirmed_;
  TNotifyEvent onCreate_, onDestroy_, onShow_, onHide_, onActivate_, onDeactivate_, onPaint_;
  TCloseEvent onClose_;
  TCloseQueryEvent onCloseQuery_;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TForm::TBorderIcons)
Q_DECLARE_METATYPE(TForm::TCloseEvent)
Q_DECLARE_METATYPE(TForm::TCloseQueryEvent)

// ---------------------------------------------------------------- screen

struct TMonitor {
  int MonitorNum = 0;
  bool Primary = false;
  QRect BoundsRect;
  QRect WorkareaRect;  // the monitor less task bars and panels
};

class TScreen : public TComponent {
  Q_OBJECT
public:
  explicit TScreen(TComponent* AOwner);

  int Width() const;
  int Height() const;
  int PixelsPerInch() const { return kScreenPixelsPerInch; }
  QPoint CursorPos() const;
  void SetCursorPos(QPoint p);
  // Work area of the primary monitor, and the rectangle of all monitors.
  QRect WorkAreaRect() const;
  QRect DesktopRect() const;

  int MonitorCount() const;
  TMonitor Monitors(int index) const;
  // The monitor holding the point, else the nearest one.
  TMonitor MonitorFromPoint(QPoint p) const;
  TMonitor MonitorFromRect(const QRect& r) const;
  TMonitor MonitorFromWindow(const TWinControl* control) const;

  // The program-wide cursor (crDefault: each control's own).
  int Cursor() const { return cursor_; }
  void SetCursor(int id);
  // The cursor table: stock numbers are predefined; the program registers its own.
  QCursor Cursors(int id) const;
  void SetCursors(int id, const QCursor& cursor);

  int FormCount() const { return int(forms_.size()); }
  TForm* Forms(int index) const { return forms_.at(size_t(index)); }
  TForm* ActiveForm() const { return activeForm_; }
  // The form whose window has this id (nullptr: none).
  TForm* FormOfWindow(WId window) const;

private:
  friend class TForm;
  int cursor_ = crDefault;
  std::vector<TForm*> forms_;
  TForm* activeForm_ = nullptr;
};

// ---------------------------------------------------------------- application

class TApplication : public TComponent {
  Q_OBJECT
public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  QString Title() const { return title_; }
  void SetTitle(const QString& v);
  TForm* MainForm() const { return mainForm_; }
  void SetMainForm(TForm* f) { mainForm_ = f; }
  bool ShowMainForm = true;

  // Creates a form owned by the application; the first becomes the main form.
  template <typename T>
  T* CreateForm()
  {
    T* form = new T(this);
    if (!mainForm_) mainForm_ = form;
    form->DoCreate();
    return form;
  }

  // Shows the main form and handles messages until the main form closes.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles what is waiting (events, synchronised calls from threads).
  void ProcessMessages();
  // Waits for one message and handles it.
  void HandleMessage();

  // The report for an error that escaped an event handler: OnException when
  // set, else ShowException.
  void HandleException(std::exception_ptr error);
  // A message box with the error text; without a display, the text on stderr.
  void ShowException(const QString& message);
  std::function<void(const QString& message)> OnException;

  // Hints: pause before showing, time shown.
  int HintPause = 500;
  int HintShortPause = 50;
  int HintHidePause = 2500;
  // Replaces the hint window (a skinned one); default: Qt's tool tip.
  std::function<void(TControl* control, QPoint globalPos, const QString& text)> HintWindow;

  // True when no real display is there (offscreen or minimal platform, or no X display).
  static bool Headless();

private:
  QString title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;

  friend class TForm;
};

// The single application and screen, made on first use.
struct TApplicationRef {
  TApplication* operator->() const { return Get(); }
  operator TApplication*() const { return Get(); }
  static TApplication* Get();
};
struct TScreenRef {
  TScreen* operator->() const { return Get(); }
  operator TScreen*() const { return Get(); }
  static TScreen* Get();
};
inline constexpr TApplicationRef Application{};
inline constexpr TScreenRef Screen{};

// Call before the QApplication is made. On a Wayland session the program runs
// through XWayland, because it places its own windows (docking, centring,
// the top-edge strip) and Wayland does not let clients do that. Leaves an
// explicit QT_QPA_PLATFORM alone. Returns the platform chosen ("" for Qt's own choice).
QString ChooseWindowSystem();
