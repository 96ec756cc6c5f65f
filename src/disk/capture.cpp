#include "disk/capture.h"

#include <algorithm>
#include <cstring>

#include "platform/smart_records.h"

namespace corvane {

namespace {

constexpr char kIdentifyTag[] = "IDFY";
constexpr char kStatusTag[] = "SMST";
constexpr char kDataTag[] = "SMDT";
constexpr char kThresholdsTag[] = "SMTH";
constexpr size_t kRecordHeaderSize = 8;
constexpr size_t kStatusSize = 4;
constexpr uint8_t kAllPositions = 0x0F;

uint32_t ReadBigEndian32(const std::string& s, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(s[offset + i]);
  return v;
}

void AppendBigEndian32(std::string& s, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>(v >> shift));
}

std::string Printable(const std::string& tag) {
  std::string out;
  for (char c : tag) out += (c >= 0x20 && c < 0x7F) ? c : '?';
  return out;
}

void TakeSector(std::optional<Bytes>& slot, const std::string& tag, const std::string& body) {
  if (slot) throw CaptureError("the capture holds two " + tag + " records");
  if (body.size() != kSectorSize) {
    throw CaptureError("the " + tag + " record holds " + std::to_string(body.size()) +
                       " bytes instead of 512");
  }
  slot = Bytes(body.begin(), body.end());
}

void AppendRecord(std::string& out, const char* tag, const uint8_t* body, size_t size) {
  out.append(tag, 4);
  AppendBigEndian32(out, static_cast<uint32_t>(size));
  out.append(reinterpret_cast<const char*>(body), size);
}

bool AnswerSector(const std::optional<Bytes>& sector, MutableByteView out) {
  if (!sector || out.size < kSendCmdOutParamsSize) return false;
  std::fill(out.data, out.data + out.size, uint8_t{0});
  WriteU32(out, kOutBufferSizeOffset, static_cast<uint32_t>(kSectorSize));
  std::memcpy(out.data + kOutBufferOffset, sector->data(), kSectorSize);
  return true;
}

}  // namespace

DriveCapture ParseCapture(const std::string& file_bytes) {
  DriveCapture capture;
  size_t pos = 0;
  while (pos < file_bytes.size()) {
    if (file_bytes.size() - pos < kRecordHeaderSize) {
      throw CaptureError("the capture ends inside a record header at byte " + std::to_string(pos));
    }
    const std::string tag = file_bytes.substr(pos, 4);
    const uint32_t length = ReadBigEndian32(file_bytes, pos + 4);
    pos += kRecordHeaderSize;
    if (length > file_bytes.size() - pos) {
      throw CaptureError("the " + Printable(tag) + " record claims " + std::to_string(length) +
                         " bytes but only " + std::to_string(file_bytes.size() - pos) + " follow");
    }
    const std::string body = file_bytes.substr(pos, length);
    pos += length;
    if (tag == kIdentifyTag) {
      TakeSector(capture.identify, tag, body);
    } else if (tag == kDataTag) {
      TakeSector(capture.smart_data, tag, body);
    } else if (tag == kThresholdsTag) {
      TakeSector(capture.thresholds, tag, body);
    } else if (tag == kStatusTag) {
      if (capture.status) throw CaptureError("the capture holds two SMST records");
      if (body.size() != kStatusSize) {
        throw CaptureError("the SMST record holds " + std::to_string(body.size()) +
                           " bytes instead of 4");
      }
      capture.status = ReadBigEndian32(body, 0);
    }
  }
  if (!capture.identify) throw CaptureError("the capture holds no IDFY (IDENTIFY DEVICE) record");
  return capture;
}

std::string WriteCapture(const DriveCapture& capture) {
  std::string out;
  if (capture.identify) AppendRecord(out, kIdentifyTag, capture.identify->data(), kSectorSize);
  if (capture.status) {
    std::string status;
    AppendBigEndian32(status, *capture.status);
    AppendRecord(out, kStatusTag, reinterpret_cast<const uint8_t*>(status.data()), kStatusSize);
  }
  if (capture.smart_data) AppendRecord(out, kDataTag, capture.smart_data->data(), kSectorSize);
  if (capture.thresholds) {
    AppendRecord(out, kThresholdsTag, capture.thresholds->data(), kSectorSize);
  }
  return out;
}

Handle CaptureSmartDevice::Open(const std::string&, uint32_t, uint32_t, uint32_t) { return 1; }

std::optional<uint32_t> CaptureSmartDevice::PlatformId() { return kVerPlatformWin32Nt; }

bool CaptureSmartDevice::Control(Handle, uint32_t code, ByteView in, MutableByteView out) {
  switch (ClassifyRequest(code, in)) {
    case DriveRequest::kGetVersion:
      if (out.size < kGetVersionInParamsSize) return false;
      std::fill(out.data, out.data + out.size, uint8_t{0});
      out.data[kIdeDeviceMapOffset] = kAllPositions;
      return true;
    case DriveRequest::kEnable:
      return out.size >= kSendCmdOutHeaderSize;
    case DriveRequest::kIdentify:
      return AnswerSector(capture_.identify, out);
    case DriveRequest::kReadData:
      return AnswerSector(capture_.smart_data, out);
    case DriveRequest::kReadThresholds:
      return AnswerSector(capture_.thresholds, out);
    case DriveRequest::kOther:
      break;
  }
  return false;
}

bool RecordingSmartDevice::Control(Handle h, uint32_t code, ByteView in, MutableByteView out) {
  if (!inner_.Control(h, code, in, out)) return false;
  if (out.size < kSendCmdOutParamsSize) return true;
  const Bytes sector(out.data + kOutBufferOffset, out.data + kOutBufferOffset + kSectorSize);
  switch (ClassifyRequest(code, in)) {
    case DriveRequest::kIdentify:
      capture_.identify = sector;
      break;
    case DriveRequest::kReadData:
      capture_.smart_data = sector;
      break;
    case DriveRequest::kReadThresholds:
      capture_.thresholds = sector;
      break;
    default:
      break;
  }
  return true;
}

}  // namespace corvane
