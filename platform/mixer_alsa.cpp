#include "platform/mixer_alsa.h"

#include "platform/mixer_alsa_plan.h"
#include "toolkit/component.h"

#include <QPointer>
#include <QSocketNotifier>
#include <alsa/asoundlib.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <map>
#include <poll.h>

using namespace mmapi;

namespace {

constexpr quint32 kDriverVersion = (SND_LIB_MAJOR << 8) | SND_LIB_MINOR;

quint32 ErrorCode(int err)
{
  if (err == -ENODEV || err == -ENXIO || err == -ENOENT) return MMSYSERR_NODRIVER;
  if (err == -ENOMEM) return MMSYSERR_NOMEM;
  if (err == -EINVAL) return MMSYSERR_INVALPARAM;
  return MMSYSERR_ERROR;
}

std::vector<int> ElemChannels(snd_mixer_elem_t* elem, bool playback)
{
  std::vector<int> channels;
  for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
    auto id = static_cast<snd_mixer_selem_channel_id_t>(ch);
    if (playback ? snd_mixer_selem_has_playback_channel(elem, id) : snd_mixer_selem_has_capture_channel(elem, id))
      channels.push_back(ch);
  }
  return channels;
}

TAlsaElement Describe(snd_mixer_elem_t* e)
{
  TAlsaElement d;
  d.Name = QString::fromUtf8(snd_mixer_selem_get_name(e));
  d.Index = snd_mixer_selem_get_index(e);
  d.Playback.Volume = snd_mixer_selem_has_playback_volume(e);
  d.Playback.Switch = snd_mixer_selem_has_playback_switch(e);
  d.Playback.VolumeJoined = snd_mixer_selem_has_playback_volume_joined(e);
  d.Playback.SwitchJoined = snd_mixer_selem_has_playback_switch_joined(e);
  d.Playback.Channels = ElemChannels(e, true);
  if (d.Playback.Volume) snd_mixer_selem_get_playback_volume_range(e, &d.Playback.Min, &d.Playback.Max);
  d.Capture.Volume = snd_mixer_selem_has_capture_volume(e);
  d.Capture.Switch = snd_mixer_selem_has_capture_switch(e);
  d.Capture.VolumeJoined = snd_mixer_selem_has_capture_volume_joined(e);
  d.Capture.SwitchJoined = snd_mixer_selem_has_capture_switch_joined(e);
  d.Capture.Channels = ElemChannels(e, false);
  if (d.Capture.Volume) snd_mixer_selem_get_capture_volume_range(e, &d.Capture.Min, &d.Capture.Max);
  d.Enumerated = snd_mixer_selem_is_enumerated(e);
  if (d.Enumerated) {
    d.EnumCapture = snd_mixer_selem_is_enum_capture(e);
    const int n = snd_mixer_selem_get_enum_items(e);
    for (int i = 0; i < n; ++i) {
      char text[128] = {};
      snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof text - 1, text);
      d.EnumItems << QString::fromUtf8(text);
    }
  }
  return d;
}

// Silences the library's own error printing while we probe devices that may
// well be missing (no sound server, no card).
struct AlsaErrorsSilenced {
  static void Ignore(const char*, int, const char*, int, const char*, ...) {}
  AlsaErrorsSilenced() { snd_lib_error_set_handler(&AlsaErrorsSilenced::Ignore); }
  ~AlsaErrorsSilenced() { snd_lib_error_set_handler(nullptr); }
};

} // namespace

struct TAlsaMixerBackend::Impl {
  // Kept here, not in the file's anonymous namespace: Impl has external
  // linkage, and a batched (unity) build would warn about the field.
  struct AlsaDevice {
    TMMApiDeviceCaps Caps;
    int MixerId = -1;
  };

  struct Handle {
    int MixerId;
    QPointer<TComponent> Window;
  };

  struct Mixer {
    Impl* Owner = nullptr;
    int Index = 0;
    QString Device;
    snd_mixer_t* Handle = nullptr;
    std::vector<snd_mixer_elem_t*> Elements;
    TAlsaPlan Plan;
    TMixerTopology& Topology = Plan.Topology;
    std::map<quint32, std::vector<quint32>> Cache;  // last values seen, stored layout
    std::vector<std::unique_ptr<QSocketNotifier>> Notifiers;
    int OpenCount = 0;
    bool Gone = false;  // the device or its server went away

