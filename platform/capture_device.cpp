#include "platform/capture_device.h"

#include "platform/capture_alsa.h"

#include <atomic>

QString CaptureResultName(TCaptureResult code)
{
  switch (code) {
  case TCaptureResult::Unsupported: return QStringLiteral("DSERR_UNSUPPORTED");
  case TCaptureResult::Generic: return QStringLiteral("DSERR_GENERIC");
  case TCaptureResult::InvalidParam: return QStringLiteral("DSERR_INVALIDPARAM");
  case TCaptureResult::Allocated: return QStringLiteral("DSERR_ALLOCATED");
  case TCaptureResult::InvalidCall: return QStringLiteral("DSERR_INVALIDCALL");
  case TCaptureResult::BadFormat: return QStringLiteral("DSERR_BADFORMAT");
  case TCaptureResult::NoDriver: return QStringLiteral("DSERR_NODRIVER");
  case TCaptureResult::AlreadyInitialized: return QStringLiteral("DSERR_ALREADYINITIALIZED");
  default: return QStringLiteral("Unknown");
  }
}

namespace {
std::atomic<TCaptureSystem*> g_override{nullptr};
}

TCaptureSystem& TCaptureSystem::Default()
{
  if (TCaptureSystem* s = g_override.load()) return *s;
  static TAlsaCaptureSystem alsa;
  return alsa;
}

void TCaptureSystem::SetDefault(TCaptureSystem* system) { g_override = system; }
