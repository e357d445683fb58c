#include "platform/mixer_memory.h"

#include "toolkit/component.h"

using namespace mmapi;

int TMemoryMixerBackend::AddMixer(const QString& productName, quint16 manufacturerId, quint16 productId,
                                  quint32 driverVersion)
{
  Mixer m;
  m.Topology.Caps.ProductName = productName.left(31);
  m.Topology.Caps.ManufacturerId = manufacturerId;
  m.Topology.Caps.ProductId = productId;
  m.Topology.Caps.DriverVersion = driverVersion;
  mixers_.push_back(std::move(m));
  return static_cast<int>(mixers_.size()) - 1;
}

int TMemoryMixerBackend::AddDevice(TMMDeviceFamily family, const QString& productName, int mixerId,
                                   quint16 manufacturerId, quint16 productId, quint32 driverVersion)
{
  Device d;
  d.Caps.ProductName = productName.left(31);
  d.Caps.ManufacturerId = manufacturerId;
  d.Caps.ProductId = productId;
  d.Caps.DriverVersion = driverVersion;
  d.MixerId = mixerId;
  devices_[Index(family)].push_back(d);
  return static_cast<int>(devices_[Index(family)].size()) - 1;
}

void TMemoryMixerBackend::FailCall(Call call, quint32 code, int times) { failures_[call] = {code, times}; }

quint32 TMemoryMixerBackend::Enter(Call call)
{
  ++calls_[static_cast<size_t>(call)];
  auto it = failures_.find(call);
  if (it == failures_.end()) return MMSYSERR_NOERROR;
  const quint32 code = it->second.first;
  if (it->second.second > 0 && --it->second.second == 0) failures_.erase(it);
  return code;
}

TMemoryMixerBackend::Mixer* TMemoryMixerBackend::FindMixer(int mixerId)
{
  if (mixerId < 0 || mixerId >= static_cast<int>(mixers_.size())) return nullptr;
  return &mixers_[static_cast<size_t>(mixerId)];
}

std::vector<quint32> TMemoryMixerBackend::Values(int mixer, quint32 controlId) const
{
  const Mixer& m = mixers_.at(static_cast<size_t>(mixer));
  auto it = m.Values.find(controlId);
  if (it != m.Values.end()) return it->second;
  const TMixerTopologyControl* c = m.Topology.Control(controlId);
  return std::vector<quint32>(c ? m.Topology.StoredValueCount(*c) : 0, 0);
}

void TMemoryMixerBackend::SetValues(int mixer, quint32 controlId, std::vector<quint32> values)
{
  mixers_.at(static_cast<size_t>(mixer)).Values[controlId] = std::move(values);
}

void TMemoryMixerBackend::Post(int mixerId, quint32 msg, quint32 id)
{
  for (const auto& [handle, h] : handles_)
    if (h.MixerId == mixerId && h.Window)
      TComponent::PostMessage(h.Window, msg, static_cast<qintptr>(handle), static_cast<qintptr>(id));
}

void TMemoryMixerBackend::InjectControlChange(int mixer, quint32 controlId, std::vector<quint32> values)
{
  SetValues(mixer, controlId, std::move(values));
  Post(mixer, MM_MIXM_CONTROL_CHANGE, controlId);
}

void TMemoryMixerBackend::InjectLineChange(int mixer, quint32 lineId) { Post(mixer, MM_MIXM_LINE_CHANGE, lineId); }

void TMemoryMixerBackend::RemoveControl(int mixer, quint32 controlId)
{
  for (quint32 lineId : Topology(mixer).RemoveControl(controlId)) Post(mixer, MM_MIXM_LINE_CHANGE, lineId);
}

void TMemoryMixerBackend::RemoveLine(int mixer, quint32 lineId)
{
  for (quint32 id : Topology(mixer).RemoveLine(lineId)) Post(mixer, MM_MIXM_LINE_CHANGE, id);
}

void TMemoryMixerBackend::RemoveDevice(int mixer)
{
  for (quint32 id : Topology(mixer).RemoveAll()) Post(mixer, MM_MIXM_LINE_CHANGE, id);
}

quint32 TMemoryMixerBackend::DeviceCount(TMMDeviceFamily family)
{
  if (family == TMMDeviceFamily::Mixer) return static_cast<quint32>(mixers_.size());
  return static_cast<quint32>(devices_[Index(family)].size());
}