    ~Mixer()
    {
      Notifiers.clear();
      if (Handle) snd_mixer_close(Handle);
    }
  };

  Options Opts;
  bool Enumerated = false;
  std::chrono::steady_clock::time_point LastScan;
  bool ScanAsked = false;  // Rescan: look again at the next question
  std::vector<std::unique_ptr<Mixer>> Mixers;
  std::vector<AlsaDevice> Devices[6];
  std::map<quintptr, Handle> Handles;
  quintptr NextHandle = 1;

  void Enumerate();
  // Whether a mixer found is still there: not gone with its server, some element left.
  bool AnyUsable() const
  {
    return std::any_of(Mixers.begin(), Mixers.end(), [](const auto& m) {
      return !m->Gone && std::any_of(m->Elements.begin(), m->Elements.end(), [](auto* e) { return e != nullptr; });
    });
  }
  void AddMixer(const QString& device, int card);
  void AddCardDevices(int card, int mixerId);
  void BuildTopology(Mixer& m, const QString& productName);
  Mixer* Find(int mixerId);

  quint32 Read(Mixer& m, quint32 controlId, std::vector<quint32>& stored);
  // What reading and writing values start with: the mixer, the control's
  // details checked against the request, and its stored values.
  struct ValueAccess {
    Mixer* M = nullptr;
    const TMixerTopologyControl* Control = nullptr;
    std::vector<quint32> Stored;
  };
  quint32 OpenValues(int mixerId, quint32 controlId, quint32 channels, quint32 items, ValueAccess& access);
  quint32 Write(Mixer& m, quint32 controlId, const std::vector<quint32>& stored);
  void Refresh(Mixer& m);
  void ElemEvent(Mixer& m, snd_mixer_elem_t* elem, unsigned mask);
  void PollActivity(Mixer& m);
  void Lost(Mixer& m);
  void StopWatching(Mixer& m);
  void Post(Mixer& m, quint32 msg, quint32 id);
  void StartWatching(Mixer& m);

  static int ElemCallback(snd_mixer_elem_t* elem, unsigned int mask)
  {
    auto* m = static_cast<Mixer*>(snd_mixer_elem_get_callback_private(elem));
    if (m) m->Owner->ElemEvent(*m, elem, mask);
    return 0;
  }
};

// ---------------------------------------------------------------- enumeration

void TAlsaMixerBackend::Impl::Enumerate()
{
  if (Enumerated) {
    // Nothing usable was found, or all of it went with its sound server, and
    // nobody holds a mixer open: look again (at most once a second), for a
    // server that started or came back since.
    const auto now = std::chrono::steady_clock::now();
    const bool due = ScanAsked || (!AnyUsable() && now - LastScan >= std::chrono::seconds(1));
    if (!due || !Handles.empty()) return;
    ScanAsked = false;
    // ALSA decides once, when it first reads its configuration, whether
    // "default" goes to the sound server (only if one runs then): read it again.
    snd_config_update_free_global();
    Mixers.clear();
    for (auto& list : Devices) list.clear();
  }
  Enumerated = true;
  LastScan = std::chrono::steady_clock::now();
  AlsaErrorsSilenced quiet;
  if (!Opts.DefaultDevice.isEmpty()) AddMixer(Opts.DefaultDevice, -1);
  if (Mixers.size() == 1) {
    // The default device for wave in and out is the one the desktop uses.
    for (auto family : {TMMDeviceFamily::WaveIn, TMMDeviceFamily::WaveOut})
      Devices[int(family)].push_back({Mixers[0]->Topology.Caps, 0});
  }
  if (!Opts.Cards) return;
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    const size_t before = Mixers.size();
    AddMixer(QStringLiteral("hw:%1").arg(card), card);
    if (Mixers.size() > before) AddCardDevices(card, static_cast<int>(before));
  }
}

