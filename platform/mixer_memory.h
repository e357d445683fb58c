// A mixer back-end held in memory, for tests: mixers with lines, controls and
// values built by the test, device counts of every family, calls that fail
// with chosen codes, and changes injected as if another program made them.
#pragma once

#include "platform/mixer_topology.h"

#include <QPointer>
#include <array>
#include <map>

class TMemoryMixerBackend : public TMixerBackend {
public:
  enum class Call {
    DeviceCaps, MixerId, HandleMixerId, Open, Close, LineInfo, ControlById, ControlByType, LineControls,
    GetValues, SetValues, ListTexts, Count
  };

  struct Device {
    TMMApiDeviceCaps Caps;
    int MixerId = -1;
  };

  // Adds a mixer and returns its number; build it through Topology().
  int AddMixer(const QString& productName, quint16 manufacturerId = 1, quint16 productId = 1,
               quint32 driverVersion = 0x0100);
  TMixerTopology& Topology(int mixer) { return mixers_.at(static_cast<size_t>(mixer)).Topology; }
  // Adds a device of another family (served by mixer `mixerId`, -1 none).
  int AddDevice(TMMDeviceFamily family, const QString& productName, int mixerId, quint16 manufacturerId = 1,
                quint16 productId = 2, quint32 driverVersion = 0x0100);
  // Whether GetDevCaps(-1) answers for the family (else BADDEVICEID).
  void SetMapper(TMMDeviceFamily family, bool present) { mapper_[Index(family)] = present; }

  // The next `times` calls of that kind answer `code` (times < 0: all of them).
  void FailCall(Call call, quint32 code, int times = 1);
  int CallCount(Call call) const { return calls_[static_cast<size_t>(call)]; }
  // Text for codes this back-end knows; others have none.
  void SetErrorText(quint32 code, const QString& text) { errorTexts_[code] = text; }

  // Stored values of a control (stored layout: its channels, item by item).
  std::vector<quint32> Values(int mixer, quint32 controlId) const;
  void SetValues(int mixer, quint32 controlId, std::vector<quint32> values);
  // Another program changed a control / a line: reports go to open handles.
  void InjectControlChange(int mixer, quint32 controlId, std::vector<quint32> values);
  void InjectLineChange(int mixer, quint32 lineId);
  // Parts of the device went away (an element unplugged, the whole device or
  // its server gone): what was removed is no longer found, and each line that
  // changed is reported to open handles, as the ALSA back-end does.
  void RemoveControl(int mixer, quint32 controlId);
  void RemoveLine(int mixer, quint32 lineId);
  void RemoveDevice(int mixer);
  int OpenHandles() const { return static_cast<int>(handles_.size()); }

  quint32 DeviceCount(TMMDeviceFamily family) override;
  quint32 GetDevCaps(TMMDeviceFamily family, int deviceId, TMMApiDeviceCaps& caps) override;
  quint32 GetMixerId(TMMDeviceFamily family, int deviceId, int& mixerId) override;
  quint32 GetMixerIdOfHandle(quintptr handle, int& mixerId) override;
  QString ErrorText(quint32 code) override;
  quint32 Open(int mixerId, TComponent* callbackWindow, quintptr& handle) override;
  quint32 Close(quintptr handle) override;
  quint32 GetLineInfo(int mixerId, TMMLineQuery query, TMMApiLine& line) override;
  quint32 GetControlById(int mixerId, quint32 controlId, TMMApiControl& control, quint32& lineId) override;
  quint32 GetControlByType(int mixerId, quint32 lineId, quint32 controlType, TMMApiControl& control) override;
  quint32 GetLineControls(int mixerId, quint32 lineId, std::vector<TMMApiControl>& controls) override;
  quint32 GetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items, quint32* values) override;
  quint32 SetControlValues(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                           const quint32* values) override;
  quint32 GetListTexts(int mixerId, quint32 controlId, quint32 channels, quint32 items,
                       std::vector<TMMApiListText>& texts) override;

private:
  struct Mixer {
    TMixerTopology Topology;
    std::map<quint32, std::vector<quint32>> Values;
  };
  struct Handle {
    int MixerId;
    QPointer<TComponent> Window;
  };
  static size_t Index(TMMDeviceFamily family) { return static_cast<size_t>(family); }
  // Counts the call; a failure code when one is planned for it.
  quint32 Enter(Call call);
  Mixer* FindMixer(int mixerId);
  void Post(int mixerId, quint32 msg, quint32 id);

  std::vector<Mixer> mixers_;
  std::array<std::vector<Device>, 6> devices_;
  std::array<bool, 6> mapper_{};
  std::map<quintptr, Handle> handles_;
  quintptr nextHandle_ = 0x1000;
  std::array<int, static_cast<size_t>(Call::Count)> calls_{};
  std::map<Call, std::pair<quint32, int>> failures_;
  std::map<quint32, QString> errorTexts_;
};
