#include "platform/mixer_topology.h"

#include <algorithm>

using namespace mmapi;

TMMApiLine& TMixerTopology::AddDestination(quint32 componentType, const QString& shortName, const QString& name,
                                           quint32 channels, const TMMApiLineTarget& target,
                                           std::optional<quint32> lineId)
{
  TMMApiLine line;
  line.Destination = DestinationCount();
  line.LineId = lineId.value_or(0xFFFF0000u + line.Destination);
  line.Flags = MIXERLINE_LINEF_ACTIVE;
  line.ComponentType = componentType;
  line.Channels = channels;
  line.ShortName = shortName.left(16);
  line.Name = name.left(64);
  line.Target = target;
  Lines.push_back(line);
  return Lines.back();
}

TMMApiLine& TMixerTopology::AddSource(quint32 destLineId, quint32 componentType, const QString& shortName,
                                      const QString& name, quint32 channels, std::optional<quint32> lineId)
{
  auto dest = std::find_if(Lines.begin(), Lines.end(), [&](const TMMApiLine& l) {
    return l.LineId == destLineId && !(l.Flags & MIXERLINE_LINEF_SOURCE);
  });
  Q_ASSERT(dest != Lines.end());
  TMMApiLine line;
  line.Destination = dest->Destination;
  line.Source = dest->Connections++;
  line.LineId = lineId.value_or(((line.Source + 1) << 16) | line.Destination);
  line.Flags = MIXERLINE_LINEF_ACTIVE | MIXERLINE_LINEF_SOURCE;
  line.ComponentType = componentType;
  line.Channels = channels;
  line.ShortName = shortName.left(16);
  line.Name = name.left(64);
  line.Target = dest->Target;
  line.Target.Type = TARGETTYPE_UNDEFINED;
  Lines.push_back(line);
  return Lines.back();
}

TMixerTopologyControl& TMixerTopology::AddControl(quint32 lineId, quint32 controlType, quint32 flags,
                                                  qint32 minimum, qint32 maximum, quint32 steps,
                                                  const QString& shortName, const QString& name,
                                                  std::vector<TMMApiListText> items,
                                                  std::optional<quint32> controlId)
{
  auto line = std::find_if(Lines.begin(), Lines.end(), [&](const TMMApiLine& l) { return l.LineId == lineId; });
  Q_ASSERT(line != Lines.end());
  ++line->Controls;
  TMixerTopologyControl c;
  c.LineId = lineId;
  c.Info.ControlId = controlId.value_or(nextControlId_);
  nextControlId_ = std::max(nextControlId_, c.Info.ControlId + 1);
  c.Info.ControlType = controlType;
  c.Info.Flags = flags | (items.empty() ? 0 : CONTROLF_MULTIPLE);
  c.Info.MultipleItems = static_cast<quint32>(items.size());
  c.Info.ShortName = shortName.left(16);
  c.Info.Name = name.left(64);
  c.Info.Minimum = minimum;
  c.Info.Maximum = maximum;
  c.Info.Steps = steps;
  c.Items = std::move(items);
  Controls.push_back(std::move(c));
  return Controls.back();
}

std::vector<quint32> TMixerTopology::RemoveControl(quint32 controlId)
{
  auto it = std::find_if(Controls.begin(), Controls.end(),
                         [&](const TMixerTopologyControl& c) { return c.Info.ControlId == controlId; });
  if (it == Controls.end()) return {};
  const quint32 lineId = it->LineId;
  Controls.erase(it);
  for (TMMApiLine& l : Lines)
    if (l.LineId == lineId && l.Controls > 0) --l.Controls;
  return {lineId};
}

std::vector<quint32> TMixerTopology::RemoveLine(quint32 lineId)
{
  const TMMApiLine* line = Line(lineId);
  if (!line) return {};
  std::vector<quint32> gone{lineId};
  std::optional<quint32> destinationId;
  if (!(line->Flags & MIXERLINE_LINEF_SOURCE)) {
    for (const TMMApiLine& l : Lines)
      if ((l.Flags & MIXERLINE_LINEF_SOURCE) && l.Destination == line->Destination) gone.push_back(l.LineId);
  } else {
    // The destination's other sources close up, so indexes stay 0..n-1.
    const quint32 destination = line->Destination, index = line->Source;
    for (TMMApiLine& l : Lines) {
      if (l.Destination != destination) continue;
      if (!(l.Flags & MIXERLINE_LINEF_SOURCE)) {
        destinationId = l.LineId;
        if (l.Connections > 0) --l.Connections;
      } else if (l.Source > index) {
        --l.Source;
      }
    }
  }
  const auto removed = [&](quint32 id) { return std::find(gone.begin(), gone.end(), id) != gone.end(); };
  std::erase_if(Controls, [&](const TMixerTopologyControl& c) { return removed(c.LineId); });
  std::erase_if(Lines, [&](const TMMApiLine& l) { return removed(l.LineId); });
  if (destinationId) gone.push_back(*destinationId);  // changed too: one connection less
  return gone;
}

std::vector<quint32> TMixerTopology::RemoveAll()
{
  std::vector<quint32> gone;
  for (const TMMApiLine& l : Lines) gone.push_back(l.LineId);
  Lines.clear();
  Controls.clear();
  return gone;
}

const TMMApiLine* TMixerTopology::Line(quint32 lineId) const
{
  for (const TMMApiLine& l : Lines)
    if (l.LineId == lineId) return &l;
  return nullptr;
}

const TMixerTopologyControl* TMixerTopology::Control(quint32 controlId) const
{
  for (const TMixerTopologyControl& c : Controls)
    if (c.Info.ControlId == controlId) return &c;
  return nullptr;
}

