// The disk driver's SMART interface and the storage stack's property query through
// CreateFileA and DeviceIoControl, and the family test through GetVersionExA. Requests go
// to the driver exactly as the core built them.
#pragma once

#include "platform/smart_device.h"

namespace corvane {

struct Win32DriveCalls;

class Win32SmartDevice : public SmartDevice {
 public:
  Win32SmartDevice();  // the system's calls
  explicit Win32SmartDevice(const Win32DriveCalls& calls) : calls_(calls) {}

  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override;
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  bool ControlCounted(Handle h, uint32_t code, ByteView in, MutableByteView out,
                      size_t& returned) override;
  void Close(Handle h) override;
  std::optional<uint32_t> PlatformId() override;

 private:
  const Win32DriveCalls& calls_;
};

}  // namespace corvane
