// playbin3 behind TStreamEngine. GStreamer's threads parse every bus message
// in the sync handler and post the result to the engine's thread; state
// changes that may wait (taking a pipeline down) run on a thread of their own.
#include "platform/stream_engine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <mutex>
#include <thread>

// GLib's headers use Qt's keyword as a member name.
#undef signals
#include <gst/gst.h>

namespace {

// What the bus handler needs after the engine may be gone: the engine only
// while it lives, and the pipeline generation the messages belong to.
struct TBusLink {
  std::mutex Mutex;
  QObject* Receiver = nullptr;
  // `audio`: not a message but word that decoded sound reached the output.
  std::function<void(quint64, const TStreamEvent&, bool audio)> Deliver;

  void Post(quint64 generation, const TStreamEvent& event, bool audio)
  {
    std::lock_guard lock(Mutex);
    if (!Receiver) return;
    QMetaObject::invokeMethod(
        Receiver, [this, generation, event, audio] { Deliver(generation, event, audio); }, Qt::QueuedConnection);
  }
};

// The copy of the decoded sound: the sink, and the valve in front of the
// open pipeline's converting branch, shut while no sink is set. Only the
// open pipeline's generation reaches the sink (a closing one still plays).
struct TPcmTap {
  std::mutex Mutex;
  TStreamEngine::TPcmSink Sink;
  GstElement* Valve = nullptr;  // owned while set
  quint64 Generation = 0;

  void Open(GstElement* newValve, quint64 newGeneration)
  {
    std::lock_guard lock(Mutex);
    if (Valve) gst_object_unref(Valve);
    Valve = newValve;
    Generation = newGeneration;
    if (Valve) g_object_set(Valve, "drop", gboolean(!Sink), nullptr);
  }
  void Set(TStreamEngine::TPcmSink newSink)
  {
    std::lock_guard lock(Mutex);
    Sink = std::move(newSink);
    if (Valve) g_object_set(Valve, "drop", gboolean(!Sink), nullptr);
  }
};

// One pipeline's reports: shared by its bus handler and its sound probes.
struct TBusContext {
  std::shared_ptr<TBusLink> Link;
  std::shared_ptr<TPcmTap> Tap;
  quint64 Generation;
  GstElement* Pipeline;  // not owned: compared only
  std::atomic<bool> AudioSeen{false};
};

// What went wrong, from the error and the kind of element that said it.
TStreamEvent::TError ErrorKind(const GError* error, const QString& debug, GstObject* source)
{
  QString klass;
  if (source && GST_IS_ELEMENT(source))
    if (GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(source)))
      klass = QString::fromUtf8(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS));
  if (error->domain == GST_RESOURCE_ERROR) {
    if (error->code == GST_RESOURCE_ERROR_NOT_FOUND) return TStreamEvent::erNotFound;
    return TStreamEvent::erUnreachable;
  }
  if (klass.contains(QLatin1String("Adaptive"))) return TStreamEvent::erBadPlaylist;
  // A network source that stops with a flow error never got through (a
  // refused connection says no more than that).
  if (klass.contains(QLatin1String("Source/Network")) && error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_FAILED)
    return TStreamEvent::erUnreachable;
  if (error->domain == GST_STREAM_ERROR) {
    switch (error->code) {
    case GST_STREAM_ERROR_TYPE_NOT_FOUND:
    case GST_STREAM_ERROR_WRONG_TYPE:
      // A container that holds something unknown, or data that is no sound at all.
      return klass.contains(QLatin1String("Demux")) || klass.contains(QLatin1String("Parse")) ? TStreamEvent::erUnknownCodec
                                                                                              : TStreamEvent::erNotAudio;
    case GST_STREAM_ERROR_CODEC_NOT_FOUND:
    case GST_STREAM_ERROR_DECODE:
    case GST_STREAM_ERROR_FORMAT: return TStreamEvent::erUnknownCodec;
    default:
      // Nothing could take the source's data (a web page, say).
      if (debug.contains(QLatin1String("not-linked"))) return TStreamEvent::erNotAudio;
      return TStreamEvent::erOther;
    }
  }
  if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) return TStreamEvent::erUnknownCodec;
  return TStreamEvent::erOther;
}

QString TagString(const GstTagList* tags, const char* name)
{
  gchar* value = nullptr;
  if (!gst_tag_list_get_string(tags, name, &value)) return {};
  QString out = QString::fromUtf8(value);
  g_free(value);
  return out;
}

