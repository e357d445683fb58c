#include "browser/embedded_browser.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cfenv>

namespace {
// The floating-point environment when the program started, restored by
// fpExceptions = true.
const std::fenv_t g_startupFpEnv = [] {
  std::fenv_t env;
  std::fegetenv(&env);
  return env;
}();
} // namespace

TEmbeddedBrowser::TEmbeddedBrowser(TComponent* AOwner) : TComponent(AOwner)
{
  printOptions_.setParent(this);
  downloadOptions_ = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS;
  UpdateWords();
}

TEmbeddedBrowser::~TEmbeddedBrowser()
{
  if (view_) delete view_.data();
}

void TEmbeddedBrowser::UpdateWords()
{
  downloadWord_ = quint32(downloadOptions_.toInt());
  hostUIWord_ = quint32(uiOptions_.toInt());
}

void TEmbeddedBrowser::SetDownloadOptions(TDownloadControlOptions v)
{
  if (v == downloadOptions_) return;
  downloadOptions_ = v;
  UpdateWords();
  // The control asks for the download word again.
  ++requeries_;
  ApplyToView();
}

void TEmbeddedBrowser::SetUserInterfaceOptions(TUserInterfaceOptions v)
{
  if (v == uiOptions_) return;
  uiOptions_ = v;
  UpdateWords();
  ++requeries_;
  ApplyToView();
}

void TEmbeddedBrowser::SetUserAgent(const QString& v)
{
  if (v == userAgent_) return;
  userAgent_ = v;
  ApplyToView();
}

void TEmbeddedBrowser::SetfpExceptions(bool v)
{
  fpExceptions_ = v;
  if (v) {
    std::fesetenv(&g_startupFpEnv);
  } else {
    // Mask every floating-point exception.
    std::fenv_t env;
    std::feholdexcept(&env);
  }
}

void TEmbeddedBrowser::Loaded()
{
  TComponent::Loaded();
  UpdateWords();
  ApplyToView();
}

const TBrowserHostEvent* TEmbeddedBrowser::HookFor(THostQuestion q) const
{
  switch (q) {
  case hqHostInfo: return &OnGetHostInfo;
  case hqShowContextMenu: return &OnShowContextMenu;
  case hqShowUI: return &OnShowUI;
  case hqHideUI: return &OnHideUI;
  case hqUpdateUI: return &OnUpdateUI;
  case hqEnableModeless: return &OnEnableModeless;
  case hqOnDocWindowActivate: return &OnOnDocWindowActivate;
  case hqOnFrameWindowActivate: return &OnOnFrameWindowActivate;
  case hqResizeBorder: return &OnResizeBorder;
  case hqTranslateAccelerator: return &OnTranslateAccelerator;
  case hqGetOptionKeyPath: return &OnGetOptionKeyPath;
  case hqTranslateUrl: return &OnTranslateUrl;
  case hqGetOverrideKeyPath: return &OnGetOverrideKeyPath;
  case hqGetDropTarget: return &OnGetDropTarget;
  case hqGetExternal: return &OnGetExternal;
  case hqFilterDataObject: return &OnFilterDataObject;
  case hqShowMessage: return &OnShowMessage;
  case hqShowHelp: return &OnShowHelp;
  case hqGetTypeInfoCount: return &OnGetTypeInfoCount;
  case hqGetTypeInfo: return &OnGetTypeInfo;
  case hqGetIDsOfNames: return &OnGetIDsOfNames;
  case hqQueryService: return &OnQueryService;
  default: return nullptr;
  }
}

TEmbeddedBrowser::THostAnswer TEmbeddedBrowser::Answer(THostQuestion q)
{
  if (const TBrowserHostEvent* hook = HookFor(q); hook && *hook) {
    THostAnswer a;
    (*hook)(this, a.result);
    return a;
  }
  switch (q) {
  case hqAmbientDownloadControl: return {S_OK, qint32(downloadWord_)};
  case hqAmbientOther: return {S_FALSE, 0};  // the view's own handling
  case hqHostInfo: return {S_OK, qint32(hostUIWord_)};
  case hqGetOverrideKeyPath:
  case hqGetDropTarget:
  case hqQueryStatus: return {S_OK, 0};
  case hqShowHelp: return {helpFile_.isEmpty() ? S_FALSE : S_OK, 0};
  case hqGetTypeInfoCount:
  case hqGetTypeInfo:
  case hqGetIDsOfNames: return {E_NOTIMPL, 0};
  case hqExecWithoutGroup: return {OLECMDERR_E_UNKNOWNGROUP, 0};
  case hqExecWithGroup: return {OLECMDERR_E_NOTSUPPORTED, 0};
  case hqQueryService: return {E_NOINTERFACE, 0};
  default: return {S_FALSE, 0};  // not handled: the view does its default
  }
}

bool TEmbeddedBrowser::OffersKeyForTranslation(int virtualKey, bool extendedKey)
{
  if (virtualKey == 8 || virtualKey == 13) return false;  // Backspace, Enter
  if (extendedKey && (virtualKey == 37 || virtualKey == 39)) return false;  // Left, Right
  return true;
}

QWebEngineView* TEmbeddedBrowser::view() const { return static_cast<QWebEngineView*>(view_.data()); }

QWebEngineView* TEmbeddedBrowser::View()
{
  if (!view_) {
    view_ = new QWebEngineView();
    ApplyToView();
    if (pendingUrl_.isValid()) view()->load(pendingUrl_);
  }
  return view();
}

void TEmbeddedBrowser::ApplyToView()
{
  if (!view_) return;
  QWebEngineSettings* s = view()->settings();
  s->setAttribute(QWebEngineSettings::AutoLoadImages, downloadOptions_.testFlag(DLCTL_DLIMAGES));
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, !downloadOptions_.testFlag(DLCTL_NO_SCRIPTS));
  // Background sound may start without a click when it is to be downloaded.
  s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, !downloadOptions_.testFlag(DLCTL_BGSOUNDS));
  s->setAttribute(QWebEngineSettings::ShowScrollBars, !uiOptions_.testFlag(SCROLL_NO));
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  if (!userAgent_.isEmpty()) {
    QWebEngineProfile* profile = view()->page()->profile();
    const QString base = QWebEngineProfile::defaultProfile()->httpUserAgent();
    profile->setHttpUserAgent(base + u' ' + userAgent_);
  }
}

void TEmbeddedBrowser::Navigate(const QUrl& url)
{
  pendingUrl_ = url;
  if (view_) view()->load(url);
}

void TEmbeddedBrowser::Refresh()
{
  if (OnRefresh) {
    qint32 result = S_OK;
    OnRefresh(this, result);
    return;
  }
  if (view_) view()->reload();
}

QUrl TEmbeddedBrowser::LocationUrl() const { return view_ ? view()->url() : pendingUrl_; }

void RegisterBrowserClasses()
{
  TEventTypes::Register<TBrowserHostEvent>();
  TEventTypes::Register<TBrowserCloseQueryEvent>();
  TComponentClasses::Register<TEmbeddedBrowser>();
}
