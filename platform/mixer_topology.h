// A mixer's lines and controls with the lookup and value-layout rules that
// every mixer back-end shares.
#pragma once

#include "platform/mixer_backend.h"

#include <optional>
#include <vector>

struct TMixerTopologyControl {
  TMMApiControl Info;
  quint32 LineId = 0;
  std::vector<TMMApiListText> Items;  // one per item of a multiple-item control
};

class TMixerTopology {
public:
  TMMApiDeviceCaps Caps;
  std::vector<TMMApiLine> Lines;  // destinations and sources, in the order added
  std::vector<TMixerTopologyControl> Controls;

  // Destination identifiers default to 0xFFFF0000 + destination index.
  TMMApiLine& AddDestination(quint32 componentType, const QString& shortName, const QString& name, quint32 channels,
                             const TMMApiLineTarget& target = {}, std::optional<quint32> lineId = {});
  // Source identifiers default to ((source index + 1) << 16) | destination index.
  TMMApiLine& AddSource(quint32 destLineId, quint32 componentType, const QString& shortName, const QString& name,
                        quint32 channels, std::optional<quint32> lineId = {});
  // Control identifiers default to the next free number from 1.
  TMixerTopologyControl& AddControl(quint32 lineId, quint32 controlType, quint32 flags, qint32 minimum,
                                    qint32 maximum, quint32 steps, const QString& shortName, const QString& name,
                                    std::vector<TMMApiListText> items = {}, std::optional<quint32> controlId = {});

  // A device that went away: the control, or the line with its controls (a
  // destination with its sources), is no longer found. Both give the lines
  // that changed.
  std::vector<quint32> RemoveControl(quint32 controlId);
  std::vector<quint32> RemoveLine(quint32 lineId);
  std::vector<quint32> RemoveAll();

  const TMMApiLine* Line(quint32 lineId) const;
  const TMixerTopologyControl* Control(quint32 controlId) const;
  quint32 DestinationCount() const;
  // Channels a control keeps values for: 1 when uniform, else its line's.
  quint32 StoredChannels(const TMixerTopologyControl& control) const;
  // Number of values a control keeps: stored channels * max(items, 1).
  quint32 StoredValueCount(const TMixerTopologyControl& control) const;

  quint32 FindLine(TMMLineQuery query, TMMApiLine& line) const;
  quint32 FindControlById(quint32 controlId, TMMApiControl& control, quint32& lineId) const;
  quint32 FindControlByType(quint32 lineId, quint32 controlType, TMMApiControl& control) const;
  quint32 LineControls(quint32 lineId, std::vector<TMMApiControl>& controls) const;
  quint32 ListTexts(quint32 controlId, quint32 channels, quint32 items, std::vector<TMMApiListText>& texts) const;

  // Checks a value request against the control; gives the control.
  quint32 CheckDetails(quint32 controlId, quint32 channels, quint32 items, const TMixerTopologyControl*& control) const;
  // Converts between the stored layout and a request of `channels` channels.
  void ReadValues(const TMixerTopologyControl& control, const std::vector<quint32>& stored, quint32 channels,
                  quint32* out) const;
  void WriteValues(const TMixerTopologyControl& control, std::vector<quint32>& stored, quint32 channels,
                   const quint32* in) const;

private:
  quint32 nextControlId_ = 1;
};
