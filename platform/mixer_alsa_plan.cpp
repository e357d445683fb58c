#include "platform/mixer_alsa_plan.h"

#include <algorithm>
#include <cmath>

using namespace mmapi;

quint32 AlsaComponentType(const QString& elementName)
{
  const QString n = elementName.toLower();
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

quint32 AlsaToModelVolume(long value, long min, long max)
{
  if (max <= min) return 0;
  const double v = double(std::clamp(value, min, max) - min) * 65535.0 / double(max - min);
  return static_cast<quint32>(std::lround(v));
}

long ModelToAlsaVolume(quint32 value, long min, long max)
{
  if (max <= min) return min;
  return min + std::lround(double(std::min<quint32>(value, 65535)) * double(max - min) / 65535.0);
}

namespace {
QString FullName(const TAlsaElement& e)
{
  return e.Index ? QStringLiteral("%1 %2").arg(e.Name).arg(e.Index) : e.Name;
}

quint32 ChannelCount(const TAlsaElement::Direction& d) { return static_cast<quint32>(std::max<size_t>(d.Channels.size(), 1)); }
} // namespace

TAlsaPlan PlanAlsaMixer(const std::vector<TAlsaElement>& elements, const QString& productName, quint16 productId,
                        quint32 driverVersion)
{
  TAlsaPlan plan;
  TMixerTopology& t = plan.Topology;
  t.Caps.ProductName = productName.left(31);
  t.Caps.ProductId = productId;
  t.Caps.DriverVersion = driverVersion;

  // "Master" carries the playback destination's controls, "Capture" the
  // recording destination's, the first capture enumeration selects the
  // recording source; every other element becomes source lines.
  std::optional<size_t> master, capture, captureSource;
  std::vector<size_t> others;
  for (size_t i = 0; i < elements.size(); ++i) {
    const TAlsaElement& e = elements[i];
    if (!master && e.Index == 0 && e.Name == "Master" && (e.Playback.Volume || e.Playback.Switch))
      master = i;
    else if (!capture && e.Index == 0 && e.Name == "Capture" && (e.Capture.Volume || e.Capture.Switch))
      capture = i;
    else if (!captureSource && e.Enumerated && e.EnumCapture && !e.EnumItems.isEmpty())
      captureSource = i;
    else
      others.push_back(i);
  }

  TMMApiLineTarget out;
  out.Type = TARGETTYPE_WAVEOUT;
  out.ProductName = t.Caps.ProductName;
  out.ProductId = productId;
  out.DriverVersion = driverVersion;
  TMMApiLineTarget in = out;
  in.Type = TARGETTYPE_WAVEIN;
  const quint32 playLine = t.AddDestination(COMPONENTTYPE_DST_SPEAKERS, "Playback", "Playback",
                                            master ? ChannelCount(elements[*master].Playback) : 2, out).LineId;
  const quint32 recLine = t.AddDestination(COMPONENTTYPE_DST_WAVEIN, "Recording", "Recording",
                                           capture ? ChannelCount(elements[*capture].Capture) : 2, in).LineId;

  auto bind = [&](quint32 lineId, size_t index, bool playback) {
    const TAlsaElement& e = elements[index];
    const TAlsaElement::Direction& d = playback ? e.Playback : e.Capture;
    plan.LinesOfElement.emplace(index, lineId);
    std::vector<int> channels = d.Channels.empty() ? std::vector<int>{0} : d.Channels;
    if (d.Volume) {
      TAlsaBinding b{index, playback ? TAlsaRole::PlaybackVolume : TAlsaRole::CaptureVolume, channels, d.Min, d.Max};
      if (d.VolumeJoined) b.Channels.resize(1);
      const quint32 steps = static_cast<quint32>(std::clamp<long>(d.Max - d.Min, 0, 65535));
      auto& c = t.AddControl(lineId, CONTROLTYPE_VOLUME, b.Channels.size() == 1 ? CONTROLF_UNIFORM : 0, 0, 65535,
                             steps, "Volume", FullName(e) + " Volume");
      plan.Bindings[c.Info.ControlId] = b;
    }
    if (d.Switch) {
      TAlsaBinding b{index, playback ? TAlsaRole::PlaybackSwitch : TAlsaRole::CaptureSwitch, channels, 0, 1};
      if (d.SwitchJoined) b.Channels.resize(1);
      auto& c = t.AddControl(lineId, CONTROLTYPE_MUTE, b.Channels.size() == 1 ? CONTROLF_UNIFORM : 0, 0, 1, 0,
                             "Mute", FullName(e) + " Mute");
      plan.Bindings[c.Info.ControlId] = b;
    }
  };
  auto bindEnum = [&](quint32 lineId, size_t index, quint32 type, std::vector<TMMApiListText> items) {
    plan.LinesOfElement.emplace(index, lineId);
    auto& c = t.AddControl(lineId, type, CONTROLF_UNIFORM, 0, 1, 0, type == CONTROLTYPE_MUX ? "Mux" : "Select",
                           FullName(elements[index]), std::move(items));
    plan.Bindings[c.Info.ControlId] = TAlsaBinding{index, TAlsaRole::Enum, {0}, 0, 1};
  };
  auto items = [](const TAlsaElement& e) {
    std::vector<TMMApiListText> list;
    for (const QString& name : e.EnumItems) list.push_back({0xFFFFFFFF, 0, name.left(64)});
    return list;
  };

  if (master) bind(playLine, *master, true);
  if (capture) bind(recLine, *capture, false);
  for (size_t i : others) {
    const TAlsaElement& e = elements[i];
    const QString name = FullName(e);
    const quint32 type = AlsaComponentType(e.Name);
    if (e.Playback.Volume || e.Playback.Switch)
      bind(t.AddSource(playLine, type, name, name, ChannelCount(e.Playback)).LineId, i, true);
    if (e.Capture.Volume || e.Capture.Switch)
      bind(t.AddSource(recLine, type, name, name, ChannelCount(e.Capture)).LineId, i, false);
    if (e.Enumerated && !e.EnumItems.isEmpty())
      bindEnum(t.AddSource(playLine, type, name, name, 1).LineId, i, CONTROLTYPE_SINGLESELECT, items(e));
  }
  if (captureSource) {
    // Each item stands for the recording source line of the same name.
    std::vector<TMMApiListText> list = items(elements[*captureSource]);
    for (TMMApiListText& item : list)
      for (const TMMApiLine& l : t.Lines)
        if ((l.Flags & MIXERLINE_LINEF_SOURCE) && l.Destination == 1 && l.Name == item.Name) item.Param1 = l.LineId;
    bindEnum(recLine, *captureSource, CONTROLTYPE_MUX, std::move(list));
  }
  return plan;
}
