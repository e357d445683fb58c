// How the ALSA back-end lays a sound card's simple mixer elements out as a
// mixer with destinations, sources and controls (see mixer_alsa.h). Kept
// apart from the ALSA calls so that the layout can be checked for element
// sets of cards this machine does not have.
#pragma once

#include "platform/mixer_topology.h"

#include <QStringList>
#include <map>

// What the layout needs to know of one simple element.
struct TAlsaElement {
  QString Name;
  unsigned Index = 0;
  struct Direction {
    bool Volume = false;
    bool Switch = false;
    bool VolumeJoined = false;
    bool SwitchJoined = false;
    std::vector<int> Channels;  // ALSA channel numbers present
    long Min = 0;
    long Max = 0;
  };
  Direction Playback;
  Direction Capture;
  bool Enumerated = false;
  bool EnumCapture = false;
  QStringList EnumItems;
};

enum class TAlsaRole { PlaybackVolume, PlaybackSwitch, CaptureVolume, CaptureSwitch, Enum };

// One control of the mixer and the element part it stands for.
struct TAlsaBinding {
  size_t Element = 0;
  TAlsaRole Role = TAlsaRole::PlaybackVolume;
  std::vector<int> Channels;  // one per value the control keeps
  long Min = 0;
  long Max = 0;
};

struct TAlsaPlan {
  TMixerTopology Topology;
  std::map<quint32, TAlsaBinding> Bindings;        // by control identifier
  std::multimap<size_t, quint32> LinesOfElement;   // element -> its lines
};

TAlsaPlan PlanAlsaMixer(const std::vector<TAlsaElement>& elements, const QString& productName, quint16 productId,
                        quint32 driverVersion);
// The line component type an element's name suggests.
quint32 AlsaComponentType(const QString& elementName);
// Conversions between an element's range and the model's 0..65535.
quint32 AlsaToModelVolume(long value, long min, long max);
long ModelToAlsaVolume(quint32 value, long min, long max);