bool ParseMessage(GstMessage* message, GstElement* pipeline, TStreamEvent& event)
{
  switch (GST_MESSAGE_TYPE(message)) {
  case GST_MESSAGE_ERROR: {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const QString debugText = QString::fromUtf8(debug ? debug : "");
    event.Kind = TStreamEvent::seError;
    event.Error = ErrorKind(error, debugText, GST_MESSAGE_SRC(message));
    event.Detail = QString::fromUtf8(error->message) + QStringLiteral(" (") + debugText + u')';
    g_error_free(error);
    g_free(debug);
    return true;
  }
  case GST_MESSAGE_EOS: event.Kind = TStreamEvent::seEnded; return true;
  case GST_MESSAGE_STREAM_COLLECTION: {
    // A web page or a text answer has no decoder: playbin3 waits on it for
    // good instead of failing, so it fails here.
    GstStreamCollection* collection = nullptr;
    gst_message_parse_stream_collection(message, &collection);
    QString text;
    bool audio = false;
    for (guint i = 0; collection && i < gst_stream_collection_get_size(collection); ++i) {
      GstStream* stream = gst_stream_collection_get_stream(collection, i);
      if (gst_stream_get_stream_type(stream) & GST_STREAM_TYPE_AUDIO) audio = true;
      if (GstCaps* caps = gst_stream_get_caps(stream)) {
        const QString name = caps && gst_caps_get_size(caps) ? QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps, 0))) : QString();
        if (name.startsWith(QLatin1String("text/")) || name == QLatin1String("application/json") ||
            name == QLatin1String("application/xml") || name == QLatin1String("application/xhtml+xml"))
          text = name;
        gst_caps_unref(caps);
      }
    }
    if (collection) gst_object_unref(collection);
    if (audio || text.isEmpty()) return false;
    event.Kind = TStreamEvent::seError;
    event.Error = TStreamEvent::erNotAudio;
    event.Detail = QStringLiteral("the stream is %1").arg(text);
    return true;
  }
  case GST_MESSAGE_BUFFERING: {
    gint percent = 0;
    gst_message_parse_buffering(message, &percent);
    event.Kind = TStreamEvent::seBuffering;
    event.Percent = percent;
    return true;
  }
  case GST_MESSAGE_STATE_CHANGED: {
    if (GST_MESSAGE_SRC(message) != GST_OBJECT(pipeline)) return false;
    GstState oldState, newState, pending;
    gst_message_parse_state_changed(message, &oldState, &newState, &pending);
    if (newState != GST_STATE_PLAYING) return false;
    event.Kind = TStreamEvent::sePlaying;
    return true;
  }
  case GST_MESSAGE_TAG: {
    GstTagList* tags = nullptr;
    gst_message_parse_tag(message, &tags);
    event.Kind = TStreamEvent::seTags;
    const QString title = TagString(tags, GST_TAG_TITLE);
    const QString artist = TagString(tags, GST_TAG_ARTIST);
    event.Title = !artist.isEmpty() && !title.isEmpty() ? artist + QStringLiteral(" - ") + title : title;
    event.Codec = TagString(tags, GST_TAG_AUDIO_CODEC);
    event.Name = TagString(tags, GST_TAG_ORGANIZATION);
    guint bitrate = 0;
    if (gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate) || gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate))
      event.Bitrate = int(bitrate);
    gst_tag_list_unref(tags);
    return !event.Title.isEmpty() || !event.Codec.isEmpty() || event.Bitrate > 0 || !event.Name.isEmpty();
  }
  default: return false;
  }
}

GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data)
{
  auto* context = static_cast<std::shared_ptr<TBusContext>*>(data)->get();
  TStreamEvent event;
  if (ParseMessage(message, context->Pipeline, event)) context->Link->Post(context->Generation, event, false);
  gst_message_unref(message);
  return GST_BUS_DROP;
}

// The first decoded buffer at the output: the stream really sounds (a
// pipeline can reach PLAYING with nothing to play, a web page say).
GstPadProbeReturn OnAudioBuffer(GstPad*, GstPadProbeInfo*, gpointer data)
{
  auto* context = static_cast<std::shared_ptr<TBusContext>*>(data)->get();
  if (!context->AudioSeen.exchange(true)) context->Link->Post(context->Generation, TStreamEvent{}, true);
  return GST_PAD_PROBE_REMOVE;
}

