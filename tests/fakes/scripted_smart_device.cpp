#include "fakes/scripted_smart_device.h"

#include <algorithm>
#include <cstring>

#include "disk/smart_records.h"

namespace corvane::test {

std::string ScriptedSmartDevice::RequestName(uint32_t code, ByteView in) {
  if (code == kSmartGetVersion) return "GetVersion";
  if (in.size < kSendCmdInParamsSize) return "?";
  const SendCmdInParams p = ReadSendCmdInParams(in);
  if (code == kSmartSendDriveCommand && p.command == kAtaSmart &&
      p.features == kSmartEnableOperations) {
    return "Enable";
  }
  if (code == kSmartRcvDriveData && p.command == kAtaIdentifyDevice) return "Identify";
  if (code == kSmartRcvDriveData && p.command == kAtaSmart && p.features == kSmartReadData) {
    return "ReadData";
  }
  if (code == kSmartRcvDriveData && p.command == kAtaSmart && p.features == kSmartReadThresholds) {
    return "ReadThresholds";
  }
  return "?";
}

Handle ScriptedSmartDevice::Open(const std::string& name, uint32_t access, uint32_t share,
                                 uint32_t disposition) {
  opens.push_back({name, access, share, disposition});
  if (fail.count("Open")) return kInvalidHandle;
  const Handle h = next_handle_++;
  open_handles.insert(h);
  return h;
}

bool ScriptedSmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  requests.push_back({h, code, std::vector<uint8_t>(in.data, in.data + in.size), out.size});
  const std::string name = RequestName(code, in);
  if (!open_handles.count(h) || name == "?" || fail.count(name)) {
    if (scribble_on_failure) std::fill(out.data, out.data + out.size, uint8_t{0x5A});
    return false;
  }
  if (name == "GetVersion") {
    if (out.size < kGetVersionInParamsSize) return false;
    out.data[kVersionOffset] = 1;
    out.data[kRevisionOffset] = 1;
    out.data[kIdeDeviceMapOffset] = device_map;
    WriteU32(out, kCapabilitiesOffset, 7);
    return true;
  }
  const SendCmdInParams p = ReadSendCmdInParams(in);
  const auto drive = drives.find(p.drive_number);
  if (drive == drives.end()) return false;
  if (name == "Enable") return out.size >= kSendCmdOutHeaderSize;
  if (out.size < kSendCmdOutParamsSize) return false;
  const Sector& sector = name == "Identify"   ? drive->second.identify
                         : name == "ReadData" ? drive->second.smart_data
                                              : drive->second.thresholds;
  WriteU32(out, kOutBufferSizeOffset, static_cast<uint32_t>(kSectorSize));
  std::memcpy(out.data + kOutBufferOffset, sector.data(), sector.size());
  return true;
}

void ScriptedSmartDevice::Close(Handle h) {
  closed.push_back(h);
  open_handles.erase(h);
}

void PutAtaString(Sector& sector, size_t offset, size_t length, const std::string& text) {
  for (size_t i = 0; i < length; ++i) {
    const char c = i < text.size() ? text[i] : ' ';
    sector[offset + (i ^ 1)] = static_cast<uint8_t>(c);
  }
}

void PutEntry(Sector& sector, int slot, std::vector<uint8_t> bytes) {
  const size_t o = 2 + 12 * static_cast<size_t>(slot);
  std::copy(bytes.begin(), bytes.end(), sector.begin() + static_cast<std::ptrdiff_t>(o));
}

}  // namespace corvane::test
