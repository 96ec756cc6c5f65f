#include "fakes/scripted_smart_device.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "platform/smart_records.h"

namespace corvane::test {

namespace {

// The storage stack's query, read at the offsets the stack documents: property, kind, and
// for NVMe identify data the protocol, data type, CNS value, data offset and length.
std::string StorageRequestName(ByteView in) {
  if (in.size == 12 && ReadU32(in, 0) == 0 && ReadU32(in, 4) == 0) return "DeviceDescriptor";
  if (in.size != 8 + 40 + 4096 || ReadU32(in, 4) != 0) return "?";
  const uint32_t expected[] = {3, 1, 1, 0, 40, 4096};
  for (size_t i = 0; i < std::size(expected); ++i) {
    if (ReadU32(in, 8 + 4 * i) != expected[i]) return "?";
  }
  if (ReadU32(in, 0) == 49) return "AdapterIdentify";
  if (ReadU32(in, 0) == 50) return "DeviceIdentify";
  return "?";
}

}  // namespace

std::string ScriptedSmartDevice::RequestName(uint32_t code, ByteView in) {
  if (code == 0x2D1400) return StorageRequestName(in);
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
  if (fail.count("Open") || (access != 0 && fail.count("OpenWithAccess"))) return kInvalidHandle;
  const Handle h = next_handle_++;
  open_handles.insert(h);
  return h;
}

bool ScriptedSmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  size_t returned = 0;
  return ControlCounted(h, code, in, out, returned);
}

bool ScriptedSmartDevice::ControlCounted(Handle h, uint32_t code, ByteView in, MutableByteView out,
                                         size_t& returned) {
  requests.push_back({h, code, std::vector<uint8_t>(in.data, in.data + in.size), out.size});
  const std::string name = RequestName(code, in);
  returned = 0;
  if (!open_handles.count(h) || name == "?" || fail.count(name)) {
    if (scribble_on_failure) std::fill(out.data, out.data + out.size, uint8_t{0x5A});
    return false;
  }
  if (name == "DeviceDescriptor") {
    if (device_descriptor.empty()) return false;
    const size_t n = std::min(device_descriptor.size(), out.size);
    std::copy_n(device_descriptor.begin(), n, out.data);
    returned = storage_returned.value_or(n);
    return true;
  }
  if (name == "AdapterIdentify" || name == "DeviceIdentify") {
    if (nvme_identify.empty() || out.size < 8 + 40 + 4096) return false;
    WriteU32(out, 0, 48);  // STORAGE_PROTOCOL_DATA_DESCRIPTOR's version and size
    WriteU32(out, 4, 48);
    std::copy_n(in.data + 8, 40, out.data + 8);  // the request's record, answered
    std::copy_n(nvme_identify.begin(), std::min<size_t>(nvme_identify.size(), 4096), out.data + 48);
    returned = storage_returned.value_or(8 + 40 + 4096);
    return true;
  }
  returned = out.size;
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

Bytes DeviceDescriptorAnswer(uint32_t bus_type, const char* vendor, const char* product,
                             const char* revision, const char* serial) {
  Bytes d(40, 0);
  WriteU32(d, 0, 40);
  WriteU32(d, 28, bus_type);
  const std::pair<size_t, const char*> texts[] = {
      {12, vendor}, {16, product}, {20, revision}, {24, serial}};
  for (const auto& [field, text] : texts) {
    if (!text) continue;
    WriteU32(d, field, static_cast<uint32_t>(d.size()));
    d.insert(d.end(), text, text + std::strlen(text) + 1);
  }
  WriteU32(d, 4, static_cast<uint32_t>(d.size()));
  return d;
}

Bytes NvmeIdentifyData(const std::string& serial, const std::string& model,
                       const std::string& firmware) {
  Bytes id(4096, 0);
  const std::tuple<size_t, size_t, const std::string&> texts[] = {
      {4, 20, serial}, {24, 40, model}, {64, 8, firmware}};
  for (const auto& [offset, length, text] : texts) {
    for (size_t i = 0; i < length; ++i) id[offset + i] = i < text.size() ? text[i] : ' ';
  }
  return id;
}

}  // namespace corvane::test
