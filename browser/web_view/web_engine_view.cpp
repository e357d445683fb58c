#include "browser/web_view/web_engine_view.h"

#include "browser/embedded_browser.h"

#include <QCoreApplication>
#include <QPointer>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace {
// Adds the browser's origin headers to the page's requests. Runs in this
// process: the page's scripts never see the values.
class TOriginHeaderInterceptor : public QWebEngineUrlRequestInterceptor {
public:
  std::vector<TWebViewOptions::TOriginHeader> headers;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override
  {
    const QUrl url = info.requestUrl();
    for (const auto& h : headers)
      if (url.scheme() == h.Origin.scheme() && url.host() == h.Origin.host() && url.port(-1) == h.Origin.port(-1))
        info.setHttpHeader(h.Name, h.Value);
  }
};

// The pane's content: at first a hidden Qt Quick widget, the kind the engine
// draws with, so that the window is made able to compose it from the start
// (added to a window that already exists, the view would have the window
// made anew: a new window on the desktop); once started, the engine's view.
class TWebEngineView : public TWebView {
public:
  TWebEngineView() : container_(new QWidget())
  {
    layout_ = new QVBoxLayout(container_);
    layout_->setContentsMargins(0, 0, 0, 0);
    placeholder_ = new QQuickWidget(container_);
    placeholder_->hide();
  }
  ~TWebEngineView() override { delete container_.data(); }  // unless its window took it along

  QWidget* Widget() override { return container_; }
  void Start() override
  {
    if (view_ || !container_) return;
    view_ = new QWebEngineView(container_);
    view_->page()->setUrlRequestInterceptor(&interceptor_);
    QObject::connect(view_, &QWebEngineView::loadFinished, view_,
                     [](bool ok) { TraceStartup(ok ? "page-loaded" : "page-failed"); });
    layout_->addWidget(view_);
    delete placeholder_.data();
    Apply(options_);
    view_->show();
  }
  void Load(const QUrl& url) override
  {
    if (view_) view_->load(url);
  }
  void Reload() override
  {
    if (view_) view_->reload();
  }
  QUrl Url() const override { return view_ ? view_->url() : QUrl(); }
  void Apply(const TWebViewOptions& o) override
  {
    options_ = o;
    interceptor_.headers = o.OriginHeaders;
    if (!view_) return;
    QWebEngineSettings* s = view_->settings();
    s->setAttribute(QWebEngineSettings::AutoLoadImages, o.AutoLoadImages);
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, o.Scripts);
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, !o.PlaybackWithoutGesture);
    s->setAttribute(QWebEngineSettings::ShowScrollBars, o.ScrollBars);
    // The station page uses none of these.
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    s->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    if (!o.UserAgentSuffix.isEmpty()) {
      QWebEngineProfile* profile = view_->page()->profile();
      const QString base = QWebEngineProfile::defaultProfile()->httpUserAgent();
      profile->setHttpUserAgent(base + u' ' + o.UserAgentSuffix);
    }
  }

private:
  QPointer<QWidget> container_;
  QVBoxLayout* layout_ = nullptr;
  QPointer<QQuickWidget> placeholder_;
  TOriginHeaderInterceptor interceptor_;  // before the view: outlives its page
  QPointer<QWebEngineView> view_;
  TWebViewOptions options_;
};

// The page is a list: the CPU draws it. The engine's view then goes through
// Qt Quick's software renderer and Chromium without its GPU process, so no
// OpenGL stack is loaded (without a GPU that is Mesa's llvmpipe, LLVM and
// all: 60 MB resident). QT_QUICK_BACKEND=opengl brings the GPU path back.
bool DrawnByCpu() { return qEnvironmentVariable("QT_QUICK_BACKEND", QStringLiteral("software")) == u"software"; }

// Without a GL binding Qt says so at start: the intended state, not a fault
// to tell the user of.
QtMessageHandler g_previousHandler = nullptr;
bool g_setGlIntegration = false;
void QuietAboutNoOpenGl(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
  if (message.startsWith(u"QXcbIntegration: Cannot create platform OpenGL context")) return;
  if (g_previousHandler) g_previousHandler(type, context, message);
  else qt_message_output(type, context, message);
}

// Chromium reads its switches once, when the first page is made.
void AddEngineSwitches(bool cpu)
{
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  const auto add = [&flags](const QByteArray& name, const QByteArray& value = {}) {
    if (flags.contains(name)) return;  // the user's own setting wins
    flags += ' ' + name + value;
  };
  // One renderer for the one page; no spare one kept warm.
  add("--renderer-process-limit=", "1");
  add("--disable-features=", "SpareRendererForSitePerProcess,BackForwardCache,MediaRouter,Translate");
  if (cpu) {
    add("--disable-gpu");
  } else {
    // The GPU work runs inside the browser process instead of a process of its own.
    add("--in-process-gpu");
  }
  add("--disable-background-networking");
  // Without the sandbox (root, or switched off) the zygote process serves nothing.
  if (!qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX") || flags.contains("--no-sandbox")) add("--no-zygote");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
}
} // namespace

void InstallWebEngineView()
{
  const bool cpu = DrawnByCpu();
  if (cpu) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The engine makes a shared OpenGL context when the application starts,
    // used or not; without the window system's GL binding it makes none and
    // the GL driver stays out of the process.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
      qputenv("QT_XCB_GL_INTEGRATION", "none");
      if (!g_previousHandler) g_previousHandler = qInstallMessageHandler(QuietAboutNoOpenGl);
      g_setGlIntegration = true;
    }
  } else {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the engine's views share the GPU context
  }
  AddEngineSwitches(cpu);
  TEmbeddedBrowser::SetWebViewFactory([] {
    static bool profileSet = false;
    if (!profileSet) {
      profileSet = true;
      // The window system has read it when the application started; programs
      // we start (a browser for a link) must not inherit it.
      if (g_setGlIntegration) qunsetenv("QT_XCB_GL_INTEGRATION");
      QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
      profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
      profile->setHttpCacheMaximumSize(8 * 1024 * 1024);
      profile->setSpellCheckEnabled(false);
    }
    return std::unique_ptr<TWebView>(new TWebEngineView());
  });
}

QWebEngineView* WebEngineViewOf(TEmbeddedBrowser& browser)
{
  TWebView* view = browser.View();
  return view ? view->Widget()->findChild<QWebEngineView*>() : nullptr;
}