quint32 TMemoryMixerBackend::GetDevCaps(TMMDeviceFamily family, int deviceId, TMMApiDeviceCaps& caps)
{
  if (quint32 r = Enter(Call::DeviceCaps)) return r;
  if (deviceId == -1) {
    if (!mapper_[Index(family)] || DeviceCount(family) == 0) return MMSYSERR_BADDEVICEID;
    deviceId = 0;
  }
  if (deviceId < 0 || static_cast<quint32>(deviceId) >= DeviceCount(family)) return MMSYSERR_BADDEVICEID;
  if (family == TMMDeviceFamily::Mixer) {
    const TMixerTopology& t = mixers_[static_cast<size_t>(deviceId)].Topology;
    caps = t.Caps;
    caps.Destinations = t.DestinationCount();
  } else {
    caps = devices_[Index(family)][static_cast<size_t>(deviceId)].Caps;
  }
  return MMSYSERR_NOERROR;
}

quint32 TMemoryMixerBackend::GetMixerId(TMMDeviceFamily family, int deviceId, int& mixerId)
{
  if (quint32 r = Enter(Call::MixerId)) return r;
  if (deviceId == -1 && mapper_[Index(family)]) deviceId = 0;
  if (deviceId < 0 || static_cast<quint32>(deviceId) >= DeviceCount(family)) return MMSYSERR_BADDEVICEID;
  mixerId = family == TMMDeviceFamily::Mixer ? deviceId : devices_[Index(family)][static_cast<size_t>(deviceId)].MixerId;
  return MMSYSERR_NOERROR;
}

quint32 TMemoryMixerBackend::GetMixerIdOfHandle(quintptr handle, int& mixerId)
{
  if (quint32 r = Enter(Call::HandleMixerId)) return r;
  auto it = handles_.find(handle);
  if (it == handles_.end()) return MMSYSERR_INVALHANDLE;
  mixerId = it->second.MixerId;
  return MMSYSERR_NOERROR;
}

QString TMemoryMixerBackend::ErrorText(quint32 code)
{
  auto it = errorTexts_.find(code);
  return it != errorTexts_.end() ? it->second : StandardErrorText(code);
}

quint32 TMemoryMixerBackend::Open(int mixerId, TComponent* callbackWindow, quintptr& handle)
{
  if (quint32 r = Enter(Call::Open)) return r;
  if (!FindMixer(mixerId)) return MMSYSERR_BADDEVICEID;
  handle = nextHandle_++;
  handles_[handle] = Handle{mixerId, callbackWindow};
  return MMSYSERR_NOERROR;
}

quint32 TMemoryMixerBackend::Close(quintptr handle)
{
  if (quint32 r = Enter(Call::Close)) return r;
  return handles_.erase(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

quint32 TMemoryMixerBackend::GetLineInfo(int mixerId, TMMLineQuery query, TMMApiLine& line)
{
  if (quint32 r = Enter(Call::LineInfo)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.FindLine(query, line);
}

quint32 TMemoryMixerBackend::GetControlById(int mixerId, quint32 controlId, TMMApiControl& control, quint32& lineId)
{
  if (quint32 r = Enter(Call::ControlById)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.FindControlById(controlId, control, lineId);
}

quint32 TMemoryMixerBackend::GetControlByType(int mixerId, quint32 lineId, quint32 controlType,
                                              TMMApiControl& control)
{
  if (quint32 r = Enter(Call::ControlByType)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.FindControlByType(lineId, controlType, control);
}

quint32 TMemoryMixerBackend::GetLineControls(int mixerId, quint32 lineId, std::vector<TMMApiControl>& controls)
{
  if (quint32 r = Enter(Call::LineControls)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.LineControls(lineId, controls);
}

quint32 TMemoryMixerBackend::GetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                              quint32* values)
{
  if (quint32 r = Enter(Call::GetValues)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  const TMixerTopologyControl* c = nullptr;
  if (quint32 r = m->Topology.CheckDetails(controlId, channels, items, c)) return r;
  m->Topology.ReadValues(*c, Values(mixerId, controlId), channels, values);
  return MMSYSERR_NOERROR;
}

quint32 TMemoryMixerBackend::SetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                              const quint32* values)
{
  if (quint32 r = Enter(Call::SetValues)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  const TMixerTopologyControl* c = nullptr;
  if (quint32 r = m->Topology.CheckDetails(controlId, channels, items, c)) return r;
  std::vector<quint32> stored = Values(mixerId, controlId);
  m->Topology.WriteValues(*c, stored, channels, values);
  if (stored != Values(mixerId, controlId)) {
    m->Values[controlId] = std::move(stored);
    // Like a real mixer, every open handle hears of the change, ours too.
    Post(mixerId, MM_MIXM_CONTROL_CHANGE, controlId);
  }
  return MMSYSERR_NOERROR;
}

quint32 TMemoryMixerBackend::GetListTexts(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                                          std::vector<TMMApiListText>& texts)
{
  if (quint32 r = Enter(Call::ListTexts)) return r;
  Mixer* m = FindMixer(mixerId);
  if (!m) return MMSYSERR_BADDEVICEID;
  return m->Topology.ListTexts(controlId, channels, items, texts);
}
