// The embedded web browser of the main window: a web view with the host's
// answers and options of the desktop browser control it stands in for. The
// download and user-interface options are kept as the original flag words
// (images, videos and background sounds downloaded = 0x70; form auto-complete
// = 0x4000) and are honoured by the web view as far as it has matching
// settings.
//
// The web view itself comes from a factory that the program installs
// (browser/web_view/, Qt WebEngine): programs and commands that show no page
// never load the web engine. In a window that is shown the view is made right
// after the window's first paint, so the window is on screen before the web
// engine starts; the page it was told to show follows.
#pragma once

#include "toolkit/forms.h"

#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

// What the web view is told of the browser's options.
struct TWebViewOptions {
  bool AutoLoadImages = true;
  bool Scripts = true;
  bool PlaybackWithoutGesture = true;  // background sounds start without a click
  bool ScrollBars = true;
  QString UserAgentSuffix;
  // A header added to every request for one origin (scheme, host and port),
  // out of the pages' reach: how the program's own page server knows its page.
  struct TOriginHeader {
    QUrl Origin;
    QByteArray Name, Value;
  };
  std::vector<TOriginHeader> OriginHeaders;
};

// The web view behind the browser pane. Made with the pane's window (cheap:
// its widget is what the window needs to know from the start); Start starts
// the web engine, after which pages load.
class TWebView {
public:
  virtual ~TWebView() = default;
  virtual QWidget* Widget() = 0;
  virtual void Start() = 0;
  virtual void Load(const QUrl& url) = 0;
  virtual void Reload() = 0;
  virtual QUrl Url() const = 0;
  virtual void Apply(const TWebViewOptions& options) = 0;
};
using TWebViewFactory = std::function<std::unique_ptr<TWebView>()>;

// Margins of printed pages, in millimetres.
class TPrintMargins : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(double Left READ Left WRITE SetLeft)
  Q_PROPERTY(double Right READ Right WRITE SetRight)
  Q_PROPERTY(double Top READ Top WRITE SetTop)
  Q_PROPERTY(double Bottom READ Bottom WRITE SetBottom)
public:
  using TPersistent::TPersistent;
  double Left() const { return left_; }
  void SetLeft(double v) { left_ = v; }
  double Right() const { return right_; }
  void SetRight(double v) { right_ = v; }
  double Top() const { return top_; }
  void SetTop(double v) { top_ = v; }
  double Bottom() const { return bottom_; }
  void SetBottom(double v) { bottom_ = v; }

private:
  double left_ = 19.05, right_ = 19.05, top_ = 19.05, bottom_ = 19.05;
};

// Page set-up for printing (kept for the description; the program never prints).
class TPrintOptions : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(TPrintMargins* Margins READ Margins)
  Q_PROPERTY(QString Header READ Header WRITE SetHeader)
  Q_PROPERTY(QStringList HTMLHeader READ HTMLHeader WRITE SetHTMLHeader)
  Q_PROPERTY(QString Footer READ Footer WRITE SetFooter)
  Q_PROPERTY(TPrintOrientation Orientation READ Orientation WRITE SetOrientation)
public:
  enum TPrintOrientation { poPortrait, poLandscape };
  Q_ENUM(TPrintOrientation)

  explicit TPrintOptions(QObject* parent = nullptr) : TPersistent(parent) { margins_.setParent(this); }
  TPrintMargins* Margins() { return &margins_; }
  QString Header() const { return header_; }
  void SetHeader(const QString& v) { header_ = v; }
  QStringList HTMLHeader() const { return htmlHeader_; }
  void SetHTMLHeader(const QStringList& v) { htmlHeader_ = v; }
  QString Footer() const { return footer_; }
  void SetFooter(const QString& v) { footer_ = v; }
  TPrintOrientation Orientation() const { return orientation_; }
  void SetOrientation(TPrintOrientation v) { orientation_ = v; }

private:
  TPrintMargins margins_;
  QString header_;
  QStringList htmlHeader_{QStringLiteral("<HTML></HTML>")};
  QString footer_;
  TPrintOrientation orientation_ = poPortrait;
};

// Hooks of the document host: (sender, result). When assigned, a hook is called
// instead of the default answer and sets the result code itself.
using TBrowserHostEvent = TEvent<TObject*, qint32&>;
Q_DECLARE_METATYPE(TBrowserHostEvent)
using TBrowserCloseQueryEvent = TForm::TCloseQueryEvent;

