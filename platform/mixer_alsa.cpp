#include "platform/mixer_alsa.h"

#include "platform/mixer_topology.h"
#include "toolkit/component.h"

#include <QPointer>
#include <QSocketNotifier>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <cmath>
#include <map>
#include <poll.h>

using namespace mmapi;

namespace {

enum class Role { PlaybackVolume, PlaybackSwitch, CaptureVolume, CaptureSwitch, Enum };

struct Binding {
  snd_mixer_elem_t* Elem = nullptr;
  Role Kind = Role::PlaybackVolume;
  std::vector<snd_mixer_selem_channel_id_t> Channels;  // one per stored channel
  long Min = 0;
  long Max = 0;
};

struct AlsaDevice {
  TMMApiDeviceCaps Caps;
  int MixerId = -1;
};

constexpr quint32 kDriverVersion = (SND_LIB_MAJOR << 8) | SND_LIB_MINOR;

quint32 ErrorCode(int err)
{
  if (err == -ENODEV || err == -ENXIO || err == -ENOENT) return MMSYSERR_NODRIVER;
  if (err == -ENOMEM) return MMSYSERR_NOMEM;
  if (err == -EINVAL) return MMSYSERR_INVALPARAM;
  return MMSYSERR_ERROR;
}

QString ElemName(snd_mixer_elem_t* elem)
{
  QString name = QString::fromUtf8(snd_mixer_selem_get_name(elem));
  if (unsigned index = snd_mixer_selem_get_index(elem)) name += QStringLiteral(" %1").arg(index);
  return name;
}

quint32 ComponentTypeFor(const QString& elemName)
{
  const QString n = elemName.toLower();
  if (n.contains("headphone") || n.contains("speaker") || n.contains("master")) return COMPONENTTYPE_SRC_UNDEFINED;
  if (n.contains("mic")) return COMPONENTTYPE_SRC_MICROPHONE;
  if (n.contains("line")) return COMPONENTTYPE_SRC_LINE;
  if (n.startsWith("cd")) return COMPONENTTYPE_SRC_COMPACTDISC;
  if (n.contains("pcm") || n.contains("wave")) return COMPONENTTYPE_SRC_WAVEOUT;
  if (n.contains("synth") || n.contains("midi")) return COMPONENTTYPE_SRC_SYNTHESIZER;
  if (n.contains("beep") || n.contains("pc speaker")) return COMPONENTTYPE_SRC_PCSPEAKER;
  if (n.contains("aux")) return COMPONENTTYPE_SRC_AUXILIARY;
  if (n.contains("phone")) return COMPONENTTYPE_SRC_TELEPHONE;
  if (n.contains("iec958") || n.contains("spdif") || n.contains("digital")) return COMPONENTTYPE_SRC_DIGITAL;
  if (n.contains("analog") || n.contains("video")) return COMPONENTTYPE_SRC_ANALOG;
  return COMPONENTTYPE_SRC_UNDEFINED;
}

std::vector<snd_mixer_selem_channel_id_t> ElemChannels(snd_mixer_elem_t* elem, bool playback)
{
  std::vector<snd_mixer_selem_channel_id_t> channels;
  for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
    auto id = static_cast<snd_mixer_selem_channel_id_t>(ch);
    if (playback ? snd_mixer_selem_has_playback_channel(elem, id) : snd_mixer_selem_has_capture_channel(elem, id))
      channels.push_back(id);
  }
  if (channels.empty()) channels.push_back(SND_MIXER_SCHN_MONO);
  return channels;
}

// Silences the library's own error printing while we probe devices that may
// well be missing (no sound server, no card).
struct QuietAlsa {
  static void Ignore(const char*, int, const char*, int, const char*, ...) {}
  QuietAlsa() { snd_lib_error_set_handler(&QuietAlsa::Ignore); }
  ~QuietAlsa() { snd_lib_error_set_handler(nullptr); }
};

} // namespace

struct TAlsaMixerBackend::Impl {
  struct Handle {
    int MixerId;
    QPointer<TComponent> Window;
  };

  struct Mixer {
    Impl* Owner = nullptr;
    int Index = 0;
    QString Device;
    snd_mixer_t* Handle = nullptr;
    TMixerTopology Topology;
    std::map<quint32, Binding> Bindings;
    std::map<quint32, std::vector<quint32>> Cache;  // last values seen, stored layout
    std::multimap<snd_mixer_elem_t*, quint32> LinesOfElem;
    std::vector<std::unique_ptr<QSocketNotifier>> Notifiers;
    int OpenCount = 0;

    ~Mixer()
    {
      Notifiers.clear();
      if (Handle) snd_mixer_close(Handle);
    }
  };

