#include "browser/embedded_browser.h"

#include "toolkit/first_paint.h"

#include <QDateTime>
#include <QVBoxLayout>
#include <cfenv>
#include <cstdio>

namespace {
// The floating-point environment when the program started, restored by
// fpExceptions = true.
const std::fenv_t g_startupFpEnv = [] {
  std::fenv_t env;
  std::fegetenv(&env);
  return env;
}();
TWebViewFactory& Factory()
{
  static TWebViewFactory factory;
  return factory;
}

} // namespace

void TEmbeddedBrowser::SetWebViewFactory(TWebViewFactory factory) { Factory() = std::move(factory); }

TEmbeddedBrowser::TEmbeddedBrowser(TComponent* AOwner) : TWinControl(AOwner)
{
  printOptions_.setParent(this);
  downloadOptions_ = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS;
  UpdateWords();
}

TEmbeddedBrowser::~TEmbeddedBrowser() = default;

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
  TWinControl::Loaded();
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
    (*hook)(this, a.Result);
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

QWidget* TEmbeddedBrowser::CreateWidget(QWidget* parentWidget)
{
  // The control's own window holds the web view, filling it.
  QWidget* frame = TWinControl::CreateWidget(parentWidget);
  frame_ = frame;
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  if (!view_ && !IsDesigning() && Factory()) {
    view_ = Factory()();
    if (view_) view_->Apply(Options());
  }
  if (view_) {
    layout->addWidget(view_->Widget());
    if (!started_) ViewAfterFirstPaint(frame);
  }
  return frame;
}

void TEmbeddedBrowser::ViewAfterFirstPaint(QWidget* frame)
{
  QPointer<TEmbeddedBrowser> self(this);
  RunAfterFirstPaint(frame, [self] {
    TraceStartup("first-paint");
    if (self) self->View();
  });
}

TWebView* TEmbeddedBrowser::View()
{
  if (!view_ && Factory()) {
    view_ = Factory()();
    if (view_) view_->Apply(Options());
  }
  if (view_ && !started_) {
    TraceStartup("web-engine-start");
    started_ = true;
    view_->Start();
    if (pendingUrl_.isValid()) view_->Load(pendingUrl_);
  }
  return view_.get();
}

TWebViewOptions TEmbeddedBrowser::Options() const
{
  TWebViewOptions o;
  o.AutoLoadImages = downloadOptions_.testFlag(DLCTL_DLIMAGES);
  o.Scripts = !downloadOptions_.testFlag(DLCTL_NO_SCRIPTS);
  o.PlaybackWithoutGesture = downloadOptions_.testFlag(DLCTL_BGSOUNDS);
  o.ScrollBars = !uiOptions_.testFlag(SCROLL_NO);
  o.UserAgentSuffix = userAgent_;
  o.OriginHeaders = originHeaders_;
  return o;
}

void TEmbeddedBrowser::ApplyToView()
{
  if (view_) view_->Apply(Options());
}

void TEmbeddedBrowser::Navigate(const QUrl& url)
{
  pendingUrl_ = url;
  if (started_) view_->Load(url);
}

void TEmbeddedBrowser::SetOriginHeader(const QUrl& origin, const QByteArray& name, const QByteArray& value)
{
  const QUrl site = origin.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo);
  std::erase_if(originHeaders_, [&](const auto& h) { return h.Origin == site && h.Name.compare(name, Qt::CaseInsensitive) == 0; });
  originHeaders_.push_back({site, name, value});
  ApplyToView();
}

void TEmbeddedBrowser::Refresh()
{
  if (OnRefresh) {
    qint32 result = S_OK;
    OnRefresh(this, result);
    return;
  }
  if (started_) view_->Reload();
}

QUrl TEmbeddedBrowser::LocationUrl() const
{
  // Until the page commits, the view has no address of its own yet.
  const QUrl current = started_ ? view_->Url() : QUrl();
  return current.isEmpty() ? pendingUrl_ : current;
}

void TraceStartup(const char* event)
{
  static const bool on = qEnvironmentVariableIsSet("VELMORA_TRACE_STARTUP");
  if (!on) return;
  std::fprintf(stderr, "velmora: %s %lld\n", event, static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
  std::fflush(stderr);
}

void RegisterBrowserClasses()
{
  TEventTypes::Register<TBrowserHostEvent>();
  TEventTypes::Register<TBrowserCloseQueryEvent>();
  TComponentClasses::Register<TEmbeddedBrowser>();
}