quint32 TMixerTopology::DestinationCount() const
{
  return static_cast<quint32>(std::count_if(Lines.begin(), Lines.end(), [](const TMMApiLine& l) {
    return !(l.Flags & MIXERLINE_LINEF_SOURCE);
  }));
}

quint32 TMixerTopology::StoredChannels(const TMixerTopologyControl& control) const
{
  if (control.Info.Flags & CONTROLF_UNIFORM) return 1;
  const TMMApiLine* line = Line(control.LineId);
  return line ? std::max<quint32>(line->Channels, 1) : 1;
}

quint32 TMixerTopology::StoredValueCount(const TMixerTopologyControl& control) const
{
  return StoredChannels(control) * std::max<quint32>(control.Info.MultipleItems, 1);
}

quint32 TMixerTopology::FindLine(TMMLineQuery query, TMMApiLine& line) const
{
  const bool source = query == TMMLineQuery::BySource;
  for (const TMMApiLine& l : Lines) {
    const bool isSource = l.Flags & MIXERLINE_LINEF_SOURCE;
    bool match = false;
    switch (query) {
    case TMMLineQuery::ByDestination: match = !isSource && l.Destination == line.Destination; break;
    case TMMLineQuery::BySource:
      match = isSource && l.Destination == line.Destination && l.Source == line.Source;
      break;
    case TMMLineQuery::ById: match = l.LineId == line.LineId; break;
    case TMMLineQuery::ByComponentType: match = l.ComponentType == line.ComponentType; break;
    case TMMLineQuery::ByTargetType:
      match = l.Target.Type != TARGETTYPE_UNDEFINED && l.Target.Type == line.Target.Type &&
              (line.Target.ProductName.isEmpty() || l.Target.ProductName == line.Target.ProductName);
      break;
    }
    if (match) {
      line = l;
      return MMSYSERR_NOERROR;
    }
  }
  if (query == TMMLineQuery::ByDestination && line.Destination >= DestinationCount()) return MMSYSERR_INVALPARAM;
  if (source && line.Destination >= DestinationCount()) return MMSYSERR_INVALPARAM;
  return MIXERR_INVALLINE;
}

quint32 TMixerTopology::FindControlById(quint32 controlId, TMMApiControl& control, quint32& lineId) const
{
  const TMixerTopologyControl* c = Control(controlId);
  if (!c) return MIXERR_INVALCONTROL;
  control = c->Info;
  lineId = c->LineId;
  return MMSYSERR_NOERROR;
}

quint32 TMixerTopology::FindControlByType(quint32 lineId, quint32 controlType, TMMApiControl& control) const
{
  if (!Line(lineId)) return MIXERR_INVALLINE;
  for (const TMixerTopologyControl& c : Controls)
    if (c.LineId == lineId && c.Info.ControlType == controlType) {
      control = c.Info;
      return MMSYSERR_NOERROR;
    }
  return MIXERR_INVALCONTROL;
}

quint32 TMixerTopology::LineControls(quint32 lineId, std::vector<TMMApiControl>& controls) const
{
  if (!Line(lineId)) return MIXERR_INVALLINE;
  controls.clear();
  for (const TMixerTopologyControl& c : Controls)
    if (c.LineId == lineId) controls.push_back(c.Info);
  return MMSYSERR_NOERROR;
}

quint32 TMixerTopology::ListTexts(quint32 controlId, quint32 channels, quint32 items,
                                  std::vector<TMMApiListText>& texts) const
{
  const TMixerTopologyControl* c = nullptr;
  if (quint32 r = CheckDetails(controlId, channels, items, c)) return r;
  if (c->Items.empty()) return MMSYSERR_INVALPARAM;
  texts.clear();
  const quint32 perItem = std::max<quint32>(channels, 1);
  for (const TMMApiListText& item : c->Items)
    for (quint32 ch = 0; ch < perItem; ++ch) texts.push_back(item);
  return MMSYSERR_NOERROR;
}

quint32 TMixerTopology::CheckDetails(quint32 controlId, quint32 channels, quint32 items,
                                     const TMixerTopologyControl*& control) const
{
  control = Control(controlId);
  if (!control) return MIXERR_INVALCONTROL;
  const quint32 stored = StoredChannels(*control);
  if (channels > 1 && channels != stored) return MMSYSERR_INVALPARAM;
  if (items != control->Info.MultipleItems) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

void TMixerTopology::ReadValues(const TMixerTopologyControl& control, const std::vector<quint32>& stored,
                                quint32 channels, quint32* out) const
{
  const quint32 k = StoredChannels(control);
  const quint32 n = std::max<quint32>(control.Info.MultipleItems, 1);
  for (quint32 item = 0; item < n; ++item) {
    const quint32* src = stored.data() + item * k;
    if (channels <= 1) {
      // One value for all channels: the highest (signed controls compare as signed).
      const bool isSigned = control.Info.Minimum < 0;
      quint32 best = src[0];
      for (quint32 ch = 1; ch < k; ++ch)
        if (isSigned ? qint32(src[ch]) > qint32(best) : src[ch] > best) best = src[ch];
      out[item] = best;
    } else {
      std::copy(src, src + k, out + item * k);
    }
  }
}

void TMixerTopology::WriteValues(const TMixerTopologyControl& control, std::vector<quint32>& stored,
                                 quint32 channels, const quint32* in) const
{
  const quint32 k = StoredChannels(control);
  const quint32 n = std::max<quint32>(control.Info.MultipleItems, 1);
  stored.resize(k * n);
  for (quint32 item = 0; item < n; ++item)
    for (quint32 ch = 0; ch < k; ++ch) stored[item * k + ch] = channels <= 1 ? in[item] : in[item * k + ch];
}