void TAlsaMixerBackend::Impl::AddMixer(const QString& device, int card)
{
  const QByteArray name = device.toUtf8();
  snd_ctl_t* ctl = nullptr;
  if (snd_ctl_open(&ctl, name.constData(), SND_CTL_NONBLOCK) < 0) return;
  QString cardName;
  snd_ctl_card_info_t* info;
  snd_ctl_card_info_alloca(&info);
  if (snd_ctl_card_info(ctl, info) >= 0) cardName = QString::fromUtf8(snd_ctl_card_info_get_name(info));
  snd_ctl_close(ctl);

  snd_mixer_t* handle = nullptr;
  if (snd_mixer_open(&handle, 0) < 0) return;
  if (snd_mixer_attach(handle, name.constData()) < 0 || snd_mixer_selem_register(handle, nullptr, nullptr) < 0 ||
      snd_mixer_load(handle) < 0) {
    snd_mixer_close(handle);
    return;
  }
  auto m = std::make_unique<Mixer>();
  m->Owner = this;
  m->Index = static_cast<int>(Mixers.size());
  m->Device = device;
  m->Handle = handle;
  QString product = card < 0 ? QStringLiteral("Default") : cardName;
  if (card < 0 && !cardName.isEmpty()) product += QStringLiteral(" (%1)").arg(cardName);
  if (product.isEmpty()) product = device;
  BuildTopology(*m, product.left(31));
  Mixers.push_back(std::move(m));
}

void TAlsaMixerBackend::Impl::AddCardDevices(int card, int mixerId)
{
  snd_ctl_t* ctl = nullptr;
  if (snd_ctl_open(&ctl, QStringLiteral("hw:%1").arg(card).toUtf8().constData(), 0) < 0) return;
  const TMMApiDeviceCaps& caps = Mixers[static_cast<size_t>(mixerId)]->Topology.Caps;
  snd_pcm_info_t* pcm;
  snd_pcm_info_alloca(&pcm);
  int device = -1;
  while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
    for (auto [stream, family] : {std::pair{SND_PCM_STREAM_PLAYBACK, TMMDeviceFamily::WaveOut},
                                  std::pair{SND_PCM_STREAM_CAPTURE, TMMDeviceFamily::WaveIn}}) {
      snd_pcm_info_set_device(pcm, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(pcm, 0);
      snd_pcm_info_set_stream(pcm, stream);
      if (snd_ctl_pcm_info(ctl, pcm) >= 0) Devices[int(family)].push_back({caps, mixerId});
    }
  }
  snd_rawmidi_info_t* midi;
  snd_rawmidi_info_alloca(&midi);
  device = -1;
  while (snd_ctl_rawmidi_next_device(ctl, &device) == 0 && device >= 0) {
    for (auto [stream, family] : {std::pair{SND_RAWMIDI_STREAM_OUTPUT, TMMDeviceFamily::MidiOut},
                                  std::pair{SND_RAWMIDI_STREAM_INPUT, TMMDeviceFamily::MidiIn}}) {
      snd_rawmidi_info_set_device(midi, static_cast<unsigned>(device));
      snd_rawmidi_info_set_subdevice(midi, 0);
      snd_rawmidi_info_set_stream(midi, stream);
      if (snd_ctl_rawmidi_info(ctl, midi) >= 0) {
        TMMApiDeviceCaps midiCaps = caps;
        midiCaps.ProductName = QString::fromUtf8(snd_rawmidi_info_get_name(midi)).left(31);
        Devices[int(family)].push_back({midiCaps, mixerId});
      }
    }
  }
  snd_ctl_close(ctl);
}

void TAlsaMixerBackend::Impl::BuildTopology(Mixer& m, const QString& productName)
{
  std::vector<TAlsaElement> described;
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(m.Handle); e; e = snd_mixer_elem_next(e)) {
    m.Elements.push_back(e);
    described.push_back(Describe(e));
  }
  m.Plan = PlanAlsaMixer(described, productName, static_cast<quint16>(m.Index), kDriverVersion);
  for (snd_mixer_elem_t* e : m.Elements) {
    snd_mixer_elem_set_callback(e, &Impl::ElemCallback);
    snd_mixer_elem_set_callback_private(e, &m);
  }
  for (const auto& [id, b] : m.Plan.Bindings) {
    std::vector<quint32> values;
    if (Read(m, id, values) == 0) m.Cache[id] = values;
  }
}

