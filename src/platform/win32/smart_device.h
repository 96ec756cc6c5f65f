// The disk driver's SMART interface through CreateFileA and DeviceIoControl, and the
// family test through GetVersionExA. Requests go to the driver exactly as the core built them.
#pragma once

#include "platform/smart_device.h"

namespace corvane {

class Win32SmartDevice : public SmartDevice {
 public:
  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override;
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  void Close(Handle h) override;
  std::optional<uint32_t> PlatformId() override;
};

}  // namespace corvane