  Options Opts;
  bool Enumerated = false;
  std::vector<std::unique_ptr<Mixer>> Mixers;
  std::vector<AlsaDevice> Devices[6];
  std::map<quintptr, Handle> Handles;
  quintptr NextHandle = 1;

  void Enumerate();
  void AddMixer(const QString& device, int card);
  void AddCardDevices(int card, int mixerId);
  void BuildTopology(Mixer& m, const QString& productName);
  Mixer* Find(int mixerId);

  quint32 Read(Mixer& m, quint32 controlId, std::vector<quint32>& stored);
  quint32 Write(Mixer& m, quint32 controlId, const std::vector<quint32>& stored);
  void Refresh(Mixer& m);
  void ElemEvent(Mixer& m, snd_mixer_elem_t* elem, unsigned mask);
  void PollActivity(Mixer& m);
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
  if (Enumerated) return;
  Enumerated = true;
  QuietAlsa quiet;
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
  TMixerTopology& t = m.Topology;
  t.Caps.ProductName = productName;
  t.Caps.ManufacturerId = 0;
  t.Caps.ProductId = static_cast<quint16>(m.Index);
  t.Caps.DriverVersion = kDriverVersion;

  snd_mixer_elem_t* master = nullptr;
  snd_mixer_elem_t* capture = nullptr;
  snd_mixer_elem_t* captureSource = nullptr;
  std::vector<snd_mixer_elem_t*> others;
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(m.Handle); e; e = snd_mixer_elem_next(e)) {
    const QString name = QString::fromUtf8(snd_mixer_selem_get_name(e));
    const bool first = snd_mixer_selem_get_index(e) == 0;
    if (!master && first && name == "Master" &&
        (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e)))
      master = e;
    else if (!capture && first && name == "Capture" &&
             (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e)))
      capture = e;
    else if (!captureSource && snd_mixer_selem_is_enumerated(e) && snd_mixer_selem_is_enum_capture(e))
      captureSource = e;
    else
      others.push_back(e);
  }

  TMMApiLineTarget out;
  out.Type = TARGETTYPE_WAVEOUT;
  out.ProductName = productName;
  out.DriverVersion = kDriverVersion;
  out.ProductId = t.Caps.ProductId;
  TMMApiLineTarget in = out;
  in.Type = TARGETTYPE_WAVEIN;
  auto channelCount = [](snd_mixer_elem_t* e, bool playback) {
    return e ? static_cast<quint32>(ElemChannels(e, playback).size()) : 2u;
  };
  const quint32 playLine = t.AddDestination(COMPONENTTYPE_DST_SPEAKERS, "Playback", "Playback",
                                            channelCount(master, true), out).LineId;
  const quint32 recLine = t.AddDestination(COMPONENTTYPE_DST_WAVEIN, "Recording", "Recording",
                                           channelCount(capture, false), in).LineId;

  auto bind = [&](quint32 lineId, snd_mixer_elem_t* e, bool playback) {
    m.LinesOfElem.emplace(e, lineId);
    const QString name = ElemName(e);
    const auto channels = ElemChannels(e, playback);
    const bool hasVolume = playback ? snd_mixer_selem_has_playback_volume(e) : snd_mixer_selem_has_capture_volume(e);
    const bool hasSwitch = playback ? snd_mixer_selem_has_playback_switch(e) : snd_mixer_selem_has_capture_switch(e);
    if (hasVolume) {
      Binding b{e, playback ? Role::PlaybackVolume : Role::CaptureVolume, channels, 0, 0};
      if (playback)
        snd_mixer_selem_get_playback_volume_range(e, &b.Min, &b.Max);
      else
        snd_mixer_selem_get_capture_volume_range(e, &b.Min, &b.Max);
      const bool joined =
          playback ? snd_mixer_selem_has_playback_volume_joined(e) : snd_mixer_selem_has_capture_volume_joined(e);
      if (joined || channels.size() == 1) b.Channels.resize(1);
      const quint32 steps = static_cast<quint32>(std::min<long>(std::max<long>(b.Max - b.Min, 0), 65535));
      auto& c = t.AddControl(lineId, CONTROLTYPE_VOLUME, b.Channels.size() == 1 ? CONTROLF_UNIFORM : 0, 0, 65535,
                             steps, "Volume", name + " Volume");
      m.Bindings[c.Info.ControlId] = b;
    }
    if (hasSwitch) {
      Binding b{e, playback ? Role::PlaybackSwitch : Role::CaptureSwitch, channels, 0, 1};
      const bool joined =
          playback ? snd_mixer_selem_has_playback_switch_joined(e) : snd_mixer_selem_has_capture_switch_joined(e);
      if (joined || channels.size() == 1) b.Channels.resize(1);
      auto& c = t.AddControl(lineId, CONTROLTYPE_MUTE, b.Channels.size() == 1 ? CONTROLF_UNIFORM : 0, 0, 1, 0, "Mute",
                             name + " Mute");
      m.Bindings[c.Info.ControlId] = b;
    }
  };
  auto enumItems = [](snd_mixer_elem_t* e) {
    std::vector<TMMApiListText> items;
    const int n = snd_mixer_selem_get_enum_items(e);
    for (int i = 0; i < n; ++i) {
      char text[128] = {};
      snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof text - 1, text);
      TMMApiListText item;
      item.Param1 = 0xFFFFFFFF;
      item.Name = QString::fromUtf8(text).left(64);
      items.push_back(item);
    }
    return items;
  };
  auto bindEnum = [&](quint32 lineId, snd_mixer_elem_t* e, quint32 type, std::vector<TMMApiListText> items) {
    if (items.empty()) return;
    m.LinesOfElem.emplace(e, lineId);
    auto& c = t.AddControl(lineId, type, CONTROLF_UNIFORM, 0, 1, 0, type == CONTROLTYPE_MUX ? "Mux" : "Select",
                           ElemName(e), std::move(items));
    m.Bindings[c.Info.ControlId] = Binding{e, Role::Enum, {SND_MIXER_SCHN_MONO}, 0, 1};
  };

  if (master) bind(playLine, master, true);
  if (capture) bind(recLine, capture, false);
  for (snd_mixer_elem_t* e : others) {
    const QString name = ElemName(e);
    const quint32 type = ComponentTypeFor(name);
    if (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e))
      bind(t.AddSource(playLine, type, name, name, static_cast<quint32>(ElemChannels(e, true).size())).LineId, e,
           true);
    if (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e))
      bind(t.AddSource(recLine, type, name, name, static_cast<quint32>(ElemChannels(e, false).size())).LineId, e,
           false);
    if (snd_mixer_selem_is_enumerated(e))
      bindEnum(t.AddSource(playLine, type, name, name, 1).LineId, e, CONTROLTYPE_SINGLESELECT, enumItems(e));
  }
  if (captureSource) {
    // Each item stands for the recording source line of the same name.
    std::vector<TMMApiListText> items = enumItems(captureSource);
    for (TMMApiListText& item : items)
      for (const TMMApiLine& l : t.Lines)
        if ((l.Flags & MIXERLINE_LINEF_SOURCE) && l.Destination == 1 && l.Name == item.Name) item.Param1 = l.LineId;
    bindEnum(recLine, captureSource, CONTROLTYPE_MUX, std::move(items));
  }

  for (const auto& [id, b] : m.Bindings) {
    snd_mixer_elem_set_callback(b.Elem, &Impl::ElemCallback);
    snd_mixer_elem_set_callback_private(b.Elem, &m);
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

quint32 TAlsaMixerBackend::Impl::Read(Mixer& m, quint32 controlId, std::vector<quint32>& stored)
{
  auto it = m.Bindings.find(controlId);
  const TMixerTopologyControl* c = m.Topology.Control(controlId);
  if (it == m.Bindings.end() || !c) return MIXERR_INVALCONTROL;
  const Binding& b = it->second;
  stored.assign(m.Topology.StoredValueCount(*c), 0);
  if (b.Kind == Role::Enum) {
    unsigned item = 0;
    if (int err = snd_mixer_selem_get_enum_item(b.Elem, SND_MIXER_SCHN_MONO, &item); err < 0) return ErrorCode(err);
    if (item < stored.size()) stored[item] = 1;
    return MMSYSERR_NOERROR;
  }
  for (size_t i = 0; i < b.Channels.size() && i < stored.size(); ++i) {
    long v = 0;
    int sw = 0;
    int err = 0;
    switch (b.Kind) {
    case Role::PlaybackVolume: err = snd_mixer_selem_get_playback_volume(b.Elem, b.Channels[i], &v); break;
    case Role::CaptureVolume: err = snd_mixer_selem_get_capture_volume(b.Elem, b.Channels[i], &v); break;
    case Role::PlaybackSwitch: err = snd_mixer_selem_get_playback_switch(b.Elem, b.Channels[i], &sw); break;
    case Role::CaptureSwitch: err = snd_mixer_selem_get_capture_switch(b.Elem, b.Channels[i], &sw); break;
    case Role::Enum: break;
    }
    if (err < 0) return ErrorCode(err);
    if (b.Kind == Role::PlaybackSwitch || b.Kind == Role::CaptureSwitch)
      stored[i] = sw ? 0 : 1;  // muted = switch off
    else if (b.Max > b.Min)
      stored[i] = static_cast<quint32>(std::lround(double(v - b.Min) * 65535.0 / double(b.Max - b.Min)));
  }
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::Impl::Write(Mixer& m, quint32 controlId, const std::vector<quint32>& stored)
{
  auto it = m.Bindings.find(controlId);
  if (it == m.Bindings.end()) return MIXERR_INVALCONTROL;
  const Binding& b = it->second;
  if (b.Kind == Role::Enum) {
    auto chosen = std::find_if(stored.begin(), stored.end(), [](quint32 v) { return v != 0; });
    if (chosen == stored.end()) return MIXERR_INVALVALUE;
    const auto item = static_cast<unsigned>(chosen - stored.begin());
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
      unsigned current = 0;
      auto id = static_cast<snd_mixer_selem_channel_id_t>(ch);
      if (snd_mixer_selem_get_enum_item(b.Elem, id, &current) < 0) break;
      if (int err = snd_mixer_selem_set_enum_item(b.Elem, id, item); err < 0) return ErrorCode(err);
    }
    return MMSYSERR_NOERROR;
  }
  const bool all = b.Channels.size() == 1;
  for (size_t i = 0; i < b.Channels.size() && i < stored.size(); ++i) {
    const quint32 value = std::min<quint32>(stored[i], 65535);
    const long v = b.Min + std::lround(double(value) * double(b.Max - b.Min) / 65535.0);
    const int sw = stored[i] ? 0 : 1;
    const auto ch = b.Channels[i];
    int err = 0;
    switch (b.Kind) {
    case Role::PlaybackVolume:
      err = all ? snd_mixer_selem_set_playback_volume_all(b.Elem, v) : snd_mixer_selem_set_playback_volume(b.Elem, ch, v);
      break;
    case Role::CaptureVolume:
      err = all ? snd_mixer_selem_set_capture_volume_all(b.Elem, v) : snd_mixer_selem_set_capture_volume(b.Elem, ch, v);
      break;
    case Role::PlaybackSwitch:
      err = all ? snd_mixer_selem_set_playback_switch_all(b.Elem, sw) : snd_mixer_selem_set_playback_switch(b.Elem, ch, sw);
      break;
    case Role::CaptureSwitch:
      err = all ? snd_mixer_selem_set_capture_switch_all(b.Elem, sw) : snd_mixer_selem_set_capture_switch(b.Elem, ch, sw);
      break;
    case Role::Enum: break;
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
  snd_mixer_handle_events(m.Handle);
}

void TAlsaMixerBackend::Impl::ElemEvent(Mixer& m, snd_mixer_elem_t* elem, unsigned mask)
{
  if (mask == SND_CTL_EVENT_MASK_REMOVE) {
    // The element is gone (device unplugged): forget it, tell its lines.
    for (auto it = m.Bindings.begin(); it != m.Bindings.end();)
      it = it->second.Elem == elem ? m.Bindings.erase(it) : std::next(it);
    auto range = m.LinesOfElem.equal_range(elem);
    std::vector<quint32> lines;
    for (auto it = range.first; it != range.second; ++it) lines.push_back(it->second);
    m.LinesOfElem.erase(elem);
    for (quint32 line : lines) Post(m, MM_MIXM_LINE_CHANGE, line);
    return;
  }
  if (mask & SND_CTL_EVENT_MASK_INFO) {
    auto range = m.LinesOfElem.equal_range(elem);
    for (auto it = range.first; it != range.second; ++it) Post(m, MM_MIXM_LINE_CHANGE, it->second);
  }
  if (mask & SND_CTL_EVENT_MASK_VALUE) {
    for (const auto& [id, b] : m.Bindings) {
      if (b.Elem != elem) continue;
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
    // The device went away; stop watching rather than spin on a dead descriptor.
    m.Notifiers.clear();
    return;
  }
  if (revents & POLLIN) Refresh(m);
}

void TAlsaMixerBackend::Impl::StartWatching(Mixer& m)
{
  if (!m.Notifiers.empty()) return;
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

QString TAlsaMixerBackend::MixerDeviceName(int mixerId)
{
  Impl::Mixer* m = d->Find(mixerId);
  return m ? m->Device : QString();
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
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  const TMixerTopologyControl* c = nullptr;
  if (quint32 r = m->Topology.CheckDetails(controlId, channels, items, c)) return r;
  std::vector<quint32> stored;
  if (quint32 r = d->Read(*m, controlId, stored)) return r;
  m->Topology.ReadValues(*c, stored, channels, values);
  return MMSYSERR_NOERROR;
}

quint32 TAlsaMixerBackend::SetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                           const quint32* values)
{
  Impl::Mixer* m = d->Find(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  const TMixerTopologyControl* c = nullptr;
  if (quint32 r = m->Topology.CheckDetails(controlId, channels, items, c)) return r;
  std::vector<quint32> stored;
  if (quint32 r = d->Read(*m, controlId, stored)) return r;
  m->Topology.WriteValues(*c, stored, channels, values);
  if (quint32 r = d->Write(*m, controlId, stored)) return r;
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