// Converted sound at the end of the copying branch, handed to the sink.
GstPadProbeReturn OnPcmBuffer(GstPad*, GstPadProbeInfo* info, gpointer data)
{
  auto* context = static_cast<std::shared_ptr<TBusContext>*>(data)->get();
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  TPcmTap& tap = *context->Tap;
  std::lock_guard lock(tap.Mutex);
  if (!buffer || !tap.Sink || tap.Generation != context->Generation) return GST_PAD_PROBE_OK;
  GstMapInfo map;
  if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
    tap.Sink(reinterpret_cast<const char*>(map.data), qsizetype(map.size));
    gst_buffer_unmap(buffer, &map);
  }
  return GST_PAD_PROBE_OK;
}

void DeleteContext(gpointer data) { delete static_cast<std::shared_ptr<TBusContext>*>(data); }

// Pipelines being taken down on their own threads (a program that ends waits
// a little for them so GStreamer is not torn down under them).
std::atomic<int> pipelinesClosing{0};

void CloseOnItsOwnThread(GstElement* pipeline)
{
  ++pipelinesClosing;
  std::thread([pipeline] {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    --pipelinesClosing;
  }).detach();
}

class TGstStreamEngine : public QObject, public TStreamEngine {
public:
  explicit TGstStreamEngine(bool soundOutput)
      : link_(std::make_shared<TBusLink>()), tap_(std::make_shared<TPcmTap>()), soundOutput_(soundOutput)
  {
    link_->Receiver = this;
    link_->Deliver = [this](quint64 generation, const TStreamEvent& e, bool audio) {
      if (generation != generation_ || !pipeline_) return;
      // Playing means sound: the pipeline in PLAYING and decoded audio at the output.
      if (audio) {
        audioSeen_ = true;
        if (!pipelinePlaying_) return;
      } else if (e.Kind == TStreamEvent::sePlaying) {
        pipelinePlaying_ = true;
        if (!audioSeen_) return;
      }
      TStreamEvent out = e;
      if (audio) out.Kind = TStreamEvent::sePlaying;
      if (OnEvent) OnEvent(out);
    };
  }
  ~TGstStreamEngine() override
  {
    {
      std::lock_guard lock(link_->Mutex);
      link_->Receiver = nullptr;
    }
    Close();
  }

