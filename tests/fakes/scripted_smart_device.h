// A SMART driver answering from scripted drives. It records every request with the
// bytes it received, and any kind of request can be made to fail.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/smart_device.h"

namespace corvane::test {

using Sector = std::array<uint8_t, 512>;

struct ScriptedDrive {
  Sector identify{};
  Sector smart_data{};
  Sector thresholds{};
};

struct OpenCall {
  std::string name;
  uint32_t access = 0;
  uint32_t share = 0;
  uint32_t disposition = 0;
};

struct ControlCall {
  Handle handle = kInvalidHandle;
  uint32_t code = 0;
  std::vector<uint8_t> in;
  size_t out_size = 0;
};

class ScriptedSmartDevice : public SmartDevice {
 public:
  Handle Open(const std::string& name, uint32_t access, uint32_t share,
              uint32_t disposition) override;
  bool Control(Handle h, uint32_t code, ByteView in, MutableByteView out) override;
  bool ControlCounted(Handle h, uint32_t code, ByteView in, MutableByteView out,
                      size_t& returned) override;
  void Close(Handle h) override;
  std::optional<uint32_t> PlatformId() override { return platform_id; }

  // The drive numbers' requests as named in `fail`: "Open", "GetVersion", "Enable",
  // "Identify", "ReadData", "ReadThresholds"; the storage stack's "DeviceDescriptor",
  // "AdapterIdentify" and "DeviceIdentify" (NVMe); and "OpenWithAccess", which fails only
  // the opens that ask for access rights, as Windows does for a user without them.
  static std::string RequestName(uint32_t code, ByteView in);

  std::optional<uint32_t> platform_id = 2;
  uint8_t device_map = 0;
  std::map<int, ScriptedDrive> drives;  // by bDriveNumber
  // The storage stack's answers for any disk: the STORAGE_DEVICE_DESCRIPTOR, and the NVMe
  // controller's identify data (4096 bytes); empty ones refuse their query. The byte count
  // reported is the answer's, or `storage_returned` when set.
  Bytes device_descriptor;
  Bytes nvme_identify;
  std::optional<size_t> storage_returned;
  std::set<std::string> fail;
  // A failing request still scribbles over the output buffer, as a careless driver may.
  bool scribble_on_failure = false;

  std::vector<OpenCall> opens;
  std::vector<ControlCall> requests;
  std::vector<Handle> closed;
  std::set<Handle> open_handles;

 private:
  Handle next_handle_ = 100;
};

// Puts an ATA string into an identify sector the way a drive stores it: the first
// character of each word in its high byte, padded with spaces.
void PutAtaString(Sector& sector, size_t offset, size_t length, const std::string& text);
// Writes attribute or threshold entry `slot`: id, then the given bytes after it.
void PutEntry(Sector& sector, int slot, std::vector<uint8_t> bytes);

// A STORAGE_DEVICE_DESCRIPTOR with its texts after the fixed part; a null text is absent.
Bytes DeviceDescriptorAnswer(uint32_t bus_type, const char* vendor, const char* product,
                             const char* revision, const char* serial);
// NVMe identify controller data holding the three texts, padded with spaces.
Bytes NvmeIdentifyData(const std::string& serial, const std::string& model,
                       const std::string& firmware);

}  // namespace corvane::test