TAlsaMixerBackend::Impl::Mixer* TAlsaMixerBackend::Impl::Find(int mixerId)
{
  Enumerate();
  if (mixerId == -1 && !Mixers.empty() && !Opts.DefaultDevice.isEmpty()) mixerId = 0;
  if (mixerId < 0 || mixerId >= static_cast<int>(Mixers.size())) return nullptr;
  Mixer* m = Mixers[static_cast<size_t>(mixerId)].get();
  Refresh(*m);
  return m;
}

// ---------------------------------------------------------------- values

quint32 TAlsaMixerBackend::Impl::OpenValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                            ValueAccess& access)
{
  access.M = Find(mixerId);
  if (!access.M) return MMSYSERR_BADDEVICEID;
  if (quint32 r = access.M->Topology.CheckDetails(controlId, channels, items, access.Control)) return r;
  return Read(*access.M, controlId, access.Stored);
}

quint32 TAlsaMixerBackend::Impl::Read(Mixer& m, quint32 controlId, std::vector<quint32>& stored)
{
  auto it = m.Plan.Bindings.find(controlId);
  const TMixerTopologyControl* c = m.Topology.Control(controlId);
  if (it == m.Plan.Bindings.end() || !c) return MIXERR_INVALCONTROL;
  const TAlsaBinding& b = it->second;
  snd_mixer_elem_t* elem = m.Elements[b.Element];
  if (!elem) return MMSYSERR_NODRIVER;
  stored.assign(m.Topology.StoredValueCount(*c), 0);
  if (b.Role == TAlsaRole::Enum) {
    unsigned item = 0;
    if (int err = snd_mixer_selem_get_enum_item(elem, SND_MIXER_SCHN_MONO, &item); err < 0) return ErrorCode(err);
    if (item < stored.size()) stored[item] = 1;
    return MMSYSERR_NOERROR;
  }
  for (size_t i = 0; i < b.Channels.size() && i < stored.size(); ++i) {
    const auto ch = static_cast<snd_mixer_selem_channel_id_t>(b.Channels[i]);
    long v = 0;
    int sw = 0;
    int err = 0;
    switch (b.Role) {
    case TAlsaRole::PlaybackVolume: err = snd_mixer_selem_get_playback_volume(elem, ch, &v); break;
    case TAlsaRole::CaptureVolume: err = snd_mixer_selem_get_capture_volume(elem, ch, &v); break;
    case TAlsaRole::PlaybackSwitch: err = snd_mixer_selem_get_playback_switch(elem, ch, &sw); break;
    case TAlsaRole::CaptureSwitch: err = snd_mixer_selem_get_capture_switch(elem, ch, &sw); break;
    case TAlsaRole::Enum: break;
    }
    if (err < 0) return ErrorCode(err);
    if (b.Role == TAlsaRole::PlaybackSwitch || b.Role == TAlsaRole::CaptureSwitch)
      stored[i] = sw ? 0 : 1;  // muted = switch off
    else
      stored[i] = AlsaToModelVolume(v, b.Min, b.Max);
  }
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::Impl::Write(Mixer& m, quint32 controlId, const std::vector<quint32>& stored)
{
  auto it = m.Plan.Bindings.find(controlId);
  if (it == m.Plan.Bindings.end()) return MIXERR_INVALCONTROL;
  const TAlsaBinding& b = it->second;
  snd_mixer_elem_t* elem = m.Elements[b.Element];
  if (!elem) return MMSYSERR_NODRIVER;
  if (b.Role == TAlsaRole::Enum) {
    auto chosen = std::find_if(stored.begin(), stored.end(), [](quint32 v) { return v != 0; });
    if (chosen == stored.end()) return MIXERR_INVALVALUE;
    const auto item = static_cast<unsigned>(chosen - stored.begin());
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
      unsigned current = 0;
      auto id = static_cast<snd_mixer_selem_channel_id_t>(ch);
      if (snd_mixer_selem_get_enum_item(elem, id, &current) < 0) break;
      if (int err = snd_mixer_selem_set_enum_item(elem, id, item); err < 0) return ErrorCode(err);
    }
    return MMSYSERR_NOERROR;
  }
  const bool all = b.Channels.size() == 1;
  for (size_t i = 0; i < b.Channels.size() && i < stored.size(); ++i) {
    const long v = ModelToAlsaVolume(stored[i], b.Min, b.Max);
    const int sw = stored[i] ? 0 : 1;
    const auto ch = static_cast<snd_mixer_selem_channel_id_t>(b.Channels[i]);
    int err = 0;
    switch (b.Role) {
    case TAlsaRole::PlaybackVolume:
      err = all ? snd_mixer_selem_set_playback_volume_all(elem, v) : snd_mixer_selem_set_playback_volume(elem, ch, v);
      break;
    case TAlsaRole::CaptureVolume:
      err = all ? snd_mixer_selem_set_capture_volume_all(elem, v) : snd_mixer_selem_set_capture_volume(elem, ch, v);
      break;
    case TAlsaRole::PlaybackSwitch:
      err = all ? snd_mixer_selem_set_playback_switch_all(elem, sw) : snd_mixer_selem_set_playback_switch(elem, ch, sw);
      break;
    case TAlsaRole::CaptureSwitch:
      err = all ? snd_mixer_selem_set_capture_switch_all(elem, sw) : snd_mixer_selem_set_capture_switch(elem, ch, sw);
      break;
    case TAlsaRole::Enum: break;
    }
    if (err < 0) return ErrorCode(err);
  }
  return MMSYSERR_NOERROR;
}

