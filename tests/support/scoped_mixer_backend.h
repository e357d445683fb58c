// A mixer back-end installed for the duration of a test: whatever way the
// test ends, the one before is put back.
#pragma once

#include "platform/mixer_backend.h"
#include "platform/mixer_memory.h"

#include <memory>

class TScopedMixerBackend {
public:
  // The in-memory back-end.
  TScopedMixerBackend() : TScopedMixerBackend(std::make_unique<TMemoryMixerBackend>()) {}
  // Another back-end; null installs the ALSA one.
  explicit TScopedMixerBackend(std::unique_ptr<TMixerBackend> backend)
      : installed_(backend.get()), previous_(SetMixerBackend(std::move(backend)))
  {
  }
  ~TScopedMixerBackend() { SetMixerBackend(std::move(previous_)); }
  TScopedMixerBackend(const TScopedMixerBackend&) = delete;
  TScopedMixerBackend& operator=(const TScopedMixerBackend&) = delete;

  // The installed back-end when it is the in-memory one, else null.
  TMemoryMixerBackend* Memory() const { return dynamic_cast<TMemoryMixerBackend*>(installed_); }

private:
  TMixerBackend* installed_;
  std::unique_ptr<TMixerBackend> previous_;
};
