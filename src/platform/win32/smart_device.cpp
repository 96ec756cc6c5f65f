// SMART requests on Windows. The OSVERSIONINFOA record is laid out by the disk subsystem's
// writers rather than cast from the SDK's struct.
#include "platform/win32/smart_device.h"

#include <windows.h>

#include "disk/smart_records.h"
#include "platform/win32/ansi.h"

namespace corvane {

Handle Win32SmartDevice::Open(const std::string& name, uint32_t access, uint32_t share,
                              uint32_t disposition) {
  const HANDLE h =
      ::CreateFileA(Utf8ToAnsi(name).c_str(), access, share, nullptr, disposition, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<Handle>(h);
}

bool Win32SmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  DWORD returned = 0;
  return ::DeviceIoControl(reinterpret_cast<HANDLE>(h), code, const_cast<uint8_t*>(in.data),
                           static_cast<DWORD>(in.size), out.data, static_cast<DWORD>(out.size),
                           &returned, nullptr) != 0;
}

void Win32SmartDevice::Close(Handle h) { ::CloseHandle(reinterpret_cast<HANDLE>(h)); }

std::optional<uint32_t> Win32SmartDevice::PlatformId() {
  Bytes info = NewOsVersionInfo();
  if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info.data()))) return std::nullopt;
  return ReadPlatformId(info);
}

}  // namespace corvane