// ---------------------------------------------------------------- change reports

void TAlsaMixerBackend::Impl::Refresh(Mixer& m)
{
  // Takes in whatever the mixer reported since; the element callbacks compare
  // with what we saw last and report the differences.
  if (m.Gone) return;
  const int err = snd_mixer_handle_events(m.Handle);
  if (err < 0 && err != -EAGAIN && err != -EINTR) Lost(m);
}

void TAlsaMixerBackend::Impl::Lost(Mixer& m)
{
  // Nothing of the device can be reached any more: no element answers, no
  // line or control is found, and every line is reported as changed once.
  if (m.Gone) return;
  m.Gone = true;
  StopWatching(m);
  std::fill(m.Elements.begin(), m.Elements.end(), nullptr);
  for (quint32 lineId : m.Topology.RemoveAll()) Post(m, MM_MIXM_LINE_CHANGE, lineId);
}

void TAlsaMixerBackend::Impl::StopWatching(Mixer& m)
{
  // Later, not now: we may be inside one of the notifiers' signals.
  for (auto& n : m.Notifiers) {
    n->setEnabled(false);
    n.release()->deleteLater();
  }
  m.Notifiers.clear();
}

void TAlsaMixerBackend::Impl::ElemEvent(Mixer& m, snd_mixer_elem_t* elem, unsigned mask)
{
  auto found = std::find(m.Elements.begin(), m.Elements.end(), elem);
  if (found == m.Elements.end()) return;
  const size_t index = static_cast<size_t>(found - m.Elements.begin());
  auto range = m.Plan.LinesOfElement.equal_range(index);
  if (mask == SND_CTL_EVENT_MASK_REMOVE) {
    // The element is gone (device unplugged): its controls and the source
    // lines it stood for are no longer found, and the lines are reported.
    *found = nullptr;
    std::vector<quint32> changed;
    for (const auto& [id, b] : m.Plan.Bindings)
      if (b.Element == index)
        for (quint32 lineId : m.Topology.RemoveControl(id)) changed.push_back(lineId);
    for (auto it = range.first; it != range.second; ++it) {
      const TMMApiLine* line = m.Topology.Line(it->second);
      if (line && (line->Flags & MIXERLINE_LINEF_SOURCE))
        for (quint32 lineId : m.Topology.RemoveLine(it->second)) changed.push_back(lineId);
      changed.push_back(it->second);
    }
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    for (quint32 lineId : changed) Post(m, MM_MIXM_LINE_CHANGE, lineId);
    return;
  }
  if (mask & SND_CTL_EVENT_MASK_INFO)
    for (auto it = range.first; it != range.second; ++it) Post(m, MM_MIXM_LINE_CHANGE, it->second);
  if (mask & SND_CTL_EVENT_MASK_VALUE) {
    for (const auto& [id, b] : m.Plan.Bindings) {
      if (b.Element != index) continue;
      std::vector<quint32> values;
      if (Read(m, id, values) != 0) continue;
      auto& cached = m.Cache[id];
      if (cached == values) continue;
      cached = values;
      Post(m, MM_MIXM_CONTROL_CHANGE, id);
    }
  }
}

