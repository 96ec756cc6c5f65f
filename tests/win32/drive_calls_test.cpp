// The Win32 SMART device driven through scripted kernel32 calls: what reaches CreateFileA,
// DeviceIoControl and GetVersionExA, read with the SDK's own types, and what the answers
// become.
#include "platform/win32/drive_calls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "disk/drive_identity.h"
#include "fakes/scripted_smart_device.h"
#include "platform/win32/smart_device.h"
#include "platform/win32/system_info.h"
#include "report/machine_record.h"

namespace corvane::test {
namespace {

using ::testing::ElementsAreArray;

// The script the table's calls answer from, and arguments it does not expect.
ScriptedSmartDevice* g_script = nullptr;
std::vector<std::string> g_unexpected;

HANDLE WINAPI ScriptedCreateFile(LPCSTR name, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE template_file) {
  if (security || flags || template_file) g_unexpected.push_back(std::string("open ") + name);
  const Handle h = g_script->Open(name, access, share, disposition);
  if (h == kInvalidHandle) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(h);
}

BOOL WINAPI ScriptedDeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD in_size, LPVOID out,
                                    DWORD out_size, LPDWORD returned, LPOVERLAPPED overlapped) {
  if (overlapped || !returned) g_unexpected.push_back("control " + std::to_string(code));
  size_t count = 0;
  const bool done = g_script->ControlCounted(
      reinterpret_cast<Handle>(h), code, ByteView(static_cast<const uint8_t*>(in), in_size),
      MutableByteView(static_cast<uint8_t*>(out), out_size), count);
  *returned = static_cast<DWORD>(count);
  return done;
}

BOOL WINAPI ScriptedCloseHandle(HANDLE h) {
  g_script->Close(reinterpret_cast<Handle>(h));
  return TRUE;
}

BOOL WINAPI ScriptedGetVersionEx(LPOSVERSIONINFOA info) {
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) g_unexpected.push_back("version size");
  if (!g_script->platform_id) return FALSE;
  info->dwPlatformId = *g_script->platform_id;
  return TRUE;
}

const Win32DriveCalls kScriptedCalls{&ScriptedCreateFile, &ScriptedDeviceIoControl,
                                     &ScriptedCloseHandle, &ScriptedGetVersionEx};

DriveIdentity Ask(ScriptedSmartDevice& script, int drive) {
  g_script = &script;
  g_unexpected.clear();
  Win32SmartDevice device(kScriptedCalls);
  const DriveIdentity d = GetDriveIdentity(device, drive);
  EXPECT_THAT(g_unexpected, ::testing::IsEmpty());
  EXPECT_TRUE(script.open_handles.empty());
  return d;
}

// SENDCMDINPARAMS as sent: the given leading bytes, zeros to 32.
std::vector<uint8_t> SendCmd(std::vector<uint8_t> head) {
  head.resize(32, 0);
  return head;
}

TEST(Win32DriveCalls, SmartRequestsReachTheDriverByteForByte) {
  struct Case {
    const char* family;
    DWORD platform;
    int drive;
    const char* device;
    DWORD access, share, disposition;
    uint8_t sector_head;
  };
  const Case cases[] = {
      {"NT", VER_PLATFORM_WIN32_NT, 0, "\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE,
       FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0xA0},
      {"9x", VER_PLATFORM_WIN32_WINDOWS, 1, "\\\\.\\SMARTVSD", 0, 0, CREATE_NEW, 0xB0},
  };
  Win32SystemInfo system;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    ScriptedSmartDevice script;
    script.platform_id = c.platform;
    script.device_map = static_cast<uint8_t>(1u << c.drive);
    PutAtaString(script.drives[c.drive].identify, 20, 20, "    S1DWJ60Z123456");
    PutEntry(script.drives[c.drive].smart_data, 0, {194, 0x22, 0, 110, 95});
    const DriveIdentity d = Ask(script, c.drive);
    EXPECT_EQ(d.DriveType, 1);
    EXPECT_EQ(DiskIdentifier(d, system), "S1DWJ60Z123456");
    EXPECT_EQ(d.AttributeCount, 1);

    ASSERT_EQ(script.opens.size(), 1u);
    EXPECT_EQ(script.opens[0].name, c.device);
    EXPECT_EQ(script.opens[0].access, c.access);
    EXPECT_EQ(script.opens[0].share, c.share);
    EXPECT_EQ(script.opens[0].disposition, c.disposition);
    const uint8_t n = static_cast<uint8_t>(c.drive);
    const uint8_t h = c.sector_head;
    const struct {
      DWORD code;
      std::vector<uint8_t> in;
      size_t out_size;
    } expected[] = {
        {0x74080, {}, 24},
        {0x7C084, SendCmd({0, 0, 0, 0, 0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0, n}), 16},
        {0x7C088, SendCmd({0, 2, 0, 0, 0x00, 1, 1, 0x00, 0x00, h, 0xEC, 0, n}), 528},
        {0x7C088, SendCmd({0, 2, 0, 0, 0xD0, 1, 1, 0x4F, 0xC2, h, 0xB0, 0, n}), 528},
        {0x7C088, SendCmd({0, 2, 0, 0, 0xD1, 1, 1, 0x4F, 0xC2, h, 0xB0, 0, n}), 528},
    };
    ASSERT_EQ(script.requests.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
      EXPECT_EQ(script.requests[i].code, expected[i].code) << i;
      EXPECT_THAT(script.requests[i].in, ElementsAreArray(expected[i].in)) << i;
      EXPECT_EQ(script.requests[i].out_size, expected[i].out_size) << i;
    }
  }
}

