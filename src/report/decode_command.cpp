#include "report/decode_command.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/text.h"
#include "report/record_decode.h"

namespace corvane {

namespace {

// A record is a few hundred bytes; anything far larger is not one and is not loaded whole.
constexpr std::streamoff kMaxFileSize = 1 << 20;

std::optional<std::string> ReadRecordFile(const std::string& path, std::string* reason) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    *reason = std::strerror(errno);
    return std::nullopt;
  }
  const std::streamoff size = in.tellg();
  if (size < 0) {
    *reason = "it cannot be read (a folder?)";
    return std::nullopt;
  }
  if (size > kMaxFileSize) {
    *reason = "it holds " + std::to_string(size) + " bytes, far too many for a record";
    return std::nullopt;
  }
  in.seekg(0);
  std::ostringstream content;
  if (size > 0) content << in.rdbuf();
  if (in.bad() || (size > 0 && content.str().empty())) {
    *reason = "it cannot be read (a folder?)";
    return std::nullopt;
  }
  return content.str();
}

// Text in a single-byte code page is shown as Latin-1, so that the output stays UTF-8.
std::string Shown(const std::string& value, RecordUnit unit) {
  return unit == RecordUnit::kCharacters ? value : Latin1ToUtf8(value);
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos &&
      (s.empty() || (s.front() != ' ' && s.back() != ' '))) {
    return s;
  }
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

int RunDecodeCommand(const DecodeOptions& options, std::ostream& out, std::ostream& err) {
  int status = 0;
  nlohmann::ordered_json json_out = nlohmann::ordered_json::array();
  if (options.csv) {
    out << "file,disk_identifier,volume_serial,computer_name,product_id,user_name\r\n";
  }
  bool first_text = true;
  for (const std::string& path : options.files) {
    std::string reason;
    const std::optional<std::string> content = ReadRecordFile(path, &reason);
    DecodedRecord record;
    if (content) {
      record = DecodeMachineRecord(*content);
      reason = record.error;
    } else {
      reason = "cannot read it: " + reason;
    }
    if (!reason.empty()) {
      err << "corvane decode: " << path << ": " << reason << "\n";
      status = 1;
      if (options.json) json_out.push_back({{"file", path}, {"error", reason}});
      continue;
    }
    if (record.ambiguous()) {
      err << "corvane decode: " << path << ": the lengths are ambiguous (a value of 1000 "
          << "characters or more): " << record.cuts
          << " cuts fit; the long value is taken to be the product identifier\n";
    }
    const MachineValues& v = record.values;
    const std::string shown[] = {Shown(v.disk_identifier, record.unit),
                                 Shown(v.volume_serial, record.unit),
                                 Shown(v.computer_name, record.unit),
                                 Shown(v.product_id, record.unit), Shown(v.user_name, record.unit)};
    if (options.json) {
      nlohmann::ordered_json doc;
      doc["file"] = path;
      doc["disk_identifier"] = shown[0];
      doc["volume_serial"] = shown[1];
      doc["computer_name"] = shown[2];
      doc["product_id"] = shown[3];
      doc["user_name"] = shown[4];
      if (record.ambiguous()) doc["ambiguous_cuts"] = record.cuts;
      json_out.push_back(doc);
    } else if (options.csv) {
      out << CsvField(path);
      for (const std::string& s : shown) out << "," << CsvField(s);
      out << "\r\n";
    } else {
      if (!first_text) out << "\n";
      first_text = false;
      out << path << "\n"
          << "  disk identifier:  " << shown[0] << "\n"
          << "  volume serial:    " << shown[1] << "\n"
          << "  computer name:    " << shown[2] << "\n"
          << "  product id:       " << shown[3] << "\n"
          << "  user name:        " << shown[4] << "\n";
    }
  }
  if (options.json) {
    out << json_out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  return status;
}

}  // namespace corvane