class TEmbeddedBrowser : public TWinControl {
  Q_OBJECT
  Q_PROPERTY(TDownloadControlOptions DownloadOptions READ DownloadOptions WRITE SetDownloadOptions)
  Q_PROPERTY(TUserInterfaceOptions UserInterfaceOptions READ UserInterfaceOptions WRITE SetUserInterfaceOptions)
  Q_PROPERTY(QString UserAgent READ UserAgent WRITE SetUserAgent)
  Q_PROPERTY(bool ReplaceCaption READ ReplaceCaption WRITE SetReplaceCaption)
  Q_PROPERTY(bool EnableDDE READ EnableDDE WRITE SetEnableDDE)
  Q_PROPERTY(bool fpExceptions READ fpExceptions WRITE SetfpExceptions)
  Q_PROPERTY(QString HelpFile READ HelpFile WRITE SetHelpFile)
  Q_PROPERTY(TPrintOptions* PrintOptions READ PrintOptions)
  Q_PROPERTY(TBrowserHostEvent OnRefresh MEMBER OnRefresh)
  Q_PROPERTY(TBrowserHostEvent OnScriptError MEMBER OnScriptError)
  Q_PROPERTY(TBrowserHostEvent OnUnload MEMBER OnUnload)
  Q_PROPERTY(TBrowserHostEvent OnGetOverrideKeyPath MEMBER OnGetOverrideKeyPath)
  Q_PROPERTY(TBrowserHostEvent OnShowContextMenu MEMBER OnShowContextMenu)
  Q_PROPERTY(TBrowserHostEvent OnGetHostInfo MEMBER OnGetHostInfo)
  Q_PROPERTY(TBrowserHostEvent OnShowUI MEMBER OnShowUI)
  Q_PROPERTY(TBrowserHostEvent OnHideUI MEMBER OnHideUI)
  Q_PROPERTY(TBrowserHostEvent OnUpdateUI MEMBER OnUpdateUI)
  Q_PROPERTY(TBrowserHostEvent OnEnableModeless MEMBER OnEnableModeless)
  Q_PROPERTY(TBrowserHostEvent OnOnDocWindowActivate MEMBER OnOnDocWindowActivate)
  Q_PROPERTY(TBrowserHostEvent OnOnFrameWindowActivate MEMBER OnOnFrameWindowActivate)
  Q_PROPERTY(TBrowserHostEvent OnResizeBorder MEMBER OnResizeBorder)
  Q_PROPERTY(TBrowserHostEvent OnTranslateAccelerator MEMBER OnTranslateAccelerator)
  Q_PROPERTY(TBrowserHostEvent OnGetOptionKeyPath MEMBER OnGetOptionKeyPath)
  Q_PROPERTY(TBrowserHostEvent OnGetDropTarget MEMBER OnGetDropTarget)
  Q_PROPERTY(TBrowserHostEvent OnGetExternal MEMBER OnGetExternal)
  Q_PROPERTY(TBrowserHostEvent OnTranslateUrl MEMBER OnTranslateUrl)
  Q_PROPERTY(TBrowserHostEvent OnFilterDataObject MEMBER OnFilterDataObject)
  Q_PROPERTY(TBrowserHostEvent OnShowMessage MEMBER OnShowMessage)
  Q_PROPERTY(TBrowserHostEvent OnShowHelp MEMBER OnShowHelp)
  Q_PROPERTY(TBrowserHostEvent OnGetTypeInfoCount MEMBER OnGetTypeInfoCount)
  Q_PROPERTY(TBrowserHostEvent OnGetTypeInfo MEMBER OnGetTypeInfo)
  Q_PROPERTY(TBrowserHostEvent OnGetIDsOfNames MEMBER OnGetIDsOfNames)
  Q_PROPERTY(TBrowserHostEvent OnInvoke MEMBER OnInvoke)
  Q_PROPERTY(TBrowserHostEvent OnQueryService MEMBER OnQueryService)
  Q_PROPERTY(TBrowserCloseQueryEvent OnCloseQuery MEMBER OnCloseQuery)
  Q_PROPERTY(TBrowserHostEvent OnShowDialog MEMBER OnShowDialog)

public:
  // Bit values are the browser control's DLCTL_ constants.
  enum TDownloadControlOption : quint32 {
    DLCTL_DLIMAGES = 0x10,
    DLCTL_VIDEOS = 0x20,
    DLCTL_BGSOUNDS = 0x40,
    DLCTL_NO_SCRIPTS = 0x80,
    DLCTL_NO_JAVA = 0x100,
    DLCTL_NO_RUNACTIVEXCTLS = 0x200,
    DLCTL_NO_DLACTIVEXCTLS = 0x400,
    DLCTL_DOWNLOADONLY = 0x800,
    DLCTL_NO_FRAMEDOWNLOAD = 0x1000,
    DLCTL_RESYNCHRONIZE = 0x2000,
    DLCTL_PRAGMA_NO_CACHE = 0x4000,
    DLCTL_NO_BEHAVIORS = 0x8000,
    DLCTL_NO_METACHARSET = 0x10000,
    DLCTL_URL_ENCODING_DISABLE_UTF8 = 0x20000,
    DLCTL_URL_ENCODING_ENABLE_UTF8 = 0x40000,
    DLCTL_FORCEOFFLINE = 0x10000000,
    DLCTL_NO_CLIENTPULL = 0x20000000,
    DLCTL_SILENT = 0x40000000,
    DLCTL_OFFLINE = 0x80000000,
  };
  Q_DECLARE_FLAGS(TDownloadControlOptions, TDownloadControlOption)
  Q_FLAG(TDownloadControlOptions)

