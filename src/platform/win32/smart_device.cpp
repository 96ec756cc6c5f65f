// SMART requests and storage queries on Windows. The records are laid out by the disk
// subsystem's writers rather than cast from the SDK's structs; the SDK only confirms here,
// at compile time, that both agree.
#include "platform/win32/smart_device.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>

#include "platform/smart_records.h"
#include "platform/storage_records.h"
#include "platform/win32/ansi.h"
#include "platform/win32/drive_calls.h"

namespace corvane {

static_assert(kStorageQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(kPropertyQuerySize == sizeof(STORAGE_PROPERTY_QUERY));
static_assert(kAdditionalParametersOffset ==
              offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
static_assert(kStorageAdapterProtocolSpecificProperty == StorageAdapterProtocolSpecificProperty);
static_assert(kStorageDeviceProtocolSpecificProperty == StorageDeviceProtocolSpecificProperty);
static_assert(kSerialNumberOffsetField == offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset));
static_assert(kBusTypeOffset == offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType));
static_assert(kDeviceDescriptorFixedSize ==
              offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties));
static_assert(kBusTypeNvme == BusTypeNvme);
static_assert(kProtocolSpecificDataSize == sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
static_assert(kProtocolDataLengthField ==
              offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength));
static_assert(kProtocolDataDescriptorHeader ==
              offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData));
static_assert(kProtocolTypeNvme == ProtocolTypeNvme);
static_assert(kNvmeDataTypeIdentify == NVMeDataTypeIdentify);
static_assert(kOsVersionInfoSize == sizeof(OSVERSIONINFOA));
static_assert(kPlatformIdOffset == offsetof(OSVERSIONINFOA, dwPlatformId));

const Win32DriveCalls& SystemDriveCalls() {
  static const Win32DriveCalls calls{&::CreateFileA, &::DeviceIoControl, &::CloseHandle,
                                     &::GetVersionExA};
  return calls;
}

Win32SmartDevice::Win32SmartDevice() : calls_(SystemDriveCalls()) {}

Handle Win32SmartDevice::Open(const std::string& name, uint32_t access, uint32_t share,
                              uint32_t disposition) {
  const HANDLE h =
      calls_.CreateFileA(Utf8ToAnsi(name).c_str(), access, share, nullptr, disposition, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<Handle>(h);
}

bool Win32SmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  size_t returned = 0;
  return ControlCounted(h, code, in, out, returned);
}

bool Win32SmartDevice::ControlCounted(Handle h, uint32_t code, ByteView in, MutableByteView out,
                                      size_t& returned) {
  DWORD count = 0;
  const bool done =
      calls_.DeviceIoControl(reinterpret_cast<HANDLE>(h), code, const_cast<uint8_t*>(in.data),
                             static_cast<DWORD>(in.size), out.data, static_cast<DWORD>(out.size),
                             &count, nullptr) != 0;
  returned = done ? count : 0;
  return done;
}

void Win32SmartDevice::Close(Handle h) { calls_.CloseHandle(reinterpret_cast<HANDLE>(h)); }

std::optional<uint32_t> Win32SmartDevice::PlatformId() {
  Bytes info = NewOsVersionInfo();
  if (!calls_.GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info.data()))) return std::nullopt;
  return ReadPlatformId(info);
}

}  // namespace corvane