  void Open(const QUrl& url) override
  {
    Close();
    GstElement* pipeline = gst_element_factory_make("playbin3", nullptr);
    if (!pipeline) return;
    // Audio only: playbin's video and subtitle branches stay out.
    g_object_set(pipeline, "flags", 0x2 /* audio */, nullptr);
    // The tee hands each buffer to the output first, whose sink paces it,
    // then to the copying branch, which never waits: no queue is needed, and
    // the copy runs at the pace of what is heard. The valve stays shut (its
    // caps still pass) while nobody takes the copy.
    const QByteArray description =
        QByteArrayLiteral("audioconvert ! audioresample ! tee name=split ! volume name=volume ! ") +
        (soundOutput_ ? QByteArrayLiteral("autoaudiosink") : QByteArrayLiteral("fakesink sync=true")) +
        QByteArrayLiteral(" split. ! valve name=pcmvalve drop=true drop-mode=forward-sticky-events ! audioconvert ! "
                          "audioresample ! audio/x-raw,format=S16LE,layout=interleaved,rate=") +
        QByteArray::number(kPcmRate) + QByteArrayLiteral(",channels=") + QByteArray::number(kPcmChannels) +
        QByteArrayLiteral(" ! fakesink name=pcm sync=false async=false");
    GstElement* sink = gst_parse_bin_from_description(description.constData(), TRUE, nullptr);
    GstElement* valve = nullptr;
    GstElement* pcmSink = nullptr;
    if (sink) {
      volumeElement_ = gst_bin_get_by_name(GST_BIN(sink), "volume");
      valve = gst_bin_get_by_name(GST_BIN(sink), "pcmvalve");
      pcmSink = gst_bin_get_by_name(GST_BIN(sink), "pcm");
      g_object_set(pipeline, "audio-sink", sink, nullptr);
    }
    g_signal_connect(pipeline, "source-setup", G_CALLBACK(+[](GstElement*, GstElement* source, gpointer seconds) {
                       GObjectClass* klass = G_OBJECT_GET_CLASS(source);
                       if (g_object_class_find_property(klass, "timeout"))
                         g_object_set(source, "timeout", guint(GPOINTER_TO_UINT(seconds)), nullptr);
                       if (g_object_class_find_property(klass, "retries")) g_object_set(source, "retries", 0, nullptr);
                     }),
                     GUINT_TO_POINTER(guint(readTimeout_)));
    ApplyVolume();
    const QByteArray uri = url.toEncoded();
    g_object_set(pipeline, "uri", uri.constData(), nullptr);
    pipeline_ = pipeline;
    ++generation_;
    pipelinePlaying_ = audioSeen_ = false;
    tap_->Open(valve, generation_);
    auto context = std::make_shared<TBusContext>();
    context->Link = link_;
    context->Tap = tap_;
    context->Generation = generation_;
    context->Pipeline = pipeline;
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, OnBusMessage, new std::shared_ptr<TBusContext>(context), DeleteContext);
    gst_object_unref(bus);
    if (volumeElement_) {
      GstPad* pad = gst_element_get_static_pad(volumeElement_, "sink");
      gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnAudioBuffer, new std::shared_ptr<TBusContext>(context), DeleteContext);
      gst_object_unref(pad);
    }
    if (pcmSink) {
      GstPad* pad = gst_element_get_static_pad(pcmSink, "sink");
      gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnPcmBuffer, new std::shared_ptr<TBusContext>(context), DeleteContext);
      gst_object_unref(pad);
      gst_object_unref(pcmSink);
    }
    // Asynchronous for a network source: returns at once.
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
  }

  void Close() override
  {
    ++generation_;
    tap_->Open(nullptr, generation_);
    if (volumeElement_) gst_object_unref(volumeElement_);
    volumeElement_ = nullptr;
    if (pipeline_) CloseOnItsOwnThread(pipeline_);
    pipeline_ = nullptr;
  }

  void SetPaused(bool paused) override
  {
    if (!pipeline_) return;
    if (paused) pipelinePlaying_ = false;
    gst_element_set_state(pipeline_, paused ? GST_STATE_PAUSED : GST_STATE_PLAYING);
  }
  void SetVolume(double volume) override
  {
    volume_ = volume;
    ApplyVolume();
  }
  void SetMuted(bool muted) override
  {
    muted_ = muted;
    ApplyVolume();
  }
  void SetReadTimeout(int seconds) override { readTimeout_ = qMax(1, seconds); }
  void SetPcmSink(TPcmSink sink) override { tap_->Set(std::move(sink)); }

private:
  void ApplyVolume()
  {
    if (volumeElement_) g_object_set(volumeElement_, "volume", volume_, "mute", gboolean(muted_), nullptr);
  }

  std::shared_ptr<TBusLink> link_;
  std::shared_ptr<TPcmTap> tap_;
  const bool soundOutput_;
  GstElement* pipeline_ = nullptr;
  GstElement* volumeElement_ = nullptr;
  quint64 generation_ = 0;
  bool pipelinePlaying_ = false, audioSeen_ = false;
  double volume_ = 1.0;
  bool muted_ = false;
  int readTimeout_ = 8;
};

} // namespace

std::unique_ptr<TStreamEngine> CreateGstStreamEngine(QString* error, bool soundOutput)
{
  static const QString initError = [] {
    // Stations in China often send their titles in GBK: tried after UTF-8.
    if (qEnvironmentVariableIsEmpty("GST_ICY_TAG_ENCODING")) qputenv("GST_ICY_TAG_ENCODING", "GB18030");
    GError* e = nullptr;
    if (!gst_init_check(nullptr, nullptr, &e)) {
      const QString text = e ? QString::fromUtf8(e->message) : QStringLiteral("GStreamer 无法启动");
      if (e) g_error_free(e);
      return text;
    }
    GstElementFactory* factory = gst_element_factory_find("playbin3");
    if (!factory) return QStringLiteral("缺少 GStreamer 的 playbin3（请安装 gstreamer1.0-plugins-base）");
    gst_object_unref(factory);
    return QString();
  }();
  if (!initError.isEmpty()) {
    if (error) *error = initError;
    return nullptr;
  }
  return std::make_unique<TGstStreamEngine>(soundOutput);
}