TEST(Win32DriveCalls, TheStorageStackAnswersWhereSmartCannot) {
  constexpr uint32_t kSata = BusTypeSata;
  constexpr uint32_t kNvme = BusTypeNvme;
  struct Case {
    const char* what;
    std::function<void(ScriptedSmartDevice&)> script;
    const char* identifier;  // nullptr: DriveType 0
  };
  const Case cases[] = {
      {"access denied, SATA descriptor",
       [](ScriptedSmartDevice& s) {
         s.fail = {"OpenWithAccess"};
         s.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "ST1000DM010-2EP102", "CC43",
                                                      "            Z9A1B2C3");
       },
       "Z9A1B2C3"},
      {"NVMe identify data",
       [](ScriptedSmartDevice& s) {
         s.device_descriptor = DeviceDescriptorAnswer(kNvme, nullptr, "Samsung SSD 980", "1B4Q",
                                                      "0025_3850_81B0_6A4C.");
         s.nvme_identify = NvmeIdentifyData("S64DNF0R123456A", "Samsung SSD 980 1TB", "1B4QFXO7");
       },
       "S64DNF0R123456A"},
      {"no serial",
       [](ScriptedSmartDevice& s) {
         s.fail = {"OpenWithAccess"};
         s.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1", nullptr);
       },
       nullptr},
      {"offsets past the end",
       [](ScriptedSmartDevice& s) {
         s.fail = {"OpenWithAccess"};
         s.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1", "Z9A1B2C3");
         s.storage_returned = s.device_descriptor.size() - 4;
       },
       nullptr},
      {"hex-encoded serial",
       [](ScriptedSmartDevice& s) {
         s.fail = {"OpenWithAccess"};
         // "            Z9A1B2C3" as the drive's words hold it.
         s.device_descriptor = DeviceDescriptorAnswer(kSata, nullptr, "Disk", "1",
                                                      "202020202020202020202020395a314132423343");
       },
       "Z9A1B2C3"},
  };
  Win32SystemInfo system;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedSmartDevice script;
    c.script(script);
    const DriveIdentity d = Ask(script, 0);
    EXPECT_EQ(d.DriveType, c.identifier ? 1 : 0);
    EXPECT_EQ(DiskIdentifier(d, system), c.identifier ? c.identifier : "");

    ASSERT_EQ(script.opens.size(), 2u);
    EXPECT_EQ(script.opens[1].name, "\\\\.\\PhysicalDrive0");
    EXPECT_EQ(script.opens[1].access, 0u);
    EXPECT_EQ(script.opens[1].share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(script.opens[1].disposition, static_cast<DWORD>(OPEN_EXISTING));
    std::vector<ControlCall> storage;
    for (const ControlCall& r : script.requests) {
      if (r.code == IOCTL_STORAGE_QUERY_PROPERTY) storage.push_back(r);
    }
    ASSERT_FALSE(storage.empty());
    STORAGE_PROPERTY_QUERY query{};
    ASSERT_GE(storage[0].in.size(), sizeof query);
    std::memcpy(&query, storage[0].in.data(), sizeof query);
    EXPECT_EQ(query.PropertyId, StorageDeviceProperty);
    EXPECT_EQ(query.QueryType, PropertyStandardQuery);
    if (std::string(c.what) == "NVMe identify data") {
      ASSERT_EQ(storage.size(), 2u);
      std::memcpy(&query, storage[1].in.data(), sizeof query);
      EXPECT_EQ(query.PropertyId, StorageAdapterProtocolSpecificProperty);
      STORAGE_PROTOCOL_SPECIFIC_DATA data{};
      std::memcpy(&data,
                  storage[1].in.data() + offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters),
                  sizeof data);
      EXPECT_EQ(data.ProtocolType, ProtocolTypeNvme);
      EXPECT_EQ(data.DataType, static_cast<DWORD>(NVMeDataTypeIdentify));
      EXPECT_EQ(data.ProtocolDataRequestValue, 1u);  // CNS: the controller
      EXPECT_EQ(data.ProtocolDataOffset, sizeof data);
      EXPECT_EQ(data.ProtocolDataLength, 4096u);
      EXPECT_EQ(d.FirmwareRevision, "1B4QFXO7");
    }
  }
}

}  // namespace
}  // namespace corvane::test
