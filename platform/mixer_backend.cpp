#include "platform/mixer_backend.h"

#include "platform/mixer_alsa.h"

namespace mmapi {
QString StandardErrorText(quint32 code)
{
  switch (code) {
  case MMSYSERR_ERROR: return QStringLiteral("Unspecified error.");
  case MMSYSERR_BADDEVICEID: return QStringLiteral("The device identifier is out of range.");
  case MMSYSERR_NOTENABLED: return QStringLiteral("The driver could not be enabled.");
  case MMSYSERR_ALLOCATED: return QStringLiteral("The device is already in use.");
  case MMSYSERR_INVALHANDLE: return QStringLiteral("The device handle is not valid.");
  case MMSYSERR_NODRIVER: return QStringLiteral("There is no driver installed for this device.");
  case MMSYSERR_NOMEM: return QStringLiteral("Not enough memory for the operation.");
  case MMSYSERR_NOTSUPPORTED: return QStringLiteral("The device does not support this function.");
  case MMSYSERR_INVALFLAG: return QStringLiteral("An invalid flag was passed.");
  case MMSYSERR_INVALPARAM: return QStringLiteral("An invalid parameter was passed.");
  case MIXERR_INVALLINE: return QStringLiteral("The mixer line is not valid.");
  case MIXERR_INVALCONTROL: return QStringLiteral("The mixer control is not valid.");
  case MIXERR_INVALVALUE: return QStringLiteral("The value is not valid for this mixer control.");
  default: return QString();
  }
}
} // namespace mmapi

namespace {
std::unique_ptr<TMixerBackend>& CurrentBackend()
{
  static std::unique_ptr<TMixerBackend> backend;
  return backend;
}
} // namespace

TMixerBackend& MixerBackend()
{
  auto& backend = CurrentBackend();
  if (!backend) backend = std::make_unique<TAlsaMixerBackend>();
  return *backend;
}

std::unique_ptr<TMixerBackend> SetMixerBackend(std::unique_ptr<TMixerBackend> backend)
{
  std::unique_ptr<TMixerBackend> previous = std::move(CurrentBackend());
  CurrentBackend() = std::move(backend);
  return previous;
}