  // Bit values are the document host's DOCHOSTUIFLAG_ constants.
  enum TUserInterfaceOption : quint32 {
    DIALOG = 0x1,
    DISABLE_HELP_MENU = 0x2,
    NO3DBORDER = 0x4,
    SCROLL_NO = 0x8,
    DISABLE_SCRIPT_INACTIVE = 0x10,
    OPENNEWWIN = 0x20,
    DISABLE_OFFSCREEN = 0x40,
    FLAT_SCROLLBAR = 0x80,
    DIV_BLOCKDEFAULT = 0x100,
    ACTIVATE_CLIENTHIT_ONLY = 0x200,
    OVERRIDEBEHAVIORFACTORY = 0x400,
    CODEPAGELINKEDFONTS = 0x800,
    URL_ENCODING_DISABLE_UTF8 = 0x1000,
    URL_ENCODING_ENABLE_UTF8 = 0x2000,
    ENABLE_FORMS_AUTOCOMPLETE = 0x4000,
    ENABLE_INPLACE_NAVIGATION = 0x10000,
    IME_ENABLE_RECONVERSION = 0x20000,
  };
  Q_DECLARE_FLAGS(TUserInterfaceOptions, TUserInterfaceOption)
  Q_FLAG(TUserInterfaceOptions)

  // Questions the browser control asks its host.
  enum THostQuestion {
    hqAmbientDownloadControl,
    hqAmbientOther,
    hqHostInfo,
    hqShowContextMenu,
    hqShowUI,
    hqHideUI,
    hqUpdateUI,
    hqEnableModeless,
    hqOnDocWindowActivate,
    hqOnFrameWindowActivate,
    hqResizeBorder,
    hqTranslateAccelerator,
    hqGetOptionKeyPath,
    hqTranslateUrl,
    hqGetOverrideKeyPath,
    hqGetDropTarget,
    hqGetExternal,
    hqFilterDataObject,
    hqShowMessage,
    hqShowHelp,
    hqGetTypeInfoCount,
    hqGetTypeInfo,
    hqGetIDsOfNames,
    hqQueryStatus,
    hqExecWithoutGroup,
    hqExecWithGroup,
    hqQueryService,
  };
  Q_ENUM(THostQuestion)

  static constexpr qint32 S_OK = 0;
  static constexpr qint32 S_FALSE = 1;
  static constexpr qint32 E_NOTIMPL = qint32(0x80004001u);
  static constexpr qint32 E_NOINTERFACE = qint32(0x80004002u);
  static constexpr qint32 OLECMDERR_E_NOTSUPPORTED = qint32(0x80040100u);
  static constexpr qint32 OLECMDERR_E_UNKNOWNGROUP = qint32(0x80040104u);
  static constexpr int kHostInfoSize = 20;

  struct THostAnswer {
    qint32 Result = S_FALSE;
    qint32 Value = 0;  // the download-control word, or the host-UI flags
  };