void TAlsaMixerBackend::Impl::Post(Mixer& m, quint32 msg, quint32 id)
{
  for (const auto& [handle, h] : Handles)
    if (h.MixerId == m.Index && h.Window)
      TComponent::PostMessage(h.Window, msg, static_cast<qintptr>(handle), static_cast<qintptr>(id));
}

void TAlsaMixerBackend::Impl::PollActivity(Mixer& m)
{
  const int count = snd_mixer_poll_descriptors_count(m.Handle);
  if (count <= 0) return;
  std::vector<pollfd> fds(static_cast<size_t>(count));
  snd_mixer_poll_descriptors(m.Handle, fds.data(), static_cast<unsigned>(count));
  ::poll(fds.data(), fds.size(), 0);
  unsigned short revents = 0;
  snd_mixer_poll_descriptors_revents(m.Handle, fds.data(), static_cast<unsigned>(count), &revents);
  if (revents & (POLLERR | POLLNVAL | POLLHUP)) {
    // The device or its server went away; a dead descriptor would be
    // reported readable for ever.
    Lost(m);
    return;
  }
  if (revents & POLLIN) Refresh(m);
}

void TAlsaMixerBackend::Impl::StartWatching(Mixer& m)
{
  if (!m.Notifiers.empty() || m.Gone) return;
  const int count = snd_mixer_poll_descriptors_count(m.Handle);
  if (count <= 0) return;
  std::vector<pollfd> fds(static_cast<size_t>(count));
  snd_mixer_poll_descriptors(m.Handle, fds.data(), static_cast<unsigned>(count));
  for (const pollfd& fd : fds) {
    auto notifier = std::make_unique<QSocketNotifier>(fd.fd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, &m] { PollActivity(m); });
    m.Notifiers.push_back(std::move(notifier));
  }
}

// ---------------------------------------------------------------- interface

TAlsaMixerBackend::TAlsaMixerBackend() : TAlsaMixerBackend(Options{}) {}

TAlsaMixerBackend::TAlsaMixerBackend(Options options) : d(std::make_unique<Impl>())
{
  d->Opts = std::move(options);
}

TAlsaMixerBackend::~TAlsaMixerBackend() = default;

int TAlsaMixerBackend::WatchedDescriptors() const
{
  int count = 0;
  for (const auto& m : d->Mixers)
    for (const auto& n : m->Notifiers) count += n->isEnabled() ? 1 : 0;
  return count;
}

QString TAlsaMixerBackend::MixerDeviceName(int mixerId)
{
  Impl::Mixer* m = d->Find(mixerId);
  return m ? m->Device : QString();
}

void TAlsaMixerBackend::Rescan()
{
  d->ScanAsked = true;
}

quint32 TAlsaMixerBackend::DeviceCount(TMMDeviceFamily family)
{
  d->Enumerate();
  if (family == TMMDeviceFamily::Mixer) return static_cast<quint32>(d->Mixers.size());
  return static_cast<quint32>(d->Devices[int(family)].size());
}

