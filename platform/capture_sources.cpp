#include "platform/capture_sources.h"

#include <alsa/asoundlib.h>
#include <pulse/pulseaudio.h>

#include <chrono>
#include <set>

const QString kDefaultInputName = QStringLiteral("默认输入");
const QString kPlayingSoundName = QStringLiteral("正在播放的声音");
const QString kNoSoundServerText = QStringLiteral("声音服务未运行，不能录音。");

namespace {
// The ALSA name that opens a server source through the pulse plugin.
QByteArray PulseDeviceId(const QByteArray& sourceName)
{
  return "pulse:DEVICE=\"" + sourceName + '"';
}

// A name a person can tell apart from the others in the list.
QString Unique(const QString& name, std::set<QString>& taken)
{
  QString text = name.simplified();
  if (text.isEmpty()) text = QStringLiteral("?");
  QString candidate = text;
  for (int n = 2; taken.count(candidate); ++n) candidate = QStringLiteral("%1 (%2)").arg(text).arg(n);
  taken.insert(candidate);
  return candidate;
}
} // namespace

std::vector<TCaptureDeviceInfo> ServerCaptureSources(const TSoundServerState& state)
{
  std::vector<TCaptureDeviceInfo> list;
  std::set<QString> taken{kDefaultInputName, kPlayingSoundName};
  // The server routes ALSA's default device to its default source.
  list.push_back({"default", kDefaultInputName, true});
  if (!state.DefaultSink.isEmpty()) list.push_back({PulseDeviceId("@DEFAULT_MONITOR@"), kPlayingSoundName});
  for (const TServerSource& s : state.Sources) {
    // Quotes would break the device string; the server never makes such names.
    if (s.Monitor || s.Name.isEmpty() || s.Name.contains('"') || s.Name.contains('\\')) continue;
    list.push_back({PulseDeviceId(s.Name), Unique(s.Description.isEmpty() ? QString::fromUtf8(s.Name) : s.Description, taken)});
  }
  return list;
}

std::vector<TCaptureDeviceInfo> CardCaptureSources(const std::vector<TCardCaptureDevice>& cards)
{
  std::vector<TCaptureDeviceInfo> list;
  std::set<QString> taken{kDefaultInputName};
  list.push_back({"default", kDefaultInputName, true});
  for (const TCardCaptureDevice& c : cards) {
    const QString name = c.DeviceName.isEmpty() ? c.CardName : c.CardName + QStringLiteral(": ") + c.DeviceName;
    // plughw converts to the format the recorder asks for.
    list.push_back({"plughw:CARD=" + c.CardId + ",DEV=" + QByteArray::number(c.Device), Unique(name, taken)});
  }
  return list;
}

namespace {
struct TServerQuery {
  TSoundServerState* State = nullptr;
  int Pending = 0;
  bool Failed = false;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* data)
{
  auto* q = static_cast<TServerQuery*>(data);
  if (info && info->default_sink_name) q->State->DefaultSink = info->default_sink_name;
  --q->Pending;
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* data)
{
  auto* q = static_cast<TServerQuery*>(data);
  if (eol != 0) {
    if (eol < 0) q->Failed = true;
    --q->Pending;
    return;
  }
  if (!info) return;
  TServerSource s;
  s.Name = info->name ? info->name : "";
  s.Description = QString::fromUtf8(info->description ? info->description : "");
  s.Monitor = info->monitor_of_sink != PA_INVALID_INDEX;
  q->State->Sources.push_back(s);
}
} // namespace

bool QuerySoundServer(TSoundServerState& state, int timeoutMs)
{
  state = TSoundServerState();
  pa_mainloop* loop = pa_mainloop_new();
  if (!loop) return false;
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Velmora");
  bool ok = false;
  if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    TServerQuery query{&state, 0, false};
    bool asked = false;
    // One bounded step of the loop; false once the time is up or the loop failed.
    const auto step = [&] {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      if (pa_mainloop_prepare(loop, int(left.count())) < 0 || pa_mainloop_poll(loop) < 0) return false;
      return pa_mainloop_dispatch(loop) >= 0;
    };
    for (;;) {
      const pa_context_state_t s = pa_context_get_state(context);
      if (s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED) break;
      if (s == PA_CONTEXT_READY && !asked) {
        asked = true;
        query.Pending = 2;
        pa_operation_unref(pa_context_get_server_info(context, OnServerInfo, &query));
        pa_operation_unref(pa_context_get_source_info_list(context, OnSourceInfo, &query));
      }
      if (asked && query.Pending == 0) {
        ok = !query.Failed;
        break;
      }
      if (!step()) break;
    }
    pa_context_disconnect(context);
  }
  if (context) pa_context_unref(context);
  pa_mainloop_free(loop);
  if (!ok) state = TSoundServerState();
  return ok;
}

bool SoundServerRunning(int timeoutMs)
{
  TSoundServerState state;
  return QuerySoundServer(state, timeoutMs);
}

std::vector<TCardCaptureDevice> QueryCaptureCards()
{
  std::vector<TCardCaptureDevice> cards;
  int card = -1;
  while (snd_card_next(&card) >= 0 && card >= 0) {
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, QByteArray("hw:" + QByteArray::number(card)).constData(), 0) < 0) continue;
    snd_ctl_card_info_t* info;
    snd_ctl_card_info_alloca(&info);
    if (snd_ctl_card_info(ctl, info) >= 0) {
      int device = -1;
      while (snd_ctl_pcm_next_device(ctl, &device) >= 0 && device >= 0) {
        snd_pcm_info_t* pcm;
        snd_pcm_info_alloca(&pcm);
        snd_pcm_info_set_device(pcm, unsigned(device));
        snd_pcm_info_set_subdevice(pcm, 0);
        snd_pcm_info_set_stream(pcm, SND_PCM_STREAM_CAPTURE);
        if (snd_ctl_pcm_info(ctl, pcm) < 0) continue;  // no capture on this device
        cards.push_back({snd_ctl_card_info_get_id(info), device, QString::fromUtf8(snd_ctl_card_info_get_name(info)),
                         QString::fromUtf8(snd_pcm_info_get_name(pcm))});
      }
    }
    snd_ctl_close(ctl);
  }
  return cards;
}

std::vector<TCaptureDeviceInfo> AvailableCaptureSources()
{
  TSoundServerState state;
  if (QuerySoundServer(state)) return ServerCaptureSources(state);
  return CardCaptureSources(QueryCaptureCards());
}