  explicit TEmbeddedBrowser(TComponent* AOwner);
  ~TEmbeddedBrowser() override;

  TDownloadControlOptions DownloadOptions() const { return downloadOptions_; }
  void SetDownloadOptions(TDownloadControlOptions v);
  TUserInterfaceOptions UserInterfaceOptions() const { return uiOptions_; }
  void SetUserInterfaceOptions(TUserInterfaceOptions v);
  QString UserAgent() const { return userAgent_; }
  void SetUserAgent(const QString& v);
  bool ReplaceCaption() const { return replaceCaption_; }
  void SetReplaceCaption(bool v) { replaceCaption_ = v; }
  bool EnableDDE() const { return enableDDE_; }
  void SetEnableDDE(bool v) { enableDDE_ = v; }
  bool fpExceptions() const { return fpExceptions_; }
  void SetfpExceptions(bool v);
  QString HelpFile() const { return helpFile_; }
  void SetHelpFile(const QString& v) { helpFile_ = v; }
  TPrintOptions* PrintOptions() { return &printOptions_; }

  // The flag words as the browser control reads them.
  quint32 DownloadControlWord() const { return downloadWord_; }
  quint32 HostUIWord() const { return hostUIWord_; }
  // How often the web view was told that the download options changed.
  int DownloadControlRequeries() const { return requeries_; }

  // The host's answer to a question, through the matching hook when assigned.
  THostAnswer Answer(THostQuestion question);
  // Whether a key typed into the page is offered to the page before the
  // program's own shortcuts (Enter, Backspace and the extended arrows are not).
  static bool OffersKeyForTranslation(int virtualKey, bool extendedKey);

  void Navigate(const QUrl& url);
  void Refresh();
  // Every request the view makes to `origin` carries the header `name`: `value`
  // (set again for the same origin and name: replaced).
  void SetOriginHeader(const QUrl& origin, const QByteArray& name, const QByteArray& value);
  QUrl LocationUrl() const;

  // The web view with its engine started, started now if it was not yet
  // (null without a factory); inside the control's window once that exists.
  TWebView* View();
  // Whether the web engine runs for this pane.
  bool HasView() const { return started_; }
  // How web views are made in this process (null: none, the pane stays empty).
  static void SetWebViewFactory(TWebViewFactory factory);

  void Loaded() override;

  TBrowserHostEvent OnRefresh, OnScriptError, OnUnload, OnGetOverrideKeyPath, OnShowContextMenu, OnGetHostInfo,
      OnShowUI, OnHideUI, OnUpdateUI, OnEnableModeless, OnOnDocWindowActivate, OnOnFrameWindowActivate, OnResizeBorder,
      OnTranslateAccelerator, OnGetOptionKeyPath, OnGetDropTarget, OnGetExternal, OnTranslateUrl, OnFilterDataObject,
      OnShowMessage, OnShowHelp, OnGetTypeInfoCount, OnGetTypeInfo, OnGetIDsOfNames, OnInvoke, OnQueryService,
      OnShowDialog;
  TBrowserCloseQueryEvent OnCloseQuery;

protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;

private:
  void UpdateWords();
  void ApplyToView();
  const TBrowserHostEvent* HookFor(THostQuestion q) const;

  TDownloadControlOptions downloadOptions_;
  TUserInterfaceOptions uiOptions_;
  QString userAgent_;
  bool replaceCaption_ = false;
  bool enableDDE_ = false;
  bool fpExceptions_ = true;
  QString helpFile_;
  TPrintOptions printOptions_;
  quint32 downloadWord_ = 0;
  quint32 hostUIWord_ = 0;
  int requeries_ = 0;
  void ViewAfterFirstPaint(QWidget* frame);
  TWebViewOptions Options() const;

  std::unique_ptr<TWebView> view_;
  bool started_ = false;
  QPointer<QWidget> frame_;
  QUrl pendingUrl_;
  std::vector<TWebViewOptions::TOriginHeader> originHeaders_;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TEmbeddedBrowser::TDownloadControlOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(TEmbeddedBrowser::TUserInterfaceOptions)

void RegisterBrowserClasses();

// With VELMORA_TRACE_STARTUP set, writes "velmora: EVENT MS" to stderr (MS:
// milliseconds since the epoch), for the start-up benchmark.
void TraceStartup(const char* event);
