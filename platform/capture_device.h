// Sound capture: a device fills a looping circular buffer in the background;
// the reader asks how many bytes arrived since its last read and copies them
// out, across the wrap. A reader that falls more than one buffer behind loses
// the oldest audio, like a looping hardware buffer, and the loss is counted.
//
// Implementations: ALSA (capture_alsa.h) and an in-memory one for tests with
// exact data and timing (capture_memory.h).
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Result codes of the capture calls: 0 is success. The failure codes keep the
// numbers of the platform they were first named on, so that messages stay the same.
enum class TCaptureResult : uint32_t {
  Ok = 0,
  Unsupported = 0x80004001,
  Generic = 0x80004005,
  InvalidParam = 0x80070057,
  Allocated = 0x8878000A,
  InvalidCall = 0x88780032,
  BadFormat = 0x88780064,
  NoDriver = 0x88780078,
  AlreadyInitialized = 0x88780082,
};

// Name of a result code ("DSERR_ALLOCATED"...), "Unknown" for any other.
QString CaptureResultName(TCaptureResult code);

struct TCaptureDeviceInfo {
  QByteArray Id;        // what Open needs to find the device again
  QString Description;  // for people
  // The system's default input: the one the default mixer's recording line
  // (mixer 0) governs. A monitor of what plays, or a device picked by its
  // own name, is not.
  bool DefaultInput = false;
};

struct TCaptureFormat {
  int BitsPerSample = 16;
  int SampleRate = 44100;
  int Channels = 2;
  int BlockAlign() const { return (BitsPerSample / 8) * Channels; }
};

// One opened capture device with its looping buffer.
class TCaptureDevice {
public:
  virtual ~TCaptureDevice() = default;
  // Makes the looping buffer of `bytes` for `format`; the read offset starts at 0.
  virtual TCaptureResult CreateBuffer(const TCaptureFormat& format, uint32_t bytes) = 0;
  virtual TCaptureResult Start() = 0;
  virtual TCaptureResult Stop() = 0;
  // Bytes captured since the last Read (modulo the buffer size).
  virtual TCaptureResult BytesReady(uint32_t& ready) = 0;
  // Copies `count` bytes from the read offset, in two parts when the region
  // wraps past the end, and advances the read offset.
  virtual TCaptureResult Read(void* destination, uint32_t count) = 0;
  virtual uint32_t BufferSize() const = 0;
  // The reader's pacing: blocks up to `ms` milliseconds or until Wake.
  virtual void Wait(int ms) = 0;
  // Ends a Wait early (from any thread).
  virtual void Wake() = 0;
  // Empty while the device works; the reason once it has failed for good.
  virtual QString Failure() const = 0;
  // How often the capture side has woken to take audio from the system since
  // Start (a device filled by the system itself reports 0).
  virtual uint64_t WakeUps() const { return 0; }
  // Audio the reader never got since Start: bytes overwritten in the looping
  // buffer before they were read, and what the system dropped when the
  // capture overran or was suspended (estimated from the time it lasted).
  virtual uint64_t LostBytes() const { return 0; }
  // How long the source sent nothing since Start, counting only pauses longer
  // than a sound server holds audio back (a suspended source, a frozen server).
  virtual int64_t StalledMs() const { return 0; }
};

class TCaptureSystem {
public:
  virtual ~TCaptureSystem() = default;
  // Capture devices, the default device first.
  virtual std::vector<TCaptureDeviceInfo> Devices() = 0;
  virtual TCaptureResult Open(const TCaptureDeviceInfo& device, std::unique_ptr<TCaptureDevice>& out) = 0;

  // The system components use unless told otherwise: ALSA, or what a test set.
  static TCaptureSystem& Default();
  // Replaces the default (nullptr restores ALSA). The caller keeps ownership.
  static void SetDefault(TCaptureSystem* system);
};
