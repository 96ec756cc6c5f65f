// Drive captures: a drive's IDENTIFY, SMART data and threshold sectors saved to a file in
// the tagged-record format that libatasmart's `skdump --save` writes and `--load` reads,
// so that captures move between the two tools.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/bytes.h"
#include "platform/smart_device.h"

namespace corvane {

// Each record: a 4-byte ASCII tag, a 32-bit big-endian body length, the body.
struct DriveCapture {
  std::optional<Bytes> identify;    // "IDFY", 512 bytes
  std::optional<uint32_t> status;   // "SMST", 4 bytes: 1 good, 0 bad
  std::optional<Bytes> smart_data;  // "SMDT", 512 bytes
  std::optional<Bytes> thresholds;  // "SMTH", 512 bytes
};

class CaptureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws CaptureError naming what is wrong. Records of unknown tags are skipped.
DriveCapture ParseCapture(const std::string& file_bytes);
std::string WriteCapture(const DriveCapture& capture);

// A SMART driver whose four positions all hold the captured drive: SMART ENABLE
// succeeds, and each sector request is answered from its record or fails without one.
class CaptureSmartDevice : public SmartDevice {
 public:
  explicit CaptureSmartDevice(DriveCapture capture) : capture_(std::move(capture)) {}
  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override;
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  void Close(Handle) override {}
  std::optional<uint32_t> PlatformId() override;

 private:
  DriveCapture capture_;
};

// Passes every request through to `inner` and keeps the sectors it answered.
class RecordingSmartDevice : public SmartDevice {
 public:
  explicit RecordingSmartDevice(SmartDevice& inner) : inner_(inner) {}
  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override {
    return inner_.Open(name, access, share, disposition);
  }
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  // Only the storage stack's queries go this way, and a capture holds none of them.
  bool ControlCounted(Handle h, uint32_t code, ByteView in, MutableByteView out,
                      size_t& returned) override {
    return inner_.ControlCounted(h, code, in, out, returned);
  }
  void Close(Handle h) override { inner_.Close(h); }
  std::optional<uint32_t> PlatformId() override { return inner_.PlatformId(); }

  const DriveCapture& capture() const { return capture_; }

 private:
  SmartDevice& inner_;
  DriveCapture capture_;
};

}  // namespace corvane