quint32 TAlsaMixerBackend::GetDevCaps(TMMDeviceFamily family, int deviceId, TMMApiDeviceCaps& caps)
{
  d->Enumerate();
  const bool hasDefault = !d->Opts.DefaultDevice.isEmpty() && !d->Mixers.empty() && d->Mixers[0]->Device == d->Opts.DefaultDevice;
  if (deviceId == -1) {
    const bool mapped = family == TMMDeviceFamily::Mixer || family == TMMDeviceFamily::WaveIn ||
                        family == TMMDeviceFamily::WaveOut;
    if (!mapped || !hasDefault) return MMSYSERR_BADDEVICEID;
    deviceId = 0;
  }
  if (deviceId < 0 || static_cast<quint32>(deviceId) >= DeviceCount(family)) return MMSYSERR_BADDEVICEID;
  if (family == TMMDeviceFamily::Mixer) {
    const TMixerTopology& t = d->Mixers[static_cast<size_t>(deviceId)]->Topology;
    caps = t.Caps;
    caps.Destinations = t.DestinationCount();
  } else {
    caps = d->Devices[int(family)][static_cast<size_t>(deviceId)].Caps;
  }
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::GetMixerId(TMMDeviceFamily family, int deviceId, int& mixerId)
{
  d->Enumerate();
  if (deviceId == -1 && DeviceCount(family) > 0 && family != TMMDeviceFamily::MidiIn &&
      family != TMMDeviceFamily::MidiOut)
    deviceId = 0;
  if (deviceId < 0 || static_cast<quint32>(deviceId) >= DeviceCount(family)) return MMSYSERR_BADDEVICEID;
  mixerId = family == TMMDeviceFamily::Mixer ? deviceId : d->Devices[int(family)][static_cast<size_t>(deviceId)].MixerId;
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::GetMixerIdOfHandle(quintptr handle, int& mixerId)
{
  auto it = d->Handles.find(handle);
  if (it == d->Handles.end()) return MMSYSERR_INVALHANDLE;
  mixerId = it->second.MixerId;
  return MMSYSERR_NOERROR;
}

QString TAlsaMixerBackend::ErrorText(quint32 code) { return StandardErrorText(code); }

quint32 TAlsaMixerBackend::Open(int mixerId, TComponent* callbackWindow, quintptr& handle)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  handle = d->NextHandle++;
  d->Handles[handle] = Impl::Handle{m->Index, callbackWindow};
  ++m->OpenCount;
  d->StartWatching(*m);
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::Close(quintptr handle)
{
  auto it = d->Handles.find(handle);
  if (it == d->Handles.end()) return MMSYSERR_INVALHANDLE;
  Impl::Mixer& m = *d->Mixers[static_cast<size_t>(it->second.MixerId)];
  d->Handles.erase(it);
  if (--m.OpenCount == 0) m.Notifiers.clear();
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::GetLineInfo(int mixerId, TMMLineQuery query, TMMApiLine& line)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.FindLine(query, line);
}

quint32 TAlsaMixerBackend::GetControlById(int mixerId, quint32 controlId, TMMApiControl& control, quint32& lineId)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.FindControlById(controlId, control, lineId);
}

quint32 TAlsaMixerBackend::GetControlByType(int mixerId, quint32 lineId, quint32 controlType, TMMApiControl& control)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.FindControlByType(lineId, controlType, control);
}

quint32 TAlsaMixerBackend::GetLineControls(int mixerId, quint32 lineId, std::vector<TMMApiControl>& controls)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.LineControls(lineId, controls);
}

quint32 TAlsaMixerBackend::GetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                           quint32* values)
{
  Impl::ValueAccess a;
  if (quint32 r = d->OpenValues(mixerId, controlId, channels, items, a)) return r;
  a.M->Topology.ReadValues(*a.Control, a.Stored, channels, values);
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::SetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                           const quint32* values)
{
  Impl::ValueAccess a;
  if (quint32 r = d->OpenValues(mixerId, controlId, channels, items, a)) return r;
  Impl::Mixer* m = a.M;
  m->Topology.WriteValues(*a.Control, a.Stored, channels, values);
  if (quint32 r = d->Write(*m, controlId, a.Stored)) return r;
  // Every open handle hears of the change, ours too. ALSA does not echo a
  // change back to the mixer that made it, so report it here; the cache
  // keeps a late echo from being reported twice.
  std::vector<quint32> now;
  if (d->Read(*m, controlId, now) == 0 && now != m->Cache[controlId]) {
    m->Cache[controlId] = now;
    d->Post(*m, MM_MIXM_CONTROL_CHANGE, controlId);
  }
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::GetListTexts(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                       std::vector<TMMApiListText>& texts)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.ListTexts(controlId, channels, items, texts);
}
